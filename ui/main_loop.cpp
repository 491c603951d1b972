// The main loop: validates typed input before it reaches the settings, keeps dependent gadgets
// enabled in step with their check boxes, runs the file requesters, the option windows, the
// menu commands and generation, and ends when the user confirms quitting.
#include <algorithm>
#include <cstring>
#include <string>

#include "prefs/input_rules.hpp"
#include "ui/file_memory.hpp"
#include "ui/main_window.hpp"

namespace vexo::ui {

int overwrite_confirmed = 0;
FileMemory previous_object, previous_motion, previous_scene;

namespace {

using MenuCommand = int (*)();

void ShowText(Gadget* g, const char* text) {
    const TagItem tags[] = {{GTST_String, reinterpret_cast<IPTR>(text)}, {TAG_DONE, 0}};
    GT_SetGadgetAttrsA(g, VEXOWnd, nullptr, tags);
}

void SetDisabled(Gadget* g, bool disabled) {
    const TagItem tags[] = {{GA_Disabled, disabled ? 1u : 0u}, {TAG_DONE, 0}};
    GT_SetGadgetAttrsA(g, VEXOWnd, nullptr, tags);
}

void Refuse(Gadget* g, const char* message) {
    MyEasyRequest(message, text::kOk);
    ActivateGadget(g, VEXOWnd, nullptr);
}

// Typed text longer than a path field holds is refused rather than cut.
bool FitsPathField(Gadget* g, const char* typed) {
    if (std::strlen(typed) <= kMaxPathLength) return true;
    Refuse(g, text::kPathTooLong);
    return false;
}

void PathRule(Gadget* g, PathField& field, const char* message) {
    const char* typed = GadgetString(g);
    if (!FitsPathField(g, typed)) return;
    if (CouldRead(typed)) {
        SetPathText(field, typed);
    } else {
        Refuse(g, message);
    }
}

void TargetRule(Gadget* g) {
    const char* typed = GadgetString(g);
    if (!FitsPathField(g, typed)) return;
    if (CouldRead(typed)) {
        if (MyEasyRequest(text::kTargetExists, text::kOkCancel) != 0) SetPathText(current_prefs.target_scene, typed);
    } else if (CouldWrite(typed)) {
        SetPathText(current_prefs.target_scene, typed);
    } else {
        Refuse(g, text::kBadTarget);
    }
}

void IntegerRule(Gadget* g, std::int32_t& field, const char* message) {
    const LONG number = GadgetLongInt(g);
    if (number >= 0) {
        field = number;
    } else {
        Refuse(g, message);
    }
}

void NumberRule(Gadget* g, double& field) {
    const char* typed = GadgetString(g);
    if (isfloat(typed)) {
        field = FloatValue(typed);
    } else {
        Refuse(g, input_text::kNotANumber);
    }
}

std::int16_t Ticked(Gadget* g) { return static_cast<std::int16_t>(g->Flags & GFLG_SELECTED); }

enum class FileButton { Object, Motion, Scene };

void FileRequesterRule(FileButton button) {
    static const char* const kTitles[] = {"Select particle object", "Select parent motion", "Select target scene"};
    FileMemory* memories[] = {&previous_object, &previous_motion, &previous_scene};
    const int index = static_cast<int>(button);
    FileMemory& memory = *memories[index];

    std::vector<TagItem> tags = {
        {ASLFR_TitleText, reinterpret_cast<IPTR>(kTitles[index])},
        {ASLFR_InitialDrawer, reinterpret_cast<IPTR>(memory.drawer)},
        {ASLFR_InitialFile, reinterpret_cast<IPTR>(memory.file)},
        {ASLFR_InitialWidth, 300},
        {ASLFR_InitialHeight, 400},
        {ASLFR_RejectIcons, 1},
        {ASLFR_Window, reinterpret_cast<IPTR>(VEXOWnd)},
        {ASLFR_SleepWindow, 1},
    };
    if (button == FileButton::Scene) tags.push_back({ASLFR_DoSaveMode, 1});
    tags.push_back({TAG_DONE, 0});
    auto* request = static_cast<FileRequester*>(AllocAslRequest(ASL_FileRequest, tags.data()));
    if (request == nullptr) return;
    if (!AslRequest(request, nullptr)) {
        FreeAslRequest(request);
        return;
    }
    if (!memory.Remember(request->fr_Drawer, request->fr_File)) {
        // The joined path does not fit: storing the drawer alone would name the wrong file.
        MyEasyRequest(text::kFilenameOverflow, text::kOk);
        FreeAslRequest(request);
        return;
    }
    switch (button) {
        case FileButton::Object: {
            BPTR lock = Lock(whole_path, SHARED_LOCK);
            char full[kPathBufferSize];
            if (lock != nullptr && NameFromLock(lock, full, sizeof full)) {
                SetPathText(current_prefs.particle_object, full);
            } else {
                SetPathText(current_prefs.particle_object, whole_path);  // a name that does not exist yet
            }
            if (lock != nullptr) UnLock(lock);
            ShowText(VEXOGadgets[GD_particle_object], PathText(current_prefs.particle_object).c_str());
            break;
        }
        case FileButton::Motion:
            SetPathText(current_prefs.parent_motion, whole_path);
            ShowText(VEXOGadgets[GD_parent_motion], whole_path);
            break;
        case FileButton::Scene:
            if (CouldRead(whole_path)) {
                if (MyEasyRequest(text::kTargetExists, text::kOkCancel) != 0) {
                    SetPathText(current_prefs.target_scene, whole_path);
                    overwrite_confirmed = 1;
                }
            } else {
                SetPathText(current_prefs.target_scene, whole_path);
            }
            ShowText(VEXOGadgets[GD_target_scene], PathText(current_prefs.target_scene).c_str());
            break;
    }
    FreeAslRequest(request);
}

void GenerateRule() {
    const std::string target = PathText(current_prefs.target_scene);
    if (CouldRead(target.c_str()) && overwrite_confirmed == 0) {
        if (MyEasyRequest(text::kTargetExists, text::kOkCancel) != 0) create_particle_scene();
        return;
    }
    create_particle_scene();
}

void GadgetUp(Gadget* g) {
    Settings& p = current_prefs;
    switch (g->GadgetID) {
        case GD_particle_object:
            PathRule(g, p.particle_object, text::kBadObject);
            break;
        case GD_parent_motion:
            PathRule(g, p.parent_motion, text::kBadMotion);
            break;
        case GD_target_scene:
            TargetRule(g);
            break;
        case GD_get_object:
            FileRequesterRule(FileButton::Object);
            break;
        case GD_get_motion:
            FileRequesterRule(FileButton::Motion);
            break;
        case GD_get_scene:
            FileRequesterRule(FileButton::Scene);
            break;
        case GD_num_particles:
            IntegerRule(g, p.num_particles, input_text::kNegativeParticles);
            break;
        case GD_particles_per_frame:
            IntegerRule(g, p.particles_per_frame, input_text::kNegativePerFrame);
            break;
        case GD_lifespan:
            IntegerRule(g, p.lifespan, input_text::kNegativeLifespan);
            break;
        case GD_velocity:
            NumberRule(g, p.velocity);
            break;
        case GD_velocity_variation:
            NumberRule(g, p.velocity_variation);
            break;
        case GD_creation_delay:
            IntegerRule(g, p.creation_delay, input_text::kNegativeDelay);
            break;
        case GD_start_size:
            NumberRule(g, p.start_size);
            break;
        case GD_end_size:
            NumberRule(g, p.end_size);
            break;
        case GD_limited_lifespan:
            p.limited_lifespan = Ticked(g);
            SetDisabled(VEXOGadgets[GD_lifespan], p.limited_lifespan == 0);
            SetDisabled(VEXOGadgets[GD_end_behavior], p.limited_lifespan == 0);
            break;
        case GD_use_creation_delay:
            p.use_creation_delay = Ticked(g);
            SetDisabled(VEXOGadgets[GD_creation_delay], p.use_creation_delay == 0);
            break;
        case GD_particle_grow:
            p.particle_grow = Ticked(g);
            SetDisabled(VEXOGadgets[GD_end_size], p.particle_grow == 0);
            break;
        case GD_scene_options:
            scene_options();
            break;
        case GD_emission_options:
            emission_options();
            break;
        case GD_effect_options:
            effect_options();
            break;
        case GD_generate:
            GenerateRule();
            break;
        case GD_preview:
            preview_window();
            break;
        default:
            break;
    }
}

}  // namespace

void WaitMessages(Window* window) {
    int done = 0;
    while (done == 0) {
        Wait(1u << window->UserPort->mp_SigBit);
        while (done == 0) {
            IntuiMessage* message = GT_GetIMsg(window->UserPort);
            if (message == nullptr) break;
            const ULONG cls = message->Class;
            UWORD code = message->Code;
            auto* gadget = static_cast<Gadget*>(message->IAddress);
            GT_ReplyIMsg(message);
            switch (cls) {
                case IDCMP_CLOSEWINDOW:
                    if (MyEasyRequest(text::kQuit, text::kOkCancel) != 0) done = 1;
                    break;
                case IDCMP_GADGETDOWN:
                    if (gadget->GadgetID == GD_end_behavior) current_prefs.end_behavior = code;
                    break;
                case IDCMP_GADGETUP:
                    GadgetUp(gadget);
                    break;
                case IDCMP_MENUPICK:
                    while (code != MENUNULL) {
                        MenuItem* item = ItemAddress(VEXOMenus, code);
                        if (item == nullptr) break;
                        if (auto command = reinterpret_cast<MenuCommand>(GTMENUITEM_USERDATA(item))) done = command();
                        code = item->NextSelect;
                    }
                    VEXORender(0);
                    break;
                case IDCMP_REFRESHWINDOW:
                    VEXORender(0);
                    break;
                default:
                    break;
            }
        }
    }
}

}  // namespace vexo::ui
