// Recording fakes and scratch folders shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/motion/motion.hpp"
#include "engine/reporting.hpp"
#include "engine/settings/settings.hpp"

namespace vexo::testing {

// Records every message and debug line the engine reports.
class RecordingSink : public MessageSink {
  public:
    void Message(std::string_view text) override { messages.emplace_back(text); }
    void DebugLine(std::string_view text) override { debug_lines.emplace_back(text); }
    std::vector<std::string> messages;
    std::vector<std::string> debug_lines;
};

// Answers Continue until pass `stop_at`, then `action`; records the passes it saw.
class ScriptedHook : public PassHook {
  public:
    ScriptedHook() = default;
    ScriptedHook(std::uint32_t stop_at, PassAction action) : stop_at_(stop_at), action_(action) {}
    PassAction OnPassStart(std::uint32_t pass, std::uint32_t passes) override {
        seen.emplace_back(pass, passes);
        return pass == stop_at_ ? action_ : PassAction::Continue;
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> seen;

  private:
    std::uint32_t stop_at_ = UINT32_MAX;
    PassAction action_ = PassAction::Continue;
};

// A fresh folder, removed with everything in it when the test ends.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path(const std::string& name) const { return dir_ / name; }
    std::string str(const std::string& name) const { return path(name).string(); }
    // Every name in the folder (hidden ones too), sorted; a symbolic link as "name -> target".
    std::vector<std::string> Listing() const;

  private:
    std::filesystem::path dir_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// The folder of the test data, set by the build.
std::filesystem::path DataDir();

// Compares a produced file with its golden copy byte for byte. On a mismatch writes the
// produced bytes beside the golden file as NAME.actual; with VEXO_UPDATE_GOLDEN=1 in the
// environment it rewrites the golden file instead.
::testing::AssertionResult MatchesGolden(const std::string& actual, const std::string& golden_name);
// VEXO_UPDATE_GOLDEN=1 is in the environment: golden files are rewritten, not compared.
bool UpdatingGoldens();

// Runs a shell command; returns its exit status, and what it printed in `output`.
int Run(const std::string& command, std::string* output);
// The Khronos glTF validator finds no error in the file (see scripts/install-deps).
::testing::AssertionResult PassesValidator(const std::string& file);

// A motion read from text in a fresh engine state, with everything the reader reported.
struct MotionRead {
    std::optional<MotionTable> table;
    RecordingSink sink;
    EngineState state;
};
std::unique_ptr<MotionRead> ReadText(const std::string& text);

// Settings with paths set, for scenes written into `dir`.
Settings SceneSettings(const TempDir& dir, const std::string& motion_text);

// Settings drawn at random in the ranges of tests/data/random_settings.txt, with a motion file of
// one to four keys at rising frames from 0 (the parent off the ground and turning) in `dir`.
Settings RandomSettings(std::mt19937& gen, const TempDir& dir);

}  // namespace vexo::testing
