// What a generation leaves behind when it completes, stops, is refused or fails: each case of
// tests/data/scene_cases.txt is run in a fresh folder and fresh engine state, and its report,
// messages (word for word), the folder's files and what the target holds are compared with
// tests/data/golden/scene_outcomes.txt.
#include "engine/create_scene.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <thread>

#include "engine/settings/settings_fields.hpp"
#include "prefs/settings_text.hpp"
#include "tests/engine/case_file.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAsan = true;  // it aborts on a failed throwing new: the memory cases are left out
#else
constexpr bool kAsan = false;
#endif

// Answers `action` at the start of pass `at`, or with `in_pass` at the first poll within pass `at`
// or later; every poll must come on the caller's thread.
class StopHook : public PassHook {
  public:
    PassAction OnPassStart(std::uint32_t pass, std::uint32_t passes) override {
        started = pass + 1;
        total = passes;
        return !in_pass && pass == at ? action : PassAction::Continue;
    }
    PassAction OnPassPoll(std::uint32_t pass, std::uint32_t) override {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        polled_first = polled_first || pass == 0;
        if (!in_pass || pass < at || stopped) return PassAction::Continue;
        stopped = true;
        return action;
    }
    std::uint32_t at = UINT32_MAX, started = 0, total = 0;
    PassAction action = PassAction::Continue;
    bool in_pass = false, stopped = false, polled_first = false;
    std::thread::id caller = std::this_thread::get_id();
};

std::string Escaped(std::string text, const std::string& dir) {
    for (std::size_t at; (at = text.find(dir)) != std::string::npos;) text.replace(at, dir.size(), "DIR/");
    for (std::size_t at; (at = text.find('\n')) != std::string::npos;) text.replace(at, 1, "\\n");
    return text;
}

// Lines: field=value settings; "motion_text LINE|LINE..." (else emitter_v1.mot); "particles N"
// and "velocity V" set directly; "target NAME" (in the folder, or absolute); "format lwsc3|glb|
// gltf"; "path reference"; "threads N"; "old" (the target holds "old scene"); "stop PASS
// break|abort" at the start of a pass, "poll PASS break|abort" within it; "control FIELD CODE"
// appends that character to a path; "then field=value", a second generation in the same run
// with that change; "show" adds the scenes written.
TEST(CreateScene, OutcomesLeaveTheFilesTheyMust) {
    std::string all;
    for (const testing::TextCase& c : testing::ReadCases("scene_cases.txt")) {
        testing::TempDir dir, full_dir;
        Settings s = testing::SceneSettings(dir, ReadFile(testing::DataDir() / "emitter_v1.mot"));
        GenerateOptions options{GenerationPath::Scheduled, 2};
        std::string target = "scene.lws", old_scene, shown;
        std::vector<std::string> then;  // a second generation in the same run, with these changes
        StopHook hook;
        for (const std::string& line : c.lines) {
            std::istringstream in(line);
            std::string word, value;
            in >> word >> value;
            if (word == "motion_text") {
                std::replace(value.begin(), value.end(), '|', '\n');
                testing::WriteFile(dir.path("motion.mot"), value + "\n");
            }
            if (word == "particles") s.num_particles = std::stoi(value);
            if (word == "velocity") s.velocity = std::stod(value);
            if (word == "target")
                SetPathText(s.target_scene, (target = value)[0] == '/' ? value : dir.str(value));
            if (word == "format")
                options.format = value == "lwsc3" ? SceneFormat::Lwsc3
                                 : value == "glb" ? SceneFormat::Glb
                                                  : SceneFormat::Gltf;
            if (word == "path") options.path = GenerationPath::Reference;
            if (word == "old") old_scene = "old scene";
            if (word == "threads") options.threads = static_cast<unsigned>(std::stoul(value));
            if (word == "stop" || word == "poll") {
                hook.at = static_cast<std::uint32_t>(std::stoul(value));
                in >> value;
                hook.action = value == "abort" ? PassAction::Abort : PassAction::Break;
                hook.in_pass = word == "poll";
            }
            if (word == "control") {
                PathField& path = s.*std::get<PathField Settings::*>(FindSettingsField(value)->member);
                in >> value;
                SetPathText(path, PathText(path) + static_cast<char>(std::stoi(value)) + "x");
            }
            if (word == "then") then.push_back(value);
            if (word == "show") shown = "\n";
            const bool assigned = word.find('=') == std::string::npos || AssignSetting(s, line).ok;
            ASSERT_TRUE(assigned) << c.name << ": " << line;
        }
        if (kAsan && s.num_particles < 0) continue;
        const bool in_dir = target[0] != '/';
        std::string full;  // the same generation, not stopped, from a fresh engine state
        testing::RecordingSink sink;
        if (in_dir) {
            Settings f = s;
            SetPathText(f.target_scene, full_dir.str(target));
            EngineState state;
            StopHook go_on;
            CreateScene(f, state, sink, go_on, options);
            if (std::filesystem::exists(full_dir.path(target))) full = ReadFile(full_dir.path(target));
            if (!old_scene.empty()) testing::WriteFile(dir.path(target), old_scene);
        }
        sink = testing::RecordingSink();
        EngineState state;
        const SceneReport report = CreateScene(s, state, sink, hook, options);
        if (!shown.empty()) shown += ReadFile(dir.path(target));
        for (const std::string& line : then) ASSERT_TRUE(AssignSetting(s, line).ok) << line;
        if (!then.empty()) {
            StopHook go_on;
            CreateScene(s, state, sink, go_on, options);
            shown += ReadFile(dir.path(target));
        }

        all += c.name + "\noutcome " + std::to_string(static_cast<int>(report.outcome)) + " result " +
               std::to_string(static_cast<int>(report.result)) + " written " +
               std::to_string(report.objects_written) + " passes started " + std::to_string(hook.started) +
               " of " + std::to_string(hook.total) +
               (hook.in_pass && hook.polled_first ? " first pass polled" : "");
        // After a value the scene cannot hold the paths leave the generator apart (see the report).
        if (report.outcome != WriteOutcome::NotFinite)
            all += " random " + std::to_string(state.random.state());
        if (report.outcome == WriteOutcome::CannotOpen || report.outcome == WriteOutcome::WriteFailed ||
            report.result == SceneResult::NoMemory) {
            all += "\nerror " + report.error;
        }
        for (const std::string& message : sink.messages) all += "\nmessage " + Escaped(message, dir.str(""));
        all += "\nfiles";
        for (const std::string& name : dir.Listing()) all += " " + name;
        if (!in_dir || !shown.empty()) {
            all += "\n" + shown;
            continue;
        }
        const std::string now =
            std::filesystem::exists(dir.path(target)) ? ReadFile(dir.path(target)) : "(none)";
        if (now == full && now.size() > 100) {
            all += "\ntarget the full scene of " + std::to_string(now.size()) + " bytes\n";
        } else if (full.starts_with(now) && now.ends_with("ShadowOptions 2\n\n")) {
            all += "\ntarget the first " + std::to_string(now.size()) +
                   " bytes of the full scene, up to a block's end\n";
        } else {
            all += "\ntarget " + Escaped(now, dir.str("")) + "\n";
        }
    }
    EXPECT_TRUE(kAsan || testing::MatchesGolden(all, "scene_outcomes.txt"));
}

}  // namespace
}  // namespace vexo
