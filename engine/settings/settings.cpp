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

constexpr char kExtensionTag[4] = {'V', 'E', 'X', 'T'};
constexpr std::size_t kPayloadOffset = kSettingsImageSize + kExtensionHeaderSize;
// An extension field's offset in the file, from its offset in the payload.
constexpr std::size_t Ext(std::size_t payload_offset) { return kPayloadOffset + payload_offset; }
constexpr std::size_t kSpinOffset = 574;
static_assert(kSpinOffset + sizeof(double) == kExtensionPayloadSize,
              "the last extension field must end at the end of the version 1 payload");

constexpr RealRange kFraction{0.0, 1.0};
constexpr RealRange kPositive{0.0, std::numeric_limits<double>::infinity(), true};
constexpr RealRange kNotNegative{0.0, std::numeric_limits<double>::infinity()};

void PutBigEndian(std::uint8_t* bytes, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
    }
}

std::uint64_t GetBigEndian(const std::uint8_t* bytes, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = (value << 8) | bytes[offset + i];
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
        {"emitter_object", Ext(0), FieldKind::Path, &S::emitter_object},
        {"emit_from", Ext(512), FieldKind::EmitFrom, &S::emit_from},
        {"emit_along_normal", Ext(516), FieldKind::Flag, &S::emit_along_normal},
        {"wind_x", Ext(518), FieldKind::Real, &S::wind_x},
        {"wind_y", Ext(526), FieldKind::Real, &S::wind_y},
        {"wind_z", Ext(534), FieldKind::Real, &S::wind_z},
        {"drag", Ext(542), FieldKind::Real, &S::drag, kFraction},
        {"turbulence", Ext(550), FieldKind::Real, &S::turbulence},
        {"turbulence_size", Ext(558), FieldKind::Real, &S::turbulence_size, kPositive},
        {"collision_object", Ext(256), FieldKind::Path, &S::collision_object},
        {"friction", Ext(566), FieldKind::Real, &S::friction, kFraction},
        {"spin", Ext(kSpinOffset), FieldKind::Real, &S::spin, kNotNegative},
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
    ResetExtension(s);
    return s;
}

namespace {

// Writes the fields of one part of the file (the record, or the extension) into `bytes`, which
// begins at file offset `base`.
void EncodeFields(const Settings& settings, bool extension, std::uint8_t* bytes, std::size_t base) {
    for (const FieldInfo& field : SettingsFields()) {
        if (field.InExtension() != extension) continue;
        const std::size_t at = field.offset - base;
        std::visit(Overload{
                       [&](PathField S::*m) {
                           const PathField& text = settings.*m;
                           std::copy(text.begin(), text.end(), bytes + at);
                       },
                       [&](std::int32_t S::*m) { PutBigEndian(bytes, at, static_cast<std::uint32_t>(settings.*m), 4); },
                       [&](double S::*m) { PutBigEndian(bytes, at, std::bit_cast<std::uint64_t>(settings.*m), 8); },
                       [&](std::int16_t S::*m) { PutBigEndian(bytes, at, static_cast<std::uint16_t>(settings.*m), 2); },
                   },
                   field.member);
    }
}

void DecodeFields(Settings& settings, bool extension, const std::uint8_t* bytes, std::size_t base) {
    for (const FieldInfo& field : SettingsFields()) {
        if (field.InExtension() != extension) continue;
        const std::size_t at = field.offset - base;
        std::visit(Overload{
                       [&](PathField S::*m) { std::copy_n(bytes + at, kPathFieldSize, (settings.*m).begin()); },
                       [&](std::int32_t S::*m) {
                           settings.*m = static_cast<std::int32_t>(static_cast<std::uint32_t>(GetBigEndian(bytes, at, 4)));
                       },
                       [&](double S::*m) { settings.*m = std::bit_cast<double>(GetBigEndian(bytes, at, 8)); },
                       [&](std::int16_t S::*m) {
                           settings.*m = static_cast<std::int16_t>(static_cast<std::uint16_t>(GetBigEndian(bytes, at, 2)));
                       },
                   },
                   field.member);
    }
}

}  // namespace

SettingsImage EncodeSettings(const Settings& settings) {
    SettingsImage image{};
    std::copy(settings.magic.begin(), settings.magic.end(), image.begin() + kMagicOffset);
    image[kPadOffset] = settings.pad;
    EncodeFields(settings, false, image.data(), 0);
    return image;
}

Settings DecodeSettings(const SettingsImage& image) {
    Settings settings;
    ResetExtension(settings);
    std::copy_n(image.begin() + kMagicOffset, settings.magic.size(), settings.magic.begin());
    settings.pad = image[kPadOffset];
    DecodeFields(settings, false, image.data(), 0);
    return settings;
}

void ResetExtension(Settings& settings) {
    settings.emitter_object.fill('\0');
    settings.collision_object.fill('\0');
    settings.emit_from = static_cast<std::int32_t>(EmitFrom::Point);
    settings.emit_along_normal = 0;
    settings.wind_x = settings.wind_y = settings.wind_z = 0.0;
    settings.drag = 0.0;
    settings.turbulence = 0.0;
    settings.turbulence_size = 1.0;
    settings.friction = 0.0;
    settings.spin = 0.0;
}

bool ExtensionIsDefault(const Settings& settings) {
    Settings defaults = settings;
    ResetExtension(defaults);
    return EncodeExtension(defaults) == EncodeExtension(settings);
}

ExtensionImage EncodeExtension(const Settings& settings) {
    ExtensionImage image{};
    std::copy(std::begin(kExtensionTag), std::end(kExtensionTag), image.begin());
    PutBigEndian(image.data(), 4, kExtensionVersion, 2);
    PutBigEndian(image.data(), 6, kExtensionPayloadSize, 4);
    EncodeFields(settings, true, image.data(), kSettingsImageSize);
    return image;
}

ExtensionRead DecodeExtension(const std::uint8_t* bytes, std::size_t size, Settings& settings) {
    if (size < sizeof kExtensionTag || !std::equal(std::begin(kExtensionTag), std::end(kExtensionTag), bytes)) {
        return ExtensionRead::Absent;
    }
    if (size < kExtensionHeaderSize) return ExtensionRead::Damaged;
    const std::uint64_t version = GetBigEndian(bytes, 4, 2);
    const std::uint64_t length = GetBigEndian(bytes, 6, 4);
    // Every version from the first holds at least the first version's fields, at their places.
    if (version < 1 || length < kExtensionPayloadSize || size - kExtensionHeaderSize < kExtensionPayloadSize) {
        return ExtensionRead::Damaged;
    }
    DecodeFields(settings, true, bytes, kSettingsImageSize);
    return ExtensionRead::Loaded;
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
    for (const FieldInfo& field : SettingsFields()) {
        if (field.kind == FieldKind::Path &&
            HasControlCharacter(PathText(settings.*std::get<PathField Settings::*>(field.member)))) {
            return true;
        }
    }
    return false;
}

bool SetPathText(PathField& field, std::string_view text) {
    if (text.size() > kMaxPathLength || text.find('\0') != std::string_view::npos) return false;
    field.fill('\0');
    std::copy(text.begin(), text.end(), field.begin());
    return true;
}

}  // namespace vexo
