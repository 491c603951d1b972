#include "ui/platform/testing.hpp"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <cstdlib>
#include <iostream>

#include "ui/platform/break_signal.hpp"
#include "ui/platform/platform_internal.hpp"

namespace vexo::platform::testing {
namespace {

std::vector<RequesterRecord> requesters;
std::vector<FileRequestRecord> file_requests;
std::vector<ListRequestRecord> list_requests;
std::deque<long> list_answers;
std::deque<long> answers;
std::deque<FileChoice> file_choices;
std::deque<std::function<void()>> steps;

[[noreturn]] void Unscripted(const std::string& what, const std::string& text) {
    std::cerr << "platform test interface: no scripted answer for the " << what << " \"" << text << "\"\n";
    std::abort();
}

}  // namespace

const std::vector<RequesterRecord>& Requesters() { return requesters; }
const std::vector<FileRequestRecord>& FileRequests() { return file_requests; }
const std::vector<ListRequestRecord>& ListRequests() { return list_requests; }
const std::vector<std::string>& Activations() { return hooks::activation_log; }
const std::vector<std::string>& LibraryLog() { return hooks::library_log; }

void AnswerRequesters(std::deque<long> a) {
    answers = std::move(a);
    hooks::easy_request = [](const std::string& title, const std::string& text, const std::string& buttons) -> LONG {
        requesters.push_back({title, text, buttons});
        if (answers.empty()) Unscripted("message requester", text);
        const long answer = answers.front();
        answers.pop_front();
        return static_cast<LONG>(answer);
    };
}

void AnswerFileRequesters(std::deque<FileChoice> c) {
    file_choices = std::move(c);
    hooks::file_request = [](FileRequester& request) {
        FileRequestRecord record;
        record.title = request.title;
        record.initial_drawer = request.initial_drawer;
        record.initial_file = request.initial_file;
        record.pattern = request.pattern;
        record.save_mode = request.save_mode;
        record.window_set = request.window != nullptr;
        record.sleep_window = GetTagData(ASLFR_SleepWindow, 0, request.tags.data()) != 0;
        record.reject_icons = GetTagData(ASLFR_RejectIcons, 0, request.tags.data()) != 0;
        record.width = static_cast<long>(GetTagData(ASLFR_InitialWidth, 0, request.tags.data()));
        record.height = static_cast<long>(GetTagData(ASLFR_InitialHeight, 0, request.tags.data()));
        file_requests.push_back(record);
        if (file_choices.empty()) Unscripted("file requester", request.title);
        const FileChoice choice = file_choices.front();
        file_choices.pop_front();
        if (choice.cancel) return false;
        if (!choice.typed.empty()) {
            return ShowFileRequester(request, [typed = choice.typed](QFileDialog& dialog) {
                auto* field = dialog.findChild<QLineEdit*>("fileNameEdit");
                if (field == nullptr) return dialog.reject();
                QApplication::setActiveWindow(&dialog);  // as the window manager makes it
                QTest::mouseClick(field, Qt::LeftButton, Qt::NoModifier,
                                  field->rect().center() + QPoint(field->width() / 2 - 2, 0));
                QTest::keyClicks(field, QString::fromStdString(typed));
                // What Return or the Save button does (Return may first go to the completion list);
                // a requester that did not take the name is cancelled rather than left open.
                static_cast<QDialog&>(dialog).accept();
                if (dialog.isVisible()) dialog.reject();
            });
        }
        request.fr_Drawer = choice.drawer;
        request.fr_File = choice.file;
        return true;
    };
}

void AnswerListRequesters(std::deque<long> a) {
    list_answers = std::move(a);
    hooks::list_request = [](const std::string& title, const std::string& text,
                             const std::vector<std::string>& entries) -> LONG {
        list_requests.push_back({title, text, entries});
        if (list_answers.empty()) Unscripted("list requester", text);
        const long answer = list_answers.front();
        list_answers.pop_front();
        return static_cast<LONG>(answer);
    };
}

void UseRealRequesters() {
    hooks::easy_request = nullptr;
    hooks::file_request = nullptr;
    hooks::list_request = nullptr;
}

void ScriptSteps(std::deque<std::function<void()>> s) {
    steps = std::move(s);
    hooks::idle_step = [] {
        if (steps.empty()) return false;
        auto step = std::move(steps.front());
        steps.pop_front();
        step();
        return true;
    };
}

std::size_t StepsLeft() { return steps.size(); }

void FailNextAllocMem(int count) { hooks::fail_alloc_mem = count; }
void FailNextAslRequest(int count) { hooks::fail_alloc_asl = count; }
void FailNextLockPubScreen(int count) { hooks::fail_lock_screen = count; }
void FailNextVisualInfo(int count) { hooks::fail_visual_info = count; }
void FailNextOpenWindow(int count) { hooks::fail_open_window = count; }
void FailGadgetNumber(int n) { hooks::fail_create_gadget_after = n; }
void SetLibraryVersion(const std::string& name, int version) { hooks::library_versions[name] = version; }

int ScreenLockCount() {
    Screen* screen = LockPubScreen(nullptr);
    UnlockPubScreen(nullptr, screen);
    return screen->lock_count;
}

int VisualInfosOutstanding() { return hooks::visual_infos_outstanding; }

void Reset() {
    requesters.clear();
    file_requests.clear();
    list_requests.clear();
    answers.clear();
    file_choices.clear();
    steps.clear();
    AnswerRequesters({});
    AnswerFileRequesters({});
    AnswerListRequesters({});
    ScriptSteps({});
    hooks::fail_alloc_mem = hooks::fail_alloc_asl = hooks::fail_lock_screen = 0;
    hooks::fail_visual_info = hooks::fail_open_window = hooks::fail_create_gadget_after = 0;
    for (auto& [name, version] : hooks::library_versions) version = 40;
    hooks::library_log.clear();
    hooks::activation_log.clear();
    ResetTaskSignals();
}

QWidget* GadgetWidget(Gadget* gadget) { return gadget != nullptr ? gadget->data->widget.data() : nullptr; }
QWidget* WindowWidget(Window* window) { return window != nullptr ? window->data->top.data() : nullptr; }

QAction* MenuAction(Window* window, int menu, int item) {
    if (window == nullptr || window->data->menu_bar == nullptr) return nullptr;
    const QList<QAction*> menus = window->data->menu_bar->actions();
    if (menu >= menus.size() || menus[menu]->menu() == nullptr) return nullptr;
    const QList<QAction*> items = menus[menu]->menu()->actions();
    return item < items.size() ? items[item] : nullptr;
}

int WindowPenAt(Window* window, int x, int y) {
    const QColor c = window->data->image.pixelColor(x, y);
    for (int pen = 0; pen < 4; ++pen) {
        if (PenColor(static_cast<ULONG>(pen)) == c) return pen;
    }
    return -1;
}

void ClickMxEntry(Gadget* gadget, int entry) {
    QTest::mouseClick(gadget->data->widget.data(), Qt::LeftButton, Qt::NoModifier,
                      MxEntryRect(gadget, entry).center());
}

int MxShownEntry(const Gadget* gadget) { return gadget->data->active; }

void PostMessage(Window* window, ULONG cls, UWORD code, void* address) {
    PostIntuiMessage(window, cls, code, address);
}

struct TestRastPort::Impl {
    QImage image;
    RastPortData data;
};

TestRastPort::TestRastPort(int width, int height) : impl_(new Impl) {
    impl_->image = QImage(width, height, QImage::Format_RGB32);
    impl_->image.fill(Qt::magenta);  // no pen: shows what was never drawn
    impl_->data.image = &impl_->image;
    rp.data = &impl_->data;
}

TestRastPort::~TestRastPort() { delete impl_; }

QImage& TestRastPort::image() { return impl_->image; }

int TestRastPort::PenAt(int x, int y) const {
    const QColor c = impl_->image.pixelColor(x, y);
    for (int pen = 0; pen < 4; ++pen) {
        if (PenColor(static_cast<ULONG>(pen)) == c) return pen;
    }
    return -1;
}

}  // namespace vexo::platform::testing
