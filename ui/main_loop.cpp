// The main loop: validates typed input before it reaches the settings, keeps dependent gadgets
// enabled in step with their check boxes, runs the file requesters, the option windows, the
// menu commands and generation, and ends when the user confirms quitting.
#include <algorithm>
#include <cstring>
#include <string>

#include "engine/motion/scene_motion.hpp"
#include "engine/writers/point_cache.hpp"
#include "prefs/input_rules.hpp"
#include "ui/file_memory.hpp"
#include "ui/main_window.hpp"

namespace vexo::ui {

std::string overwrite_confirmed;
FileMemory previous_object, previous_motion, previous_scene;

namespace {

using MenuCommand = int (*)();

// Whether an entry was taken. A refused or cancelled one leaves the gadget showing the stored
// value, and what the same gesture queued behind it is dropped.
enum class Entry { Taken, Refused };

void SetDisabled(Gadget* g, bool disabled) {
    const TagItem tags[] = {{GA_Disabled, disabled ? 1u : 0u}, {TAG_DONE, 0}};
    GT_SetGadgetAttrsA(g, VEXOWnd, nullptr, tags);
}

// The message, the stored value shown again, and the cursor back in the gadget.
Entry Refuse(Gadget* g, const char* message) {
    MyEasyRequest(message, text::kOk);
    ShowMainSetting(g->GadgetID);
    ActivateGadget(g, VEXOWnd, nullptr);
    return Entry::Refused;
}

// Typed text longer than a path field holds is refused rather than cut; so is a folder, and a
// path with a control character, which would put lines of its own into the scene.
const char* PathRefusal(const char* typed, const char* folder_message) {
    if (HasControlCharacter(typed)) return input_text::kControlCharacter;
    if (std::strlen(typed) > kMaxPathLength) return text::kPathTooLong;
    if (IsFolder(typed)) return folder_message;
    return nullptr;
}

Entry PathRule(Gadget* g, PathField& field, const char* message, const char* folder_message) {
    const char* typed = GadgetString(g);
    if (const char* refusal = PathRefusal(typed, folder_message)) return Refuse(g, refusal);
    if (!CouldRead(typed)) return Refuse(g, message);
    SetPathText(field, typed);
    return Entry::Taken;
}

// A typed parent motion may name a node of a scene file ("scene.glb#Emitter").
Entry MotionPathRule(Gadget* g) {
    const char* typed = GadgetString(g);
    if (const char* refusal = PathRefusal(typed, text::kMotionIsFolder)) return Refuse(g, refusal);
    if (!CouldRead(SplitMotionPath(typed).file.c_str())) return Refuse(g, text::kBadMotion);
    SetPathText(current_prefs.parent_motion, typed);
    return Entry::Taken;
}

Entry TargetRule(Gadget* g) {
    const std::string typed = GadgetString(g);
    // Entering the stored name again (Return or Tab through the field) asks nothing again.
    if (typed == PathText(current_prefs.target_scene)) return Entry::Taken;
    if (const char* refusal = PathRefusal(typed.c_str(), text::kTargetIsFolder)) return Refuse(g, refusal);
    if (CouldRead(typed.c_str())) {
        if (MyEasyRequest(OverwriteQuestion(text::kTargetExists, typed).c_str(), text::kOkCancel) == 0) {
            ShowMainSetting(GD_target_scene);
            return Entry::Refused;
        }
    } else if (!CouldWrite(typed.c_str())) {
        return Refuse(g, text::kBadTarget);
    }
    SetPathText(current_prefs.target_scene, typed);
    return Entry::Taken;
}

// The number as stored: "007" shows 7, a number beyond 32 bits its limit.
Entry IntegerRule(Gadget* g, std::int32_t& field, const char* message) {
    const LONG number = GadgetLongInt(g);
    if (number < 0) return Refuse(g, message);
    field = number;
    ShowNumber(g, VEXOWnd, number);
    return Entry::Taken;
}

Entry NumberRule(Gadget* g, double& field) {
    const char* typed = GadgetString(g);
    if (const char* refusal = RefuseReal(typed)) return Refuse(g, refusal);
    field = FloatValue(typed);
    ShowEnteredReal(g, VEXOWnd, field);
    return Entry::Taken;
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
    if (button == FileButton::Scene) {
        tags.push_back({ASLFR_DoSaveMode, 1});
        tags.push_back({ASLFR_InitialPattern, reinterpret_cast<IPTR>(kTargetPattern)});
        tags.push_back({ASLFR_DoPatterns, 1});
    }
    if (button == FileButton::Motion) {
        tags.push_back({ASLFR_InitialPattern, reinterpret_cast<IPTR>(MotionPattern().c_str())});
        tags.push_back({ASLFR_DoPatterns, 1});
    }
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
    static const char* const kFolders[] = {text::kObjectIsFolder, text::kMotionIsFolder, text::kTargetIsFolder};
    const char* refusal = HasControlCharacter(whole_path) ? input_text::kControlCharacter
                          : IsFolder(whole_path)           ? kFolders[index]
                                                           : nullptr;
    if (refusal != nullptr) {
        MyEasyRequest(refusal, text::kOk);
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
            ShowMainSetting(GD_particle_object);
            break;
        }
        case FileButton::Motion: {
            std::string chosen = whole_path;
            if (!ChooseEmitterNode(chosen)) break;
            if (chosen.size() > kMaxPathLength) {
                MyEasyRequest(text::kFilenameOverflow, text::kOk);
                break;
            }
            SetPathText(current_prefs.parent_motion, chosen);
            ShowMainSetting(GD_parent_motion);
            break;
        }
        case FileButton::Scene:
            if (CouldRead(whole_path)) {
                if (MyEasyRequest(OverwriteQuestion(text::kTargetExists, whole_path).c_str(), text::kOkCancel) != 0) {
                    SetPathText(current_prefs.target_scene, whole_path);
                    overwrite_confirmed = whole_path;
                }
            } else {
                SetPathText(current_prefs.target_scene, whole_path);
            }
            ShowMainSetting(GD_target_scene);
            break;
    }
    FreeAslRequest(request);
}

// A path Generate cannot use, with the gadget to correct: each path as the writer needs it.
struct PathCheck {
    const PathField& field;
    MainGadget gadget;
    const char* missing;
    const char* folder;
};

Entry GenerateRule() {
    const Settings& p = current_prefs;
    const PathCheck checks[] = {
        {p.particle_object, GD_particle_object, text::kNoObject, text::kObjectIsFolder},
        {p.parent_motion, GD_parent_motion, text::kNoMotion, text::kMotionIsFolder},
        {p.target_scene, GD_target_scene, text::kNoTarget, text::kTargetIsFolder},
    };
    for (const PathCheck& check : checks) {
        const std::string path = PathText(check.field);
        if (path.empty()) return Refuse(VEXOGadgets[check.gadget], check.missing);
        if (IsFolder(path.c_str())) return Refuse(VEXOGadgets[check.gadget], check.folder);
    }
    // Agreeing in the file requester to overwrite one file covers that file alone.
    const std::string target = PathText(p.target_scene);
    if (CouldRead(target.c_str()) && target != overwrite_confirmed &&
        MyEasyRequest(OverwriteQuestion(text::kTargetExists, target).c_str(), text::kOkCancel) == 0) {
        return Entry::Refused;
    }
    // A point cache replaces the object beside it too.
    const SceneFormat format = FormatForTarget(target, SceneFormat::Lwsc1);
    const std::string object = IsPointCache(format) ? CompanionPath(target, format) : "";
    if (!object.empty() && CouldRead(object.c_str()) &&
        MyEasyRequest(OverwriteQuestion(text::kCacheObjectExists, object).c_str(), text::kOkCancel) == 0) {
        return Entry::Refused;
    }
    create_particle_scene();
    return Entry::Taken;
}

Entry GadgetUp(Gadget* g) {
    Settings& p = current_prefs;
    switch (g->GadgetID) {
        case GD_particle_object:
            return PathRule(g, p.particle_object, text::kBadObject, text::kObjectIsFolder);
        case GD_parent_motion:
            return MotionPathRule(g);
        case GD_target_scene:
            return TargetRule(g);
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
            return IntegerRule(g, p.num_particles, input_text::kNegativeParticles);
        case GD_particles_per_frame:
            return IntegerRule(g, p.particles_per_frame, input_text::kNegativePerFrame);
        case GD_lifespan:
            return IntegerRule(g, p.lifespan, input_text::kNegativeLifespan);
        case GD_velocity:
            return NumberRule(g, p.velocity);
        case GD_velocity_variation:
            return NumberRule(g, p.velocity_variation);
        case GD_creation_delay:
            return IntegerRule(g, p.creation_delay, input_text::kNegativeDelay);
        case GD_start_size:
            return NumberRule(g, p.start_size);
        case GD_end_size:
            return NumberRule(g, p.end_size);
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
        case GD_shapes_options:
            shapes_options();
            break;
        case GD_generate:
            return GenerateRule();
        case GD_preview:
            preview_window();
            return Entry::Taken;
        default:
            break;
    }
    return Entry::Taken;
}

}  // namespace

int scene_options_menu() {
    scene_options();
    return 0;
}
int emission_options_menu() {
    emission_options();
    return 0;
}
int effect_options_menu() {
    effect_options();
    return 0;
}
int shapes_options_menu() {
    shapes_options();
    return 0;
}

void WaitMessages(Window* window) {
    int done = 0;
    while (done == 0) {
        // A break that arrives while no generation or option window listens is dropped here:
        // kept, it would stop the next generation before its first object.
        Wait((1u << window->UserPort->mp_SigBit) | SIGBREAKF_CTRL_C);
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
                    if (GadgetUp(gadget) == Entry::Refused) DropQueuedMessages(window);
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
