// exec: the task and its signals, libraries, message ports, memory, and the break signal.
// Wait() runs the Qt event loop until a signal arrives, so nested loops work as on the original
// system; Ctrl-C from a terminal raises the break signal through a self-pipe.
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "ui/platform/break_signal.hpp"
#include "ui/platform/platform_internal.hpp"

namespace vexo::platform {

namespace hooks {
std::function<bool()> idle_step;
std::function<LONG(const std::string&, const std::string&, const std::string&)> easy_request;
std::function<bool(FileRequester&)> file_request;
std::function<LONG(const std::string&, const std::string&, const std::vector<std::string>&)> list_request;
int fail_alloc_mem = 0;
int fail_alloc_asl = 0;
int fail_lock_screen = 0;
int fail_visual_info = 0;
int fail_open_window = 0;
int fail_create_gadget_after = 0;
std::map<std::string, int> library_versions = {
    {"intuition.library", 40}, {"graphics.library", 40}, {"gadtools.library", 40},
    {"utility.library", 40},   {"asl.library", 40},      {"dos.library", 40},
};
std::vector<std::string> library_log;
int visual_infos_outstanding = 0;
std::vector<std::string> activation_log;
}  // namespace hooks

namespace {

Task the_task;
int break_pipe[2] = {-1, -1};
QSocketNotifier* break_notifier = nullptr;

extern "C" void OnBreak(int) {
    const char byte = 'c';
    // Only async-signal-safe work here: the event loop picks the byte up.
    [[maybe_unused]] const ssize_t n = ::write(break_pipe[1], &byte, 1);
}

}  // namespace

IPTR GetTagData(Tag tag, IPTR fallback, const TagItem* list) {
    for (const TagItem* t = list; t != nullptr && t->ti_Tag != TAG_DONE; ++t) {
        if (t->ti_Tag == tag) return t->ti_Data;
    }
    return fallback;
}

Library* OpenLibrary(const char* name, ULONG version) {
    const auto found = hooks::library_versions.find(name);
    if (found == hooks::library_versions.end() || static_cast<ULONG>(found->second) < version) {
        hooks::library_log.push_back(std::string("fail ") + name);
        return nullptr;
    }
    hooks::library_log.push_back(std::string("open ") + name);
    return new Library{name, static_cast<UWORD>(found->second)};
}

void CloseLibrary(Library* library) {
    if (library == nullptr) return;
    hooks::library_log.push_back("close " + library->lib_Name);
    delete library;
}

Task* FindTask(const char* name) { return name == nullptr ? &the_task : nullptr; }

void Signal(ULONG signals) { the_task.tc_SigRecvd |= signals; }

ULONG Wait(ULONG mask) {
    for (;;) {
        const ULONG got = the_task.tc_SigRecvd & mask;
        if (got != 0) {
            the_task.tc_SigRecvd &= ~got;
            return got;
        }
        if (hooks::idle_step) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if ((the_task.tc_SigRecvd & mask) != 0) continue;
            if (!hooks::idle_step()) {
                std::cerr << "platform: Wait() would block for ever: the test script has run out\n";
                std::abort();
            }
            continue;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void ProcessPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

Message* GetMsg(MsgPort* port) {
    if (port == nullptr || port->messages.empty()) return nullptr;
    Message* message = port->messages.front();
    port->messages.pop_front();
    return message;
}

void ReplyMsg(Message* message) { delete message; }

// One task, one thread: nothing else touches a port while it is drained.
void Forbid() {}
void Permit() {}

void* AllocMem(ULONG size, ULONG flags) {
    if (hooks::fail_alloc_mem > 0) {
        --hooks::fail_alloc_mem;
        return nullptr;
    }
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory != nullptr && (flags & MEMF_CLEAR) != 0) std::memset(memory, 0, size);
    return memory;
}

void FreeMem(void* memory, ULONG) { std::free(memory); }

void CopyMem(const void* source, void* dest, ULONG size) { std::memmove(dest, source, size); }

void InstallBreakSignal() {
    if (break_notifier == nullptr) {
        if (::pipe2(break_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        break_notifier = new QSocketNotifier(break_pipe[0], QSocketNotifier::Read);
        QObject::connect(break_notifier, &QSocketNotifier::activated, [] {
            char buffer[16];
            while (::read(break_pipe[0], buffer, sizeof buffer) > 0) {
            }
            Signal(SIGBREAKF_CTRL_C);
        });
    }
    // Again on every call: whoever replaced the handler in between is undone.
    struct sigaction action {};
    action.sa_handler = OnBreak;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

void ResetTaskSignals() { the_task.tc_SigRecvd = 0; }

}  // namespace vexo::platform
