// The opening routine the option windows and the progress window share: gadgets from the
// window's tables with the border offsets added, then the window with its tags.
#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"

namespace vexo::ui {

int OpenSpecWindow(const WindowSpec& spec) {
    const int offx = Scr->WBorLeft;
    const int offy = TitleBarOffset(Scr);
    Gadget* g = CreateContext(spec.glist);
    if (g == nullptr) return 1;
    std::size_t tag = 0;
    for (int lc = 0; lc < spec.count; ++lc) {
        NewGadget ng;
        CopyMem(&spec.ngad[lc], &ng, sizeof ng);
        ng.ng_VisualInfo = spec.visual_info;
        ng.ng_TextAttr = &topaz8;
        ng.ng_LeftEdge = static_cast<WORD>(ng.ng_LeftEdge + offx);
        ng.ng_TopEdge = static_cast<WORD>(ng.ng_TopEdge + offy);
        g = CreateGadgetA(spec.types[lc], g, &ng, &spec.tags[tag]);
        spec.gadgets[lc] = g;
        while (spec.tags[tag].ti_Tag != TAG_DONE) ++tag;
        ++tag;
        if (g == nullptr) return 2;
    }
    const TagItem window_tags[] = {
        {WA_Left, spec.left},
        {WA_Top, spec.top},
        {WA_Width, spec.width},
        {WA_Height, static_cast<IPTR>(spec.height + offy)},
        {WA_IDCMP, spec.idcmp},
        {WA_Flags, spec.flags},
        {WA_Gadgets, reinterpret_cast<IPTR>(*spec.glist)},
        {WA_Title, reinterpret_cast<IPTR>(spec.title)},
        {WA_ScreenTitle, reinterpret_cast<IPTR>(spec.screen_title)},
        {WA_PubScreen, reinterpret_cast<IPTR>(Scr)},
        // Above the main window, which takes no input while this one is open.
        {WA_Owner, reinterpret_cast<IPTR>(VEXOWnd)},
        {TAG_DONE, 0},
    };
    *spec.wnd = OpenWindowTagList(nullptr, window_tags);
    if (*spec.wnd == nullptr) return 4;
    GT_RefreshWindow(*spec.wnd, nullptr);
    return 0;
}

void OptionWindowLoop(Window* window, const std::function<bool(ULONG cls, UWORD code, Gadget* gadget)>& act) {
    bool done = false;
    while (!done) {
        bool close = (Wait((1u << window->UserPort->mp_SigBit) | SIGBREAKF_CTRL_C) & SIGBREAKF_CTRL_C) != 0;
        // Text typed and not yet entered is entered before the window closes.
        if (close) EnterTypedText(window);
        while (IntuiMessage* message = GT_GetIMsg(window->UserPort)) {
            const ULONG cls = message->Class;
            const UWORD code = message->Code;
            auto* gadget = static_cast<Gadget*>(message->IAddress);
            GT_ReplyIMsg(message);
            if (cls == IDCMP_CLOSEWINDOW) {
                close = true;
                break;  // what is still queued is left to the closing
            }
            if (!act(cls, code, gadget)) {
                // A refused entry keeps the window open for the correction.
                DropQueuedMessages(window);
                close = false;
            }
        }
        done = close;
    }
}

void CloseSpecWindow(Window** wnd, Gadget** glist) {
    if (*wnd != nullptr) {
        CloseWindowSafely(*wnd);
        *wnd = nullptr;
    }
    if (*glist != nullptr) {
        FreeGadgets(*glist);
        *glist = nullptr;
    }
}

}  // namespace vexo::ui
