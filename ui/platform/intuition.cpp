// intuition and gadtools: the public screen, real top-level windows at the given positions with
// a message port each, menus, and the gadget list a window is opened with.
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <set>

#include "ui/platform/platform_internal.hpp"

namespace vexo::platform {
namespace {

TextFont screen_font{8};  // window title bars are sized for an 8-pixel screen font
Screen default_screen = [] {
    Screen s;
    s.Title = "Workbench Screen";
    s.RastPortFont = &screen_font;
    return s;
}();

UWORD next_signal_bit = 16;
std::set<Window*> open_windows;  // so an owned window never reaches an owner already closed

// The top-level window: the close button becomes a close-window message, and a request to
// maximise moves the window to its zoom size and back, as the zoom gadget does.
//
// A window that owns an open window takes no input. When the window manager activates it anyway
// (a click on it), the owned window is activated again at once: it gets its focus back where it
// was, cursor and selection alike, so the refused click does not change where the next keys go.
class WindowFrame : public QWidget {
public:
    // A window with an owner is a dialog of the owner's: the window manager keeps it above.
    WindowFrame(Window* window, QWidget* owner)
        : QWidget(owner, owner != nullptr ? Qt::Dialog : Qt::Window), window_(window) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        PostIntuiMessage(window_, IDCMP_CLOSEWINDOW, 0, nullptr);
    }
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
            setWindowState(windowState() & ~Qt::WindowMaximized);
            ZipWindow(window_);
        }
        if (event->type() == QEvent::ActivationChange && isActiveWindow() && window_->data->owned_open > 0) {
            QWidget* owned = QApplication::activeModalWidget();
            if (owned != nullptr && owned != this) owned->activateWindow();
        }
        QWidget::changeEvent(event);
    }

private:
    Window* window_;
};

class WindowCanvas : public QWidget {
public:
    WindowCanvas(QWidget* parent, WindowData* data) : QWidget(parent), data_(data) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, data_->image);
    }

private:
    WindowData* data_;
};

void SetGeometry(Window* window, WORD left, WORD top, WORD width, WORD height) {
    WindowData* d = window->data;
    window->LeftEdge = left;
    window->TopEdge = top;
    window->Width = width;
    window->Height = height;
    if (d->top == nullptr) return;
    d->top->setFixedSize(width, height + d->menu_height);
    d->top->move(left, top);
    if (d->canvas != nullptr) d->canvas->setGeometry(0, d->menu_height, width, height);
    if (d->menu_bar != nullptr) d->menu_bar->setGeometry(0, 0, width, d->menu_height);
}

}  // namespace

bool PostIntuiMessage(Window* window, ULONG cls, UWORD code, void* address) {
    if (window == nullptr || window->data == nullptr) return false;
    // Input to a window whose owned window is open is refused, not kept for later.
    if (window->data->owned_open > 0 && cls != IDCMP_REFRESHWINDOW) return false;
    if (cls != IDCMP_REFRESHWINDOW) {
        // Text typed into another gadget is entered first, so its check comes before this.
        for (Gadget* g = window->data->gadgets; g != nullptr; g = g->NextGadget) {
            if (g != address && g->data != nullptr && g->data->edited) EnterGadgetText(g);
        }
    }
    if ((window->data->idcmp & cls) == 0) return false;
    auto* message = new IntuiMessage;
    message->Class = cls;
    message->Code = code;
    message->IAddress = address;
    message->IDCMPWindow = window;
    window->UserPort->messages.push_back(message);
    Signal(1u << window->UserPort->mp_SigBit);
    return true;
}

void EnterTypedText(Window* window) {
    if (window == nullptr || window->data == nullptr) return;
    for (Gadget* g = window->data->gadgets; g != nullptr; g = g->NextGadget) {
        if (g->data != nullptr && g->data->edited) EnterGadgetText(g);
    }
}

Screen* LockPubScreen(const char* name) {
    if (name != nullptr) return nullptr;  // only the default public screen exists
    if (hooks::fail_lock_screen > 0) {
        --hooks::fail_lock_screen;
        return nullptr;
    }
    ++default_screen.lock_count;
    return &default_screen;
}

void UnlockPubScreen(const char*, Screen* screen) {
    if (screen != nullptr && screen->lock_count > 0) --screen->lock_count;
}

struct VisualInfoData {
    Screen* screen;
};

APTR GetVisualInfoA(Screen* screen, const TagItem*) {
    if (screen == nullptr) return nullptr;
    if (hooks::fail_visual_info > 0) {
        --hooks::fail_visual_info;
        return nullptr;
    }
    ++hooks::visual_infos_outstanding;
    return new VisualInfoData{screen};
}

void FreeVisualInfo(APTR visual_info) {
    if (visual_info == nullptr) return;
    --hooks::visual_infos_outstanding;
    delete static_cast<VisualInfoData*>(visual_info);
}

Window* OpenWindowTagList(const void*, const TagItem* tags) {
    if (hooks::fail_open_window > 0) {
        --hooks::fail_open_window;
        return nullptr;
    }
    auto* screen = reinterpret_cast<Screen*>(GetTagData(WA_PubScreen, 0, tags));
    if (screen == nullptr) screen = &default_screen;
    auto* window = new Window;
    auto* d = new WindowData;
    window->data = d;
    window->WScreen = screen;
    window->Title = reinterpret_cast<const char*>(GetTagData(WA_Title, reinterpret_cast<IPTR>(""), tags));
    window->BorderLeft = screen->WBorLeft;
    window->BorderRight = screen->WBorRight;
    window->BorderTop = static_cast<std::uint8_t>(screen->WBorTop + screen->RastPortFont->tf_YSize + 1);
    window->BorderBottom = screen->WBorBottom;
    d->idcmp = static_cast<ULONG>(GetTagData(WA_IDCMP, 0, tags));
    d->flags = static_cast<ULONG>(GetTagData(WA_Flags, 0, tags));
    d->port.mp_SigBit = next_signal_bit;
    next_signal_bit = static_cast<UWORD>(next_signal_bit == 30 ? 16 : next_signal_bit + 1);
    window->UserPort = &d->port;

    const auto left = static_cast<WORD>(GetTagData(WA_Left, 0, tags));
    const auto top = static_cast<WORD>(GetTagData(WA_Top, 0, tags));
    const auto width = static_cast<WORD>(GetTagData(WA_Width, 200, tags));
    const auto height = static_cast<WORD>(GetTagData(WA_Height, 100, tags));
    if (const auto* zoom = reinterpret_cast<const WORD*>(GetTagData(WA_Zoom, 0, tags))) {
        std::copy(zoom, zoom + 4, d->zoom);
    }

    d->image = QImage(width, height, QImage::Format_RGB32);
    d->image.fill(PenColor(0));
    d->rp_data.image = &d->image;
    d->rp_data.changed = [d] {
        if (d->canvas != nullptr) d->canvas->update();
    };
    d->rp.data = &d->rp_data;
    window->RPort = &d->rp;

    auto* owner = reinterpret_cast<Window*>(GetTagData(WA_Owner, 0, tags));
    if (open_windows.count(owner) == 0) owner = nullptr;
    QWidget* owner_top = owner != nullptr ? owner->data->top.data() : nullptr;
    auto* frame = new WindowFrame(window, owner_top);
    if (owner_top != nullptr) {
        frame->setWindowModality(Qt::WindowModal);
        d->owner = owner;
        ++owner->data->owned_open;
    }
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->setWindowTitle(QString::fromUtf8(window->Title.c_str()));
    frame->setFont(FixedFont());
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, PenColor(0));
    frame->setPalette(palette);
    // A desktop has no screen title bar; the text is kept with the window, not shown as the
    // tooltip of every gadget in it.
    if (const auto* screen_title = reinterpret_cast<const char*>(GetTagData(WA_ScreenTitle, 0, tags))) {
        frame->setProperty("screenTitle", QString::fromUtf8(screen_title));
    }
    d->top = frame;
    d->canvas = new WindowCanvas(frame, d);
    SetGeometry(window, left, top, width, height);

    d->gadgets = reinterpret_cast<Gadget*>(GetTagData(WA_Gadgets, 0, tags));
    for (Gadget* g = d->gadgets; g != nullptr; g = g->NextGadget) CreateGadgetWidget(g, window);

    open_windows.insert(window);
    frame->show();
    if ((d->flags & WFLG_ACTIVATE) != 0) {
        frame->raise();
        frame->activateWindow();
    }
    return window;
}

void SetWindowTitles(Window* window, const char* window_title, const char* screen_title) {
    if (window == nullptr || window->data == nullptr || window->data->top == nullptr) return;
    if (window_title != kKeepTitle) {
        window->Title = window_title != nullptr ? window_title : "";
        window->data->top->setWindowTitle(QString::fromUtf8(window->Title.c_str()));
    }
    if (screen_title != kKeepTitle) {
        window->data->top->setProperty("screenTitle", QString::fromUtf8(screen_title != nullptr ? screen_title : ""));
    }
}

LONG TitleBarWidth(const char* title) {
    // Window managers draw titles in a bold face of about the desktop's size, beside an icon and
    // up to four buttons, each about as wide as the bar is high.
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(QString::fromUtf8(title)) + 6 * (metrics.height() + 4);
}

void CloseWindow(Window* window) {
    if (window == nullptr) return;
    WindowData* d = window->data;
    for (Gadget* g = d->gadgets; g != nullptr; g = g->NextGadget) DestroyGadgetWidget(g);
    while (Message* m = GetMsg(&d->port)) ReplyMsg(m);
    open_windows.erase(window);
    if (d->owner != nullptr && open_windows.count(d->owner) != 0) --d->owner->data->owned_open;
    delete d->top.data();
    delete d;
    delete window;
}

void ZipWindow(Window* window) {
    if (window == nullptr) return;
    WindowData* d = window->data;
    if (!d->zoomed) {
        d->normal[0] = window->LeftEdge;
        d->normal[1] = window->TopEdge;
        d->normal[2] = window->Width;
        d->normal[3] = window->Height;
        SetGeometry(window, d->zoom[0], d->zoom[1], d->zoom[2], d->zoom[3]);
    } else {
        SetGeometry(window, d->normal[0], d->normal[1], d->normal[2], d->normal[3]);
    }
    d->zoomed = !d->zoomed;
}

void GT_BeginRefresh(Window*) {}
void GT_EndRefresh(Window*, BOOL) {}
void GT_RefreshWindow(Window* window, void*) {
    if (window != nullptr && window->data->canvas != nullptr) window->data->canvas->update();
}

IntuiMessage* GT_GetIMsg(MsgPort* port) { return static_cast<IntuiMessage*>(GetMsg(port)); }
void GT_ReplyIMsg(IntuiMessage* message) { ReplyMsg(message); }

Menu* CreateMenusA(const NewMenu* new_menus, const TagItem*) {
    Menu* first = nullptr;
    Menu* menu = nullptr;
    MenuItem* item = nullptr;
    for (const NewMenu* nm = new_menus; nm->nm_Type != NM_END; ++nm) {
        if (nm->nm_Type == NM_TITLE) {
            auto* next = new Menu;
            next->MenuName = nm->nm_Label;
            (menu != nullptr ? menu->NextMenu : first) = next;
            menu = next;
            item = nullptr;
        } else if (nm->nm_Type == NM_ITEM && menu != nullptr) {
            auto* next = new MenuItem;
            next->bar = nm->nm_Label == NM_BARLABEL;
            if (!next->bar) next->Text = nm->nm_Label;
            next->user_data = nm->nm_UserData;
            if (nm->nm_CommKey != nullptr) next->CommKey = nm->nm_CommKey;
            (item != nullptr ? item->NextItem : menu->FirstItem) = next;
            item = next;
        }
    }
    return first;
}

BOOL LayoutMenusA(Menu*, APTR, const TagItem*) { return 1; }

void FreeMenus(Menu* menus) {
    while (menus != nullptr) {
        Menu* next_menu = menus->NextMenu;
        for (MenuItem* item = menus->FirstItem; item != nullptr;) {
            MenuItem* next = item->NextItem;
            delete item;
            item = next;
        }
        delete menus;
        menus = next_menu;
    }
}

BOOL SetMenuStrip(Window* window, Menu* menus) {
    if (window == nullptr) return 0;
    WindowData* d = window->data;
    ClearMenuStrip(window);
    d->menus = menus;
    auto* bar = new QMenuBar(d->top);
    bar->setFont(FixedFont());
    UWORD menu_number = 0;
    for (Menu* m = menus; m != nullptr; m = m->NextMenu, ++menu_number) {
        QMenu* qmenu = bar->addMenu(QString::fromUtf8(m->MenuName.c_str()));
        qmenu->setFont(FixedFont());
        UWORD item_number = 0;
        for (MenuItem* item = m->FirstItem; item != nullptr; item = item->NextItem, ++item_number) {
            if (item->bar) {
                qmenu->addSeparator();
                continue;
            }
            QAction* action = qmenu->addAction(QString::fromUtf8(item->Text.c_str()));
            if (!item->CommKey.empty()) {
                action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + QString::fromUtf8(item->CommKey.c_str())));
            }
            const UWORD code = FULLMENUNUM(menu_number, item_number, NOSUB);
            QObject::connect(action, &QAction::triggered,
                             [window, code] { PostIntuiMessage(window, IDCMP_MENUPICK, code, nullptr); });
        }
    }
    d->menu_bar = bar;
    d->menu_height = bar->sizeHint().height();
    bar->show();
    SetGeometry(window, window->LeftEdge, window->TopEdge, window->Width, window->Height);
    return 1;
}

void ClearMenuStrip(Window* window) {
    if (window == nullptr) return;
    WindowData* d = window->data;
    delete d->menu_bar.data();
    d->menus = nullptr;
    d->menu_height = 0;
    SetGeometry(window, window->LeftEdge, window->TopEdge, window->Width, window->Height);
}

MenuItem* ItemAddress(Menu* menus, UWORD code) {
    if (code == MENUNULL) return nullptr;
    Menu* menu = menus;
    for (UWORD m = 0; menu != nullptr && m < MENUNUM(code); ++m) menu = menu->NextMenu;
    if (menu == nullptr) return nullptr;
    MenuItem* item = menu->FirstItem;
    for (UWORD i = 0; item != nullptr && i < ITEMNUM(code); ++i) item = item->NextItem;
    return item;
}

}  // namespace vexo::platform
