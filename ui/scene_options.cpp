// The scene options window: first frame, last frame and frame step. It takes its own lock on
// the public screen and its own visual info, and refuses negative numbers and a zero step.
#include "prefs/input_rules.hpp"
#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"

namespace vexo::ui {

Window* VEXOscene_optionsWnd = nullptr;
Gadget* VEXOscene_optionsGList = nullptr;
Gadget* VEXOscene_optionsGadgets[3] = {};
APTR soVisualInfo = nullptr;

namespace text {
inline constexpr const char* kZeroFrameStep = "Cannot have a frame\nstep of 0...\n\nPlease re-enter.";
}

namespace {

// The window's own lock on the public screen. It is kept apart from the shared Scr, so that a
// failed lock can never leave start-up's screen unnamed.
Screen* soScr = nullptr;

const UWORD VEXOscene_optionsLeft = 250, VEXOscene_optionsTop = 120;
const UWORD VEXOscene_optionsWidth = 197, VEXOscene_optionsHeight = 62;
const char* const VEXOscene_optionsWdt = "Scene options";

const ULONG VEXOscene_optionsGTypes[] = {INTEGER_KIND, INTEGER_KIND, INTEGER_KIND};

const NewGadget VEXOscene_optionsNGad[] = {
    {107, 7, 73, 15, "First frame", nullptr, 0, PLACETEXT_LEFT, nullptr, nullptr},
    {107, 23, 73, 15, "Last frame", nullptr, 1, PLACETEXT_LEFT, nullptr, nullptr},
    {107, 39, 73, 15, "Frame step", nullptr, 2, PLACETEXT_LEFT, nullptr, nullptr},
};

const GadgetHint VEXOscene_optionsHints[] = {
    {"first_frame", nullptr}, {"last_frame", nullptr}, {"frame_step", nullptr}};

const TagItem VEXOscene_optionsGTags[] = {
    {GTIN_Number, 0}, {GTIN_MaxChars, 10}, {TAG_DONE, 0},
    {GTIN_Number, 0}, {GTIN_MaxChars, 10}, {TAG_DONE, 0},
    {GTIN_Number, 0}, {GTIN_MaxChars, 10}, {TAG_DONE, 0},
};

}  // namespace

int SetupSOScreen() {
    soScr = LockPubScreen(PubScreenName);
    if (soScr == nullptr) return 1;
    soVisualInfo = GetVisualInfoA(soScr, nullptr);
    if (soVisualInfo == nullptr) return 2;
    return 0;
}

void CloseDownSOScreen() {
    if (soVisualInfo != nullptr) {
        FreeVisualInfo(soVisualInfo);
        soVisualInfo = nullptr;
    }
    if (soScr != nullptr) {
        UnlockPubScreen(nullptr, soScr);
        soScr = nullptr;
    }
}

int OpenVEXOscene_optionsWindow() {
    const WindowSpec spec{&VEXOscene_optionsWnd,
                          &VEXOscene_optionsGList,
                          VEXOscene_optionsGadgets,
                          3,
                          VEXOscene_optionsGTypes,
                          VEXOscene_optionsNGad,
                          VEXOscene_optionsGTags,
                          VEXOscene_optionsLeft,
                          VEXOscene_optionsTop,
                          VEXOscene_optionsWidth,
                          VEXOscene_optionsHeight,
                          VEXOscene_optionsWdt,
                          IDCMP_GADGETUP | IDCMP_CLOSEWINDOW | IDCMP_REFRESHWINDOW,
                          WFLG_DRAGBAR | WFLG_DEPTHGADGET | WFLG_CLOSEGADGET | WFLG_SMART_REFRESH,
                          kScreenTitle,
                          soVisualInfo,
                          VEXOscene_optionsHints};
    return OpenSpecWindow(spec);
}

void CloseVEXOscene_optionsWindow() { CloseSpecWindow(&VEXOscene_optionsWnd, &VEXOscene_optionsGList); }

void WaitSOMessages() {
    static const char* const kNegative[] = {input_text::kNegativeFirstFrame, input_text::kNegativeLastFrame,
                                            input_text::kNegativeFrameStep};
    OptionWindowLoop(VEXOscene_optionsWnd, [](ULONG cls, UWORD, Gadget* gadget) {
        if (cls != IDCMP_GADGETUP || gadget->GadgetID > 2) return true;
        std::int32_t* const fields[] = {&current_prefs.first_frame, &current_prefs.last_frame,
                                        &current_prefs.frame_step};
        const UWORD id = gadget->GadgetID;
        const LONG number = GadgetLongInt(gadget);
        const char* refusal = number < 0 ? kNegative[id] : nullptr;
        // A zero step would make the frame loop stand still.
        if (id == 2 && number == 0) refusal = text::kZeroFrameStep;
        if (refusal != nullptr) {
            MyEasyRequest(refusal, text::kOk);
            ShowNumber(gadget, VEXOscene_optionsWnd, *fields[id]);
            ActivateGadget(gadget, VEXOscene_optionsWnd, nullptr);
            return false;
        }
        *fields[id] = number;
        ShowNumber(gadget, VEXOscene_optionsWnd, number);  // as stored: "007" shows 7
        return true;
    });
}

void scene_options() {
    // Neither the window nor the loop without the screen, its visual info and an open window.
    if (SetupSOScreen() == 0 && OpenVEXOscene_optionsWindow() == 0) {
        SetDialogueVals(1);
        WaitSOMessages();
    }
    CloseVEXOscene_optionsWindow();
    CloseDownSOScreen();
}

}  // namespace vexo::ui
