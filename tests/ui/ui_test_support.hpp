// Drives the desktop program in tests: runs it with scripted steps, answers and file choices,
// and acts on the real widgets behind its gadgets.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "tests/support/test_support.hpp"
#include "ui/platform/testing.hpp"
#include "ui/vexo.hpp"

namespace vexo::uitest {

extern std::string numeric_locale_adopted;

using Step = std::function<void()>;
namespace pt = vexo::platform::testing;

// Clears the platform's scripts and the program's run-long state before each test, and checks
// afterwards that no window was left open.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Runs the whole program with the steps, requester answers and file choices given.
    void Run(std::deque<Step> steps, std::deque<long> answers = {}, std::deque<pt::FileChoice> files = {});
    std::vector<std::string> Texts() const;  // the texts of every requester shown so far

    vexo::testing::TempDir dir;
};

// Steps. Gadgets are looked up when the step runs, in the window given.
Step Type(platform::Gadget** gadgets, int id, const std::string& text);  // then Return
Step TypeOnly(platform::Gadget** gadgets, int id, const std::string& text);  // not entered yet
Step Key(platform::Gadget** gadgets, int id, int key, int modifiers = 0);
Step Click(platform::Gadget** gadgets, int id);
Step Choose(platform::Gadget** gadgets, int id, int entry);
Step CloseWindowOf(platform::Window** window);
Step PickMenu(int item);
Step Do(std::function<void()> action);

// The main window's gadgets, for the steps above.
platform::Gadget** Main();
bool Enabled(platform::Gadget* gadget);
std::string Shown(platform::Gadget* gadget);  // the text a string or integer gadget shows
bool Checked(platform::Gadget* gadget);

// The overwrite question about a path short enough to stay on one line of the requester.
std::string TargetExists(const std::string& path);

}  // namespace vexo::uitest
