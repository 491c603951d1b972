// The effect options window: gravity, ground bounce, radial creation, path mode and elasticity.
// Every accepted entry is stored at once; closing keeps what was stored.
#include <optional>

#include "prefs/input_rules.hpp"
#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"

namespace vexo::ui {

Window* VEXOeffect_optionsWnd = nullptr;
Gadget* VEXOeffect_optionsGList = nullptr;
Gadget* VEXOeffect_optionsGadgets[5] = {};
const char* linear_path_mx0Labels[] = {"Linear path (faster)", "Non linear path (more accurate)", nullptr};

namespace {

const UWORD VEXOeffect_optionsLeft = 200, VEXOeffect_optionsTop = 105;
const UWORD VEXOeffect_optionsWidth = 312, VEXOeffect_optionsHeight = 104;
const char* const VEXOeffect_optionsWdt = "Effect options";

const ULONG VEXOeffect_optionsGTypes[] = {STRING_KIND, CHECKBOX_KIND, CHECKBOX_KIND, MX_KIND, STRING_KIND};

const NewGadget VEXOeffect_optionsNGad[] = {
    {205, 5, 86, 14, "Gravity (m/s/s)", nullptr, 0, PLACETEXT_LEFT, nullptr, nullptr},
    {265, 41, 26, 11, "Bounce at ground plane", nullptr, 1, PLACETEXT_LEFT, nullptr, nullptr},
    {265, 53, 26, 11, "Radial particle creation", nullptr, 2, PLACETEXT_LEFT, nullptr, nullptr},
    {274, 72, 17, 9, nullptr, nullptr, 3, PLACETEXT_LEFT, nullptr, nullptr},
    {205, 20, 86, 14, "Particle elasticity (%)", nullptr, 4, PLACETEXT_LEFT, nullptr, nullptr},
};

const GadgetHint VEXOeffect_optionsHints[] = {{"gravity", nullptr},
                                              {"ground_bounce", nullptr},
                                              {"radial_creation", nullptr},
                                              {"linear_path", nullptr},
                                              {"elasticity", nullptr}};

const TagItem VEXOeffect_optionsGTags[] = {
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
    {TAG_DONE, 0},
    {TAG_DONE, 0},
    {GTMX_Labels, reinterpret_cast<IPTR>(linear_path_mx0Labels)}, {GTMX_Spacing, 2}, {TAG_DONE, 0},
    {GTST_String, reinterpret_cast<IPTR>("1.000000")}, {GTST_MaxChars, 256}, {TAG_DONE, 0},
};

// The number typed into gadget `g`. A text that is no number is refused with the message, the
// stored value (`shown` as the window shows it) is shown again and the cursor put back.
std::optional<double> EnterNumber(Gadget* g, double shown) {
    const char* typed = GadgetString(g);
    if (const char* refusal = RefuseReal(typed)) {
        MyEasyRequest(refusal, text::kOk);
        ShowReal(g, VEXOeffect_optionsWnd, shown);
        ActivateGadget(g, VEXOeffect_optionsWnd, nullptr);
        return std::nullopt;
    }
    const double value = FloatValue(typed);
    ShowEnteredReal(g, VEXOeffect_optionsWnd, value);
    return value;
}

}  // namespace

int OpenVEXOeffect_optionsWindow() {
    const WindowSpec spec{
        &VEXOeffect_optionsWnd,
        &VEXOeffect_optionsGList,
        VEXOeffect_optionsGadgets,
        5,
        VEXOeffect_optionsGTypes,
        VEXOeffect_optionsNGad,
        VEXOeffect_optionsGTags,
        VEXOeffect_optionsLeft,
        VEXOeffect_optionsTop,
        VEXOeffect_optionsWidth,
        VEXOeffect_optionsHeight,
        VEXOeffect_optionsWdt,
        IDCMP_GADGETUP | IDCMP_GADGETDOWN | IDCMP_CLOSEWINDOW | IDCMP_REFRESHWINDOW,
        WFLG_DRAGBAR | WFLG_DEPTHGADGET | WFLG_CLOSEGADGET | WFLG_ACTIVATE | WFLG_SMART_REFRESH,
        kScreenTitle,
        VisualInfo,
        VEXOeffect_optionsHints};
    return OpenSpecWindow(spec);
}

void CloseVEXOeffect_optionsWindow() { CloseSpecWindow(&VEXOeffect_optionsWnd, &VEXOeffect_optionsGList); }

void WaitEOMessages() {
    OptionWindowLoop(VEXOeffect_optionsWnd, [](ULONG cls, UWORD code, Gadget* gadget) {
        if (cls == IDCMP_GADGETDOWN && gadget->GadgetID == 3) {
            current_prefs.linear_path = code == 0 ? 1 : 0;  // the path selector reports on gadget down
            return true;
        }
        if (cls != IDCMP_GADGETUP) return true;  // refresh notices are only taken off the queue
        switch (gadget->GadgetID) {
            case 0: {
                const std::optional<double> gravity = EnterNumber(gadget, current_prefs.gravity);
                if (gravity) current_prefs.gravity = *gravity;
                return gravity.has_value();
            }
            case 4: {
                const std::optional<double> percent = EnterNumber(gadget, current_prefs.elasticity * 100);
                if (percent) current_prefs.elasticity = *percent * 0.01;
                return percent.has_value();
            }
            case 1:
                current_prefs.ground_bounce = static_cast<std::int16_t>(gadget->Flags & GFLG_SELECTED);
                break;
            case 2:
                current_prefs.radial_creation = static_cast<std::int16_t>(gadget->Flags & GFLG_SELECTED);
                break;
            default:
                break;
        }
        return true;
    });
}

void effect_options() {
    // Without an open window there is nothing to fill or wait on; the teardown still frees
    // whatever the opening made.
    if (OpenVEXOeffect_optionsWindow() == 0) {
        SetDialogueVals(3);
        WaitEOMessages();
    }
    CloseVEXOeffect_optionsWindow();
}

}  // namespace vexo::ui
