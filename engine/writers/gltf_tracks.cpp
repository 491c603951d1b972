#include "engine/writers/gltf_tracks.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/writers/scene_formats.hpp"

namespace vexo {
namespace {

bool Hidden(const float* scale) {
    return scale[0] == 0.0f && scale[1] == 0.0f && scale[2] == 0.0f;
}

}  // namespace

float KeyTime(std::int32_t frame, double fps) {
    return static_cast<float>(FrameTime(frame, fps));
}

std::array<double, 4> GltfRotation(double heading, double pitch, double bank) {
    constexpr double kHalfRadians = std::numbers::pi / 360.0;
    // Particles' pitch and bank are 0: their cosine 1 and sine (signed) 0 need no library call.
    const auto half = [](double degrees, double& c, double& s) {
        const double a = degrees * kHalfRadians;
        c = a == 0.0 ? 1.0 : std::cos(a);
        s = a == 0.0 ? a : std::sin(a);
    };
    double ch, sh, cp, sp, cb, sb;
    half(heading, ch, sh);
    half(pitch, cp, sp);
    half(bank, cb, sb);
    return {-(ch * sp * cb + sh * cp * sb), ch * sp * sb - sh * cp * cb, ch * cp * sb - sh * sp * cb,
            ch * cp * cb + sh * sp * sb};
}

GltfTracks MakeGltfTracks(const ObjectKeys& keys) {
    const ObjectKeys rising = RisingKeys(keys);
    // glTF times start at 0: keys before frame 0 (possible only from a hand-made record) go.
    const auto first =
        std::find_if(rising.begin(), rising.end(), [](const SceneKey& k) { return k.frame >= 0; });
    const auto count = static_cast<std::size_t>(rising.end() - first);
    GltfTracks tracks;
    tracks.frames.reserve(count);
    tracks.translations.reserve(3 * count);
    tracks.rotations.reserve(4 * count);
    tracks.scales.reserve(3 * count);
    // Particles hold their rotation for many keys: the quaternion is reused while the angles keep
    // their bits (so -0 and 0 still give their own quaternions).
    const double* last_angles = nullptr;
    std::array<float, 4> q{};
    for (auto key = first; key != rising.end(); ++key) {
        const auto& v = key->value;
        tracks.frames.push_back(key->frame);
        tracks.translations.insert(
            tracks.translations.end(),
            {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(-v[2])});
        if (last_angles == nullptr || std::memcmp(last_angles, v.data() + 3, 3 * sizeof(double)) != 0) {
            const auto r = GltfRotation(v[3], v[4], v[5]);
            q = {static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2]),
                 static_cast<float>(r[3])};
            last_angles = v.data() + 3;
        }
        tracks.rotations.insert(tracks.rotations.end(), q.begin(), q.end());
        tracks.scales.insert(tracks.scales.end(),
                             {static_cast<float>(v[6]), static_cast<float>(v[7]), static_cast<float>(v[8])});
    }
    for (std::size_t k = 0; k + 1 < count; ++k) {
        if (Hidden(&tracks.scales[3 * k]) && !Hidden(&tracks.scales[3 * k + 3])) {
            std::copy_n(&tracks.rotations[4 * k + 4], 4, &tracks.rotations[4 * k]);
        }
    }
    return tracks;
}

}  // namespace vexo
