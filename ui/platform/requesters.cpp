// The message requester (a modal box with the buttons in the given order, answered 1, 2, ... from
// the left and 0 for the rightmost) and the file requester (a Qt file dialog). Tests answer both
// from a script instead of showing them.
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/platform/platform_internal.hpp"

namespace vexo::platform {
namespace {

// Hides icon files (".info") from the file requester's list.
class HideIconFiles : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QModelIndex index = sourceModel()->index(row, 0, parent);
        return !sourceModel()->data(index).toString().endsWith(".info");
    }
};

// A requester attached to a window that has an owned window open stays above that one too.
QWidget* ParentWidget(Window* window) {
    if (window == nullptr) return nullptr;
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return window->data->top.data();
}

LONG ShowEasyRequest(Window* window, const std::string& title, const std::string& text, const std::string& buttons) {
    QDialog dialog(ParentWidget(window));
    dialog.setWindowTitle(QString::fromUtf8(title.c_str()));
    dialog.setFont(FixedFont());
    dialog.setMinimumWidth(280);  // wide enough for the title in the window manager's frame
    auto* layout = new QVBoxLayout(&dialog);
    auto* body = new QLabel(QString::fromUtf8(text.c_str()), &dialog);
    body->setAlignment(Qt::AlignCenter);
    body->setMargin(12);
    layout->addWidget(body);
    auto* row = new QHBoxLayout;
    const QStringList labels = QString::fromUtf8(buttons.c_str()).split('|');
    for (int i = 0; i < labels.size(); ++i) {
        auto* button = new QPushButton(labels[i], &dialog);
        const int answer = i == labels.size() - 1 ? 0 : i + 1;
        QObject::connect(button, &QPushButton::clicked, [&dialog, answer] { dialog.done(answer); });
        if (i > 0) row->addStretch();
        row->addWidget(button);
        if (i == 0) button->setDefault(true);
    }
    layout->addLayout(row);
    // Closing the box without a button counts as the rightmost button.
    return dialog.exec();
}

LONG ShowListRequest(Window* window, const std::string& title, const std::string& text,
                     const std::vector<std::string>& entries) {
    QDialog dialog(ParentWidget(window));
    dialog.setWindowTitle(QString::fromUtf8(title.c_str()));
    dialog.setFont(FixedFont());
    auto* layout = new QVBoxLayout(&dialog);
    auto* body = new QLabel(QString::fromUtf8(text.c_str()), &dialog);
    body->setMargin(6);
    layout->addWidget(body);
    auto* list = new QListWidget(&dialog);
    for (const std::string& entry : entries) list->addItem(QString::fromUtf8(entry.c_str()));
    if (!entries.empty()) list->setCurrentRow(0);
    layout->addWidget(list);
    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton("Ok", &dialog);
    auto* cancel = new QPushButton("Cancel", &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    row->addWidget(ok);
    row->addStretch();
    row->addWidget(cancel);
    layout->addLayout(row);
    dialog.resize(300, 240);
    if (dialog.exec() != QDialog::Accepted) return -1;
    return list->currentRow();
}

// An AmigaDOS pattern of alternatives, "#?.(mot|glb)", as the file dialog's globs "*.mot *.glb".
QString Globs(const std::string& pattern) {
    const std::string prefix = "#?.(";
    if (pattern.rfind(prefix, 0) != 0 || pattern.back() != ')') return QString::fromUtf8(pattern.c_str());
    const QStringList alternatives =
        QString::fromUtf8(pattern.substr(prefix.size(), pattern.size() - prefix.size() - 1).c_str()).split('|');
    QStringList globs;
    for (const QString& extension : alternatives) globs << "*." + extension;
    return globs.join(' ');
}

// The remembered file name stands in the name field as a suggestion: the first character typed
// (or pasted) replaces it whole, wherever the cursor is, so a typed name or path, absolute or
// relative, is what is chosen. A key that edits it (an arrow, Backspace) keeps it for editing.
class Suggestion : public QObject {
  public:
    explicit Suggestion(QLineEdit* field) : QObject(field), field_(field) { field->installEventFilter(this); }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enters = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool types = !key->text().isEmpty() && key->text().front().isPrint() &&
                           (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0;
        if (types || key->matches(QKeySequence::Paste)) field_->selectAll();
        if (!enters) field_->removeEventFilter(this);
        return false;
    }

  private:
    QLineEdit* field_;
};

}  // namespace

bool ShowFileRequester(FileRequester& request, const std::function<void(QFileDialog&)>& on_open) {
    QFileDialog dialog(ParentWidget(request.window), QString::fromUtf8(request.title.c_str()),
                       QString::fromUtf8(request.initial_drawer.c_str()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(request.save_mode ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save_mode ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setFilter(QDir::AllEntries | QDir::NoDotAndDotDot);  // hidden files stay hidden
    QStringList filters;
    if (!request.pattern.empty()) filters << "Matching files (" + Globs(request.pattern) + ")";
    filters << "All files (*)";
    dialog.setNameFilters(filters);
    dialog.resize(300 * 2, 400);
    dialog.setProxyModel(new HideIconFiles(&dialog));
    if (!request.initial_file.empty()) dialog.selectFile(QString::fromUtf8(request.initial_file.c_str()));
    // Once the dialog is up: its name field exists only then.
    QTimer::singleShot(0, &dialog, [&dialog, &on_open, suggested = !request.initial_file.empty()] {
        auto* field = dialog.findChild<QLineEdit*>("fileNameEdit");
        if (suggested && field != nullptr) new Suggestion(field);
        if (on_open) on_open(dialog);
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    const QFileInfo chosen(dialog.selectedFiles().front());
    request.fr_Drawer = chosen.absolutePath().toStdString();
    request.fr_File = chosen.fileName().toStdString();
    return true;
}

LONG EasyRequestArgs(Window* window, const EasyStruct* easy, ULONG*, const void*) {
    const std::string title = easy->es_Title != nullptr ? easy->es_Title : "";
    const std::string text = easy->es_TextFormat != nullptr ? easy->es_TextFormat : "";
    const std::string buttons = easy->es_GadgetFormat != nullptr ? easy->es_GadgetFormat : "Ok";
    if (hooks::easy_request) return hooks::easy_request(title, text, buttons);
    return ShowEasyRequest(window, title, text, buttons);
}

LONG ListRequest(Window* window, const char* title, const char* text, const std::vector<std::string>& entries) {
    const std::string t = title != nullptr ? title : "", body = text != nullptr ? text : "";
    if (hooks::list_request) return hooks::list_request(t, body, entries);
    return ShowListRequest(window, t, body, entries);
}

void* AllocAslRequest(ULONG type, const TagItem* tags) {
    if (type != ASL_FileRequest) return nullptr;
    if (hooks::fail_alloc_asl > 0) {
        --hooks::fail_alloc_asl;
        return nullptr;
    }
    auto* request = new FileRequester;
    for (const TagItem* t = tags; t != nullptr && t->ti_Tag != TAG_DONE; ++t) request->tags.push_back(*t);
    request->tags.push_back({TAG_DONE, 0});
    const TagItem* list = request->tags.data();
    auto text = [list](Tag tag) {
        const auto* s = reinterpret_cast<const char*>(GetTagData(tag, 0, list));
        return std::string(s != nullptr ? s : "");
    };
    request->title = text(ASLFR_TitleText);
    request->initial_drawer = text(ASLFR_InitialDrawer);
    request->initial_file = text(ASLFR_InitialFile);
    request->save_mode = GetTagData(ASLFR_DoSaveMode, 0, list) != 0;
    if (GetTagData(ASLFR_DoPatterns, 0, list) != 0) request->pattern = text(ASLFR_InitialPattern);
    request->window = reinterpret_cast<Window*>(GetTagData(ASLFR_Window, 0, list));
    return request;
}

BOOL AslRequest(void* requester, const TagItem*) {
    auto* request = static_cast<FileRequester*>(requester);
    if (request == nullptr) return 0;
    QWidget* sleeping = request->window != nullptr ? request->window->data->top.data() : nullptr;
    const bool sleep = GetTagData(ASLFR_SleepWindow, 0, request->tags.data()) != 0 && sleeping != nullptr;
    if (sleep) sleeping->setEnabled(false);
    const bool chosen = hooks::file_request ? hooks::file_request(*request) : ShowFileRequester(*request);
    if (sleep) sleeping->setEnabled(true);
    return chosen ? 1 : 0;
}

void FreeAslRequest(void* requester) { delete static_cast<FileRequester*>(requester); }

}  // namespace vexo::platform
