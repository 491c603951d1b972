#include "prefs/settings_help.hpp"

#include <array>

namespace vexo {
namespace {

constexpr std::string_view kWholeCount = "0 to 2147483647";
constexpr std::string_view kDecimal = "any decimal number, such as 2, -0.5 or 3.25 (no exponents)";
constexpr std::string_view kOnOff = "on or off";

// The words of vexo-cli's help, said once per field. The units are what the engine does with the
// numbers, also where a window's label says otherwise (a velocity is applied once per frame).
constexpr std::array<SettingHelp, 40> kHelp = {{
    {"particle_object",
     "The LightWave object every particle loads. The scene refers to it; the preview draws its outline.", "",
     "a file that can be read; at most 254 characters, no control characters"},
    {"parent_motion",
     "The keyed motion of the emitter: a LightWave motion file, or an animated scene file (glTF, FBX, "
     "Collada, ...) as FILE or FILE#NODE.",
     "", "a file that can be read; at most 254 characters, no control characters"},
    {"target_scene",
     "The scene file Generate writes: a LightWave scene, or glTF when the name ends in .gltf or .glb.", "",
     "a file that can be created; at most 254 characters, no control characters"},
    {"num_particles", "Particle slots: every slot becomes one object of the scene.", "particles",
     kWholeCount},
    {"particles_per_frame", "Particles emitted in every simulated frame, while slots are free.",
     "particles per frame", kWholeCount},
    {"lifespan", "How long a particle lives when Limited lifespan is on.", "frames", kWholeCount},
    {"velocity", "Speed at which particles leave the emitter; a negative speed sends them backwards.",
     "scene units (metres) per frame", kDecimal},
    {"velocity_variation",
     "Random change of each particle's speed: up to half this share of the velocity, faster or slower.",
     "percent of the velocity", "any decimal number; 0 gives every particle the same speed"},
    {"heading_angle", "Direction of emission around the vertical axis, added to the emitter's heading.",
     "whole degrees", "-360 to 360; numbers beyond are wrapped to -359 to 359"},
    {"heading_spread", "Width of the random band of headings around the heading angle.", "whole degrees",
     "0 to 360; larger numbers are wrapped, negative ones taken as 0"},
    {"pitch_angle", "Angle of emission above the horizontal, less the emitter's own pitch.", "whole degrees",
     "any whole number; 90 is straight up"},
    {"pitch_spread", "Width of the random band of pitches around the pitch angle.", "whole degrees",
     "0 to 180; larger numbers are taken as 180, negative ones as 0"},
    {"creation_delay", "Frames between a particle's emission and its appearance, when Creation delay is on.",
     "frames", kWholeCount},
    {"start_size", "Size of a particle when it appears.", "scale factor of the particle object",
     "any decimal number; 1 is the object's own size"},
    {"end_size",
     "Size that growth reaches at the end of the lifespan (or of the frame range), when Particle grow is on.",
     "scale factor of the particle object", kDecimal},
    {"gravity", "Pull towards the ground: a particle's vertical speed falls by gravity / 24 every frame.",
     "scene units per frame per second", "any decimal number; a negative one pulls upwards"},
    {"limited_lifespan", "Particles end after their lifespan, as the end lifespan behavior says.", "",
     kOnOff},
    {"use_creation_delay", "Particles appear only after the creation delay.", "", kOnOff},
    {"particle_grow", "Particles grow or shrink from the start size towards the end size.", "", kOnOff},
    {"ground_bounce", "Particles bounce off the ground plane (height 0) instead of falling through it.", "",
     kOnOff},
    {"radial_creation", "Particles are emitted on a ring around the emitter's first position.", "", kOnOff},
    {"end_behavior",
     "What a particle does when its lifespan ends: Recycle frees its slot for a new particle, Stop leaves it "
     "resting where it ended, Destroy makes it vanish.",
     "", "Recycle, Stop or Destroy"},
    {"first_frame", "The first frame simulated and written.", "frames", kWholeCount},
    {"last_frame", "The last frame simulated and written.", "frames", kWholeCount},
    {"frame_step", "Frames from one simulated frame to the next.", "frames", "1 to 2147483647"},
    {"linear_path",
     "Linear path (faster): each particle gets keys only where it is born, ends or is destroyed. Non linear "
     "path (more accurate): a key at every simulated frame.",
     "", "Linear path (on) or Non linear path (off)"},
    {"elasticity", "Share of its vertical speed a particle keeps when it bounces at the ground.",
     "percent in the window; a fraction in preferences text (1 is 100 %)",
     "any decimal number; 100 % keeps the full speed"},
    {"oversampling",
     "Particles of one frame start spread along the emitter's movement since the previous frame, not at one "
     "point.",
     "", kOnOff},
    {"emitter_object",
     "A mesh the particles leave (a LightWave object, OBJ, glTF, FBX, ...), riding on the parent motion.", "",
     "a file that can be read, or empty for none; at most 254 characters, no control characters"},
    {"emit_from",
     "Where particles leave: the parent's position (point), or the vertices, surface or volume of the emitter "
     "object.",
     "", "point, vertices, surface or volume"},
    {"emit_along_normal",
     "The heading and pitch spreads make a cone around the normal of the vertex or face a particle leaves.", "",
     kOnOff},
    {"wind_x", "Wind along x: an acceleration like gravity's, towards +x (right) for a positive number.",
     "scene units per frame per second", kDecimal},
    {"wind_y", "Wind along y: an acceleration like gravity's, towards +y (up) for a positive number; -9.81 "
     "acts as gravity 9.81.",
     "scene units per frame per second", kDecimal},
    {"wind_z", "Wind along z: an acceleration like gravity's, towards +z (away from the front view) for a "
     "positive number.",
     "scene units per frame per second", kDecimal},
    {"drag", "The part of its speed a particle loses every second.", "fraction per second", "0 to 1"},
    {"turbulence", "Strength of the random swirls that push particles about: an acceleration like gravity's.",
     "scene units per frame per second", "any decimal number; 0 for none"},
    {"turbulence_size", "Size of the turbulence's swirls.", "scene units", "more than 0"},
    {"collision_object",
     "A mesh that stands still in the world; particles bounce off it (a LightWave object, OBJ, glTF, FBX, "
     "...).",
     "", "a file that can be read, or empty for none; at most 254 characters, no control characters"},
    {"friction", "The part of its sliding speed a particle loses at a bounce off the collision object.",
     "fraction", "0 to 1"},
    {"spin", "The fastest a particle turns.", "degrees per second", "0 or more"},
}};

void AppendPart(std::string& text, std::string_view head, std::string_view part, std::size_t width) {
    if (part.empty()) return;
    if (!text.empty()) text += '\n';
    text += WrapWords(std::string(head) + std::string(part), width);
}

}  // namespace

std::span<const SettingHelp> SettingsHelp() {
    return kHelp;
}

const SettingHelp* FindSettingHelp(std::string_view field) {
    for (const SettingHelp& help : kHelp) {
        if (help.field == field) return &help;
    }
    return nullptr;
}

std::string HelpText(const SettingHelp& help, std::size_t width) {
    std::string text;
    AppendPart(text, "", help.what, width);
    AppendPart(text, "Unit: ", help.unit, width);
    AppendPart(text, "Range: ", help.range, width);
    return text;
}

std::string WrapWords(std::string_view text, std::size_t width) {
    std::string out;
    std::size_t line = 0;  // characters on the current line
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '\n') {
            out += '\n';
            line = 0;
            ++at;
            continue;
        }
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '\n') ++end;
        const std::size_t word = end - at;
        if (line > 0 && width > 0 && line + 1 + word > width) {
            out += '\n';
            line = 0;
        } else if (line > 0) {
            out += ' ';
            ++line;
        }
        out.append(text, at, word);
        line += word;
        at = end;
    }
    return out;
}

}  // namespace vexo
