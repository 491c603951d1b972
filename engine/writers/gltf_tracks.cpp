#include "engine/writers/gltf_tracks.hpp"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace vexo {

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

namespace {

template <class T>
std::vector<T> ReadBack(BinaryFile& spool) {
    std::vector<T> values(spool.size() / sizeof(T));
    spool.ReadAt(0, values.data(), spool.size());
    return values;
}

}  // namespace

GltfTracks MakeGltfTracks(const ObjectKeys& keys) {
    Block block;
    const BlockStyle style{BlockForm::Gltf, {}, 9, 0, kDefaultFramesPerSecond, {"", SIZE_MAX}};
    BlockBuilder builder(block, style);
    builder.Start();
    for (const SceneKey& key : keys) builder.AddKey(key);
    builder.Finish();
    SpooledTracks& t = block.gltf;
    return GltfTracks{ReadBack<std::int32_t>(t.frames), ReadBack<float>(t.translations),
                      ReadBack<float>(t.rotations), ReadBack<float>(t.scales)};
}

}  // namespace vexo
