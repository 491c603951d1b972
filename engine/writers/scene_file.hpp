// The target file of one generation: written beside the target and renamed over it only when
// kept, so a failed, aborted or empty run leaves the old target as it was. A FIFO or device
// at the target (a pipe, /dev/null) is written directly. Write errors are remembered.
#pragma once

#include <string>
#include <string_view>

#include "engine/writers/replacement_file.hpp"

namespace vexo {

class SceneFile {
  public:
    // Prepares the replacement of the target. On failure returns false and keeps the reason.
    bool Open(const std::string& path);
    // Writes the text; after the first failure it writes nothing more and returns false.
    bool Write(std::string_view text);
    // Makes what was written the target; false when anything was lost (the target is then kept).
    bool Close();
    // Drops what was written; the target, or a symbolic link to it, is never removed.
    void Remove();

    bool failed() const { return file_.failed(); }
    // The system's words for the first failure, e.g. "No space left on device".
    const std::string& error() const { return file_.error(); }

  private:
    ReplacementFile file_;
};

}  // namespace vexo
