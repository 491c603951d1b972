// The one message requester of the program, the quit and About commands, safe closing of a
// window, and the two file tests.
#include <cstdio>

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
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return 0;
    std::fclose(file);
    return 1;
}

int CouldWrite(const char* path) {
    BPTR file = Open(path, MODE_NEWFILE);
    if (file == nullptr) return 0;
    Close(file);
    std::remove(path);
    return 1;
}

}  // namespace vexo::ui
