// Animated scene files (glTF, FBX, Collada and the other formats of the Open Asset Import
// Library) as a parent motion: one node's world transform, its parents' animation included,
// sampled at every whole frame into the table a version 1 motion file gives.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/engine_state.hpp"
#include "engine/motion/motion_table.hpp"
#include "engine/reporting.hpp"

namespace vexo {

// A parent motion path split into the file and the node it names ("scene.glb#Emitter").
struct MotionSource {
    std::string file;
    std::string node;  // empty: the file's only animated node
};

// The whole path when it names an existing file; otherwise the part before the first "#" of the
// last path component whose prefix is an existing file, and the node name after it.
MotionSource SplitMotionPath(const std::string& path);

namespace motion_text {
inline constexpr const char* kNoAnimatedNode = "The scene file holds no animated node";
std::string CannotReadScene(const std::string& reason);
std::string SeveralAnimatedNodes(const std::vector<std::string>& names);
std::string NoSuchNode(const std::string& name, const std::vector<std::string>& names);
std::string NodeNotAnimated(const std::string& name, const std::vector<std::string>& names);
inline constexpr const char* kSceneNotFinite = "The scene file's motion holds\na number that is not finite";
inline constexpr const char* kSceneTooLong = "The scene file's motion lasts too long";
}  // namespace motion_text

// The extensions (without the dot) of every scene format the Open Asset Import Library reads.
std::vector<std::string> SceneFileExtensions();

// The names of the nodes that carry animation channels, in the order of the node tree, or
// nothing when the file cannot be read as a scene (`error` then says why, if given).
std::optional<std::vector<std::string>> AnimatedNodes(const std::string& file, std::string* error = nullptr);

// Reads the motion of `source.node` (or of the only animated node) at `fps` frames per second,
// from the frame of the first key that moves it to the frame of the last. Entry j is the frame
// j frames after the first. When the file is no scene and its name does not claim to be one,
// sets `not_a_scene` and reports nothing, so that the caller can say what else it expected.
std::optional<MotionTable> ReadSceneMotion(const MotionSource& source, double fps, MessageSink& sink,
                                           EngineState& state, bool* not_a_scene = nullptr);

}  // namespace vexo
