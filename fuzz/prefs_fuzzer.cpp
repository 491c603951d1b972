// A preferences record followed by a small generation. The record is loaded as a file would be
// (up to 880 bytes over the defaults); up to three bytes after it pick the parent motion, the
// scene format and the generation path, and whatever follows them is the file's extension after
// the record (the shapes and forces). Counts, the frame range and the forces are folded into
// small bounds so every run stays short; the scene goes to a scratch folder in memory when there
// is one. A complete version 1 scene must have exactly the shape the format promises, and both
// generation paths must write the same bytes.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/create_scene.hpp"
#include "engine/writers/scene_format.hpp"
#include "fuzz/fuzz_support.hpp"
#include "prefs/prefs_file.hpp"

namespace {

using namespace vexo;

constexpr const char* kMotions[] = {
    "LWMO\n1\n9\n1\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n",
    "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 2 90 10 0 1 1 1\n10 1 0 0 0\n3 0 -1 180 0 5 1 1 1\n40 "
    "1 0 0 0\n",
    "LWMO\n1\n12\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n5 -3 2 -90 45 10 2 2 2\n7 1 0 0 0\n",
    ("LWMO\n3\n\nNumChannels 9\nChannel 0\n{ Envelope\n  2\n  Key 0 0 3 0 0 0 0 0 0\n  Key 4 1 3 0 0 0 0 0 "
     "0\n"
     "  Behaviors 1 1\n}\nChannel 3\n{ Envelope\n  1\n  Key 1.5 0 3 0 0 0 0 0 0\n  Behaviors 4 4\n}\n"),
};
constexpr std::size_t kMotionCount = sizeof kMotions / sizeof kMotions[0];

std::string scratch;  // folder of the motion files and scenes, made once

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Keeps values in 0..limit as they are and folds the others into that range.
std::int32_t Fold(std::int32_t value, std::uint32_t limit) {
    if (value >= 0 && static_cast<std::uint32_t>(value) <= limit) return value;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) % (limit + 1));
}

// Keeps reals in lo..hi as they are and folds the others into that range.
double Fold(double value, double lo, double hi) {
    if (value >= lo && value <= hi) return value;
    return lo + std::fmod(std::abs(value), hi - lo);
}

bool Starts(std::string_view text, std::size_t& at, std::string_view part) {
    if (text.substr(at, part.size()) != part) return false;
    at += part.size();
    return true;
}

// Reads "  <digits>\n" (an optional "-"); false when the line is not that.
bool IndentedNumber(std::string_view text, std::size_t& at, long long& value) {
    if (!Starts(text, at, "  ")) return false;
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos || end == at) return false;
    try {
        std::size_t used = 0;
        value = std::stoll(std::string(text.substr(at, end - at)), &used);
        if (used != end - at) return false;
    } catch (...) {
        return false;
    }
    at = end + 1;
    return true;
}

// The version 1 scene: the header, then one block per particle and nothing else. A path that
// put lines of its own into the text fails here.
void CheckScene(std::string_view scene, const Settings& settings) {
    std::string header;
    AppendSceneHeader(header, settings);
    std::size_t at = 0;
    if (!Starts(scene, at, header)) fuzz::Broken("scene header");
    // Line ends are the only control characters the text may hold.
    for (char c : scene.substr(header.size())) {
        if (c != '\n' && HasControlCharacter(std::string_view(&c, 1)))
            fuzz::Broken("control character in the scene");
    }
    for (std::int32_t p = 0; p < settings.num_particles; ++p) {
        long long channels = 0, keys = 0;
        const std::size_t line_end = scene.find('\n', at);
        if (!Starts(scene, at, "LoadObject ") || line_end == std::string_view::npos)
            fuzz::Broken("LoadObject line");
        at = line_end + 1;
        if (!Starts(scene, at, "ShowObject 7 7\nObjectMotion (unnamed)\n") ||
            !IndentedNumber(scene, at, channels) || !IndentedNumber(scene, at, keys)) {
            fuzz::Broken("object block start");
        }
        for (long long k = 0; k < keys; ++k) {
            const std::size_t end = scene.find('\n', at);
            if (end == std::string_view::npos) fuzz::Broken("key line");
            std::istringstream fields{std::string(scene.substr(at, end - at))};
            int count = 0;
            for (std::string field; fields >> field;) ++count;
            if (count != 14 || scene.substr(at, 2) != "  ") fuzz::Broken("key line fields");
            at = end + 1;
        }
        if (!Starts(scene, at, "EndBehavior 1\nShadowOptions 2\n\n")) fuzz::Broken("object block end");
    }
    if (at != scene.size()) fuzz::Broken("text after the last block");
}

struct Run {
    SceneReport report;
    std::string scene;
};

Run Generate(const Settings& settings, GenerationPath path, SceneFormat format) {
    fuzz::NullSink sink;
    fuzz::ContinueHook hook;
    EngineState state;
    GenerateOptions options;
    options.path = path;
    options.format = format;
    options.threads = 1;
    Run run;
    run.report = CreateScene(settings, state, sink, hook, options);
    run.scene = ReadAll(PathText(settings.target_scene));
    ::unlink(PathText(settings.target_scene).c_str());
    return run;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string pattern = std::string(base) + "/vexo-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            scratch = pattern;
            break;
        }
    }
    if (scratch.empty()) fuzz::Broken("no scratch folder");
    for (std::size_t i = 0; i < kMotionCount; ++i) {
        std::ofstream(scratch + "/m" + std::to_string(i) + ".mot", std::ios::binary) << kMotions[i];
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kKnobs = 3;
    const std::size_t record = size < kSettingsImageSize ? size : kSettingsImageSize;
    std::string file(reinterpret_cast<const char*>(data), record);
    if (size > kSettingsImageSize + kKnobs)
        file.append(reinterpret_cast<const char*>(data) + kSettingsImageSize + kKnobs,
                    size - kSettingsImageSize - kKnobs);
    std::istringstream in(file);
    Settings s = DefaultSettings();
    if (LoadPrefs(in, s) != PrefsLoadResult::Loaded) return 0;
    auto knob = [&](std::size_t i) {
        return kSettingsImageSize + i < size ? data[kSettingsImageSize + i] : 0;
    };

    s.num_particles = Fold(s.num_particles, 8);
    s.particles_per_frame = Fold(s.particles_per_frame, 8);
    s.frame_step = Fold(s.frame_step, 8);
    s.first_frame = Fold(s.first_frame, 1000);
    // A last frame before the first is refused; keep that case, but only where it is refused.
    s.last_frame =
        (s.last_frame < 0 && s.first_frame > 0) ? s.first_frame - 1 : s.first_frame + Fold(s.last_frame, 64);
    s.wind_x = Fold(s.wind_x, -100.0, 100.0);
    s.wind_y = Fold(s.wind_y, -100.0, 100.0);
    s.wind_z = Fold(s.wind_z, -100.0, 100.0);
    s.drag = Fold(s.drag, 0.0, 1.0);
    s.turbulence = Fold(s.turbulence, -100.0, 100.0);
    s.turbulence_size = Fold(s.turbulence_size, 0.001, 100.0);
    s.spin = Fold(s.spin, 0.0, 100000.0);
    // The meshes name files to read: they stay at their defaults here.
    const Settings defaults = DefaultSettings();
    s.emitter_object = defaults.emitter_object;
    s.collision_object = defaults.collision_object;
    s.emit_from = defaults.emit_from;
    s.emit_along_normal = defaults.emit_along_normal;
    s.friction = defaults.friction;

    const SceneFormat formats[] = {SceneFormat::Lwsc1, SceneFormat::Lwsc3, SceneFormat::Gltf,
                                   SceneFormat::Glb};
    const SceneFormat format = formats[knob(1) % 4];
    SetPathText(s.parent_motion, scratch + "/m" + std::to_string(knob(0) % kMotionCount) + ".mot");
    SetPathText(s.target_scene, scratch + (format == SceneFormat::Glb ? "/scene.glb" : "/scene.lws"));
    // glTF reads the particle object: never let the record name a file to read.
    if (format == SceneFormat::Gltf || format == SceneFormat::Glb)
        SetPathText(s.particle_object, scratch + "/none");

    const GenerationPath path = knob(2) % 2 == 0 ? GenerationPath::Scheduled : GenerationPath::Reference;
    const Run run = Generate(s, path, format);
    if (format != SceneFormat::Lwsc1 || run.report.outcome != WriteOutcome::Complete) return 0;
    CheckScene(run.scene, s);
    const GenerationPath other =
        path == GenerationPath::Scheduled ? GenerationPath::Reference : GenerationPath::Scheduled;
    if (Generate(s, other, format).scene != run.scene) fuzz::Broken("the two generation paths differ");
    return 0;
}
