// The one message requester of the program, the quit and About commands, safe closing of a
// window, and the two file tests.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "ui/vexo.hpp"

namespace vexo::ui {

LONG MyEasyRequest(const char* text, const char* buttons) {
    constexpr ULONG kSize = 20;
    void* memory = AllocMem(kSize, MEMF_CLEAR);
    if (memory == nullptr) return 1;  // nothing shown; the caller takes it as "Ok"
    EasyStruct easy{kSize, 0, text::kTitle, text, buttons};
    const LONG answer = EasyRequestArgs(VEXOWnd, &easy, nullptr, nullptr);
    FreeMem(memory, kSize);
    return answer;
}

int quit_menu() { return MyEasyRequest(text::kQuit, text::kOkCancel) != 0 ? 1 : 0; }

int about_menu() {
    MyEasyRequest(text::kAbout, text::kOk);
    return 0;
}

void CloseWindowSafely(Window* window) {
    Forbid();
    while (Message* message = GetMsg(window->UserPort)) ReplyMsg(message);
    Permit();
    CloseWindow(window);
}

int CouldRead(const char* path) {
    // Without blocking: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    ::close(fd);
    return 1;
}

int CouldWrite(const char* path) {
    // Creates the file only if nothing is there, and removes only what it created: an existing
    // file (one that could not be read, say) is never emptied or deleted by this test.
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST && ::access(path, W_OK) == 0 ? 1 : 0;
    ::close(fd);
    ::unlink(path);
    return 1;
}

int IsFolder(const char* path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error) ? 1 : 0;
}

void DropQueuedMessages(Window* window) {
    while (Message* message = GetMsg(window->UserPort)) ReplyMsg(message);
}

std::string OverwriteQuestion(const char* head, const std::string& path) {
    return FileMessage(head, path, text::kOverwrite);
}

std::string FileMessage(const char* head, const std::string& path, const std::string& tail) {
    // A long path is broken after a "/" (or, failing one, anywhere) so the requester stays on
    // the screen; every character of it is shown.
    constexpr std::size_t kLine = 48;
    std::string lines;
    std::size_t start = 0;
    while (path.size() - start > kLine) {
        std::size_t cut = path.rfind('/', start + kLine - 1);
        cut = cut == std::string::npos || cut <= start ? start + kLine : cut + 1;
        lines.append(path, start, cut - start).append("\n");
        start = cut;
    }
    lines.append(path, start, std::string::npos);
    return std::string(head) + "\n\n" + lines + "\n\n" + tail;
}

}  // namespace vexo::ui
