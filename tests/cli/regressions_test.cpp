// Every reproducer under tests/data/regressions/ run through the batch tool: the exit status, every
// message word for word, and what became of a target that existed before. Each run happens in a
// child process whose address space is limited, so that a case which takes memory by a number
// in its file, not by its work, fails here as it would on a small machine.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/cli_app.hpp"
#include "tests/support/test_support.hpp"

namespace vexo::cli {
namespace {

using vexo::testing::DataDir;
using vexo::testing::ReadFile;
using vexo::testing::TempDir;
using vexo::testing::WriteFile;

const std::string kCube =
    "vexo-cli: Could not read the particle object. The glTF scene shows a unit cube for every particle.\n";
constexpr rlim_t kAddressSpace = rlim_t{768} << 20;

enum class Target { Written, Untouched };

struct Regression {
    const char* file;               // under tests/data/regressions
    std::vector<std::string> args;  // after the reproducer and the target
    int exit;
    std::string err;  // "{file}" stands for the reproducer's path, "{scene}" for the target's
    Target target;
    bool keeps_its_object = false;  // the reproducer's own particle object path is the point
};

std::string Expand(std::string text, const std::string& file, const std::string& scene) {
    for (const auto& [key, value] :
         {std::pair<std::string, std::string>{"{file}", file}, {"{scene}", scene}}) {
        for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size())) {
            text.replace(at, key.size(), value);
        }
    }
    return text;
}

// Runs the tool in a child with a limited address space; returns its exit status and what it
// printed on standard error.
int RunLimited(const std::vector<std::string>& args, const std::filesystem::path& err_file,
               std::string& err) {
    const pid_t child = ::fork();
    if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__)
        const rlimit limit{kAddressSpace, kAddressSpace};
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        std::vector<const char*> argv{"vexo-cli"};
        for (const auto& a : args) argv.push_back(a.c_str());
        std::ostringstream out, text;
        CliStreams streams{out, text, false, {}};
        EngineState state;
        const int code = RunCli(static_cast<int>(argv.size()), argv.data(), streams, state);
        WriteFile(err_file, text.str());
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    err = ReadFile(err_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(Regressions, EveryReproducerIsRefusedOrMadeWithinItsMemory) {
    const std::string motion = (DataDir() / "emitter_v1.mot").string();
    const std::vector<std::string> one = {"--set", "num_particles=1", "--set", "particles_per_frame=1"};
    auto with = [](std::vector<std::string> a, std::vector<std::string> b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Regression cases[] = {
        // Numbers that are not finite never reach a scene.
        {"v3_two_keys_one_time.mot", one, kExitFailure,
         "vexo-cli: {file} line 10: two keys at the same time\nvexo-cli: could not create scene: motion file "
         "error\n",
         Target::Untouched},
        {"v1_values_overflow.mot", one, kExitFailure,
         "vexo-cli: {file} line 8: the values of key 1 are too far from the key before it\n"
         "vexo-cli: could not create scene: motion file error\n",
         Target::Untouched},
        {"prefs_velocity_nan.prefs",
         {},
         kExitUsage,
         "vexo-cli: {file}: This preferences file's velocity is not a number.\n",
         Target::Untouched},
        {"prefs_velocity_1e308.prefs",
         {},
         kExitFailure,
         "vexo-cli: Object 1 has a value at frame 30 that is too large for the scene (not a finite number). "
         "Nothing was written.\nvexo-cli: could not create scene: {scene} was not written\n",
         Target::Untouched},
        {"prefs_velocity_1e308.prefs",
         {"--engine", "reference", "--format", "lwsc3"},
         kExitFailure,
         "vexo-cli: Object 1 has a value at frame 30 that is too large for the scene (not a finite number). "
         "Nothing was written.\nvexo-cli: could not create scene: {scene} was not written\n",
         Target::Untouched},
        // Memory follows the work, not a frame number in a file.
        {"v1_last_key_near_2p31.mot", with(one, {"--engine", "reference"}), kExitOk, "", Target::Written},
        {"v1_last_key_near_2p31.mot", one, kExitOk, "", Target::Written},
        {"v3_last_key_far.mot", one, kExitOk, "", Target::Written},
        {"prefs_last_frame_2147483647.prefs", {}, kExitOk, "", Target::Written},
        {"prefs_nonlinear_2147483647_frames.prefs",
         {},
         kExitUsage,
         "vexo-cli: Cannot create a scene of 2147483647 frames with a key on every frame: an object holds at "
         "most 2147483646 frames.\n",
         Target::Untouched},
        {"prefs_particles_4294967295.prefs",
         {},
         kExitFailure,
         "vexo-cli: could not create scene: not enough memory for 4294967295 particle records\n",
         Target::Untouched},
        // Running out of memory half way is the memory error on every path, never a crash.
        {"prefs_nonlinear_10M_frames_gltf.prefs",
         {"--format", "glb", "--engine", "reference"},
         kExitFailure,
         kCube + "vexo-cli: could not create scene: not enough memory for the keys of object 1\n",
         Target::Untouched},
        {"prefs_nonlinear_10M_frames_gltf.prefs",
         {"--format", "glb", "--threads", "1"},
         kExitFailure,
         kCube + "vexo-cli: could not create scene: not enough memory for the keys of object 1\n",
         Target::Untouched},
        {"prefs_nonlinear_10M_frames_gltf.prefs",
         {"--format", "glb", "--threads", "2"},
         kExitFailure,
         kCube + "vexo-cli: could not create scene: not enough memory for the keys of object 1\n",
         Target::Untouched},
        // Cost follows the work: attempts beyond the free slots are not made one by one.
        {"prefs_per_frame_2147483647.prefs", {"--engine", "reference"}, kExitOk, "", Target::Written},
        // A channel count beyond 2^31 is written as the number it is.
        {"v1_channels_above_2p31.mot", one, kExitOk, "", Target::Written},
        {"motion_last_frame_2147483647.mot", one, kExitOk, "", Target::Written},
        // A path with a line break would put lines of its own into the scene.
        {"prefs_object_path_line_break.prefs",
         {},
         kExitUsage,
         "vexo-cli: Cannot create a scene: a path holds a control character such as a line break.\n",
         Target::Untouched,
         true},
    };
    TempDir dir;
    for (const Regression& c : cases) {
        const std::string file = (DataDir() / "regressions" / c.file).string();
        const bool prefs = file.ends_with(".prefs");
        const bool binary = std::find(c.args.begin(), c.args.end(), "glb") != c.args.end();
        const std::string scene = dir.str(binary ? "s.glb" : "s.lws");
        WriteFile(scene, "old scene");
        std::vector<std::string> args = prefs ? std::vector<std::string>{file, "--motion", motion}
                                              : std::vector<std::string>{"--motion", file};
        args.insert(args.end(), {"--scene", scene, "--quiet"});
        if (!c.keeps_its_object) args.insert(args.end(), {"--object", "drop.lwo"});
        args.insert(args.end(), c.args.begin(), c.args.end());
#if defined(__SANITIZE_ADDRESS__)
        if (c.err.find("not enough memory") != std::string::npos) continue;  // needs the address-space limit
#endif
        std::string err;
        const int code = RunLimited(args, dir.path("err.txt"), err);
        SCOPED_TRACE(std::string(c.file) + " " + (c.args.empty() ? "" : c.args.front()));
        EXPECT_EQ(code, c.exit);
        EXPECT_EQ(err, Expand(c.err, file, scene));
        const bool exists = std::filesystem::exists(scene);
        if (c.target == Target::Written) {
            EXPECT_NE(ReadFile(scene), "old scene");
            EXPECT_EQ(ReadFile(scene).find("nan"), std::string::npos);
            EXPECT_EQ(ReadFile(scene).find("inf"), std::string::npos);
        } else {
            // Refused before the target was opened: untouched; stopped after: no partial file.
            EXPECT_TRUE(!exists || ReadFile(scene) == "old scene") << ReadFile(scene).substr(0, 100);
            if (c.exit == kExitUsage || err.find("motion file error") != std::string::npos ||
                err.find("particle records") != std::string::npos) {
                EXPECT_EQ(ReadFile(scene), "old scene");
            }
        }
        if (std::string(c.file) == "v1_channels_above_2p31.mot") {
            EXPECT_NE(ReadFile(scene).find("\n  3000000000\n"), std::string::npos);
        }
    }
    // The --set texts among the reproducers are replayed by the fuzz targets.
    const auto reproducers = std::count_if(std::filesystem::directory_iterator(DataDir() / "regressions"), {},
                                           [](const auto& e) { return e.path().extension() != ".txt"; });
    EXPECT_EQ(reproducers, 14) << "every reproducer has a case above";
}

}  // namespace
}  // namespace vexo::cli
