// Drives the desktop program in tests: runs it with scripted steps, answers and file choices,
// acts on the real widgets behind its gadgets, and writes what it showed into a transcript that
// is compared with tests/data/golden/ui/SUITE.TEST.txt when the test ends. Whole scenarios are
// scripts in tests/data/ui/ (see the README there).
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "tests/support/test_support.hpp"
#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"
#include "ui/platform/testing.hpp"

namespace vexo::uitest {

extern std::string numeric_locale_adopted;

using Step = std::function<void()>;
namespace pt = vexo::platform::testing;
using namespace vexo::ui;
using vexo::testing::ReadFile;
using vexo::testing::WriteFile;
constexpr long kOk = 1, kCancel = 0;

// Clears the platform's scripts and the program's run-long state before each test; afterwards
// checks that no window was left open and compares the transcript with its golden file.
class UiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Runs the whole program with the steps, requester answers and file choices given.
    void Run(std::deque<Step> steps, std::deque<long> answers = {}, std::deque<pt::FileChoice> files = {});
    void Script(const std::string& name);  // runs tests/data/ui/NAME.script
    std::string D() const { return dir.path("x").parent_path().string(); }

    vexo::testing::TempDir dir;
};

void Note(const std::string& line);  // a line of the transcript; the test folder is "$DIR"
Step Snap();                         // notes the gadgets and settings changed since the last snapshot
Step Windows();                      // notes the open windows, their owners and the screen locks held

// Steps. Gadgets are looked up when the step runs, in the window given.
Step Type(Gadget** gadgets, int id, const std::string& text, bool enter = true);
Step Click(Gadget** gadgets, int id);
Step CloseWindowOf(Window** window);
Step PickMenu(int item, int menu = 0);
// Runs `action` once `ready` holds during the next generation, from inside the progress
// window's event processing, as a person's click or key would arrive.
Step When(std::function<bool()> ready, Step action);
inline Step Quit() {
    return CloseWindowOf(&VEXOWnd);
}  // the main window's close gadget
inline Gadget** const kMain = VEXOGadgets;

std::string Shown(Gadget* gadget);             // the text a string or integer gadget shows
std::size_t Blocks(const std::string& scene);  // the particle blocks of a LightWave scene

}  // namespace vexo::uitest
