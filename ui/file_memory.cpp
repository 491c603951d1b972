#include "ui/file_memory.hpp"

#include <cstring>

namespace vexo::ui {
namespace {

void CopyCut(char* dest, std::size_t size, const std::string& text) {
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

}  // namespace

bool FileMemory::Remember(const std::string& chosen_drawer, const std::string& chosen_file) {
    CopyCut(file, sizeof file, chosen_file);
    CopyCut(drawer, sizeof drawer, chosen_drawer);
    if (chosen_drawer.size() >= kPathBufferSize) {
        whole_path[0] = '\0';
        return false;
    }
    CopyCut(whole_path, sizeof whole_path, chosen_drawer);
    return AddPart(whole_path, chosen_file.c_str(), kPathBufferSize) != 0;
}

}  // namespace vexo::ui
