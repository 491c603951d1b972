// The opening routine the option windows and the progress window share: gadgets from the
// window's tables with the border offsets added, then the window with its tags.
#include <vector>

#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"

namespace vexo::ui {

namespace {

// Each gadget's tag list: they lie end to end in one table, each ended by TAG_DONE.
std::vector<const TagItem*> TagLists(const WindowSpec& spec) {
    std::vector<const TagItem*> lists;
    std::size_t tag = 0;
    for (int lc = 0; lc < spec.count; ++lc) {
        lists.push_back(&spec.tags[tag]);
        while (spec.tags[tag].ti_Tag != TAG_DONE) ++tag;
        ++tag;
    }
    return lists;
}

}  // namespace

GadgetLayout FitToFont(const WindowSpec& spec) {
    const std::vector<const TagItem*> tags = TagLists(spec);
    std::vector<GadgetBox> boxes;
    for (int lc = 0; lc < spec.count; ++lc) {
        boxes.push_back(MeasureGadget(spec.types[lc], spec.ngad[lc], tags[static_cast<std::size_t>(lc)]));
    }
    return GadgetLayout(boxes, spec.width, spec.height, TitleBarWidth(spec.title));
}

int OpenSpecWindow(const WindowSpec& spec) {
    const int offx = Scr->WBorLeft;
    const int offy = TitleBarOffset(Scr);
    const GadgetLayout layout = FitToFont(spec);
    const std::vector<const TagItem*> tags = TagLists(spec);
    Gadget* g = CreateContext(spec.glist);
    if (g == nullptr) return 1;
    for (int lc = 0; lc < spec.count; ++lc) {
        NewGadget ng;
        CopyMem(&spec.ngad[lc], &ng, sizeof ng);
        ng.ng_VisualInfo = spec.visual_info;
        ng.ng_TextAttr = &topaz8;
        ng.ng_LeftEdge = static_cast<WORD>(layout.X(ng.ng_LeftEdge) + offx);
        ng.ng_TopEdge = static_cast<WORD>(layout.Y(ng.ng_TopEdge) + offy);
        g = CreateGadgetA(spec.types[lc], g, &ng, tags[static_cast<std::size_t>(lc)]);
        spec.gadgets[lc] = g;
        if (g == nullptr) return 2;
        if (spec.hints != nullptr) SetGadgetHint(g, spec.hints[lc]);
        if (spec.types[lc] == GENERIC_KIND) MakeFileButton(g);
    }
    const TagItem window_tags[] = {
        {WA_Left, spec.left},
        {WA_Top, spec.top},
        {WA_Width, static_cast<IPTR>(layout.width())},
        {WA_Height, static_cast<IPTR>(layout.height() + offy)},
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
