// The test interface of the platform layer: scripted answers for the message and file
// requesters with a record of every text shown, scripted steps that run whenever a loop waits,
// injected failures, and access to the widgets behind gadgets and windows.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/platform/platform.hpp"

class QWidget;
class QAction;
class QImage;

namespace vexo::platform::testing {

struct RequesterRecord {
    std::string title, text, buttons;
};

struct FileChoice {
    bool cancel = false;
    std::string drawer, file;
    // When set: the real requester is shown, the user clicks at the end of its name field, types
    // this and presses Return; the choice is what the requester then gives.
    std::string typed;
};

struct ListRequestRecord {
    std::string title, text;
    std::vector<std::string> entries;
};

struct FileRequestRecord {
    std::string title, initial_drawer, initial_file, pattern;
    bool save_mode = false;
    bool window_set = false;
    bool sleep_window = false;
    bool reject_icons = false;
    long width = 0, height = 0;
};

// Every message requester shown since Reset(), in order.
const std::vector<RequesterRecord>& Requesters();
// Every file requester shown since Reset(), in order.
const std::vector<FileRequestRecord>& FileRequests();
// Every list requester shown since Reset(), in order.
const std::vector<ListRequestRecord>& ListRequests();
// Gadgets re-activated since Reset(), as "window title:gadget id".
const std::vector<std::string>& Activations();
// Libraries opened, failed and closed since Reset(), in order ("open asl.library", ...).
const std::vector<std::string>& LibraryLog();

// Answers for the next message requesters, in order. A requester with no answer left fails
// the test run (it would otherwise wait for a person).
void AnswerRequesters(std::deque<long> answers);
void AnswerFileRequesters(std::deque<FileChoice> choices);
// Answers for the next list requesters: an entry's index, or -1 for "Cancel".
void AnswerListRequesters(std::deque<long> answers);
// Shows the real message and file requesters again (until the next Reset).
void UseRealRequesters();
// Steps run one at a time whenever a loop waits and nothing it waits for has arrived.
void ScriptSteps(std::deque<std::function<void()>> steps);
std::size_t StepsLeft();

// Failures injected into the next calls.
void FailNextAllocMem(int count = 1);
void FailNextAslRequest(int count = 1);
void FailNextLockPubScreen(int count = 1);
void FailNextVisualInfo(int count = 1);
void FailNextOpenWindow(int count = 1);
void FailGadgetNumber(int n);  // the n-th gadget created from now on fails
void SetLibraryVersion(const std::string& name, int version);

int ScreenLockCount();
int VisualInfosOutstanding();

// Clears all of the above and the task's signals.
void Reset();

QWidget* GadgetWidget(Gadget* gadget);
QWidget* WindowWidget(Window* window);
// The menu item's action of an open window, by menu and item number (bars count as items).
QAction* MenuAction(Window* window, int menu, int item);
// The pen of a pixel of the window's rastport (-1 when it is no pen's colour).
int WindowPenAt(Window* window, int x, int y);
// Clicks entry `entry` of a radio-choice gadget, as a person would.
void ClickMxEntry(Gadget* gadget, int entry);
// The entry a radio-choice gadget shows chosen.
int MxShownEntry(const Gadget* gadget);
// Posts a message as the system would (for classes no widget produces, such as refresh).
void PostMessage(Window* window, ULONG cls, UWORD code, void* address);

// A rastport drawing into its own image, and the pen a pixel of it holds (-1 if none).
struct TestRastPort {
    TestRastPort(int width, int height);
    ~TestRastPort();
    RastPort rp;
    int PenAt(int x, int y) const;
    QImage& image();

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace vexo::platform::testing
