// What the Qt side of the platform layer shares between its files: the state of the one task,
// the Qt objects behind windows, gadgets and rastports, and the hooks the test interface sets.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/platform/platform.hpp"

class QFileDialog;
class QMenuBar;
class QSocketNotifier;

namespace vexo::platform {

struct RastPortData {
    QImage* image = nullptr;
    std::function<void()> changed;  // repaints whatever shows the image
};

struct WindowData {
    QPointer<QWidget> top;     // the top-level window
    QPointer<QWidget> canvas;  // the window's area: rastport, gadgets
    QPointer<QMenuBar> menu_bar;
    QImage image;
    RastPortData rp_data;
    RastPort rp;
    MsgPort port;
    ULONG idcmp = 0;
    ULONG flags = 0;
    Gadget* gadgets = nullptr;
    Menu* menus = nullptr;
    bool zoomed = false;
    WORD zoom[4] = {0, 0, 0, 0};
    WORD normal[4] = {0, 0, 0, 0};
    int menu_height = 0;
    Window* owner = nullptr;  // WA_Owner
    int owned_open = 0;       // windows open that this one owns: while any is, it takes no input
};

struct GadgetData {
    ULONG kind = GENERIC_KIND;
    bool context = false;
    std::string label;
    ULONG placement = 0;
    std::string text;  // string gadgets, and the digits of integer gadgets
    int max_chars = 0;
    bool checked = false;
    int active = 0;  // MX choice
    std::vector<std::string> labels;
    int spacing = 1;
    Window* window = nullptr;
    QPointer<QWidget> widget;
    std::vector<QPointer<QWidget>> decorations;  // label widgets
    bool pressed = false;                         // image buttons while held down
    bool edited = false;                          // text changed by the user and not yet entered
    std::string hint;                             // GA_HintInfo: the tooltip of the gadget and its labels
};

// Pens 0 to 3 of the screen: background grey, black, white, blue.
QColor PenColor(ULONG pen);
// The 8-pixel fixed font that stands in for topaz 8.
QFont FixedFont();
// Height in pixels of FixedFont's text boxes.
int FixedFontHeight();

// Puts a message on the window's port if its class is in the window's IDCMP mask and the
// window takes input; first enters the typed text of its other gadgets. False if not queued.
bool PostIntuiMessage(Window* window, ULONG cls, UWORD code, void* address);
// Reports the gadget-up of a string or integer gadget: the user has entered its text.
void EnterGadgetText(Gadget* gadget);
// Sets signals of the task, waking Wait.
void Signal(ULONG signals);

// Entry `i` of a radio choice, inside its widget: the entries are a font line apart (or the
// gadget's height, if taller) plus the choice's spacing, so their labels never touch.
QRect MxEntryRect(const Gadget* gadget, int i);

// Shows the real file requester; `on_open`, if given, is called with the dialog once it is up
// (the test interface types into it there).
bool ShowFileRequester(FileRequester& request, const std::function<void(QFileDialog&)>& on_open = {});

// Creates the Qt widgets of a gadget inside the window's canvas.
void CreateGadgetWidget(Gadget* gadget, Window* window);
void DestroyGadgetWidget(Gadget* gadget);

// Draws the default screen's draw info pens.
DrawInfo* DefaultDrawInfo();

namespace hooks {
// Run by Wait when nothing it waits for has arrived, instead of blocking; false when the
// script has run out. Set only by the test interface.
extern std::function<bool()> idle_step;
extern std::function<LONG(const std::string& title, const std::string& text, const std::string& buttons)> easy_request;
extern std::function<bool(FileRequester& request)> file_request;
extern std::function<LONG(const std::string& title, const std::string& text, const std::vector<std::string>& entries)>
    list_request;
extern int fail_alloc_mem;
extern int fail_alloc_asl;
extern int fail_lock_screen;
extern int fail_visual_info;
extern int fail_open_window;
extern int fail_create_gadget_after;  // fail the Nth gadget created from now, counting from 1
extern std::map<std::string, int> library_versions;
extern std::vector<std::string> library_log;
extern int visual_infos_outstanding;
extern std::vector<std::string> activation_log;
}  // namespace hooks

}  // namespace vexo::platform
