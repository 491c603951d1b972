// What the windows and commands of the desktop program share: the settings record, the engine
// state of the run, the screen resources of start-up, the path buffer of the file requesters,
// and the commands the main window calls.
#pragma once

#include <string>

#include "engine/create_scene.hpp"
#include "engine/engine_state.hpp"
#include "engine/settings/settings.hpp"
#include "ui/platform/platform.hpp"

namespace vexo::ui {

using namespace vexo::platform;

inline constexpr const char* kDisplayName = "Vexo";
// Shown in the screen's title bar while one of the program's windows is active.
inline constexpr const char* kScreenTitle = "Vexo 1.1 - particle scenes for LightWave";
extern const char VersionString[];

extern Settings current_prefs;
extern EngineState engine_state;

extern Library* IntuitionBase;
extern Library* GfxBase;
extern Library* GadToolsBase;
extern Library* UtilityBase;
extern Library* AslBase;

extern const char* PubScreenName;
extern Screen* Scr;
extern APTR VisualInfo;
extern IClass* getClass;
extern Object* getImage;
extern TextAttr topaz8;

extern Window* VEXOWnd;
inline constexpr std::size_t kPathBufferSize = 255;
extern char whole_path[kPathBufferSize];

// Start-up (vexo_main.cpp).
int VexoMain();
int SetupScreen();
void CloseDownScreen();

// Requesters and small commands (requesters.cpp).
LONG MyEasyRequest(const char* text, const char* buttons);
int quit_menu();
int about_menu();
void CloseWindowSafely(Window* window);
int CouldRead(const char* path);
int CouldWrite(const char* path);
// 1 if the path names a folder (which can be opened for reading but is no file), else 0.
int IsFolder(const char* path);
// Takes every message still queued at the window's port: after a refused entry, what the same
// gesture queued behind it (a click on "Generate", the close gadget) is dropped.
void DropQueuedMessages(Window* window);
// An overwrite question that names the file: the head, the path, then "Overwrite?".
std::string OverwriteQuestion(const char* head, const std::string& path);
// A message about a file: the head, the path (broken to fit the requester), then the tail (the
// system's reason, say), each after an empty line.
std::string FileMessage(const char* head, const std::string& path, const std::string& tail);

// The target scene's file pattern: every format the engine writes.
inline constexpr const char* kTargetPattern = "#?.(lws|gltf|glb|pc2|mdd)";
// The parent motion's file pattern: motion files and every scene format the engine reads
// (emitter_node.cpp).
const std::string& MotionPattern();
// When `path` is a scene file with several animated nodes, asks which one is the emitter and
// appends "#NODE". False when the user cancelled.
bool ChooseEmitterNode(std::string& path);

// Commands behind the main window's buttons and menu.
void create_particle_scene();
void scene_options();
void emission_options();
void effect_options();
void shapes_options();
// The option windows as menu commands: each opens its window and returns 0 (go on).
int scene_options_menu();
int emission_options_menu();
int effect_options_menu();
int shapes_options_menu();
int load_prefs_menu();
int save_prefs_menu();
int reset_prefs_menu();
// The preview window (preview_window.cpp): opens it or brings it to the front; closes it.
void preview_window();
int preview_menu();
void ClosePreviewWindow();

// What a gadget's tooltip explains: the setting it edits, in the words of the settings help
// table, or else what the gadget does.
struct GadgetHint {
    const char* field;  // a settings field name, or null
    const char* does;   // for a gadget that edits no setting
};
// The tooltip text of a hint: the setting's help (what, unit, range) or the gadget's action.
std::string HintText(const GadgetHint& hint);
// Gives the gadget its tooltip.
void SetGadgetHint(Gadget* gadget, const GadgetHint& hint);

// Copies the record into the gadgets of the main window (0) or an option window (1 scene,
// 2 emission, 3 effect, 4 shapes and forces); the window must be open.
void SetDialogueVals(int which);

// The main loop: returns when the user has confirmed quitting.
void WaitMessages(Window* window);

// File-button image class (boopsi.cpp).
IClass* initGet();
IPTR DoSuperMethodA(IClass* cl, Object* object, Msg msg);

// Texts of the program, word for word.
namespace text {
inline constexpr const char* kTitle = "VEXO Message";
inline constexpr const char* kOk = "Ok";
inline constexpr const char* kOkCancel = "Ok|Cancel";
inline constexpr const char* kQuit = "Are you sure you want\nto quit VEXO?";
inline constexpr const char* kAbout =
    "Vexo\n----\n\n version 1.1, 27.01.2002. Particle scenes for\n LightWave, emitted from the keyed motion\n"
    " of a parent object.\n\n Written by the Vexo developers.";
inline constexpr const char* kTargetExists = "Target scene already exists...";  // OverwriteQuestion's head
// OverwriteQuestion's head for the object written beside a point cache.
inline constexpr const char* kCacheObjectExists = "The point cache's object\nalready exists...";
inline constexpr const char* kBadObject = "Unable to open particle object\n\nPath probably invalid\nPlease re-enter";
inline constexpr const char* kBadMotion = "Unable to open parent motion\n\nPath probably invalid.\nPlease re-enter.";
inline constexpr const char* kBadTarget = "Cannot create target scene...\n\nPath probably invalid.\nPlease re-enter.";
inline constexpr const char* kPathTooLong = "This path is too long:\nat most 254 characters.\n\nPlease re-enter.";
inline constexpr const char* kFilenameOverflow = "Filename overflow";
inline constexpr const char* kMotionFileError = "Could not create scene.\n\nMotion file error.";
inline constexpr const char* kMemoryError = "Could not create scene.\n\nMemory allocation error.";
inline constexpr const char* kPrefsExists = "Preferences file already\nexists.";  // OverwriteQuestion's head
inline constexpr const char* kOverwrite = "Overwrite?";
inline constexpr const char* kObjectIsFolder = "The particle object is a folder,\nnot a file.\n\nPlease re-enter.";
inline constexpr const char* kMotionIsFolder = "The parent motion is a folder,\nnot a file.\n\nPlease re-enter.";
inline constexpr const char* kTargetIsFolder = "The target scene is a folder,\nnot a file.\n\nPlease re-enter.";
inline constexpr const char* kNoObject = scene_text::kNoParticleObject;
inline constexpr const char* kNoMotion = "Cannot create a scene\nwithout a parent motion.\n\nPlease enter one.";
inline constexpr const char* kNoTarget = "Cannot create a scene\nwithout a target scene.\n\nPlease enter one.";
inline constexpr const char* kSessionNotRead =
    "The settings of the last session\ncould not be read; Vexo starts\nwith the defaults.";  // FileMessage's
                                                                                             // head
inline constexpr const char* kSessionNotKept =
    "Could not keep the settings\nfor the next start.";  // FileMessage's head
inline constexpr const char* kReset = "Set every setting back to\nits default?";
inline constexpr const char* kSelectNode = "Select emitter node";
// What the main window's buttons do, as their tooltips say it.
inline constexpr const char* kHintGetObject = "Opens a file requester to choose the particle object.";
inline constexpr const char* kHintGetMotion =
    "Opens a file requester to choose the parent motion: a motion file or an animated scene file.";
inline constexpr const char* kHintGetScene = "Opens a file requester to choose the target scene.";
inline constexpr const char* kHintSceneOptions =
    "Opens the scene options: first frame, last frame and frame step.";
inline constexpr const char* kHintEmissionOptions =
    "Opens the emission options: heading and pitch angles and spreads, and oversampling.";
inline constexpr const char* kHintEffectOptions =
    "Opens the effect options: gravity, ground bounce, radial creation, the path mode and elasticity.";
inline constexpr const char* kHintShapesOptions =
    "Opens the shapes and forces: the emitter and collision objects, wind, drag, turbulence and spin.";
inline constexpr const char* kHintGenerate =
    "Writes the target scene from these settings; a progress window shows how far it is and can stop it.";
inline constexpr const char* kHintPreview =
    "Opens the preview: the particle stream these settings give, redrawn as they change (Ctrl+P).";
inline constexpr const char* kSeveralNodes = "The scene file holds several\nanimated nodes. Which one\nis the emitter?";
}  // namespace text

}  // namespace vexo::ui
