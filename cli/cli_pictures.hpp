// The pictures vexo-cli draws: --preview (the four views at one frame) and --contact-sheet
// (small perspective views over the whole animation). Kept apart from the scene options so
// that the two grow independently.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "cli/cli_app.hpp"
#include "engine/engine_state.hpp"
#include "engine/settings/settings.hpp"

namespace vexo::cli {

struct PictureOptions {
    std::string preview;              // PNG to write, or empty
    std::int64_t preview_frame = -1;  // -1: the middle of the scene
    std::string preview_size = "1280x720";
    std::string contact_sheet;  // PNG to write, or empty
    int contact_frames = 12;
    bool any() const { return !preview.empty() || !contact_sheet.empty(); }
};

void AddPictureOptions(CLI::App& app, PictureOptions& options);

// Draws the requested pictures of the generation `state` would run next, without advancing
// `state`. The caption names the preferences file, or else the target scene. Returns an exit code.
int WritePictures(const PictureOptions& options, const Settings& settings, const std::string& prefs_file,
                  bool quiet, CliStreams& streams, const EngineState& state);

}  // namespace vexo::cli
