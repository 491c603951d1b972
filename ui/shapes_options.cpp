// The shapes and forces window: the emitter object and where particles leave it, the collision
// object and its friction, wind, drag, turbulence and spin. Every entry is checked as it is made
// and stored at once: numbers against their field's range, meshes by reading them as a
// generation would. Closing keeps what was stored.
#include <optional>
#include <string>
#include <vector>

#include "engine/settings/settings_fields.hpp"
#include "engine/simulation/scene_meshes.hpp"
#include "prefs/input_rules.hpp"
#include "ui/file_memory.hpp"
#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"

namespace vexo::ui {

Window* VEXOshapes_optionsWnd = nullptr;
Gadget* VEXOshapes_optionsGList = nullptr;
Gadget* VEXOshapes_optionsGadgets[kShapesCount] = {};
FileMemory previous_emitter, previous_collision;
const char* emit_from_mx0Labels[] = {"Point", "Vertices", "Surface", "Volume", nullptr};

namespace text {
inline constexpr const char* kEmitterIsFolder =
    "The emitter object is a folder,\nnot a file.\n\nPlease re-enter.";
inline constexpr const char* kCollisionIsFolder =
    "The collision object is a folder,\nnot a file.\n\nPlease re-enter.";
inline constexpr const char* kHintGetEmitter = "Opens a file requester to choose the emitter object.";
inline constexpr const char* kHintGetCollision = "Opens a file requester to choose the collision object.";
}  // namespace text

namespace {

const UWORD VEXOshapes_optionsLeft = 150, VEXOshapes_optionsTop = 80;
const UWORD VEXOshapes_optionsWidth = 484, VEXOshapes_optionsHeight = 176;
const char* const VEXOshapes_optionsWdt = "Shapes and forces";

// The gadget tables, in id order.
// clang-format off
const ULONG VEXOshapes_optionsGTypes[kShapesCount] = {
    STRING_KIND, GENERIC_KIND, TEXT_KIND, MX_KIND, CHECKBOX_KIND, STRING_KIND, GENERIC_KIND,
    STRING_KIND, STRING_KIND, STRING_KIND, STRING_KIND, STRING_KIND, STRING_KIND, STRING_KIND, STRING_KIND};

const NewGadget VEXOshapes_optionsNGad[kShapesCount] = {
    {150, 6, 250, 14, "Emitter object", nullptr, GD_emitter_object, PLACETEXT_LEFT, nullptr, nullptr},
    {402, 6, 20, 14, nullptr, nullptr, GD_get_emitter, 0, nullptr, nullptr},
    {70, 25, 60, 10, nullptr, nullptr, GD_emit_from_text, 0, nullptr, nullptr},
    {150, 26, 17, 9, nullptr, nullptr, GD_emit_from, PLACETEXT_RIGHT, nullptr, nullptr},
    {396, 25, 26, 11, "Along the normal", nullptr, GD_emit_along_normal, PLACETEXT_LEFT, nullptr, nullptr},
    {150, 74, 250, 14, "Collision object", nullptr, GD_collision_object, PLACETEXT_LEFT, nullptr, nullptr},
    {402, 74, 20, 14, nullptr, nullptr, GD_get_collision, 0, nullptr, nullptr},
    {150, 90, 86, 14, "Friction", nullptr, GD_friction, PLACETEXT_LEFT, nullptr, nullptr},
    {150, 110, 86, 14, "Wind x (m/s/s)", nullptr, GD_wind_x, PLACETEXT_LEFT, nullptr, nullptr},
    {150, 126, 86, 14, "Wind y (m/s/s)", nullptr, GD_wind_y, PLACETEXT_LEFT, nullptr, nullptr},
    {150, 142, 86, 14, "Wind z (m/s/s)", nullptr, GD_wind_z, PLACETEXT_LEFT, nullptr, nullptr},
    {150, 158, 86, 14, "Drag (per second)", nullptr, GD_drag, PLACETEXT_LEFT, nullptr, nullptr},
    {390, 110, 86, 14, "Turbulence (m/s/s)", nullptr, GD_turbulence, PLACETEXT_LEFT, nullptr, nullptr},
    {390, 126, 86, 14, "Turbulence size", nullptr, GD_turbulence_size, PLACETEXT_LEFT, nullptr, nullptr},
    {390, 142, 86, 14, "Spin (degrees/s)", nullptr, GD_spin, PLACETEXT_LEFT, nullptr, nullptr},
};

const GadgetHint VEXOshapes_optionsHints[kShapesCount] = {
    {"emitter_object", nullptr}, {nullptr, text::kHintGetEmitter}, {"emit_from", nullptr}, {"emit_from", nullptr},
    {"emit_along_normal", nullptr}, {"collision_object", nullptr}, {nullptr, text::kHintGetCollision},
    {"friction", nullptr}, {"wind_x", nullptr}, {"wind_y", nullptr}, {"wind_z", nullptr}, {"drag", nullptr},
    {"turbulence", nullptr}, {"turbulence_size", nullptr}, {"spin", nullptr}};

const TagItem VEXOshapes_optionsGTags[] = {
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
    {TAG_DONE, 0},
    {GTTX_Text, reinterpret_cast<IPTR>("Emit from")}, {TAG_DONE, 0},
    {GTMX_Labels, reinterpret_cast<IPTR>(emit_from_mx0Labels)}, {GTMX_Spacing, 2}, {TAG_DONE, 0},
    {TAG_DONE, 0},
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
    {TAG_DONE, 0},
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
    {GTST_MaxChars, 256}, {TAG_DONE, 0},
};
// clang-format on

// The settings field a decimal gadget edits; the field table holds its member and range.
const FieldInfo& RealField(UWORD id) {
    static const char* const kNames[] = {"friction", "wind_x",     "wind_y",          "wind_z",
                                         "drag",     "turbulence", "turbulence_size", "spin"};
    return *FindSettingsField(kNames[id - GD_friction]);
}

std::string RangeRefusal(const RealRange& range) {
    return std::string("This number must be\n") + range.Words() + ".\n\nPlease re-enter.";
}

Window* Wnd() {
    return VEXOshapes_optionsWnd;
}
Gadget* Gad(int id) {
    return VEXOshapes_optionsGadgets[id];
}
EmitFrom StoredEmitFrom() {
    return static_cast<EmitFrom>(current_prefs.emit_from);
}

// The message, the stored value shown again and the cursor back in the gadget.
bool Refuse(Gadget* g, const std::string& message) {
    MyEasyRequest(message.c_str(), text::kOk);
    ShowShapesSetting(g->GadgetID);
    ActivateGadget(g, Wnd(), nullptr);
    return false;
}

bool EnterReal(Gadget* g) {
    const FieldInfo& field = RealField(g->GadgetID);
    const char* typed = GadgetString(g);
    if (const char* refusal = RefuseReal(typed)) return Refuse(g, refusal);
    const double value = FloatValue(typed);
    if (!field.range.Holds(value)) return Refuse(g, RangeRefusal(field.range));
    current_prefs.*std::get<double Settings::*>(field.member) = value;
    ShowEnteredReal(g, Wnd(), value);
    return true;
}

// Why a mesh path cannot be stored, or nothing: an empty path means no mesh; any other must be
// a file the meshes' check accepts for the role.
std::optional<std::string> MeshRefusal(const std::string& path, bool emitter, EmitFrom from) {
    if (path.empty()) return std::nullopt;
    if (HasControlCharacter(path)) return std::string(input_text::kControlCharacter);
    if (path.size() > kMaxPathLength) return std::string(text::kPathTooLong);
    if (IsFolder(path.c_str()))
        return std::string(emitter ? text::kEmitterIsFolder : text::kCollisionIsFolder);
    return emitter ? CheckEmitterObject(path, from) : CheckCollisionObject(path);
}

PathField& MeshField(bool emitter) {
    return emitter ? current_prefs.emitter_object : current_prefs.collision_object;
}

bool EnterMeshPath(Gadget* g, bool emitter) {
    const std::string typed = GadgetString(g);
    // Entering the stored path again (Tab through the field) reads nothing again.
    if (typed == PathText(MeshField(emitter))) return true;
    if (const std::optional<std::string> refusal = MeshRefusal(typed, emitter, StoredEmitFrom()))
        return Refuse(g, *refusal);
    SetPathText(MeshField(emitter), typed);
    return true;
}

// A new place of emission must suit the emitter object already chosen (volume needs a closed one).
bool ChooseEmitFrom(Gadget* g, UWORD choice) {
    const auto from = static_cast<EmitFrom>(choice);
    const std::string emitter = PathText(current_prefs.emitter_object);
    if (from != EmitFrom::Point && from != StoredEmitFrom() && !emitter.empty()) {
        if (const std::optional<std::string> refusal = CheckEmitterObject(emitter, from)) {
            MyEasyRequest(refusal->c_str(), text::kOk);
            ShowShapesSetting(g->GadgetID);
            return false;
        }
    }
    current_prefs.emit_from = static_cast<std::int32_t>(from);
    return true;
}

void FileButtonRule(bool emitter) {
    FileMemory& memory = emitter ? previous_emitter : previous_collision;
    const TagItem tags[] = {
        {ASLFR_TitleText,
         reinterpret_cast<IPTR>(emitter ? "Select emitter object" : "Select collision object")},
        {ASLFR_InitialDrawer, reinterpret_cast<IPTR>(memory.drawer)},
        {ASLFR_InitialFile, reinterpret_cast<IPTR>(memory.file)},
        {ASLFR_InitialWidth, 300},
        {ASLFR_InitialHeight, 400},
        {ASLFR_RejectIcons, 1},
        {ASLFR_Window, reinterpret_cast<IPTR>(Wnd())},
        {ASLFR_SleepWindow, 1},
        {TAG_DONE, 0},
    };
    auto* request = static_cast<FileRequester*>(AllocAslRequest(ASL_FileRequest, tags));
    if (request == nullptr) return;
    if (AslRequest(request, nullptr)) {
        if (!memory.Remember(request->fr_Drawer, request->fr_File)) {
            MyEasyRequest(text::kFilenameOverflow, text::kOk);  // the drawer alone would name no mesh
        } else if (const std::optional<std::string> refusal =
                       MeshRefusal(whole_path, emitter, StoredEmitFrom())) {
            MyEasyRequest(refusal->c_str(), text::kOk);
        } else {
            SetPathText(MeshField(emitter), whole_path);
            ShowShapesSetting(emitter ? GD_emitter_object : GD_collision_object);
        }
    }
    FreeAslRequest(request);
}

}  // namespace

void ShowShapesSetting(int id) {
    const Settings& p = current_prefs;
    Window* w = Wnd();
    switch (id) {
        case GD_emitter_object:
            ShowText(Gad(id), w, PathText(p.emitter_object).c_str());
            break;
        case GD_collision_object:
            ShowText(Gad(id), w, PathText(p.collision_object).c_str());
            break;
        case GD_emit_from: {
            const TagItem tags[] = {{GTMX_Active, static_cast<IPTR>(static_cast<ULONG>(p.emit_from))},
                                    {TAG_DONE, 0}};
            GT_SetGadgetAttrsA(Gad(id), w, nullptr, tags);
            break;
        }
        case GD_emit_along_normal: {
            const TagItem tags[] = {{GTCB_Checked, p.emit_along_normal != 0 ? 1u : 0u}, {TAG_DONE, 0}};
            GT_SetGadgetAttrsA(Gad(id), w, nullptr, tags);
            break;
        }
        default:
            if (id >= GD_friction && id < kShapesCount) {
                ShowReal(Gad(id), w,
                         p.*std::get<double Settings::*>(RealField(static_cast<UWORD>(id)).member));
            }
            break;
    }
}

int OpenVEXOshapes_optionsWindow() {
    const WindowSpec spec{
        &VEXOshapes_optionsWnd,
        &VEXOshapes_optionsGList,
        VEXOshapes_optionsGadgets,
        kShapesCount,
        VEXOshapes_optionsGTypes,
        VEXOshapes_optionsNGad,
        VEXOshapes_optionsGTags,
        VEXOshapes_optionsLeft,
        VEXOshapes_optionsTop,
        VEXOshapes_optionsWidth,
        VEXOshapes_optionsHeight,
        VEXOshapes_optionsWdt,
        IDCMP_GADGETUP | IDCMP_GADGETDOWN | IDCMP_CLOSEWINDOW | IDCMP_REFRESHWINDOW,
        WFLG_DRAGBAR | WFLG_DEPTHGADGET | WFLG_CLOSEGADGET | WFLG_ACTIVATE | WFLG_SMART_REFRESH,
        kScreenTitle,
        VisualInfo,
        VEXOshapes_optionsHints};
    return OpenSpecWindow(spec);
}

void CloseVEXOshapes_optionsWindow() {
    CloseSpecWindow(&VEXOshapes_optionsWnd, &VEXOshapes_optionsGList);
}

void WaitShOMessages() {
    OptionWindowLoop(VEXOshapes_optionsWnd, [](ULONG cls, UWORD code, Gadget* gadget) {
        // The place of emission reports on gadget down, as radio choices do.
        if (cls == IDCMP_GADGETDOWN && gadget->GadgetID == GD_emit_from) return ChooseEmitFrom(gadget, code);
        if (cls != IDCMP_GADGETUP) return true;
        switch (gadget->GadgetID) {
            case GD_emitter_object:
                return EnterMeshPath(gadget, true);
            case GD_collision_object:
                return EnterMeshPath(gadget, false);
            case GD_get_emitter:
                FileButtonRule(true);
                return true;
            case GD_get_collision:
                FileButtonRule(false);
                return true;
            case GD_emit_along_normal:
                current_prefs.emit_along_normal = static_cast<std::int16_t>(gadget->Flags & GFLG_SELECTED);
                return true;
            default:
                return gadget->GadgetID >= GD_friction ? EnterReal(gadget) : true;
        }
    });
}

void shapes_options() {
    if (OpenVEXOshapes_optionsWindow() == 0) {
        SetDialogueVals(4);
        WaitShOMessages();
    }
    CloseVEXOshapes_optionsWindow();
}

}  // namespace vexo::ui
