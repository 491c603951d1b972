#include "cli/cli_app.hpp"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "cli/break_signal.hpp"
#include "cli/cli_pictures.hpp"
#include "cli/progress_bar.hpp"
#include "cli/progress_lines.hpp"
#include "cli/settings_table.hpp"
#include "engine/create_scene.hpp"
#include "engine/generation/scene_estimate.hpp"
#include "engine/settings/settings.hpp"
#include "engine/settings/settings_fields.hpp"
#include "engine/writers/point_cache.hpp"
#include "prefs/prefs_file.hpp"
#include "prefs/settings_text.hpp"

namespace vexo::cli {
namespace {

constexpr const char* kProgram = "vexo-cli";

constexpr const char* kDescription =
    "Generates a LightWave scene (LWSC) of particles emitted from the keyed motion of a parent\n"
    "(a LightWave LWMO motion file or an animated scene file). Every particle becomes one object that loads "
    "the particle\nobject and carries its own keyed motion. A point cache (.pc2, .mdd) instead holds every "
    "particle as a copy of the\nparticle object in one mesh, written beside it (NAME.obj, NAME.lwo), and "
    "moves its points frame by frame.\n\n"
    "Settings start from the defaults, or from PREFS_FILE (a preferences file saved by vexo or\n"
    "by --write-prefs); --object, --motion, --scene and --set then override single fields.";

constexpr const char* kFooter =
    "\nSettings for --set (field=value; see --print-prefs for the current values):\n"
    "  particle_object, parent_motion, target_scene   paths, at most 254 characters\n"
    "  num_particles, particles_per_frame, lifespan, creation_delay,\n"
    "  first_frame, last_frame, frame_step            whole numbers, 0 or more\n"
    "  heading_angle, heading_spread, pitch_angle,\n"
    "  pitch_spread                                   whole degrees; heading spread is wrapped\n"
    "                                                 to 0..360, heading angle beyond -360..360\n"
    "                                                 to -359..359 and pitch spread limited to\n"
    "                                                 0..180\n"
    "  velocity, velocity_variation, start_size,\n"
    "  end_size, gravity, elasticity                  decimal numbers such as 2, -0.5 or 3.25\n"
    "                                                 (no exponents); elasticity is a fraction,\n"
    "                                                 1 keeps the full speed at a bounce\n"
    "  limited_lifespan, use_creation_delay, particle_grow,\n"
    "  ground_bounce, radial_creation, oversampling   on or off\n"
    "  linear_path                                    on (keys at births and ends) or off\n"
    "                                                 (a key every frame)\n"
    "  end_behavior                                   Recycle, Stop or Destroy (or 0, 1, 2)\n"
    "  emitter_object, collision_object               meshes (LightWave objects, OBJ, glTF, FBX,\n"
    "                                                 ...): the emitter rides on the parent\n"
    "                                                 motion; the collision object stands still\n"
    "                                                 in the world and particles bounce off it\n"
    "  emit_from                                      point (the parent's position), or the\n"
    "                                                 vertices, surface or volume of the emitter\n"
    "  emit_along_normal                              on: the heading and pitch spreads are a\n"
    "                                                 cone around the vertex or face normal\n"
    "  wind_x, wind_y, wind_z, turbulence             accelerations in the units of gravity;\n"
    "                                                 wind_y=-9.81 acts as gravity=9.81\n"
    "  turbulence_size                                scene units, more than 0: the size of the\n"
    "                                                 turbulence's swirls\n"
    "  drag, friction                                 fractions from 0 to 1: the part of the\n"
    "                                                 speed lost every second, and the part of\n"
    "                                                 the sliding speed lost at a bounce off the\n"
    "                                                 collision object\n"
    "  spin                                           degrees per second, 0 or more: the fastest\n"
    "                                                 a particle turns\n\n"
    "The motion file may be a version 1 file (LightWave 5) or a version 3 file of envelopes\n"
    "(LightWave 6 and later), or any animated scene file the Open Asset Import Library reads\n"
    "(glTF .gltf/.glb, FBX, Collada .dae, ...), recognised by its content. FILE#NODE names the\n"
    "emitter node; without a name the file must hold exactly one animated node.\n\n"
    "Exit status: 0 done; 1 the scene or a file could not be written, or the motion file or a\n"
    "mesh was refused; 2 bad arguments or settings (nothing written); 130 interrupted by Ctrl-C\n"
    "(the scene keeps its header and every complete object block; a point cache and its object\n"
    "are not written, and files at their names keep their bytes).\n\n"
    "Example:\n"
    "  vexo-cli samples/fountain.prefs --scene fountain.lws --set num_particles=200\n";

class StreamSink : public MessageSink {
  public:
    explicit StreamSink(CliStreams& streams) : streams_(streams) {}
    void Message(std::string_view text) override { Print(text); }
    void DebugLine(std::string_view text) override { streams_.out << text << std::flush; }
    void Print(std::string_view text) {
        if (bar_ != nullptr) bar_->Finish();
        streams_.err << kProgram << ": " << OneLine(text) << '\n';
    }
    ProgressBar* bar_ = nullptr;

  private:
    CliStreams& streams_;
};

// While the scene is measured: only Ctrl-C stops it.
class BreakHook : public PassHook {
  public:
    explicit BreakHook(const CliStreams& streams) : streams_(streams) {}
    PassAction OnPassStart(std::uint32_t pass, std::uint32_t) override {
        if (streams_.on_measure_pass) streams_.on_measure_pass(pass);
        return BreakRequested() ? PassAction::Break : PassAction::Continue;
    }

  private:
    const CliStreams& streams_;
};

class TerminalHook : public PassHook {
  public:
    TerminalHook(CliStreams& streams, ProgressBar* bar, ProgressLines* lines)
        : streams_(streams), bar_(bar), lines_(lines) {}
    PassAction OnPassStart(std::uint32_t pass, std::uint32_t passes) override {
        if (streams_.on_pass) streams_.on_pass(pass);
        if (BreakRequested()) return PassAction::Break;
        if (bar_ != nullptr) bar_->Update(pass, passes);
        if (lines_ != nullptr) lines_->Update(pass, passes);
        return PassAction::Continue;
    }

  private:
    CliStreams& streams_;
    ProgressBar* bar_;
    ProgressLines* lines_;
};

struct Options {
    std::string prefs_file;
    std::string object, motion, scene;
    std::vector<std::string> sets;
    bool print_prefs = false;
    std::string write_prefs;
    bool quiet = false;
    bool progress_lines = false;
    bool settings_table = false;
    bool estimate = false;
    std::string engine = "scheduled";
    std::string format = "auto";
    unsigned threads = 0;
    double fps = kDefaultFramesPerSecond;
};

int Fail(CliStreams& s, int code, const std::string& text) {
    s.err << kProgram << ": " << text << '\n';
    return code;
}

// Builds the effective settings; returns kExitOk or the exit code of the failure it reported.
int BuildSettings(const Options& options, CliStreams& s, Settings& settings) {
    settings = DefaultSettings();
    if (!options.prefs_file.empty()) {
        errno = 0;
        std::string bad_field;
        switch (LoadPrefsFile(options.prefs_file, settings, &bad_field)) {
            case PrefsLoadResult::Loaded:
                break;
            case PrefsLoadResult::CannotOpen:
                return Fail(
                    s, kExitUsage,
                    "cannot open preferences file " + options.prefs_file + ": " + std::strerror(errno));
            case PrefsLoadResult::NotPrefs:
                return Fail(s, kExitUsage, options.prefs_file + ": " + OneLine(prefs_text::kNotPrefs));
            case PrefsLoadResult::BadNumber:
                return Fail(s, kExitUsage,
                            options.prefs_file + ": " + OneLine(prefs_text::BadNumber(bad_field)));
            case PrefsLoadResult::Damaged:
                return Fail(s, kExitUsage, options.prefs_file + ": " + OneLine(prefs_text::kDamaged));
        }
    }
    const std::pair<const std::string*, const char*> paths[] = {{&options.object, "particle_object"},
                                                                {&options.motion, "parent_motion"},
                                                                {&options.scene, "target_scene"}};
    std::vector<std::string> assignments;
    for (const auto& [value, field] : paths) {
        if (!value->empty()) assignments.push_back(std::string(field) + "=" + *value);
    }
    assignments.insert(assignments.end(), options.sets.begin(), options.sets.end());
    for (const std::string& assignment : assignments) {
        const AssignResult result = AssignSetting(settings, assignment);
        if (!result.ok) return Fail(s, kExitUsage, result.error);
        if (!result.note.empty()) s.err << kProgram << ": note: " << result.note << '\n';
    }
    return kExitOk;
}

GenerateOptions OptionsFor(const Options& options, const std::string& target) {
    GenerateOptions generate;
    generate.path = options.engine == "reference" ? GenerationPath::Reference : GenerationPath::Scheduled;
    generate.threads = options.threads;
    generate.fps = options.fps;
    generate.format = options.format == "lwsc3"  ? SceneFormat::Lwsc3
                      : options.format == "gltf" ? SceneFormat::Gltf
                      : options.format == "glb"  ? SceneFormat::Glb
                      : options.format == "lwsc" ? SceneFormat::Lwsc1
                      : options.format == "pc2"  ? SceneFormat::Pc2
                      : options.format == "mdd"  ? SceneFormat::Mdd
                                                 : FormatForTarget(target, SceneFormat::Lwsc1);
    return generate;
}

// A LightWave scene names the particle object in every object block; glTF and the point caches
// hold its mesh, a unit cube when there is none.
bool NeedsObjectName(SceneFormat format, const Settings& settings) {
    const bool names_it = format == SceneFormat::Lwsc1 || format == SceneFormat::Lwsc3;
    return names_it && PathText(settings.particle_object).empty();
}

// A break before anything was written: the target, and a point cache's object, are as they were.
std::string Untouched(const std::string& target, SceneFormat format) {
    if (!IsPointCache(format)) return "interrupted before the first object: " + target + " was not touched";
    return "interrupted: " + target + " and " + CompanionPath(target, format) + " were not touched";
}

// Both paths make the same keys: the scene is measured on the scheduled one, in linear time.
GenerateOptions Measuring(GenerateOptions options) {
    options.path = GenerationPath::Scheduled;
    return options;
}

// --estimate: the scene's object count, key count and size on standard output; nothing written.
int Estimate(const Options& options, const Settings& settings, CliStreams& s, EngineState& state) {
    const std::string target = PathText(settings.target_scene);
    const GenerateOptions generate = OptionsFor(options, target);
    if (NeedsObjectName(generate.format, settings))
        return Fail(s, kExitUsage, OneLine(scene_text::kNoParticleObject));
    StreamSink sink(s);
    BreakHook breaks(s);
    InstallBreakHandler();
    const EstimateResult measured = EstimateScene(settings, state, sink, breaks, Measuring(generate));
    RemoveBreakHandler();
    if (!measured.estimate) {
        switch (measured.report.result) {
            case SceneResult::MotionFileError:
                return Fail(s, kExitFailure, "could not estimate the scene: motion file error");
            case SceneResult::NoMemory:
                return Fail(s, kExitFailure,
                            "could not estimate the scene: not enough memory for " + measured.report.error);
            case SceneResult::MeshFileError:
                return Fail(s, kExitFailure,
                            "could not estimate the scene: " + measured.report.error + " error");
            case SceneResult::Done:
                break;
        }
        if (measured.report.outcome == WriteOutcome::Interrupted)
            return Fail(s, kExitInterrupted, "interrupted");
        return measured.report.outcome == WriteOutcome::Refused ? kExitUsage : kExitFailure;
    }
    const SceneEstimate& e = *measured.estimate;
    s.out << "objects " << e.objects << "\nkeys " << e.keys << "\nsize " << e.bytes << " bytes"
          << (e.exact ? "" : " (about)") << '\n';
    return kExitOk;
}

int Generate(const Options& options, const Settings& settings, CliStreams& s, EngineState& state) {
    const std::string target = PathText(settings.target_scene);
    if (target.empty()) {
        return Fail(s, kExitUsage, "no target scene: give --scene PATH or set target_scene");
    }
    ProgressBar bar(s.err);
    const bool show_progress = s.err_is_terminal && !options.quiet;
    StreamSink sink(s);
    sink.bar_ = show_progress ? &bar : nullptr;
    ProgressLines lines(s.out);
    TerminalHook hook(s, show_progress ? &bar : nullptr, options.progress_lines ? &lines : nullptr);

    const GenerateOptions generate = OptionsFor(options, target);
    if (NeedsObjectName(generate.format, settings))
        return Fail(s, kExitUsage, OneLine(scene_text::kNoParticleObject));
    // A scene the target's file system cannot hold is refused before anything is written. (A pipe
    // or device takes what comes.)
    std::optional<SceneEstimate> estimate;
    if (TargetTakesSpace(target)) {
        const std::optional<std::uint64_t> free = s.free_space ? s.free_space(target) : FreeSpaceFor(target);
        if (free) {
            QuietSink quiet;
            BreakHook breaks(s);
            InstallBreakHandler();
            EstimateResult measured = EstimateScene(settings, state, quiet, breaks, Measuring(generate));
            RemoveBreakHandler();
            if (measured.report.outcome == WriteOutcome::Interrupted)
                return Fail(s, kExitInterrupted, Untouched(target, generate.format));
            estimate = std::move(measured.estimate);
            // Without an estimate the generation below meets the same refusal or stop and says so.
            if (estimate && estimate->AtOnce() > *free) {
                return Fail(s, kExitFailure,
                            OneLine(scene_text::NoRoom(estimate->bytes, *free, estimate->exact,
                                                       estimate->while_written)));
            }
        }
    }
    if (estimate) bar.estimate = &*estimate;
    // A point cache is made frame by frame, not object by object.
    bar.counts_objects = !IsPointCache(generate.format);
    InstallBreakHandler();
    const SceneReport report = CreateScene(settings, state, sink, hook, generate);
    RemoveBreakHandler();
    bar.Finish();

    switch (report.result) {
        case SceneResult::MotionFileError:
            return Fail(s, kExitFailure, "could not create scene: motion file error");
        case SceneResult::NoMemory:
            return Fail(s, kExitFailure, "could not create scene: not enough memory for " + report.error);
        case SceneResult::MeshFileError:
            return Fail(s, kExitFailure, "could not create scene: " + report.error + " error");
        case SceneResult::Done:
            break;
    }
    const std::string of =
        std::to_string(report.objects_written) + " of " + std::to_string(report.objects_total);
    // A point cache is two files, kept or dropped together.
    const bool cache = IsPointCache(generate.format);
    const std::string files = cache ? target + " and " + CompanionPath(target, generate.format) : target;
    const std::string failed = report.failed_file.empty() ? "target scene " + target : report.failed_file;
    switch (report.outcome) {
        case WriteOutcome::Complete:
            if (options.progress_lines) lines.Finish(report.objects_total);
            if (!options.quiet && cache) {
                s.err << kProgram << ": wrote " << report.objects_total << " particles, "
                      << settings.last_frame + 1 << " frames, to " << files << '\n';
            } else if (!options.quiet) {
                s.err << kProgram << ": wrote " << report.objects_total << " objects to " << target << '\n';
            }
            return kExitOk;
        case WriteOutcome::Interrupted:
            if (report.objects_written == 0)
                return Fail(s, kExitInterrupted, Untouched(target, generate.format));
            return Fail(s, kExitInterrupted, "interrupted: " + target + " holds " + of + " objects");
        case WriteOutcome::Aborted:
            return Fail(s, kExitInterrupted,
                        "aborted: " + files + (cache ? " were" : " was") + " not touched");
        case WriteOutcome::Refused:
            return kExitUsage;  // the engine has said why
        case WriteOutcome::CannotOpen:
            return Fail(s, kExitFailure, "cannot create " + failed + ": " + report.error);
        case WriteOutcome::WriteFailed:
            return Fail(s, kExitFailure, "writing " + failed + " failed: " + report.error);
        case WriteOutcome::NotFinite:
            return Fail(s, kExitFailure,
                        "could not create scene: " + files + (cache ? " were" : " was") + " not written");
        case WriteOutcome::NotStarted:
            break;
    }
    return Fail(s, kExitFailure, "could not create scene");
}

}  // namespace

int RunCli(int argc, const char* const* argv, CliStreams& streams, EngineState& state) {
    CLI::App app{kDescription, kProgram};
    app.footer(kFooter);
    Options options;
    PictureOptions pictures;
    app.add_option("PREFS_FILE", options.prefs_file,
                   "Preferences file to start from (default: built-in defaults)");
    app.add_option("--object", options.object, "Particle object every particle loads (sets particle_object)");
    app.add_option(
        "--motion", options.motion,
        "Parent motion: a LWMO file, or an animated scene file (glTF, FBX, Collada, ...) as FILE or "
        "FILE#NODE (sets parent_motion)");
    app.add_option("--scene", options.scene,
                   "Target scene file to write, LWSC, glTF or a point cache (sets target_scene)");
    app.add_option("--set", options.sets, "Set one field: field=value (repeatable, applied in order)")
        ->take_all()
        ->allow_extra_args(false);
    app.add_flag("--print-prefs", options.print_prefs,
                 "Print the effective settings as field=value lines and stop (no scene)");
    app.add_option("--write-prefs", options.write_prefs,
                   "Save the effective settings as a preferences file and stop (no scene)");
    app.add_flag("-q,--quiet", options.quiet, "No progress bar and no summary line");
    app.add_flag(
        "--progress-lines", options.progress_lines,
        "Print progress on standard output as lines \"progress DONE TOTAL\" (objects, or particles of "
        "a point cache), one for every whole percent and one when the scene is complete, for "
        "programs that run vexo-cli");
    app.add_flag(
        "--estimate", options.estimate,
        "Print the scene's object count, key count and size in bytes (\"objects N\", \"keys N\", \"size "
        "N bytes\", exact for LightWave scenes and point caches, \"(about)\" for glTF) and stop (no scene)");
    app.add_flag("--settings-table", options.settings_table,
                 "Print every setting's name, kind, default, range, label and help words as JSON and stop");
    app.add_option(
           "--engine", options.engine,
           "How object blocks are computed: scheduled (default; linear time, all cores) or reference "
           "(the whole simulation once per object); both write the same bytes (a point cache, only to a "
           "regular file with the reference engine)")
        ->check(CLI::IsMember({"scheduled", "reference"}));
    app.add_option(
           "--format", options.format,
           "Scene format: lwsc (LightWave scene version 1, the default), lwsc3 (version 3, LightWave 6 "
           "and later), gltf or glb (glTF 2.0), pc2 (a point cache with NAME.obj beside it: Blender, "
           "3ds Max, Maya) or mdd (a point cache with NAME.lwo beside it: LightWave); auto (the default) "
           "picks by the target's ending: .gltf, .glb, .pc2, .mdd, else lwsc")
        ->check(CLI::IsMember({"auto", "lwsc", "lwsc3", "gltf", "glb", "pc2", "mdd"}));
    app.add_option("--fps", options.fps,
                   "The scene's frames per second (default 24): the time base of gravity, the sampling of "
                   "timed motion files (version 3, glTF, FBX, ...), the scene header and glTF key times")
        ->check(CLI::Range(0.001, 1000.0));
    app.add_option("--threads", options.threads,
                   "Worker threads for the scheduled engine (default: one per core)")
        ->check(CLI::Range(1u, 256u));
    AddPictureOptions(app, pictures);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        streams.out << app.help();
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        return Fail(streams, kExitUsage, std::string(e.what()) + " (see --help)");
    }

    if (options.settings_table) {
        streams.out << SettingsTableJson();
        return kExitOk;
    }
    Settings settings;
    if (const int code = BuildSettings(options, streams, settings); code != kExitOk) return code;

    if (!options.write_prefs.empty()) {
        std::string error;
        if (!SavePrefsFile(options.write_prefs, settings, &error)) {
            return Fail(streams, kExitFailure,
                        "cannot write preferences file " + options.write_prefs + ": " + error);
        }
    }
    if (options.print_prefs) streams.out << FormatSettings(settings);
    if (options.print_prefs || !options.write_prefs.empty()) return kExitOk;
    if (pictures.any()) {
        const int code = WritePictures(pictures, settings, options.prefs_file, options.quiet, streams, state);
        if (code != kExitOk || options.scene.empty()) return code;
    }
    if (options.estimate) return Estimate(options, settings, streams, state);
    return Generate(options, settings, streams, state);
}

}  // namespace vexo::cli
