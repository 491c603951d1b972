// The one message requester of the program, the quit and About commands, safe closing of a
// window, and the two file tests.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace vexo::ui
