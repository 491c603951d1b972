// The four option windows (effect, emission, scene, shapes and forces) and the progress window:
// their globals, their shared opening routine and their commands.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ui/gadget_layout.hpp"
#include "ui/vexo.hpp"

namespace vexo::ui {

extern Window* VEXOeffect_optionsWnd;
extern Gadget* VEXOeffect_optionsGList;
extern Gadget* VEXOeffect_optionsGadgets[5];
extern Window* VEXOemission_optionsWnd;
extern Gadget* VEXOemission_optionsGList;
extern Gadget* VEXOemission_optionsGadgets[5];
extern Window* VEXOscene_optionsWnd;
extern Gadget* VEXOscene_optionsGList;
extern Gadget* VEXOscene_optionsGadgets[3];
extern APTR soVisualInfo;

// Gadget ids of the shapes and forces window; the decimal fields come last, from friction on.
enum ShapesGadget : UWORD {
    GD_emitter_object = 0,
    GD_get_emitter = 1,
    GD_emit_from_text = 2,
    GD_emit_from = 3,
    GD_emit_along_normal = 4,
    GD_collision_object = 5,
    GD_get_collision = 6,
    GD_friction = 7,
    GD_wind_x = 8,
    GD_wind_y = 9,
    GD_wind_z = 10,
    GD_drag = 11,
    GD_turbulence = 12,
    GD_turbulence_size = 13,
    GD_spin = 14,
};
inline constexpr int kShapesCount = 15;
extern Window* VEXOshapes_optionsWnd;
extern Gadget* VEXOshapes_optionsGList;
extern Gadget* VEXOshapes_optionsGadgets[kShapesCount];
extern const char* emit_from_mx0Labels[];
extern Window* VEXOcreatingWnd;
extern Gadget* VEXOcreatingGList;
extern Gadget* VEXOcreatingGadgets[3];  // "Abort", the object text, the bytes text

// The free bytes of a target's file system, as Generate asks before writing; when not set, the
// system is asked. Lets tests say how much room there is.
extern std::function<std::optional<std::uint64_t>(const std::string& target)> free_space_query;
// Generate asks before writing a scene larger than this (kLargeScene; tests make it small).
extern std::uint64_t large_scene_bytes;

// The progress window's texts: "object 3 of 20" ("measuring object 3 of 20" while the scene is
// measured before it is written) and "1.2 MB of 8.0 MB written".
std::string ProgressObjects(std::uint32_t done, std::uint32_t total, bool measuring);
std::string ProgressBytes(std::uint64_t written, std::uint64_t total);
// The main window's title after a finished Generate: "Vexo: wrote 20 objects to s.lws, 964 bytes".
std::string FinishedTitle(std::uint32_t objects, bool cache, const std::string& files, std::uint64_t bytes);

extern const char* linear_path_mx0Labels[];

// One window's tables and globals, for the opening routine all option windows share. Its
// gadgets are laid out for the font in use (gadget_layout.hpp), and each gets the tooltip its
// hint names. A GENERIC_KIND gadget is a file button drawn by the file-button image.
struct WindowSpec {
    Window** wnd;
    Gadget** glist;
    Gadget** gadgets;
    int count;
    const ULONG* types;
    const NewGadget* ngad;
    const TagItem* tags;
    UWORD left, top, width, height;
    const char* title;
    ULONG idcmp;
    ULONG flags;
    const char* screen_title;
    APTR visual_info;
    const GadgetHint* hints = nullptr;  // one per gadget, or none
};

// The window's gadgets and size fitted to the font in use and its title.
GadgetLayout FitToFont(const WindowSpec& spec);

// 0 opened; 1 no gadget context; 2 a gadget could not be made; 4 the window did not open.
// Frees nothing on failure: CloseSpecWindow releases whatever exists.
int OpenSpecWindow(const WindowSpec& spec);
void CloseSpecWindow(Window** wnd, Gadget** glist);

// The message loop every option window runs: waits for its port or the break signal (which
// closes it like the close gadget), replies to each message before acting on it, and hands the
// message's class, code and gadget to `act` until the close gadget is used. `act` returns false
// for a refused entry: the window then stays open, and what was queued behind it is dropped.
void OptionWindowLoop(Window* window, const std::function<bool(ULONG cls, UWORD code, Gadget* gadget)>& act);

int OpenVEXOeffect_optionsWindow();
void CloseVEXOeffect_optionsWindow();
void WaitEOMessages();
int OpenVEXOemission_optionsWindow();
void CloseVEXOemission_optionsWindow();
void WaitEmOMessages();
int OpenVEXOscene_optionsWindow();
void CloseVEXOscene_optionsWindow();
void WaitSOMessages();
int SetupSOScreen();
void CloseDownSOScreen();
int OpenVEXOshapes_optionsWindow();
void CloseVEXOshapes_optionsWindow();
void WaitShOMessages();
// Shows the stored setting of one gadget of the open shapes and forces window.
void ShowShapesSetting(int id);
int OpenVEXOcreatingWindow();
void VEXOcreatingRender();
void CloseVEXOcreatingWindow();

}  // namespace vexo::ui
