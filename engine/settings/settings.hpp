// The generation settings record and its 880-byte big-endian image.
// Owns the field layout, the defaults and the image codec; knows nothing of files or windows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexo {

inline constexpr std::size_t kSettingsImageSize = 880;
inline constexpr std::size_t kPathFieldSize = 255;  // 254 characters plus the terminator
inline constexpr std::size_t kMaxPathLength = kPathFieldSize - 1;

// A ticked check box stores this value; readers only test flags against zero.
inline constexpr std::int16_t kFlagTicked = 128;

enum class EndBehavior : std::int32_t { Recycle = 0, Stop = 1, Destroy = 2 };

// Where a particle leaves the emitter: the parent's point, or a place on the emitter object.
enum class EmitFrom : std::int32_t { Point = 0, Vertices = 1, Surface = 2, Volume = 3 };

using PathField = std::array<char, kPathFieldSize>;
using SettingsImage = std::array<std::uint8_t, kSettingsImageSize>;

// One generation's settings. Comments give each field's offset in the image and its unit.
struct Settings {
    std::array<char, 4> magic{};                 // 0: "VEXO", no terminator
    PathField particle_object{};                 // 4: object every particle loads
    PathField parent_motion{};                   // 259: LWMO motion of the emitter
    PathField target_scene{};                    // 514: LWSC scene to write
    std::uint8_t pad = 0;                        // 769: alignment byte, kept as loaded
    std::int32_t num_particles = 0;              // 770: particle slots = objects in the scene
    std::int32_t particles_per_frame = 0;        // 774: emission attempts per frame
    std::int32_t lifespan = 0;                   // 778: frames, when limited_lifespan is on
    double velocity = 0.0;                       // 782: scene units per frame
    double velocity_variation = 0.0;             // 790: percent of velocity
    std::int32_t heading_angle = 0;              // 798: degrees
    std::int32_t heading_spread = 0;             // 802: degrees
    std::int32_t pitch_angle = 0;                // 806: degrees
    std::int32_t pitch_spread = 0;               // 810: degrees
    std::int32_t creation_delay = 0;             // 814: frames, when use_creation_delay is on
    double start_size = 0.0;                     // 818: scale factor at appearance
    double end_size = 0.0;                       // 826: scale factor growth aims at
    double gravity = 0.0;                        // 834: units per frame per second
    std::int16_t limited_lifespan = 0;           // 842: flag
    std::int16_t use_creation_delay = 0;         // 844: flag
    std::int16_t particle_grow = 0;              // 846: flag
    std::int16_t ground_bounce = 0;              // 848: flag
    std::int16_t radial_creation = 0;            // 850: flag
    std::int32_t end_behavior = 0;               // 852: 0 Recycle, 1 Stop, 2 Destroy
    std::int32_t first_frame = 0;                // 856
    std::int32_t last_frame = 0;                 // 860
    std::int32_t frame_step = 0;                 // 864
    std::int16_t linear_path = 0;                // 868: 1 linear keys, 0 a key every frame
    double elasticity = 0.0;                     // 870: fraction of vertical speed kept
    std::int16_t oversampling = 0;               // 878: flag

    // Shapes and forces. Not in the 880-byte image: a preferences file carries them in its
    // extension after the record (offsets relative to the extension's payload).
    PathField emitter_object{};         // 0: mesh the particles leave, riding on the parent
    PathField collision_object{};       // 256: static mesh in world coordinates to bounce off
    std::int32_t emit_from = 0;         // 512: an EmitFrom
    std::int16_t emit_along_normal = 0;  // 516: flag: spreads around the normal, not the angles
    double wind_x = 0.0;                // 518: acceleration, units per frame per second, like gravity
    double wind_y = 0.0;                // 526
    double wind_z = 0.0;                // 534
    double drag = 0.0;                  // 542: fraction of the speed lost per second, 0 to 1
    double turbulence = 0.0;            // 550: strength, units per frame per second, like gravity
    double turbulence_size = 0.0;       // 558: scene units, more than 0; default 1
    double friction = 0.0;              // 566: fraction of the tangential speed lost at a mesh bounce, 0 to 1
    double spin = 0.0;                  // 574: greatest turning rate, degrees per second, 0 or more

    bool operator==(const Settings&) const = default;
};

// The record as the program starts: zeros, the magic and the non-zero defaults.
Settings DefaultSettings();

// The 880-byte image holds the record's fields only; the shapes and forces keep their values in
// EncodeSettings and come back at their defaults from DecodeSettings.
SettingsImage EncodeSettings(const Settings& settings);
Settings DecodeSettings(const SettingsImage& image);

// The extension that follows the record in a preferences file: the tag "VEXT", a big-endian
// 16-bit version, a big-endian 32-bit payload length, then the payload (the shapes and forces,
// big-endian at the offsets given in Settings). A reader of the record alone stops at 880 bytes.
inline constexpr std::size_t kExtensionHeaderSize = 10;
inline constexpr std::uint16_t kExtensionVersion = 1;
inline constexpr std::size_t kExtensionPayloadSize = 582;  // version 1
using ExtensionImage = std::array<std::uint8_t, kExtensionHeaderSize + kExtensionPayloadSize>;

// True when every shape and force holds its default, so a file needs no extension.
bool ExtensionIsDefault(const Settings& settings);
// Puts the shapes and forces back to their defaults, leaving the record's fields alone.
void ResetExtension(Settings& settings);
ExtensionImage EncodeExtension(const Settings& settings);

enum class ExtensionRead {
    Absent,   // no extension follows the record: the shapes and forces take their defaults
    Loaded,   // the payload replaced the shapes and forces
    Damaged,  // the tag is there but the header or payload is cut short; nothing stored
};
// Reads the bytes that follow the record. Bytes that do not begin with the tag are no
// extension. A later version's longer payload is read as far as this version knows it.
ExtensionRead DecodeExtension(const std::uint8_t* bytes, std::size_t size, Settings& settings);

// Text stored in a path field, up to its terminator.
std::string PathText(const PathField& field);
// Stores text into a path field, zero-filling the rest. Returns false, storing nothing,
// when the text is longer than kMaxPathLength or holds a NUL.
bool SetPathText(PathField& field, std::string_view text);

// True when the text holds a control character (below 32, or 127): a line break in a path would
// start a new line in the scene text.
bool HasControlCharacter(std::string_view text);
// True when any path of the settings holds a control character.
bool AnyPathHasControlCharacter(const Settings& settings);

inline bool IsOn(std::int16_t flag) { return flag != 0; }

}  // namespace vexo
