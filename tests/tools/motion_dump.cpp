// Prints the motion table the engine reads from a parent motion path ("FILE" or "FILE#NODE"):
// one line per entry, the nine channels with nine significant digits. Used by the Blender
// checks, which compare it with Blender's own transforms. Exit 1 when the motion is refused.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "engine/motion/motion.hpp"
#include "engine/motion/motion_file.hpp"

namespace {

class StderrSink : public vexo::MessageSink {
  public:
    void Message(std::string_view text) override { std::cerr << text << '\n'; }
    void DebugLine(std::string_view) override {}
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: motion_dump MOTION [FPS]\n";
        return 2;
    }
    vexo::Settings settings = vexo::DefaultSettings();
    vexo::SetPathText(settings.parent_motion, argv[1]);
    const double fps = argc == 3 ? std::atof(argv[2]) : vexo::kDefaultFramesPerSecond;
    StderrSink sink;
    vexo::EngineState state;
    const auto table = vexo::GetMotionFile(settings, sink, state, fps);
    if (!table) return 1;
    vexo::MotionCursor cursor(*table);
    for (std::size_t j = 0; j < table->size(); ++j) {
        const vexo::MotionFrame& entry = cursor.At(j);
        for (int c = 0; c < vexo::kMotionChannels; ++c)
            std::printf(c == 0 ? "%.9g" : " %.9g", entry.value[c]);
        std::printf("\n");
    }
    return 0;
}
