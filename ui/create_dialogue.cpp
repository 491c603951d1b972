// The Generate command: the "Creating scene" window with its progress bar and "Abort" button,
// the engine run through a pass hook, and the messages for what went wrong.
#include <chrono>
#include <filesystem>
#include <iostream>

#include "engine/create_scene.hpp"
#include "engine/generation/scene_estimate.hpp"
#include "engine/writers/point_cache.hpp"
#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"

namespace vexo::ui {

Window* VEXOcreatingWnd = nullptr;
Gadget* VEXOcreatingGList = nullptr;
Gadget* VEXOcreatingGadgets[3] = {};
std::function<std::optional<std::uint64_t>(const std::string& target)> free_space_query;
std::uint64_t large_scene_bytes = kLargeScene;

namespace text {
inline constexpr const char* kWriteError =
    "Could not create scene.\n\nThe target scene could not\nbe written.";
inline constexpr const char* kObjectWriteError =
    "Could not create scene.\n\nThe object beside the point\ncache could not be written.";
}  // namespace text

std::string ProgressObjects(std::uint32_t done, std::uint32_t total, bool measuring) {
    // The object being made, counted from 1 (the last one while the scene is completed).
    const std::uint32_t shown = done < total ? done + 1 : total;
    return std::string(measuring ? "measuring " : "") + "object " + std::to_string(shown) + " of " +
           std::to_string(total);
}

std::string ProgressBytes(std::uint64_t written, std::uint64_t total) {
    return ShortByteCount(written) + " of " + ShortByteCount(total) + " written";
}

std::string FinishedTitle(std::uint32_t objects, bool cache, const std::string& files, std::uint64_t bytes) {
    return std::string(VEXOWdt) + ": wrote " + std::to_string(objects) +
           (cache ? " particles to " : " objects to ") + files + ", " + ShortByteCount(bytes);
}

namespace {

const UWORD VEXOcreatingLeft = 216, VEXOcreatingTop = 120, VEXOcreatingWidth = 257, VEXOcreatingHeight = 77;
const char* const VEXOcreatingWdt = "Creating scene";
// The "Abort" button, then under the bar the object being written and the bytes written so far.
const ULONG VEXOcreatingGTypes[] = {BUTTON_KIND, TEXT_KIND, TEXT_KIND};
const NewGadget VEXOcreatingNGad[] = {{79, 53, 87, 18, "Abort", nullptr, 0, PLACETEXT_IN, nullptr, nullptr},
                                      {8, 27, 236, 12, nullptr, nullptr, 1, 0, nullptr, nullptr},
                                      {8, 39, 236, 12, nullptr, nullptr, 2, 0, nullptr, nullptr}};
const TagItem VEXOcreatingGTags[] = {{TAG_DONE, 0},
                                     {GTTX_Text, reinterpret_cast<IPTR>("")},
                                     {TAG_DONE, 0},
                                     {GTTX_Text, reinterpret_cast<IPTR>("")},
                                     {TAG_DONE, 0}};
const GadgetHint VEXOcreatingHints[] = {
    {nullptr,
     "Stops the generation at once and drops the new scene; a file that was at the target keeps its bytes."},
    {nullptr, "The object being made, counted from 1, and how many the scene holds."},
    {nullptr, "The bytes of the scene written so far, and its whole size."}};

void SetText(int gadget, const std::string& text) {
    const TagItem tags[] = {{GTTX_Text, reinterpret_cast<IPTR>(text.c_str())}, {TAG_DONE, 0}};
    GT_SetGadgetAttrsA(VEXOcreatingGadgets[gadget], VEXOcreatingWnd, nullptr, tags);
}

// The engine's messages go to the requester; the motion reader's debug line to standard output.
class RequesterSink : public MessageSink {
  public:
    void Message(std::string_view text) override { MyEasyRequest(std::string(text).c_str(), text::kOk); }
    void DebugLine(std::string_view text) override { std::cout << text << std::flush; }
};

// At the start of every pass, and every kPollInterval while a long pass runs: keep the windows
// painted, honour Ctrl-C, take at most one message from the progress window ("Abort" or its
// close gadget abort). The bar is drawn at the start of each pass.
class ProgressHook : public PassHook {
  public:
    static constexpr std::chrono::milliseconds kPollInterval{20};

    PassAction OnPassStart(std::uint32_t pass, std::uint32_t passes) override {
        const PassAction action = Poll();
        if (action != PassAction::Continue || VEXOcreatingWnd == nullptr) return action;
        // While the scene is measured the bar stays empty: it shows only what is written.
        if (!measuring) DrawBar(pass, passes);
        // The texts change with every whole percent, so a scene of many objects costs no time.
        const std::int64_t percent = std::int64_t{pass} * 100 / passes;
        if (percent != shown_percent_) {
            shown_percent_ = percent;
            SetText(1, ProgressObjects(pass, passes, measuring));
            if (estimate != nullptr) SetText(2, ProgressBytes(estimate->BytesAfter(pass), estimate->bytes));
        }
        return action;
    }
    void StartWriting(const SceneEstimate* measured) {
        measuring = false;
        estimate = measured;
        shown_percent_ = -1;
    }

    bool measuring = true;
    const SceneEstimate* estimate = nullptr;
    PassAction OnPassPoll(std::uint32_t, std::uint32_t) override {
        if (std::chrono::steady_clock::now() - last_poll_ < kPollInterval) return PassAction::Continue;
        return Poll();
    }

  private:
    PassAction Poll() {
        last_poll_ = std::chrono::steady_clock::now();
        ProcessPendingEvents();
        Task* task = FindTask(nullptr);
        if ((task->tc_SigRecvd & SIGBREAKF_CTRL_C) != 0) {
            task->tc_SigRecvd &= ~SIGBREAKF_CTRL_C;  // acted on: the next generation runs in full
            return PassAction::Break;
        }
        Window* w = VEXOcreatingWnd;
        if (w == nullptr) return PassAction::Continue;  // no window: nothing to poll or draw
        if (IntuiMessage* message = GT_GetIMsg(w->UserPort)) {
            const ULONG cls = message->Class;
            GT_ReplyIMsg(message);
            if (cls == IDCMP_GADGETUP || cls == IDCMP_CLOSEWINDOW) return PassAction::Abort;
        }
        return PassAction::Continue;
    }
    static void DrawBar(std::uint32_t pass, std::uint32_t passes) {
        const float fraction = static_cast<float>(pass) / static_cast<float>(passes);
        const LONG width = static_cast<LONG>(fraction * 233.0f);
        Window* w = VEXOcreatingWnd;
        const LONG left = w->BorderLeft, top = w->BorderTop;
        RectFill(w->RPort, left + 8, top + 5, left + 8 + width, top + 22);
    }

    std::chrono::steady_clock::time_point last_poll_ = std::chrono::steady_clock::now();
    std::int64_t shown_percent_ = -1;
};

// Measures the scene and asks what its size calls for: a scene larger than the free space of
// its file system is refused, one of more than 1 GB asked about. False when it is not to be
// written (refused, not wanted, or the measuring was stopped).
bool SizeAllowsScene(const GenerateOptions& options, ProgressHook& hook,
                     std::optional<SceneEstimate>& estimate) {
    QuietSink quiet;
    EstimateResult measured = EstimateScene(current_prefs, engine_state, quiet, hook, options);
    if (measured.report.outcome == WriteOutcome::Aborted ||
        measured.report.outcome == WriteOutcome::Interrupted) {
        return false;
    }
    // Without an estimate the generation meets the same refusal and says so itself.
    if (!measured.estimate) return true;
    estimate = std::move(measured.estimate);
    const std::string target = PathText(current_prefs.target_scene);
    std::optional<std::uint64_t> free;
    if (TargetTakesSpace(target)) free = free_space_query ? free_space_query(target) : FreeSpaceFor(target);
    if (free && estimate->AtOnce() > *free) {
        MyEasyRequest(
            scene_text::NoRoom(estimate->bytes, *free, estimate->exact, estimate->while_written).c_str(),
            text::kOk);
        return false;
    }
    return estimate->bytes <= large_scene_bytes ||
           MyEasyRequest(scene_text::LargeSceneQuestion(estimate->bytes, free, estimate->exact).c_str(),
                         text::kOkCancel) != 0;
}

// What a finished Generate says in the main window's title: the objects, the file and its size.
void ShowWritten(const SceneReport& report, SceneFormat format) {
    const std::string target = PathText(current_prefs.target_scene);
    const bool cache = IsPointCache(format);
    std::error_code error;
    std::uint64_t bytes = std::filesystem::file_size(target, error);
    std::string files = std::filesystem::path(target).filename().string();
    if (cache) {
        const std::string object = CompanionPath(target, format);
        bytes += std::filesystem::file_size(object, error);
        files += " and " + std::filesystem::path(object).filename().string();
    }
    const std::string title = FinishedTitle(report.objects_total, cache, files, bytes);
    SetWindowTitles(VEXOWnd, title.c_str(), kKeepTitle);
}

}  // namespace

int OpenVEXOcreatingWindow() {
    const WindowSpec spec{&VEXOcreatingWnd,
                          &VEXOcreatingGList,
                          VEXOcreatingGadgets,
                          3,
                          VEXOcreatingGTypes,
                          VEXOcreatingNGad,
                          VEXOcreatingGTags,
                          VEXOcreatingLeft,
                          VEXOcreatingTop,
                          VEXOcreatingWidth,
                          VEXOcreatingHeight,
                          VEXOcreatingWdt,
                          IDCMP_GADGETUP | IDCMP_CLOSEWINDOW | IDCMP_REFRESHWINDOW,
                          WFLG_DRAGBAR | WFLG_DEPTHGADGET | WFLG_CLOSEGADGET | WFLG_SMART_REFRESH,
                          kScreenTitle,
                          VisualInfo,
                          VEXOcreatingHints};
    const int status = OpenSpecWindow(spec);
    if (status != 0) return status;
    VEXOcreatingRender();
    return 0;
}

void VEXOcreatingRender() {
    const TagItem tags[] = {
        {GT_VisualInfo, reinterpret_cast<IPTR>(VisualInfo)}, {GTBB_Recessed, 1}, {TAG_DONE, 0}};
    DrawBevelBoxA(VEXOcreatingWnd->RPort, VEXOcreatingWnd->BorderLeft + 6, VEXOcreatingWnd->BorderTop + 4,
                  236, 20, tags);
}

void CloseVEXOcreatingWindow() {
    CloseSpecWindow(&VEXOcreatingWnd, &VEXOcreatingGList);
}

void create_particle_scene() {
    // A window that did not open is closed again at once; generation then runs without a bar.
    if (OpenVEXOcreatingWindow() != 0) CloseVEXOcreatingWindow();
    if (VEXOcreatingWnd != nullptr) SetAPen(VEXOcreatingWnd->RPort, 3);
    // A break that came before this generation (during the overwrite question, say) is not
    // meant for it.
    ProcessPendingEvents();
    FindTask(nullptr)->tc_SigRecvd &= ~SIGBREAKF_CTRL_C;
    // The title tells of the last finished scene until the next Generate.
    SetWindowTitles(VEXOWnd, VEXOWdt, kKeepTitle);
    RequesterSink sink;
    ProgressHook hook;
    GenerateOptions options;
    // A target named ".gltf" or ".glb" is written as glTF 2.0, ".pc2" or ".mdd" as a point cache
    // with its object beside it; any other as a LightWave scene.
    options.format = FormatForTarget(PathText(current_prefs.target_scene), SceneFormat::Lwsc1);
    std::optional<SceneEstimate> estimate;
    if (!SizeAllowsScene(options, hook, estimate)) {
        CloseVEXOcreatingWindow();
        return;
    }
    hook.StartWriting(estimate ? &*estimate : nullptr);
    const SceneReport report = CreateScene(current_prefs, engine_state, sink, hook, options);
    if (report.result == SceneResult::Done && report.outcome == WriteOutcome::Complete) {
        ShowWritten(report, options.format);
    }
    if (report.result == SceneResult::MotionFileError) {
        MyEasyRequest(text::kMotionFileError, text::kOk);
    } else if (report.result == SceneResult::NoMemory) {
        MyEasyRequest(text::kMemoryError, text::kOk);
    } else if (report.outcome == WriteOutcome::CannotOpen || report.outcome == WriteOutcome::WriteFailed) {
        MyEasyRequest(report.failed_file.empty() ? text::kWriteError : text::kObjectWriteError, text::kOk);
    }
    CloseVEXOcreatingWindow();
}

}  // namespace vexo::ui
