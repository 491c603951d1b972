// What a generation leaves behind when it completes, stops, is refused or fails: each case of
// tests/data/scene_cases.txt is run in a fresh folder and fresh engine state, and its report,
// messages (word for word), the folder's files and what the target holds are compared with
// tests/data/golden/scene_outcomes.txt.
#include "engine/create_scene.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

#include "engine/settings/settings_fields.hpp"
#include "engine/writers/point_cache.hpp"
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

// A generation in a child process whose files may grow to `limit` bytes at most (a disk that fills
// up on the way): its report, as far as the outcome table shows it.
SceneReport GenerateLimited(const Settings& s, PassHook& hook, const GenerateOptions& options, rlim_t limit,
                            testing::RecordingSink& sink) {
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit size{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &size);
        std::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails with EFBIG instead
        EngineState state;
        const SceneReport r = CreateScene(s, state, sink, hook, options);
        std::string text = std::to_string(static_cast<int>(r.outcome)) + "\x1e" +
                           std::to_string(static_cast<int>(r.result)) + "\x1e" + r.failed_file + "\x1e" +
                           r.error;
        for (const std::string& message : sink.messages) text += "\x1e" + message;
        (void)!::write(out[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    ::waitpid(child, nullptr, 0);
    std::istringstream in(text);
    std::vector<std::string> parts;
    for (std::string part; std::getline(in, part, '\x1e');) parts.push_back(part);
    EXPECT_GE(parts.size(), 4u);
    SceneReport r;
    r.outcome = static_cast<WriteOutcome>(std::stoi(parts.at(0)));
    r.result = static_cast<SceneResult>(std::stoi(parts.at(1)));
    r.failed_file = parts.at(2), r.error = parts.at(3);
    sink.messages.assign(parts.begin() + 4, parts.end());
    return r;
}

// Lines: field=value settings; "motion_text LINE|LINE..." (else emitter_v1.mot); "particles N"
// and "velocity V" set directly; "target NAME" (in the folder, or absolute); "format lwsc3|glb|
// gltf|pc2|mdd"; "path reference"; "threads N"; "old" (the target, and a point cache's object,
// hold "old scene"); "stop PASS break|abort" at the start of a pass, "poll PASS break|abort"
// within it; "control FIELD CODE" appends that character to a path; "then field=value", a second
// generation in the same run with that change; "show" adds the scenes written; "object folder"
// or "object link" puts a folder, or a link to the target, where a point cache's object goes;
// "disk BYTES" runs the generation in a process whose files may hold that many bytes at most;
// "spool BYTES" holds that many bytes of each block spool in memory (the full run: the default);
// "particle NAME" is the particle object, from tests/data.
TEST(CreateScene, OutcomesLeaveTheFilesTheyMust) {
    std::string all;
    for (const testing::TextCase& c : testing::ReadCases("scene_cases.txt")) {
        testing::TempDir dir, full_dir;
        Settings s = testing::SceneSettings(dir, ReadFile(testing::DataDir() / "emitter_v1.mot"));
        GenerateOptions options{GenerationPath::Scheduled, 2};
        std::string target = "scene.lws", old_scene, shown, object;
        rlim_t disk = 0;
        std::size_t spool = 0;  // the block buffer of the run under test (the full run keeps the default)
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
            if (word == "particle") SetPathText(s.particle_object, (testing::DataDir() / value).string());
            if (word == "velocity") s.velocity = std::stod(value);
            if (word == "target")
                SetPathText(s.target_scene, (target = value)[0] == '/' ? value : dir.str(value));
            if (word == "format")
                options.format = value == "lwsc3" ? SceneFormat::Lwsc3
                                 : value == "glb" ? SceneFormat::Glb
                                 : value == "pc2" ? SceneFormat::Pc2
                                 : value == "mdd" ? SceneFormat::Mdd
                                                  : SceneFormat::Gltf;
            if (word == "object") object = value;
            if (word == "disk") disk = std::stoul(value);
            if (word == "spool") spool = std::stoul(value);
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
        const bool in_dir = target[0] != '/', cache = IsPointCache(options.format);
        const std::string companion = cache ? CompanionPath(target, options.format) : "";
        std::string full, full_object;  // the same generation, not stopped, from a fresh engine state
        testing::RecordingSink sink;
        if (in_dir) {
            Settings f = s;
            SetPathText(f.target_scene, full_dir.str(target));
            EngineState state;
            StopHook go_on;
            CreateScene(f, state, sink, go_on, options);
            if (std::filesystem::exists(full_dir.path(target))) full = ReadFile(full_dir.path(target));
            if (cache && std::filesystem::exists(full_dir.path(companion))) {
                full_object = ReadFile(full_dir.path(companion));
            }
            if (!old_scene.empty()) testing::WriteFile(dir.path(target), old_scene);
            if (!old_scene.empty() && cache && object.empty())
                testing::WriteFile(dir.path(companion), old_scene);
        }
        if (object == "folder") std::filesystem::create_directory(dir.path(companion));
        if (object == "link") std::filesystem::create_symlink(target, dir.path(companion));
        sink = testing::RecordingSink();
        if (spool != 0) options.block_buffer = spool;
        EngineState state;
        const SceneReport report = disk != 0 ? GenerateLimited(s, hook, options, disk, sink)
                                             : CreateScene(s, state, sink, hook, options);
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
            all += "\nerror " +
                   (report.failed_file.empty() ? "" : Escaped(report.failed_file, dir.str("")) + ": ") +
                   report.error;
        }
        for (const std::string& message : sink.messages) all += "\nmessage " + Escaped(message, dir.str(""));
        all += "\nfiles";
        for (const std::string& name : dir.Listing()) all += " " + name;
        if (!in_dir || !shown.empty()) {
            all += "\n" + shown;
            continue;
        }
        if (cache) {  // binary files: their sizes, and whether they are what a full run writes
            for (const auto& [what, name, whole] :
                 {std::tuple{"object", companion, full_object}, std::tuple{"target", target, full}}) {
                const auto path = dir.path(name);
                const std::string now = std::filesystem::is_regular_file(path) ? ReadFile(path) : "(none)";
                all += std::string("\n") + what + " " +
                       (now == "(none)" || now == old_scene ? now
                        : now == whole ? "the whole file of " + std::to_string(now.size()) + " bytes"
                                       : std::to_string(now.size()) + " other bytes");
            }
            all += "\n";
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
