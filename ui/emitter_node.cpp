// The parent motion's file requester pattern and the choice of the emitter node when a scene
// file holds several animated nodes.
#include <string>
#include <vector>

#include "engine/motion/scene_motion.hpp"
#include "ui/vexo.hpp"

namespace vexo::ui {

const std::string& MotionPattern() {
    static const std::string pattern = [] {
        std::string alternatives = "mot";
        for (const std::string& extension : SceneFileExtensions()) alternatives += "|" + extension;
        return "#?.(" + alternatives + ")";
    }();
    return pattern;
}

bool ChooseEmitterNode(std::string& path) {
    const std::optional<std::vector<std::string>> names = AnimatedNodes(path);
    if (!names || names->size() < 2) return true;  // motion text, or nothing to choose
    const LONG chosen = ListRequest(VEXOWnd, text::kSelectNode, text::kSeveralNodes, *names);
    if (chosen < 0 || chosen >= static_cast<LONG>(names->size())) return false;
    path += "#" + (*names)[static_cast<std::size_t>(chosen)];
    return true;
}

}  // namespace vexo::ui
