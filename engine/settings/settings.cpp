#include "engine/settings/settings.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/settings/settings_fields.hpp"

namespace vexo {
namespace {

constexpr std::size_t kMagicOffset = 0;
constexpr std::size_t kPadOffset = 769;
constexpr std::size_t kOversamplingOffset = 878;

static_assert(kOversamplingOffset + sizeof(std::int16_t) == kSettingsImageSize,
              "the last field must end at the last byte of the image");

void PutBigEndian(SettingsImage& image, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        image[offset + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
    }
}

std::uint64_t GetBigEndian(const SettingsImage& image, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = (value << 8) | image[offset + i];
    return value;
}

using S = Settings;

template <class... F>
struct Overload : F... {
    using F::operator()...;
};
template <class... F>
Overload(F...) -> Overload<F...>;

}  // namespace

const FieldInfo* FindSettingsField(std::string_view name) {
    for (const FieldInfo& field : SettingsFields()) {
        if (field.name == name) return &field;
    }
    return nullptr;
}

std::span<const FieldInfo> SettingsFields() {
    static const FieldInfo kFields[] = {
        {"particle_object", 4, FieldKind::Path, &S::particle_object},
        {"parent_motion", 259, FieldKind::Path, &S::parent_motion},
        {"target_scene", 514, FieldKind::Path, &S::target_scene},
        {"num_particles", 770, FieldKind::Count, &S::num_particles},
        {"particles_per_frame", 774, FieldKind::Count, &S::particles_per_frame},
        {"lifespan", 778, FieldKind::Count, &S::lifespan},
        {"velocity", 782, FieldKind::Real, &S::velocity},
        {"velocity_variation", 790, FieldKind::Real, &S::velocity_variation},
        {"heading_angle", 798, FieldKind::Angle, &S::heading_angle},
        {"heading_spread", 802, FieldKind::Angle, &S::heading_spread},
        {"pitch_angle", 806, FieldKind::Angle, &S::pitch_angle},
        {"pitch_spread", 810, FieldKind::Angle, &S::pitch_spread},
        {"creation_delay", 814, FieldKind::Count, &S::creation_delay},
        {"start_size", 818, FieldKind::Real, &S::start_size},
        {"end_size", 826, FieldKind::Real, &S::end_size},
        {"gravity", 834, FieldKind::Real, &S::gravity},
        {"limited_lifespan", 842, FieldKind::Flag, &S::limited_lifespan},
        {"use_creation_delay", 844, FieldKind::Flag, &S::use_creation_delay},
        {"particle_grow", 846, FieldKind::Flag, &S::particle_grow},
        {"ground_bounce", 848, FieldKind::Flag, &S::ground_bounce},
        {"radial_creation", 850, FieldKind::Flag, &S::radial_creation},
        {"end_behavior", 852, FieldKind::EndBehavior, &S::end_behavior},
        {"first_frame", 856, FieldKind::Count, &S::first_frame},
        {"last_frame", 860, FieldKind::Count, &S::last_frame},
        {"frame_step", 864, FieldKind::Count, &S::frame_step},
        {"linear_path", 868, FieldKind::PathMode, &S::linear_path},
        {"elasticity", 870, FieldKind::Real, &S::elasticity},
        {"oversampling", kOversamplingOffset, FieldKind::Flag, &S::oversampling},
    };
    return kFields;
}

Settings DefaultSettings() {
    Settings s;  // every field starts at zero
    std::memcpy(s.magic.data(), "VEXO", 4);
    s.linear_path = 1;
    s.first_frame = 1;
    s.last_frame = 30;
    s.frame_step = 1;
    s.end_behavior = static_cast<std::int32_t>(EndBehavior::Destroy);
    s.start_size = 1.0;
    s.end_size = 1.0;
    s.elasticity = 1.0;
    return s;
}

SettingsImage EncodeSettings(const Settings& settings) {
    SettingsImage image{};
    std::copy(settings.magic.begin(), settings.magic.end(), image.begin() + kMagicOffset);
    image[kPadOffset] = settings.pad;
    for (const FieldInfo& field : SettingsFields()) {
        std::visit(Overload{
                       [&](PathField S::*m) {
                           const PathField& text = settings.*m;
                           std::copy(text.begin(), text.end(), image.begin() + field.offset);
                       },
                       [&](std::int32_t S::*m) {
                           PutBigEndian(image, field.offset, static_cast<std::uint32_t>(settings.*m), 4);
                       },
                       [&](double S::*m) {
                           PutBigEndian(image, field.offset, std::bit_cast<std::uint64_t>(settings.*m), 8);
                       },
                       [&](std::int16_t S::*m) {
                           PutBigEndian(image, field.offset, static_cast<std::uint16_t>(settings.*m), 2);
                       },
                   },
                   field.member);
    }
    return image;
}

Settings DecodeSettings(const SettingsImage& image) {
    Settings settings;
    std::copy_n(image.begin() + kMagicOffset, settings.magic.size(), settings.magic.begin());
    settings.pad = image[kPadOffset];
    for (const FieldInfo& field : SettingsFields()) {
        std::visit(Overload{
                       [&](PathField S::*m) {
                           std::copy_n(image.begin() + field.offset, kPathFieldSize, (settings.*m).begin());
                       },
                       [&](std::int32_t S::*m) {
                           settings.*m = static_cast<std::int32_t>(
                               static_cast<std::uint32_t>(GetBigEndian(image, field.offset, 4)));
                       },
                       [&](double S::*m) {
                           settings.*m = std::bit_cast<double>(GetBigEndian(image, field.offset, 8));
                       },
                       [&](std::int16_t S::*m) {
                           settings.*m = static_cast<std::int16_t>(
                               static_cast<std::uint16_t>(GetBigEndian(image, field.offset, 2)));
                       },
                   },
                   field.member);
    }
    return settings;
}

std::string PathText(const PathField& field) {
    const auto end = std::find(field.begin(), field.end(), '\0');
    return std::string(field.begin(), end);
}

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 32 || byte == 127;
    });
}

bool AnyPathHasControlCharacter(const Settings& settings) {
    return HasControlCharacter(PathText(settings.particle_object)) ||
           HasControlCharacter(PathText(settings.parent_motion)) || HasControlCharacter(PathText(settings.target_scene));
}

bool SetPathText(PathField& field, std::string_view text) {
    if (text.size() > kMaxPathLength || text.find('\0') != std::string_view::npos) return false;
    field.fill('\0');
    std::copy(text.begin(), text.end(), field.begin());
    return true;
}

}  // namespace vexo
