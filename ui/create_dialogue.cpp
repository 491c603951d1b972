// The Generate command: the "Creating scene" window with its progress bar and "Abort" button,
// the engine run through a pass hook, and the messages for what went wrong.
#include <chrono>
#include <iostream>

#include "engine/create_scene.hpp"
#include "ui/option_windows.hpp"

namespace vexo::ui {

Window* VEXOcreatingWnd = nullptr;
Gadget* VEXOcreatingGList = nullptr;
Gadget* VEXOcreatingGadgets[1] = {};

namespace text {
inline constexpr const char* kWriteError = "Could not create scene.\n\nThe target scene could not\nbe written.";
inline constexpr const char* kObjectWriteError =
    "Could not create scene.\n\nThe object beside the point\ncache could not be written.";
}

namespace {

const UWORD VEXOcreatingLeft = 216, VEXOcreatingTop = 120, VEXOcreatingWidth = 257, VEXOcreatingHeight = 53;
const char* const VEXOcreatingWdt = "Creating scene";
const ULONG VEXOcreatingGTypes[] = {BUTTON_KIND};
const NewGadget VEXOcreatingNGad[] = {{79, 29, 87, 18, "Abort", nullptr, 0, PLACETEXT_IN, nullptr, nullptr}};
const TagItem VEXOcreatingGTags[] = {{TAG_DONE, 0}};
const GadgetHint VEXOcreatingHints[] = {
    {nullptr,
     "Stops the generation at once and drops the new scene; a file that was at the target keeps its bytes."}};

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
        if (action == PassAction::Continue && VEXOcreatingWnd != nullptr) DrawBar(pass, passes);
        return action;
    }
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
};

}  // namespace

int OpenVEXOcreatingWindow() {
    const WindowSpec spec{&VEXOcreatingWnd,
                          &VEXOcreatingGList,
                          VEXOcreatingGadgets,
                          1,
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
    const TagItem tags[] = {{GT_VisualInfo, reinterpret_cast<IPTR>(VisualInfo)}, {GTBB_Recessed, 1}, {TAG_DONE, 0}};
    DrawBevelBoxA(VEXOcreatingWnd->RPort, VEXOcreatingWnd->BorderLeft + 6, VEXOcreatingWnd->BorderTop + 4, 236, 20,
                  tags);
}

void CloseVEXOcreatingWindow() { CloseSpecWindow(&VEXOcreatingWnd, &VEXOcreatingGList); }

void create_particle_scene() {
    // A window that did not open is closed again at once; generation then runs without a bar.
    if (OpenVEXOcreatingWindow() != 0) CloseVEXOcreatingWindow();
    if (VEXOcreatingWnd != nullptr) SetAPen(VEXOcreatingWnd->RPort, 3);
    // A break that came before this generation (during the overwrite question, say) is not
    // meant for it.
    ProcessPendingEvents();
    FindTask(nullptr)->tc_SigRecvd &= ~SIGBREAKF_CTRL_C;
    RequesterSink sink;
    ProgressHook hook;
    GenerateOptions options;
    // A target named ".gltf" or ".glb" is written as glTF 2.0, ".pc2" or ".mdd" as a point cache
    // with its object beside it; any other as a LightWave scene.
    options.format = FormatForTarget(PathText(current_prefs.target_scene), SceneFormat::Lwsc1);
    const SceneReport report = CreateScene(current_prefs, engine_state, sink, hook, options);
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
