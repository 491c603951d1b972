// The main window: its gadget table, menus and decoration, opening and closing, and the copy
// of the settings record into the gadgets of every window of the program.
#pragma once

#include <string>

#include "ui/vexo.hpp"

namespace vexo::ui {

inline constexpr int VEXO_CNT = 25;

// Gadget ids of the main window.
enum MainGadget : UWORD {
    GD_particle_object = 0,
    GD_parent_motion = 1,
    GD_target_scene = 2,
    GD_get_object = 3,
    GD_get_motion = 4,
    GD_get_scene = 5,
    GD_num_particles = 6,
    GD_particles_per_frame = 7,
    GD_lifespan = 8,
    GD_end_behavior = 9,
    GD_end_behavior_text = 10,
    GD_velocity = 11,
    GD_velocity_variation = 12,
    GD_creation_delay = 13,
    GD_start_size = 14,
    GD_end_size = 15,
    GD_limited_lifespan = 16,
    GD_use_creation_delay = 17,
    GD_particle_grow = 18,
    GD_scene_options = 19,
    GD_emission_options = 20,
    GD_effect_options = 21,
    GD_generate = 22,
    GD_preview = 23,  // beside "Generate": opens the preview window
    GD_shapes_options = 24,  // the fourth option button, beside "Effect options"; made last
};

extern Gadget* VEXOGList;
extern Menu* VEXOMenus;
extern Gadget* VEXOGadgets[VEXO_CNT];
extern UWORD VEXOLeft, VEXOTop, VEXOWidth, VEXOHeight;
extern const char* VEXOWdt;
extern WORD ZoomData[4];
extern const char* end_behavior0Labels[];
extern const NewMenu VEXONewMenu[];

// 0 opened; 1 no gadget context; 2 a gadget failed; 3 the menus failed; 4 the window failed.
int OpenVEXOWindow();
void VEXORender(int direct);
void CloseVEXOWindow();

// Makes a generic gadget a file button: drawn by the file-button image, reporting its release.
void MakeFileButton(Gadget* g);

// The vertical offset of a window's inside on the screen: top border, title bar font, 1.
int TitleBarOffset(const Screen* screen);

// Show a stored setting in a gadget of window `w`: a path or text, a double as "%f" shows it
// whatever the locale, a whole number.
void ShowText(Gadget* g, Window* w, const char* text);
std::string RealText(double value);
void ShowReal(Gadget* g, Window* w, double value);
void ShowNumber(Gadget* g, Window* w, LONG number);
// After a decimal entry was stored: its "%f" text when that reads back as exactly the stored
// value ("2.5" shows "2.500000", "-" shows "0.000000"), else the typed digits stay.
void ShowEnteredReal(Gadget* g, Window* w, double value);
// Shows the stored setting of one main-window gadget (with the enabled state it depends on).
void ShowMainSetting(int id);

}  // namespace vexo::ui
