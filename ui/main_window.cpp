#include "ui/main_window.hpp"

#include <vector>

#include "engine/writers/scene_format.hpp"
#include "prefs/input_rules.hpp"
#include "ui/gadget_layout.hpp"
#include "ui/option_windows.hpp"

namespace vexo::ui {

Window* VEXOWnd = nullptr;
Gadget* VEXOGList = nullptr;
Menu* VEXOMenus = nullptr;
Gadget* VEXOGadgets[VEXO_CNT] = {};
UWORD VEXOLeft = 86, VEXOTop = 49, VEXOWidth = 600, VEXOHeight = 337;
const char* VEXOWdt = "Vexo";
WORD ZoomData[4] = {86, 49, 310, 11};
const char* end_behavior0Labels[] = {"Recycle", "Stop", "Destroy", nullptr};

namespace {

constexpr IPTR kTrue = 1;

// The creation tags of the gadgets, shared by rows that start alike.
const TagItem kPathTags[] = {{GTST_MaxChars, 256}, {TAG_DONE, 0}};
const TagItem kNoTags[] = {{TAG_DONE, 0}};
const TagItem kCountTags[] = {{GTIN_Number, 0}, {GTIN_MaxChars, 10}, {TAG_DONE, 0}};
const TagItem kDisabledCountTags[] = {{GTIN_Number, 0}, {GTIN_MaxChars, 10}, {GA_Disabled, kTrue}, {TAG_DONE, 0}};
const TagItem kEndBehaviorTags[] = {{GTMX_Labels, reinterpret_cast<IPTR>(end_behavior0Labels)},
                                    {GTMX_Spacing, 2},
                                    {GTMX_Active, 2},
                                    {GA_Disabled, kTrue},
                                    {TAG_DONE, 0}};
const TagItem kEndBehaviorTextTags[] = {{GTTX_Text, reinterpret_cast<IPTR>("End lifespan behavior")}, {TAG_DONE, 0}};
const TagItem kZeroTags[] = {{GTST_String, reinterpret_cast<IPTR>("0.000000")}, {GTST_MaxChars, 256}, {TAG_DONE, 0}};
const TagItem kOneTags[] = {{GTST_String, reinterpret_cast<IPTR>("1.000000")}, {GTST_MaxChars, 256}, {TAG_DONE, 0}};
const TagItem kDisabledOneTags[] = {
    {GTST_String, reinterpret_cast<IPTR>("1.000000")}, {GTST_MaxChars, 256}, {GA_Disabled, kTrue}, {TAG_DONE, 0}};

// One row per gadget, in id order: its kind, its place and label, its creation tags, and what its
// tooltip explains. A new gadget is one row here, one id in MainGadget and one case in the main
// loop.
struct GadgetRow {
    ULONG kind;
    NewGadget ng;
    const TagItem* tags;
    GadgetHint hint;
};

constexpr GadgetHint Edits(const char* field) {
    return {field, nullptr};
}
constexpr GadgetHint Does(const char* text) {
    return {nullptr, text};
}

// One gadget a line reads as the table it is.
// clang-format off
const GadgetRow VEXOGadgetTable[VEXO_CNT] = {
    {STRING_KIND, {148, 22, 401, 16, "Particle object", nullptr, GD_particle_object, PLACETEXT_LEFT, nullptr, nullptr}, kPathTags, Edits("particle_object")},
    {STRING_KIND, {148, 39, 401, 16, "Parent motion", nullptr, GD_parent_motion, PLACETEXT_LEFT, nullptr, nullptr}, kPathTags, Edits("parent_motion")},
    {STRING_KIND, {148, 56, 401, 16, "Target scene", nullptr, GD_target_scene, PLACETEXT_LEFT, nullptr, nullptr}, kPathTags, Edits("target_scene")},
    {GENERIC_KIND, {551, 23, 20, 14, nullptr, nullptr, GD_get_object, 0, nullptr, nullptr}, kNoTags, Does(text::kHintGetObject)},
    {GENERIC_KIND, {551, 40, 20, 14, nullptr, nullptr, GD_get_motion, 0, nullptr, nullptr}, kNoTags, Does(text::kHintGetMotion)},
    {GENERIC_KIND, {551, 57, 20, 14, nullptr, nullptr, GD_get_scene, 0, nullptr, nullptr}, kNoTags, Does(text::kHintGetScene)},
    {INTEGER_KIND, {244, 102, 66, 16, "Particles (num)", nullptr, GD_num_particles, PLACETEXT_LEFT, nullptr, nullptr}, kCountTags, Edits("num_particles")},
    {INTEGER_KIND, {244, 119, 66, 16, "Particles per frame", nullptr, GD_particles_per_frame, PLACETEXT_LEFT, nullptr, nullptr}, kCountTags, Edits("particles_per_frame")},
    {INTEGER_KIND, {244, 136, 66, 16, "Particles lifespan (frames)", nullptr, GD_lifespan, PLACETEXT_LEFT, nullptr, nullptr}, kDisabledCountTags, Edits("lifespan")},
    {MX_KIND, {244, 156, 17, 9, nullptr, nullptr, GD_end_behavior, PLACETEXT_RIGHT, nullptr, nullptr}, kEndBehaviorTags, Edits("end_behavior")},
    {TEXT_KIND, {70, 155, 28, 29, nullptr, nullptr, GD_end_behavior_text, 0, nullptr, nullptr}, kEndBehaviorTextTags, Edits("end_behavior")},
    {STRING_KIND, {245, 188, 65, 16, "Particle velocity (m/s)", nullptr, GD_velocity, PLACETEXT_LEFT, nullptr, nullptr}, kZeroTags, Edits("velocity")},
    {STRING_KIND, {245, 205, 65, 16, "Velocity variation (%)", nullptr, GD_velocity_variation, PLACETEXT_LEFT, nullptr, nullptr}, kZeroTags, Edits("velocity_variation")},
    {INTEGER_KIND, {245, 222, 65, 16, "Creation delay (frames)", nullptr, GD_creation_delay, PLACETEXT_LEFT, nullptr, nullptr}, kDisabledCountTags, Edits("creation_delay")},
    {STRING_KIND, {245, 239, 65, 16, "Start size (factor)", nullptr, GD_start_size, PLACETEXT_LEFT, nullptr, nullptr}, kOneTags, Edits("start_size")},
    {STRING_KIND, {245, 256, 65, 16, "End size (factor)", nullptr, GD_end_size, PLACETEXT_LEFT, nullptr, nullptr}, kDisabledOneTags, Edits("end_size")},
    {CHECKBOX_KIND, {315, 138, 26, 11, "Limited lifespan", nullptr, GD_limited_lifespan, PLACETEXT_RIGHT, nullptr, nullptr}, kNoTags, Edits("limited_lifespan")},
    {CHECKBOX_KIND, {314, 225, 26, 11, "Creation delay", nullptr, GD_use_creation_delay, PLACETEXT_RIGHT, nullptr, nullptr}, kNoTags, Edits("use_creation_delay")},
    {CHECKBOX_KIND, {314, 242, 26, 11, "Particle grow", nullptr, GD_particle_grow, PLACETEXT_RIGHT, nullptr, nullptr}, kNoTags, Edits("particle_grow")},
    {BUTTON_KIND, {14, 285, 134, 18, "Scene options", nullptr, GD_scene_options, PLACETEXT_IN, nullptr, nullptr}, kNoTags, Does(text::kHintSceneOptions)},
    {BUTTON_KIND, {148, 285, 146, 18, "Emission options", nullptr, GD_emission_options, PLACETEXT_IN, nullptr, nullptr}, kNoTags, Does(text::kHintEmissionOptions)},
    {BUTTON_KIND, {294, 285, 136, 18, "Effect options", nullptr, GD_effect_options, PLACETEXT_IN, nullptr, nullptr}, kNoTags, Does(text::kHintEffectOptions)},
    {BUTTON_KIND, {12, 308, 90, 19, "Generate", nullptr, GD_generate, PLACETEXT_IN, nullptr, nullptr}, kNoTags, Does(text::kHintGenerate)},
    {BUTTON_KIND, {102, 308, 90, 19, "Preview", nullptr, GD_preview, PLACETEXT_IN, nullptr, nullptr}, kNoTags, Does(text::kHintPreview)},
    {BUTTON_KIND, {430, 285, 145, 18, "Shapes and forces", nullptr, GD_shapes_options, PLACETEXT_IN, nullptr, nullptr}, kNoTags, Does(text::kHintShapesOptions)},
};
// clang-format on

// The gadgets fitted to the font in use; the decoration is drawn through the same layout.
GadgetLayout VEXOLayout;

void SetText(Gadget* g, Window* w, const char* text) { ShowText(g, w, text); }
void SetReal(Gadget* g, Window* w, double value) { ShowReal(g, w, value); }

void SetNumber(Gadget* g, Window* w, LONG number, const std::int16_t* disabled_unless = nullptr) {
    if (disabled_unless != nullptr) {
        const TagItem tags[] = {{GTIN_Number, static_cast<IPTR>(static_cast<ULONG>(number))},
                                {GA_Disabled, *disabled_unless == 0 ? kTrue : 0},
                                {TAG_DONE, 0}};
        GT_SetGadgetAttrsA(g, w, nullptr, tags);
        return;
    }
    ShowNumber(g, w, number);
}

void SetChecked(Gadget* g, Window* w, std::int16_t flag) {
    const TagItem tags[] = {{GTCB_Checked, flag != 0 ? kTrue : 0}, {TAG_DONE, 0}};
    GT_SetGadgetAttrsA(g, w, nullptr, tags);
}

}  // namespace

void ShowText(Gadget* g, Window* w, const char* text) {
    const TagItem tags[] = {{GTST_String, reinterpret_cast<IPTR>(text)}, {TAG_DONE, 0}};
    GT_SetGadgetAttrsA(g, w, nullptr, tags);
}

std::string RealText(double value) {
    std::string text;
    AppendFixed(text, value);
    return text;
}

void ShowReal(Gadget* g, Window* w, double value) { ShowText(g, w, RealText(value).c_str()); }

void ShowNumber(Gadget* g, Window* w, LONG number) {
    const TagItem tags[] = {{GTIN_Number, static_cast<IPTR>(static_cast<ULONG>(number))}, {TAG_DONE, 0}};
    GT_SetGadgetAttrsA(g, w, nullptr, tags);
}

void ShowEnteredReal(Gadget* g, Window* w, double value) {
    const std::string shown = RealText(value);
    if (FloatValue(shown) == value) ShowText(g, w, shown.c_str());
}

const NewMenu VEXONewMenu[] = {
    {NM_TITLE, "Project", nullptr, 0, 0, nullptr},
    {NM_ITEM, "Load preferences...", nullptr, 0, 0, reinterpret_cast<APTR>(&load_prefs_menu)},
    {NM_ITEM, "Save preferances as...", nullptr, 0, 0, reinterpret_cast<APTR>(&save_prefs_menu)},
    {NM_ITEM, "Reset to defaults", nullptr, 0, 0, reinterpret_cast<APTR>(&reset_prefs_menu)},
    {NM_ITEM, NM_BARLABEL, nullptr, 0, 0, nullptr},
    {NM_ITEM, "About...", nullptr, 0, 0, reinterpret_cast<APTR>(&about_menu)},
    {NM_ITEM, NM_BARLABEL, nullptr, 0, 0, nullptr},
    {NM_ITEM, "Quit", nullptr, 0, 0, reinterpret_cast<APTR>(&quit_menu)},
    {NM_TITLE, "View", nullptr, 0, 0, nullptr},
    {NM_ITEM, "Preview...", "P", 0, 0, reinterpret_cast<APTR>(&preview_menu)},
    {NM_TITLE, "Options", nullptr, 0, 0, nullptr},
    {NM_ITEM, "Scene options...", nullptr, 0, 0, reinterpret_cast<APTR>(&scene_options_menu)},
    {NM_ITEM, "Emission options...", nullptr, 0, 0, reinterpret_cast<APTR>(&emission_options_menu)},
    {NM_ITEM, "Effect options...", nullptr, 0, 0, reinterpret_cast<APTR>(&effect_options_menu)},
    {NM_ITEM, "Shapes and forces...", nullptr, 0, 0, reinterpret_cast<APTR>(&shapes_options_menu)},
    {NM_END, nullptr, nullptr, 0, 0, nullptr},
};

void MakeFileButton(Gadget* g) {
    g->Flags |= GFLG_GADGIMAGE | GFLG_GADGHIMAGE;
    g->Activation |= GACT_RELVERIFY;
    g->GadgetRender = getImage;
    g->SelectRender = getImage;
}

int TitleBarOffset(const Screen* screen) { return screen->WBorTop + screen->RastPortFont->tf_YSize + 1; }

int OpenVEXOWindow() {
    const int offx = Scr->WBorLeft;
    const int offy = TitleBarOffset(Scr);

    std::vector<GadgetBox> boxes;
    for (const GadgetRow& row : VEXOGadgetTable) {
        boxes.push_back(MeasureGadget(row.kind, row.ng, row.tags));
    }
    VEXOLayout = GadgetLayout(boxes, VEXOWidth, VEXOHeight, TitleBarWidth(VEXOWdt));

    Gadget* g = CreateContext(&VEXOGList);
    if (g == nullptr) return 1;
    for (const GadgetRow& row : VEXOGadgetTable) {
        NewGadget ng;
        CopyMem(&row.ng, &ng, sizeof ng);
        ng.ng_VisualInfo = VisualInfo;
        ng.ng_TextAttr = &topaz8;
        ng.ng_LeftEdge = static_cast<WORD>(VEXOLayout.X(ng.ng_LeftEdge) + offx);
        ng.ng_TopEdge = static_cast<WORD>(VEXOLayout.Y(ng.ng_TopEdge) + offy);
        g = CreateGadgetA(row.kind, g, &ng, row.tags);
        VEXOGadgets[row.ng.ng_GadgetID] = g;
        if (g == nullptr) return 2;
        SetGadgetHint(g, row.hint);
        if (row.kind == GENERIC_KIND) MakeFileButton(g);
    }

    const TagItem menu_tags[] = {{GTMN_FrontPen, 0}, {TAG_DONE, 0}};
    VEXOMenus = CreateMenusA(VEXONewMenu, menu_tags);
    if (VEXOMenus == nullptr) return 3;
    const TagItem layout_tags[] = {{GTMN_TextAttr, reinterpret_cast<IPTR>(&topaz8)}, {GTMN_NewLookMenus, kTrue},
                                   {TAG_DONE, 0}};
    LayoutMenusA(VEXOMenus, VisualInfo, layout_tags);

    const TagItem window_tags[] = {
        {WA_Left, VEXOLeft},
        {WA_Top, VEXOTop},
        {WA_Width, static_cast<IPTR>(VEXOLayout.width())},
        {WA_Height, static_cast<IPTR>(VEXOLayout.height() + offy)},
        {WA_IDCMP,
         IDCMP_CLOSEWINDOW | IDCMP_MENUPICK | IDCMP_GADGETUP | IDCMP_GADGETDOWN | IDCMP_REFRESHWINDOW},
        {WA_Flags, WFLG_DRAGBAR | WFLG_DEPTHGADGET | WFLG_CLOSEGADGET | WFLG_ACTIVATE | WFLG_SMART_REFRESH},
        {WA_Gadgets, reinterpret_cast<IPTR>(VEXOGList)},
        {WA_Title, reinterpret_cast<IPTR>(VEXOWdt)},
        {WA_ScreenTitle, reinterpret_cast<IPTR>(kScreenTitle)},
        {WA_PubScreen, reinterpret_cast<IPTR>(Scr)},
        {WA_Zoom, reinterpret_cast<IPTR>(ZoomData)},
        {WA_NewLookMenus, kTrue},
        {TAG_DONE, 0},
    };
    VEXOWnd = OpenWindowTagList(nullptr, window_tags);
    if (VEXOWnd == nullptr) return 4;

    SetMenuStrip(VEXOWnd, VEXOMenus);
    GT_RefreshWindow(VEXOWnd, nullptr);
    VEXORender(1);
    return 0;
}

void VEXORender(int direct) {
    if (direct == 0) GT_BeginRefresh(VEXOWnd);
    const int x0 = VEXOWnd->BorderLeft, y0 = VEXOWnd->BorderTop;
    RastPort* rp = VEXOWnd->RPort;
    const TagItem raised[] = {{GT_VisualInfo, reinterpret_cast<IPTR>(VisualInfo)}, {TAG_DONE, 0}};
    const TagItem recessed[] = {{GT_VisualInfo, reinterpret_cast<IPTR>(VisualInfo)}, {GTBB_Recessed, kTrue},
                                {TAG_DONE, 0}};
    // The designed boxes, moved and stretched with the gadgets inside them.
    const GadgetLayout& l = VEXOLayout;
    const auto box = [&](int left, int top, int width, int height, const TagItem* tags) {
        DrawBevelBoxA(rp, x0 + l.X(left), y0 + l.Y(top), l.X(left + width) - l.X(left),
                      l.Y(top + height) - l.Y(top), tags);
    };
    box(12, 284, 565, 20, recessed);
    box(14, 11, 562, 72, raised);
    box(12, 10, 566, 74, recessed);
    box(14, 96, 562, 181, raised);
    box(12, 95, 566, 183, recessed);
    IntuiText particle_options = {
        2,      0, JAM2, static_cast<WORD>(l.X(34)), static_cast<WORD>(l.Y(103)), nullptr, "Particle options",
        nullptr};
    IntuiText required_files = {2,
                                0,
                                JAM2,
                                static_cast<WORD>(l.X(34)),
                                static_cast<WORD>(l.Y(17)),
                                nullptr,
                                "Required Files",
                                &particle_options};
    PrintIText(rp, &required_files, 0, 0);
    if (direct == 0) GT_EndRefresh(VEXOWnd, 1);
}

void CloseVEXOWindow() {
    if (VEXOMenus != nullptr) {
        if (VEXOWnd != nullptr) ClearMenuStrip(VEXOWnd);
        FreeMenus(VEXOMenus);
        VEXOMenus = nullptr;
    }
    if (VEXOWnd != nullptr) {
        CloseWindowSafely(VEXOWnd);
        VEXOWnd = nullptr;
    }
    if (VEXOGList != nullptr) {
        FreeGadgets(VEXOGList);
        VEXOGList = nullptr;
    }
    for (Gadget*& g : VEXOGadgets) g = nullptr;
}

void ShowMainSetting(int id) {
    const Settings& p = current_prefs;
    Window* w = VEXOWnd;
    Gadget* g = VEXOGadgets[id];
    switch (id) {
        case GD_particle_object:
            SetText(g, w, PathText(p.particle_object).c_str());
            break;
        case GD_parent_motion:
            SetText(g, w, PathText(p.parent_motion).c_str());
            break;
        case GD_target_scene:
            SetText(g, w, PathText(p.target_scene).c_str());
            break;
        case GD_num_particles:
            SetNumber(g, w, p.num_particles);
            break;
        case GD_particles_per_frame:
            SetNumber(g, w, p.particles_per_frame);
            break;
        case GD_lifespan:
            SetNumber(g, w, p.lifespan, &p.limited_lifespan);
            break;
        case GD_end_behavior: {
            const TagItem choice[] = {{GTMX_Active, static_cast<IPTR>(static_cast<ULONG>(p.end_behavior))},
                                      {GA_Disabled, p.limited_lifespan == 0 ? kTrue : 0},
                                      {TAG_DONE, 0}};
            GT_SetGadgetAttrsA(g, w, nullptr, choice);
            break;
        }
        case GD_velocity:
            SetReal(g, w, p.velocity);
            break;
        case GD_velocity_variation:
            SetReal(g, w, p.velocity_variation);
            break;
        case GD_creation_delay:
            SetNumber(g, w, p.creation_delay, &p.use_creation_delay);
            break;
        case GD_start_size:
            SetReal(g, w, p.start_size);
            break;
        case GD_end_size: {
            const std::string end_size = RealText(p.end_size);
            const TagItem end[] = {{GTST_String, reinterpret_cast<IPTR>(end_size.c_str())},
                                   {GA_Disabled, p.particle_grow == 0 ? kTrue : 0},
                                   {TAG_DONE, 0}};
            GT_SetGadgetAttrsA(g, w, nullptr, end);
            break;
        }
        case GD_limited_lifespan:
            SetChecked(g, w, p.limited_lifespan);
            break;
        case GD_use_creation_delay:
            SetChecked(g, w, p.use_creation_delay);
            break;
        case GD_particle_grow:
            SetChecked(g, w, p.particle_grow);
            break;
        default:
            break;
    }
}

void SetDialogueVals(int which) {
    const Settings& p = current_prefs;
    switch (which) {
        case 0:
            for (int id = 0; id < VEXO_CNT; ++id) ShowMainSetting(id);
            break;
        case 1: {
            Window* w = VEXOscene_optionsWnd;
            SetNumber(VEXOscene_optionsGadgets[0], w, p.first_frame);
            SetNumber(VEXOscene_optionsGadgets[1], w, p.last_frame);
            SetNumber(VEXOscene_optionsGadgets[2], w, p.frame_step);
            break;
        }
        case 2: {
            Window* w = VEXOemission_optionsWnd;
            SetNumber(VEXOemission_optionsGadgets[0], w, p.heading_spread);
            SetNumber(VEXOemission_optionsGadgets[1], w, p.heading_angle);
            SetNumber(VEXOemission_optionsGadgets[2], w, p.pitch_spread);
            SetNumber(VEXOemission_optionsGadgets[3], w, p.pitch_angle);
            SetChecked(VEXOemission_optionsGadgets[4], w, p.oversampling);
            break;
        }
        case 3: {
            Window* w = VEXOeffect_optionsWnd;
            SetReal(VEXOeffect_optionsGadgets[0], w, p.gravity);
            SetChecked(VEXOeffect_optionsGadgets[1], w, p.ground_bounce);
            SetChecked(VEXOeffect_optionsGadgets[2], w, p.radial_creation);
            const TagItem path[] = {{GTMX_Active, p.linear_path == 0 ? 1u : 0u}, {TAG_DONE, 0}};
            GT_SetGadgetAttrsA(VEXOeffect_optionsGadgets[3], w, nullptr, path);
            SetReal(VEXOeffect_optionsGadgets[4], w, p.elasticity * 100);
            break;
        }
        case 4:
            for (int id = 0; id < kShapesCount; ++id) ShowShapesSetting(id);
            break;
        default:
            break;
    }
}

}  // namespace vexo::ui
