#include "engine/motion/scene_motion.hpp"

#include <assimp/config.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <new>

#include "engine/motion/world_channels.hpp"

namespace vexo {
namespace motion_text {
namespace {

// Long lists (a particle scene has a node per particle) are cut after this many names.
constexpr std::size_t kNamesShown = 20;

std::string NameList(const std::vector<std::string>& names) {
    if (names.empty()) return "none";
    std::string list;
    for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i) list += (i == 0 ? "" : ", ") + names[i];
    if (names.size() > kNamesShown) list += " and " + std::to_string(names.size() - kNamesShown) + " more";
    return list;
}

}  // namespace

std::string CannotReadScene(const std::string& reason) {
    return "Could not read the scene file:\n" + reason;
}
std::string SeveralAnimatedNodes(const std::vector<std::string>& names) {
    return "The scene file holds several animated nodes:\n" + NameList(names) + "\nName one as FILE#NODE";
}
std::string NoSuchNode(const std::string& name, const std::vector<std::string>& names) {
    return "The scene file has no node named \"" + name + "\".\nAnimated nodes: " + NameList(names);
}
std::string NodeNotAnimated(const std::string& name, const std::vector<std::string>& names) {
    return "Nothing animates the node \"" + name + "\".\nAnimated nodes: " + NameList(names);
}

}  // namespace motion_text

namespace {

// Files with no rate of their own count ticks at the rate the Open Asset Import Library's
// documentation suggests.
constexpr double kDefaultTicksPerSecond = 25.0;

bool IsFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// A name ending in an extension of a scene format the Open Asset Import Library reads. ".mot"
// (which the library lists for LightWave's own motion files) is motion text's name.
bool ClaimsToBeScene(const std::string& file) {
    const std::string extension = std::filesystem::path(file).extension().string();
    return !extension.empty() && extension != ".mot" && extension != ".MOT" &&
           Assimp::Importer().IsExtensionSupported(extension.c_str());
}

// The format the first bytes of a file show, as the extension the library knows it by; empty
// when they show none of the common ones. The library's own guess by content can take a binary
// glTF for a version 1 file, which has no animation.
std::string ContentExtension(const std::string& head) {
    if (head.rfind("glTF", 0) == 0) return "glb";
    if (head.rfind("Kaydara FBX Binary", 0) == 0 || head.rfind("; FBX", 0) == 0) return "fbx";
    if (head.find("<COLLADA") != std::string::npos) return "dae";
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && head[first] == '{' && head.find("\"asset\"") != std::string::npos)
        return "gltf";
    return "";
}

std::string LowerExtension(const std::string& file) {
    std::string extension = std::filesystem::path(file).extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return extension;
}

// An importer that reads animation as the file holds it: no post-processing, and FBX pivots
// folded into their node so that the animation stays on the node the user named. The content
// decides the format when it contradicts the name.
class SceneImport {
  public:
    const aiScene* Read(const std::string& file, std::string& error) {
        importer_.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
        std::ifstream in(file, std::ios::binary);
        std::string head(4096, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        const std::string shown = ContentExtension(head), named = LowerExtension(file);
        const bool same = shown.empty() || shown == named || (shown == "gltf" && named == "glb");
        const aiScene* scene = same ? importer_.ReadFile(file, 0) : nullptr;
        if (scene == nullptr) {
            if (same) error = importer_.GetErrorString();
            in.clear();
            in.seekg(0);
            bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            if (!bytes_.empty())
                scene = importer_.ReadFileFromMemory(bytes_.data(), bytes_.size(), 0, shown.c_str());
            if (scene == nullptr && !same) error = importer_.GetErrorString();
        }
        return scene;
    }

  private:
    Assimp::Importer importer_;
    std::vector<char> bytes_;
};

struct Channel {
    const aiNodeAnim* anim = nullptr;
    double ticks_per_second = kDefaultTicksPerSecond;
};

// The first channel of any animation that targets each node.
std::map<const aiNode*, Channel> ChannelsOf(const aiScene& scene) {
    std::map<const aiNode*, Channel> channels;
    for (unsigned a = 0; a < scene.mNumAnimations; ++a) {
        const aiAnimation& animation = *scene.mAnimations[a];
        const double tps = animation.mTicksPerSecond > 0 ? animation.mTicksPerSecond : kDefaultTicksPerSecond;
        for (unsigned c = 0; c < animation.mNumChannels; ++c) {
            const aiNodeAnim* anim = animation.mChannels[c];
            const aiNode* node = scene.mRootNode->FindNode(anim->mNodeName);
            if (node != nullptr) channels.try_emplace(node, Channel{anim, tps});
        }
    }
    return channels;
}

void CollectAnimated(const aiNode* node, const std::map<const aiNode*, Channel>& channels,
                     std::vector<std::string>& names) {
    if (channels.count(node) != 0) names.emplace_back(node->mName.C_Str());
    for (unsigned i = 0; i < node->mNumChildren; ++i) CollectAnimated(node->mChildren[i], channels, names);
}

template <class Key>
std::pair<std::size_t, double> Segment(const Key* keys, unsigned count, double tick) {
    if (tick <= keys[0].mTime) return {0, 0.0};
    if (tick >= keys[count - 1].mTime) return {count - 1, 0.0};
    const Key* after =
        std::upper_bound(keys, keys + count, tick, [](double t, const Key& k) { return t < k.mTime; });
    const auto i = static_cast<std::size_t>(after - keys) - 1;
    const double span = keys[i + 1].mTime - keys[i].mTime;
    return {i, span > 0 ? (tick - keys[i].mTime) / span : 0.0};
}

std::array<double, 3> Vector(const aiVectorKey* keys, unsigned count, double tick,
                             const aiVector3D& otherwise) {
    if (count == 0) return {otherwise.x, otherwise.y, otherwise.z};
    const auto [i, u] = Segment(keys, count, tick);
    const aiVector3D& a = keys[i].mValue;
    if (u == 0.0) return {a.x, a.y, a.z};
    const aiVector3D& b = keys[i + 1].mValue;
    return {a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u, a.z + (b.z - a.z) * u};
}

// Spherical interpolation along the shorter arc, as glTF's LINEAR rotation is defined.
Quaternion Slerp(const Quaternion& a, Quaternion b, double u) {
    double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (dot < 0) {
        for (double& v : b) v = -v;
        dot = -dot;
    }
    double wa = 1.0 - u, wb = u;
    if (dot < 0.9999999) {
        const double angle = std::acos(std::min(dot, 1.0));
        wa = std::sin((1.0 - u) * angle) / std::sin(angle);
        wb = std::sin(u * angle) / std::sin(angle);
    }
    Quaternion q{};
    for (int k = 0; k < 4; ++k) q[k] = wa * a[k] + wb * b[k];
    return q;
}

Quaternion Rotation(const aiQuatKey* keys, unsigned count, double tick, const aiQuaternion& otherwise) {
    auto xyzw = [](const aiQuaternion& q) { return Quaternion{q.x, q.y, q.z, q.w}; };
    if (count == 0) return xyzw(otherwise);
    const auto [i, u] = Segment(keys, count, tick);
    if (u == 0.0) return xyzw(keys[i].mValue);
    return Slerp(xyzw(keys[i].mValue), xyzw(keys[i + 1].mValue), u);
}

Quaternion Multiply(const Quaternion& a, const Quaternion& b) {
    return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1],
            a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
            a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3],
            a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

struct Local {
    Transform matrix;
    Quaternion rotation;
};

// A node's own transform at `seconds`: its channel's keys, or the matrix the file gives it.
// The matrix is composed here: assimp's own TRS constructor scales rows, not columns.
Local LocalAt(const aiNode& node, const Channel* channel, double seconds) {
    aiVector3D scaling, position;
    aiQuaternion rotation;
    node.mTransformation.Decompose(scaling, rotation, position);
    Local local;
    if (channel == nullptr) {
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) local.matrix.m[r][c] = node.mTransformation[r][c];
        }
        local.rotation = {rotation.x, rotation.y, rotation.z, rotation.w};
        return local;
    }
    const aiNodeAnim& a = *channel->anim;
    const double tick = seconds * channel->ticks_per_second;
    local.rotation = Rotation(a.mRotationKeys, a.mNumRotationKeys, tick, rotation);
    local.matrix = Compose(Vector(a.mPositionKeys, a.mNumPositionKeys, tick, position), local.rotation,
                           Vector(a.mScalingKeys, a.mNumScalingKeys, tick, scaling));
    return local;
}

// The seconds of the first and last key of the channels along the node's chain.
bool KeyRange(const std::vector<std::pair<const aiNode*, const Channel*>>& chain, double& first,
              double& last) {
    first = std::numeric_limits<double>::infinity();
    last = -first;
    auto take = [&](double tick, double tps) {
        first = std::min(first, tick / tps);
        last = std::max(last, tick / tps);
    };
    for (const auto& [node, channel] : chain) {
        if (channel == nullptr) continue;
        const aiNodeAnim& a = *channel->anim;
        const double tps = channel->ticks_per_second;
        for (unsigned k = 0; k < a.mNumPositionKeys; ++k) take(a.mPositionKeys[k].mTime, tps);
        for (unsigned k = 0; k < a.mNumRotationKeys; ++k) take(a.mRotationKeys[k].mTime, tps);
        for (unsigned k = 0; k < a.mNumScalingKeys; ++k) take(a.mScalingKeys[k].mTime, tps);
    }
    return first <= last;
}

}  // namespace

MotionSource SplitMotionPath(const std::string& path) {
    if (IsFile(path)) return {path, ""};
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    for (std::size_t hash = path.find('#', start); hash != std::string::npos;
         hash = path.find('#', hash + 1)) {
        if (IsFile(path.substr(0, hash))) return {path.substr(0, hash), path.substr(hash + 1)};
    }
    return {path, ""};
}

std::vector<std::string> SceneFileExtensions() {
    std::string list;
    Assimp::Importer().GetExtensionList(list);  // "*.3ds;*.obj;..."
    std::vector<std::string> extensions;
    for (std::size_t at = 0; at < list.size();) {
        std::size_t end = list.find(';', at);
        if (end == std::string::npos) end = list.size();
        const std::string item = list.substr(at, end - at);
        if (item.rfind("*.", 0) == 0 && item.size() > 2) extensions.push_back(item.substr(2));
        at = end + 1;
    }
    return extensions;
}

std::optional<std::vector<std::string>> AnimatedNodes(const std::string& file, std::string* error) {
    SceneImport import;
    std::string reason;
    const aiScene* scene = nullptr;
    try {
        scene = import.Read(file, reason);
    } catch (...) {
        scene = nullptr;
    }
    if (scene == nullptr || scene->mRootNode == nullptr) {
        if (error != nullptr) *error = reason;
        return std::nullopt;
    }
    std::vector<std::string> names;
    CollectAnimated(scene->mRootNode, ChannelsOf(*scene), names);
    return names;
}

std::optional<MotionTable> ReadSceneMotion(const MotionSource& source, double fps, MessageSink& sink,
                                           EngineState& state, bool* not_a_scene) {
    SceneImport import;
    std::string reason;
    const aiScene* scene = nullptr;
    try {
        scene = import.Read(source.file, reason);
    } catch (...) {
        scene = nullptr;
    }
    if (scene == nullptr || scene->mRootNode == nullptr) {
        if (not_a_scene != nullptr && !ClaimsToBeScene(source.file)) {
            *not_a_scene = true;
        } else {
            sink.Message(motion_text::CannotReadScene(reason.empty() ? "not a scene" : reason));
        }
        return std::nullopt;
    }
    const auto channels = ChannelsOf(*scene);
    std::vector<std::string> names;
    CollectAnimated(scene->mRootNode, channels, names);

    const aiNode* node = nullptr;
    if (source.node.empty()) {
        if (names.empty()) {
            sink.Message(motion_text::kNoAnimatedNode);
            return std::nullopt;
        }
        if (names.size() > 1) {
            sink.Message(motion_text::SeveralAnimatedNodes(names));
            return std::nullopt;
        }
        node = scene->mRootNode->FindNode(names.front().c_str());
    } else {
        node = scene->mRootNode->FindNode(source.node.c_str());
        if (node == nullptr) {
            sink.Message(motion_text::NoSuchNode(source.node, names));
            return std::nullopt;
        }
    }

    // The chain from the root down to the node, each with its channel if it has one.
    std::vector<std::pair<const aiNode*, const Channel*>> chain;
    for (const aiNode* n = node; n != nullptr; n = n->mParent) {
        const auto found = channels.find(n);
        chain.emplace_back(n, found == channels.end() ? nullptr : &found->second);
    }
    std::reverse(chain.begin(), chain.end());
    double first = 0, last = 0;
    if (!KeyRange(chain, first, last)) {
        sink.Message(motion_text::NodeNotAnimated(node->mName.C_Str(), names));
        return std::nullopt;
    }
    const double first_frame = std::round(first * fps), last_frame = std::round(last * fps);
    if (!std::isfinite(first_frame) || !std::isfinite(last_frame)) {
        sink.Message(motion_text::kSceneNotFinite);
        return std::nullopt;
    }
    if (last_frame - first_frame > std::numeric_limits<std::int32_t>::max() - 1) {
        sink.Message(motion_text::kSceneTooLong);
        return std::nullopt;
    }
    const auto entries = static_cast<std::size_t>(last_frame - first_frame) + 1;

    std::vector<MotionFrame> table;
    try {
        table.reserve(entries);
    } catch (const std::bad_alloc&) {
        sink.Message(motion_text::kNoTableMemory);
        return std::nullopt;
    }
    for (std::size_t j = 0; j < entries; ++j) {
        const double seconds = (first_frame + static_cast<double>(j)) / fps;
        Transform world;
        Quaternion rotation{0, 0, 0, 1};
        for (const auto& [n, channel] : chain) {
            const Local local = LocalAt(*n, channel, seconds);
            world = world * local.matrix;
            rotation = Multiply(rotation, local.rotation);
        }
        MotionFrame entry = ChannelsOfWorld(world, rotation);
        for (double v : entry.value) {
            if (!std::isfinite(v)) {
                sink.Message(motion_text::kSceneNotFinite);
                return std::nullopt;
            }
        }
        table.push_back(entry);
    }
    MakeAnglesContinuous(table);
    state.LastMotionFrame = static_cast<std::int32_t>(entries - 1);
    state.no_info_channels = kMotionChannels;
    return MotionTable::FromFrames(std::move(table));
}

}  // namespace vexo
