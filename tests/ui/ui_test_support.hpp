// Drives the desktop program in tests: runs whole scenarios from tests/data/ui/NAME.script (see
// the README there) with scripted steps, answers and file choices, acts on the real widgets
// behind its gadgets, and writes what it showed into a transcript that is compared with
// tests/data/golden/ui/SUITE.TEST.txt when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.hpp"
#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"
#include "ui/platform/testing.hpp"

namespace vexo::uitest {

extern std::string numeric_locale_adopted;

namespace pt = vexo::platform::testing;
using namespace vexo::ui;
using vexo::testing::ReadFile;
using vexo::testing::WriteFile;

// Clears the platform's scripts and the program's run-long state before each test, and gives it
// a configuration folder of its own ("$CONFIG" in scripts and transcripts); afterwards
// checks that the program closed all it opened and compares the transcript with its golden
// file, ui/SUITE.TEST.txt unless `golden` names another.
class UiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    void Script(const std::string& name);  // runs tests/data/ui/NAME.script

    vexo::testing::TempDir dir;
    vexo::testing::TempDir config;  // the user's configuration folder, empty at the start
    std::string golden;
};

// A scenario whose transcript says all: tests/data/ui/NAME.script against ui/NAME.txt. Each
// test file instantiates it with its scripts, named by ScriptName.
class ScenarioTest : public UiTest, public ::testing::WithParamInterface<const char*> {};
inline std::string ScriptName(const ::testing::TestParamInfo<const char*>& info) {
    return info.param;
}

void Note(const std::string& line);  // a line of the transcript; the test folder is "$DIR"

}  // namespace vexo::uitest
