#include "prefs/setting_labels.hpp"

#include <array>
#include <utility>

namespace vexo {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 40> kLabels = {{
    {"particle_object", "Particle object"},
    {"parent_motion", "Parent motion"},
    {"target_scene", "Target scene"},
    {"num_particles", "Particles"},
    {"particles_per_frame", "Particles per frame"},
    {"lifespan", "Lifespan"},
    {"velocity", "Velocity"},
    {"velocity_variation", "Velocity variation"},
    {"heading_angle", "Heading angle"},
    {"heading_spread", "Heading spread"},
    {"pitch_angle", "Pitch angle"},
    {"pitch_spread", "Pitch spread"},
    {"creation_delay", "Creation delay"},
    {"start_size", "Start size"},
    {"end_size", "End size"},
    {"gravity", "Gravity"},
    {"limited_lifespan", "Limited lifespan"},
    {"use_creation_delay", "Use creation delay"},
    {"particle_grow", "Particle grow"},
    {"ground_bounce", "Ground bounce"},
    {"radial_creation", "Radial creation"},
    {"end_behavior", "End behavior"},
    {"first_frame", "First frame"},
    {"last_frame", "Last frame"},
    {"frame_step", "Frame step"},
    {"linear_path", "Linear path"},
    {"elasticity", "Elasticity"},
    {"oversampling", "Oversampling"},
    {"emitter_object", "Emitter object"},
    {"emit_from", "Emit from"},
    {"emit_along_normal", "Along the normal"},
    {"wind_x", "Wind x"},
    {"wind_y", "Wind y"},
    {"wind_z", "Wind z"},
    {"drag", "Drag"},
    {"turbulence", "Turbulence"},
    {"turbulence_size", "Turbulence size"},
    {"collision_object", "Collision object"},
    {"friction", "Friction"},
    {"spin", "Spin"},
}};

}  // namespace

std::string_view SettingLabel(std::string_view field) {
    for (const auto& [name, label] : kLabels) {
        if (name == field) return label;
    }
    return {};
}

}  // namespace vexo
