#include "engine/writers/gltf_scene.hpp"

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <sstream>

#include "engine/writers/scene_formats.hpp"

namespace vexo {
namespace {

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;

template <class T>
void AppendBytes(std::vector<unsigned char>& bytes, const std::vector<T>& values) {
    const auto* begin = reinterpret_cast<const unsigned char*>(values.data());
    bytes.insert(bytes.end(), begin, begin + values.size() * sizeof(T));
}

int Digits(std::uint32_t n) {
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

}  // namespace

std::array<double, 4> GltfRotation(double heading, double pitch, double bank) {
    constexpr double kHalfRadians = std::numbers::pi / 360.0;
    const double ch = std::cos(heading * kHalfRadians), sh = std::sin(heading * kHalfRadians);
    const double cp = std::cos(pitch * kHalfRadians), sp = std::sin(pitch * kHalfRadians);
    const double cb = std::cos(bank * kHalfRadians), sb = std::sin(bank * kHalfRadians);
    return {-(ch * sp * cb + sh * cp * sb), ch * sp * sb - sh * cp * cb, ch * cp * sb - sh * sp * cb,
            ch * cp * cb + sh * sp * sb};
}

GltfScene::GltfScene(Mesh mesh, std::uint32_t objects, double fps)
    : mesh_(std::move(mesh)), fps_(fps), name_width_(std::max(4, Digits(objects == 0 ? 0 : objects - 1))) {}

void GltfScene::AddObject(const ObjectKeys& keys) {
    ObjectKeys rising = RisingKeys(keys);
    // glTF times start at 0: keys before frame 0 (possible only from a hand-made record) go.
    rising.erase(rising.begin(),
                 std::find_if(rising.begin(), rising.end(), [](const SceneKey& k) { return k.frame >= 0; }));
    Channels ch{};
    ch.count = rising.size();
    if (rising.empty()) {
        ch.input = -1;
        ch.r0 = {0, 0, 0, 1};
        objects_.push_back(ch);
        return;
    }
    std::vector<std::int32_t> frames;
    frames.reserve(rising.size());
    for (const SceneKey& key : rising) frames.push_back(key.frame);
    const auto [found, fresh] = input_of_frames_.try_emplace(frames, static_cast<std::int32_t>(inputs_.size()));
    if (fresh) {
        inputs_.push_back(times_.size());
        input_counts_.push_back(frames.size());
        for (std::int32_t f : frames) times_.push_back(static_cast<float>(FrameTime(f, fps_)));
    }
    ch.input = found->second;
    ch.translation = translations_.size();
    ch.rotation = rotations_.size();
    ch.scale = scales_.size();
    for (const SceneKey& key : rising) {
        const auto& v = key.value;
        translations_.insert(translations_.end(),
                             {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(-v[2])});
        const auto q = GltfRotation(v[3], v[4], v[5]);
        rotations_.insert(rotations_.end(), {static_cast<float>(q[0]), static_cast<float>(q[1]),
                                             static_cast<float>(q[2]), static_cast<float>(q[3])});
        scales_.insert(scales_.end(), {static_cast<float>(v[6]), static_cast<float>(v[7]), static_cast<float>(v[8])});
    }
    std::copy_n(translations_.begin() + static_cast<std::ptrdiff_t>(ch.translation), 3, ch.t0.begin());
    std::copy_n(rotations_.begin() + static_cast<std::ptrdiff_t>(ch.rotation), 4, ch.r0.begin());
    std::copy_n(scales_.begin() + static_cast<std::ptrdiff_t>(ch.scale), 3, ch.s0.begin());
    objects_.push_back(ch);
}

bool GltfScene::Serialize(bool binary, std::string& bytes) const {
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "Vexo 1.1";
    tinygltf::Buffer buffer;

    // Every section holds 4-byte numbers, so every view and accessor starts 4-aligned.
    auto add_view = [&](const auto& values, int target) {
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer.data.size();
        AppendBytes(buffer.data, values);
        view.byteLength = buffer.data.size() - view.byteOffset;
        if (target != 0) view.target = target;
        model.bufferViews.push_back(view);
        return static_cast<int>(model.bufferViews.size() - 1);
    };
    auto add_accessor = [&](int view, std::size_t float_offset, std::size_t count, int component, int type) {
        tinygltf::Accessor accessor;
        accessor.bufferView = view;
        accessor.byteOffset = float_offset * 4;
        accessor.count = count;
        accessor.componentType = component;
        accessor.type = type;
        model.accessors.push_back(accessor);
        return static_cast<int>(model.accessors.size() - 1);
    };

    const int positions_view = add_view(mesh_.positions, kArrayBuffer);
    const int indices_view = add_view(mesh_.indices, kElementArrayBuffer);
    const int position = add_accessor(positions_view, 0, mesh_.positions.size() / 3, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                      TINYGLTF_TYPE_VEC3);
    std::vector<double> lo(3, std::numeric_limits<double>::max()), hi(3, std::numeric_limits<double>::lowest());
    for (std::size_t i = 0; i < mesh_.positions.size(); ++i) {
        lo[i % 3] = std::min<double>(lo[i % 3], mesh_.positions[i]);
        hi[i % 3] = std::max<double>(hi[i % 3], mesh_.positions[i]);
    }
    model.accessors[position].minValues = lo;
    model.accessors[position].maxValues = hi;
    const int index = add_accessor(indices_view, 0, mesh_.indices.size(), TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                                   TINYGLTF_TYPE_SCALAR);
    tinygltf::Primitive primitive;
    primitive.attributes["POSITION"] = position;
    primitive.indices = index;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    tinygltf::Mesh mesh;
    mesh.name = "particle";
    mesh.primitives.push_back(primitive);
    model.meshes.push_back(mesh);

    std::vector<int> input_accessors;
    if (!times_.empty()) {
        const int times_view = add_view(times_, 0);
        const int translations_view = add_view(translations_, 0);
        const int rotations_view = add_view(rotations_, 0);
        const int scales_view = add_view(scales_, 0);
        for (std::size_t i = 0; i < inputs_.size(); ++i) {
            const int accessor = add_accessor(times_view, inputs_[i], input_counts_[i],
                                              TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR);
            model.accessors[accessor].minValues = {times_[inputs_[i]]};
            model.accessors[accessor].maxValues = {times_[inputs_[i] + input_counts_[i] - 1]};
            input_accessors.push_back(accessor);
        }
        tinygltf::Animation animation;
        animation.name = "particles";
        for (std::size_t n = 0; n < objects_.size(); ++n) {
            const Channels& ch = objects_[n];
            if (ch.input < 0) continue;
            const std::pair<const char*, int> paths[] = {
                {"translation", add_accessor(translations_view, ch.translation, ch.count, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                             TINYGLTF_TYPE_VEC3)},
                {"rotation", add_accessor(rotations_view, ch.rotation, ch.count, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                          TINYGLTF_TYPE_VEC4)},
                {"scale",
                 add_accessor(scales_view, ch.scale, ch.count, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3)},
            };
            for (const auto& [path, output] : paths) {
                tinygltf::AnimationSampler sampler;
                sampler.input = input_accessors[static_cast<std::size_t>(ch.input)];
                sampler.output = output;
                sampler.interpolation = "LINEAR";
                animation.samplers.push_back(sampler);
                tinygltf::AnimationChannel channel;
                channel.sampler = static_cast<int>(animation.samplers.size() - 1);
                channel.target_node = static_cast<int>(n);
                channel.target_path = path;
                animation.channels.push_back(channel);
            }
        }
        model.animations.push_back(animation);
    }

    tinygltf::Scene scene;
    for (std::size_t n = 0; n < objects_.size(); ++n) {
        const Channels& ch = objects_[n];
        tinygltf::Node node;
        std::string number = std::to_string(n);
        node.name = "particle_" + std::string(static_cast<std::size_t>(std::max(0, name_width_ - static_cast<int>(number.size()))), '0') + number;
        node.mesh = 0;
        node.translation = {ch.t0[0], ch.t0[1], ch.t0[2]};
        node.rotation = {ch.r0[0], ch.r0[1], ch.r0[2], ch.r0[3]};
        node.scale = {ch.s0[0], ch.s0[1], ch.s0[2]};
        model.nodes.push_back(node);
        scene.nodes.push_back(static_cast<int>(n));
    }
    model.scenes.push_back(scene);
    model.defaultScene = 0;
    model.buffers.push_back(std::move(buffer));

    std::ostringstream out;
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToStream(&model, out, false, binary)) return false;
    bytes = out.str();
    return true;
}

}  // namespace vexo
