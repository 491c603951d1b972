// The emission options window: heading and pitch angles and spreads, corrected into range as
// they are entered and shown corrected at once, and oversampling.
#include "prefs/input_rules.hpp"
#include "ui/option_windows.hpp"

namespace vexo::ui {

Window* VEXOemission_optionsWnd = nullptr;
Gadget* VEXOemission_optionsGList = nullptr;
Gadget* VEXOemission_optionsGadgets[5] = {};

namespace {

const UWORD VEXOemission_optionsLeft = 171, VEXOemission_optionsTop = 116;
const UWORD VEXOemission_optionsWidth = 373, VEXOemission_optionsHeight = 71;
const char* const VEXOemission_optionsWdt = "Emission options";

const ULONG VEXOemission_optionsGTypes[] = {INTEGER_KIND, INTEGER_KIND, INTEGER_KIND, INTEGER_KIND, CHECKBOX_KIND};

const NewGadget VEXOemission_optionsNGad[] = {
    {132, 6, 53, 16, "Heading spread", nullptr, 0, PLACETEXT_LEFT, nullptr, nullptr},
    {132, 23, 53, 16, "Heading angle", nullptr, 1, PLACETEXT_LEFT, nullptr, nullptr},
    {306, 7, 53, 16, "Pitch spread", nullptr, 2, PLACETEXT_LEFT, nullptr, nullptr},
    {306, 24, 53, 16, "Pitch angle", nullptr, 3, PLACETEXT_LEFT, nullptr, nullptr},
    {317, 53, 26, 11, "Oversampling", nullptr, 4, PLACETEXT_LEFT, nullptr, nullptr},
};

const GadgetHint VEXOemission_optionsHints[] = {{"heading_spread", nullptr},
                                                {"heading_angle", nullptr},
                                                {"pitch_spread", nullptr},
                                                {"pitch_angle", nullptr},
                                                {"oversampling", nullptr}};

const TagItem VEXOemission_optionsGTags[] = {
    {GTIN_Number, 0}, {GTIN_MaxChars, 4}, {TAG_DONE, 0},
    {GTIN_Number, 0}, {GTIN_MaxChars, 4}, {TAG_DONE, 0},
    {GTIN_Number, 0}, {GTIN_MaxChars, 4}, {TAG_DONE, 0},
    {GTIN_Number, 0}, {GTIN_MaxChars, 4}, {TAG_DONE, 0},
    {TAG_DONE, 0},
};

std::int32_t* const kAngleFields[] = {&current_prefs.heading_spread, &current_prefs.heading_angle,
                                      &current_prefs.pitch_spread, &current_prefs.pitch_angle};

}  // namespace

int OpenVEXOemission_optionsWindow() {
    const WindowSpec spec{&VEXOemission_optionsWnd,
                          &VEXOemission_optionsGList,
                          VEXOemission_optionsGadgets,
                          5,
                          VEXOemission_optionsGTypes,
                          VEXOemission_optionsNGad,
                          VEXOemission_optionsGTags,
                          VEXOemission_optionsLeft,
                          VEXOemission_optionsTop,
                          VEXOemission_optionsWidth,
                          VEXOemission_optionsHeight,
                          VEXOemission_optionsWdt,
                          IDCMP_GADGETUP | IDCMP_CLOSEWINDOW | IDCMP_REFRESHWINDOW,
                          WFLG_DRAGBAR | WFLG_DEPTHGADGET | WFLG_CLOSEGADGET | WFLG_SMART_REFRESH,
                          kScreenTitle,
                          VisualInfo,
                          VEXOemission_optionsHints};
    return OpenSpecWindow(spec);
}

void CloseVEXOemission_optionsWindow() { CloseSpecWindow(&VEXOemission_optionsWnd, &VEXOemission_optionsGList); }

void WaitEmOMessages() {
    OptionWindowLoop(VEXOemission_optionsWnd, [](ULONG cls, UWORD, Gadget* gadget) {
        if (cls != IDCMP_GADGETUP) return true;
        if (gadget->GadgetID <= 3) {
            static const char* const kFields[] = {"heading_spread", "heading_angle", "pitch_spread", "pitch_angle"};
            const std::int32_t number = CorrectAngle(kFields[gadget->GadgetID], GadgetLongInt(gadget));
            const TagItem tags[] = {{GTIN_Number, static_cast<IPTR>(static_cast<ULONG>(number))}, {TAG_DONE, 0}};
            GT_SetGadgetAttrsA(gadget, VEXOemission_optionsWnd, nullptr, tags);
            *kAngleFields[gadget->GadgetID] = number;
        } else if (gadget->GadgetID == 4) {
            current_prefs.oversampling = static_cast<std::int16_t>(gadget->Flags & GFLG_SELECTED);
        }
        return true;  // out-of-range angles are corrected, never refused
    });
}

void emission_options() {
    if (OpenVEXOemission_optionsWindow() == 0) {
        SetDialogueVals(2);
        WaitEmOMessages();
    }
    CloseVEXOemission_optionsWindow();
}

}  // namespace vexo::ui
