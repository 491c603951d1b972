// The system services the desktop program is written against: screens, windows with message
// ports, GadTools-style gadgets and menus, requesters, a small dos layer, rastport drawing and
// a BOOPSI-style image class system. Implemented on Qt 6 Widgets; this header itself is free of
// Qt, so the windows above it read like the program they implement.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace vexo::platform {

using ULONG = std::uint32_t;
using LONG = std::int32_t;
using UWORD = std::uint16_t;
using WORD = std::int16_t;
using BOOL = std::int16_t;
using Tag = std::uintptr_t;
using IPTR = std::uintptr_t;

// ---- Tags ---------------------------------------------------------------------------------

inline constexpr Tag TAG_DONE = 0;
inline constexpr Tag TAG_USER = 0x80000000u;

struct TagItem {
    Tag ti_Tag;
    IPTR ti_Data;
};

// The data of the first `tag` in a TAG_DONE-terminated list, or `fallback`.
IPTR GetTagData(Tag tag, IPTR fallback, const TagItem* list);

// Window attributes.
inline constexpr Tag WA_Left = TAG_USER + 0x64;
inline constexpr Tag WA_Top = TAG_USER + 0x65;
inline constexpr Tag WA_Width = TAG_USER + 0x66;
inline constexpr Tag WA_Height = TAG_USER + 0x67;
inline constexpr Tag WA_IDCMP = TAG_USER + 0x6A;
inline constexpr Tag WA_Flags = TAG_USER + 0x6B;
inline constexpr Tag WA_Gadgets = TAG_USER + 0x6C;
inline constexpr Tag WA_Title = TAG_USER + 0x6E;
inline constexpr Tag WA_ScreenTitle = TAG_USER + 0x6F;
inline constexpr Tag WA_PubScreen = TAG_USER + 0x76;
inline constexpr Tag WA_Zoom = TAG_USER + 0x7D;
inline constexpr Tag WA_NewLookMenus = TAG_USER + 0x94;
// This layer's own: the window belongs to the given window. It stays above its owner, and the
// owner takes no input (nothing reaches its port) while the window is open.
inline constexpr Tag WA_Owner = TAG_USER + 0x10000;
// This layer's own: the gadget's help text, shown as the tooltip of the gadget and its labels.
inline constexpr Tag GA_HintInfo = TAG_USER + 0x10001;

// Gadget, menu and bevel-box attributes.
inline constexpr Tag GA_Disabled = TAG_USER + 0x3000E;
inline constexpr Tag GT_VisualInfo = TAG_USER + 0x80034;
inline constexpr Tag GTST_String = TAG_USER + 0x8002D;
inline constexpr Tag GTST_MaxChars = TAG_USER + 0x8002E;
inline constexpr Tag GTIN_Number = TAG_USER + 0x8002F;
inline constexpr Tag GTIN_MaxChars = TAG_USER + 0x80030;
inline constexpr Tag GTCB_Checked = TAG_USER + 0x80004;
inline constexpr Tag GTMX_Labels = TAG_USER + 0x80009;
inline constexpr Tag GTMX_Active = TAG_USER + 0x8000A;
inline constexpr Tag GTMX_Spacing = TAG_USER + 0x8003D;
inline constexpr Tag GTTX_Text = TAG_USER + 0x8000B;
inline constexpr Tag GTMN_FrontPen = TAG_USER + 0x8003F;
inline constexpr Tag GTMN_TextAttr = TAG_USER + 0x80031;
inline constexpr Tag GTMN_NewLookMenus = TAG_USER + 0x80043;
inline constexpr Tag GTBB_Recessed = TAG_USER + 0x80033;

// File requester attributes.
inline constexpr Tag ASLFR_TitleText = TAG_USER + 0x80001;
inline constexpr Tag ASLFR_Window = TAG_USER + 0x80002;
inline constexpr Tag ASLFR_InitialHeight = TAG_USER + 0x80005;
inline constexpr Tag ASLFR_InitialWidth = TAG_USER + 0x80006;
inline constexpr Tag ASLFR_InitialFile = TAG_USER + 0x80008;
inline constexpr Tag ASLFR_InitialDrawer = TAG_USER + 0x80009;
inline constexpr Tag ASLFR_SleepWindow = TAG_USER + 0x8002B;
inline constexpr Tag ASLFR_DoSaveMode = TAG_USER + 0x8002C;
inline constexpr Tag ASLFR_RejectIcons = TAG_USER + 0x8003C;
inline constexpr Tag ASLFR_InitialPattern = TAG_USER + 0x8000A;  // "#?.(a|b)": the files shown first
inline constexpr Tag ASLFR_DoPatterns = TAG_USER + 0x8002E;
inline constexpr ULONG ASL_FileRequest = 0;

// ---- exec: libraries, tasks, signals, message ports ----------------------------------------

struct Library {
    std::string lib_Name;
    UWORD lib_Version;
};

// Null when the library is missing or older than `version`.
Library* OpenLibrary(const char* name, ULONG version);
void CloseLibrary(Library* library);

inline constexpr ULONG SIGBREAKF_CTRL_C = 1u << 12;

struct Task {
    ULONG tc_SigRecvd = 0;  // signals received and not yet taken by Wait
};

// The program's one task.
Task* FindTask(const char* name);

// Blocks, handling window-system events, until one of the signals in `mask` is received.
// Returns and clears the received signals of `mask`.
ULONG Wait(ULONG mask);

// Handles the window system's pending events (repaints, input for the ports, the break signal)
// without waiting: long work calls it to keep every window responsive.
void ProcessPendingEvents();

struct Message {
    virtual ~Message() = default;
};

struct MsgPort {
    UWORD mp_SigBit = 0;
    std::deque<Message*> messages;
};

Message* GetMsg(MsgPort* port);
void ReplyMsg(Message* message);
void Forbid();
void Permit();
void* AllocMem(ULONG size, ULONG flags);
void FreeMem(void* memory, ULONG size);
inline constexpr ULONG MEMF_CLEAR = 1u << 16;
void CopyMem(const void* source, void* dest, ULONG size);

// ---- intuition: screens, windows, messages -------------------------------------------------

struct TextAttr {
    const char* ta_Name;
    UWORD ta_YSize;
    std::uint8_t ta_Style;
    std::uint8_t ta_Flags;
};
inline constexpr std::uint8_t FS_NORMAL = 0;
inline constexpr std::uint8_t FPF_ROMFONT = 1;

struct TextFont {
    UWORD tf_YSize;
};

struct Screen {
    std::string Title;
    std::uint8_t WBorLeft = 4, WBorTop = 2, WBorRight = 4, WBorBottom = 2;
    TextFont* RastPortFont;  // the screen's font; its height sizes window title bars
    int lock_count = 0;
};

Screen* LockPubScreen(const char* name);
void UnlockPubScreen(const char* name, Screen* screen);

struct VisualInfoData;
using APTR = void*;

APTR GetVisualInfoA(Screen* screen, const TagItem* tags);
void FreeVisualInfo(APTR visual_info);

// Pens of the screen's draw info, by index.
enum : UWORD { DETAILPEN, BLOCKPEN, TEXTPEN, SHINEPEN, SHADOWPEN, FILLPEN, FILLTEXTPEN, BACKGROUNDPEN, NUMDRIPENS };
struct DrawInfo {
    UWORD dri_Pens[NUMDRIPENS];
};

struct RastPortData;
struct RastPort {
    RastPortData* data = nullptr;
    UWORD FgPen = 1;
    UWORD BgPen = 0;
    void* AreaPtrn = nullptr;
    std::uint8_t AreaPtSz = 0;
    WORD cp_x = 0, cp_y = 0;
};

struct Gadget;
struct Menu;
struct WindowData;

struct Window {
    WORD LeftEdge = 0, TopEdge = 0, Width = 0, Height = 0;
    std::uint8_t BorderLeft = 0, BorderTop = 0, BorderRight = 0, BorderBottom = 0;
    RastPort* RPort = nullptr;
    MsgPort* UserPort = nullptr;
    Screen* WScreen = nullptr;
    std::string Title;
    WindowData* data = nullptr;
};

// Message classes (IDCMP flags).
inline constexpr ULONG IDCMP_REFRESHWINDOW = 0x4;
inline constexpr ULONG IDCMP_GADGETDOWN = 0x20;
inline constexpr ULONG IDCMP_GADGETUP = 0x40;
inline constexpr ULONG IDCMP_MENUPICK = 0x100;
inline constexpr ULONG IDCMP_CLOSEWINDOW = 0x200;

inline constexpr ULONG WFLG_DRAGBAR = 0x2;
inline constexpr ULONG WFLG_DEPTHGADGET = 0x4;
inline constexpr ULONG WFLG_CLOSEGADGET = 0x8;
inline constexpr ULONG WFLG_SMART_REFRESH = 0x0;
inline constexpr ULONG WFLG_ACTIVATE = 0x1000;

struct IntuiMessage : Message {
    ULONG Class = 0;
    UWORD Code = 0;
    void* IAddress = nullptr;  // the gadget, for gadget messages
    Window* IDCMPWindow = nullptr;
};

Window* OpenWindowTagList(const void* new_window, const TagItem* tags);

// This layer's own: the width a window needs for the window manager to show `title` whole in its
// title bar beside its buttons, from the desktop's font (the title bar is not the program's).
LONG TitleBarWidth(const char* title);
void CloseWindow(Window* window);

// Changes the window's title and the screen title it keeps; kKeepTitle leaves one as it is.
inline const char* const kKeepTitle = reinterpret_cast<const char*>(-1);
void SetWindowTitles(Window* window, const char* window_title, const char* screen_title);

// Moves the window between its normal size and its zoom size (WA_Zoom).
void ZipWindow(Window* window);

struct IntuiText {
    std::uint8_t FrontPen, BackPen, DrawMode;
    WORD LeftEdge, TopEdge;
    const TextAttr* ITextFont;
    const char* IText;
    IntuiText* NextText;
};
inline constexpr std::uint8_t JAM2 = 1;
void PrintIText(RastPort* rp, const IntuiText* text, LONG left, LONG top);

// Puts the text cursor into a string or integer gadget. False if it could not.
bool ActivateGadget(Gadget* gadget, Window* window, void* requester);

struct EasyStruct {
    ULONG es_StructSize;
    ULONG es_Flags;
    const char* es_Title;
    const char* es_TextFormat;
    const char* es_GadgetFormat;  // button texts separated by "|"
};

// Shows a modal message box; returns 1, 2, ... for the buttons from the left, 0 for the rightmost.
LONG EasyRequestArgs(Window* window, const EasyStruct* easy, ULONG* idcmp, const void* args);

// Shows a modal list of entries under a text, with the buttons "Ok" and "Cancel"; returns the
// index of the chosen entry, or -1 for "Cancel", the close gadget or no entry chosen.
LONG ListRequest(Window* window, const char* title, const char* text, const std::vector<std::string>& entries);

// ---- gadtools: gadgets and menus -----------------------------------------------------------

inline constexpr ULONG GENERIC_KIND = 0;
inline constexpr ULONG BUTTON_KIND = 1;
inline constexpr ULONG CHECKBOX_KIND = 2;
inline constexpr ULONG INTEGER_KIND = 3;
inline constexpr ULONG MX_KIND = 5;
inline constexpr ULONG STRING_KIND = 12;
inline constexpr ULONG TEXT_KIND = 13;

inline constexpr ULONG PLACETEXT_LEFT = 0x1;
inline constexpr ULONG PLACETEXT_RIGHT = 0x2;
inline constexpr ULONG PLACETEXT_IN = 0x10;

inline constexpr UWORD GFLG_GADGHIMAGE = 0x2;
inline constexpr UWORD GFLG_GADGIMAGE = 0x4;
inline constexpr UWORD GFLG_SELECTED = 0x80;
inline constexpr UWORD GFLG_DISABLED = 0x100;
inline constexpr UWORD GACT_RELVERIFY = 0x1;

struct NewGadget {
    WORD ng_LeftEdge, ng_TopEdge, ng_Width, ng_Height;
    const char* ng_GadgetText;
    const TextAttr* ng_TextAttr;
    UWORD ng_GadgetID;
    ULONG ng_Flags;
    APTR ng_VisualInfo;
    APTR ng_UserData;
};

struct Image;
struct GadgetData;

struct Gadget {
    Gadget* NextGadget = nullptr;
    WORD LeftEdge = 0, TopEdge = 0, Width = 0, Height = 0;
    UWORD Flags = 0;
    UWORD Activation = 0;
    UWORD GadgetID = 0;
    void* GadgetRender = nullptr;  // the image shown at rest (image gadgets)
    void* SelectRender = nullptr;  // the image shown while pressed
    GadgetData* data = nullptr;
};

Gadget* CreateContext(Gadget** glist);
Gadget* CreateGadgetA(ULONG kind, Gadget* previous, const NewGadget* ng, const TagItem* tags);
void FreeGadgets(Gadget* glist);
void GT_SetGadgetAttrsA(Gadget* gadget, Window* window, void* requester, const TagItem* tags);
void GT_RefreshWindow(Window* window, void* requester);
void GT_BeginRefresh(Window* window);
void GT_EndRefresh(Window* window, BOOL complete);

struct IBox {
    WORD Left, Top, Width, Height;
};

// This layer's own: the box a gadget made from `ng` and `tags` takes in its window with its labels,
// at the font labels are drawn in (radio choices with every entry). A window's layout keeps these
// boxes apart and inside the window.
IBox GadgetExtent(ULONG kind, const NewGadget* ng, const TagItem* tags);

// The text of a string gadget and the number of an integer gadget, as the user left them.
const char* GadgetString(const Gadget* gadget);
LONG GadgetLongInt(const Gadget* gadget);

// A string or integer gadget reports its gadget-up when the user presses Return or Tab in it,
// leaves it, or works any other gadget, menu or the close gadget of its window after changing
// its text. This reports it now for every gadget of the window with such a change.
void EnterTypedText(Window* window);

IntuiMessage* GT_GetIMsg(MsgPort* port);
void GT_ReplyIMsg(IntuiMessage* message);

inline constexpr std::uint8_t NM_TITLE = 1;
inline constexpr std::uint8_t NM_ITEM = 2;
inline constexpr std::uint8_t NM_END = 0;
inline const char* const NM_BARLABEL = reinterpret_cast<const char*>(-1);

struct NewMenu {
    std::uint8_t nm_Type;
    const char* nm_Label;
    const char* nm_CommKey;
    UWORD nm_Flags;
    LONG nm_MutualExclude;
    APTR nm_UserData;
};

inline constexpr UWORD MENUNULL = 0xFFFF;
inline constexpr UWORD NOSUB = 31;
inline constexpr UWORD MENUNUM(UWORD code) { return code & 0x1F; }
inline constexpr UWORD ITEMNUM(UWORD code) { return (code >> 5) & 0x3F; }
inline constexpr UWORD FULLMENUNUM(UWORD menu, UWORD item, UWORD sub) {
    return static_cast<UWORD>((sub & 0x1F) << 11 | (item & 0x3F) << 5 | (menu & 0x1F));
}

struct MenuItem {
    MenuItem* NextItem = nullptr;
    std::string Text;
    bool bar = false;
    std::string CommKey;  // the item's keyboard shortcut with the command key (Ctrl here)
    UWORD NextSelect = MENUNULL;
    APTR user_data = nullptr;
};
#define GTMENUITEM_USERDATA(item) ((item)->user_data)

struct Menu {
    Menu* NextMenu = nullptr;
    std::string MenuName;
    MenuItem* FirstItem = nullptr;
};

Menu* CreateMenusA(const NewMenu* new_menus, const TagItem* tags);
BOOL LayoutMenusA(Menu* menus, APTR visual_info, const TagItem* tags);
void FreeMenus(Menu* menus);
BOOL SetMenuStrip(Window* window, Menu* menus);
void ClearMenuStrip(Window* window);
MenuItem* ItemAddress(Menu* menus, UWORD code);

void DrawBevelBoxA(RastPort* rp, LONG left, LONG top, LONG width, LONG height, const TagItem* tags);

// ---- graphics ------------------------------------------------------------------------------

void SetAPen(RastPort* rp, ULONG pen);
void RectFill(RastPort* rp, LONG x0, LONG y0, LONG x1, LONG y1);
void Move(RastPort* rp, WORD x, WORD y);
void PolyDraw(RastPort* rp, LONG count, const WORD* xy);

// ---- asl: file requester -------------------------------------------------------------------

struct FileRequester {
    std::string fr_File;    // the chosen file name
    std::string fr_Drawer;  // the chosen drawer
    std::vector<TagItem> tags;
    std::string title, initial_drawer, initial_file;
    std::string pattern;  // ASLFR_InitialPattern when ASLFR_DoPatterns is set, else empty
    bool save_mode = false;
    Window* window = nullptr;
};

void* AllocAslRequest(ULONG type, const TagItem* tags);
BOOL AslRequest(void* requester, const TagItem* tags);
void FreeAslRequest(void* requester);

// ---- dos -----------------------------------------------------------------------------------

using BPTR = void*;
inline constexpr LONG SHARED_LOCK = -2;
inline constexpr LONG MODE_NEWFILE = 1006;

BPTR Lock(const char* name, LONG mode);
void UnLock(BPTR lock);
// The full path of the locked object into `buffer`; false if it does not fit.
BOOL NameFromLock(BPTR lock, char* buffer, LONG size);
// Appends a file name to the drawer path in `buffer` (of `size` bytes); false if it does not fit,
// leaving the buffer as it was.
BOOL AddPart(char* buffer, const char* file, ULONG size);
// Opens a file; MODE_NEWFILE creates it or empties it.
BPTR Open(const char* name, LONG mode);
BOOL Close(BPTR file);

// ---- BOOPSI image classes ------------------------------------------------------------------

using Object = void;
struct IClass;

struct Msg_ {
    ULONG MethodID;
};
using Msg = Msg_*;

inline constexpr ULONG OM_NEW = 0x101;
inline constexpr ULONG OM_DISPOSE = 0x102;
inline constexpr ULONG IM_DRAW = 0x202;

struct opSet {
    ULONG MethodID;
    TagItem* ops_AttrList;
    void* ops_GInfo;
};

inline constexpr ULONG IDS_NORMAL = 0;
inline constexpr ULONG IDS_SELECTED = 1;
inline constexpr ULONG IDS_DISABLED = 2;
inline constexpr ULONG IDS_INACTIVENORMAL = 5;

struct impDraw {
    ULONG MethodID;
    RastPort* imp_RPort;
    struct {
        WORD X, Y;
    } imp_Offset;
    ULONG imp_State;
    DrawInfo* imp_DrInfo;
};

struct Image {
    WORD LeftEdge = 0, TopEdge = 0, Width = 0, Height = 0, Depth = 0;
    void* ImageData = nullptr;
    std::uint8_t PlanePick = 0, PlaneOnOff = 0;
    Image* NextImage = nullptr;
};

// Dispatchers answer with a pointer-sized result, so OM_NEW can return the object it made.
using HookEntry = IPTR (*)(IClass* cl, Object* object, Msg msg);

struct Hook {
    HookEntry h_Entry = nullptr;
};

struct IClass {
    Hook cl_Dispatcher;
    IClass* cl_Super = nullptr;
    ULONG cl_InstSize = 0;
};

// A class with no public name, built on the named system class ("imageclass").
IClass* MakeClass(const char* id, const char* super_id, IClass* super_class, ULONG inst_size, ULONG flags);
BOOL FreeClass(IClass* cl);
Object* NewObjectA(IClass* cl, const char* id, const TagItem* tags);
void DisposeObject(Object* object);
// Sends the method to the object through its class's dispatcher.
IPTR DoMethodA(Object* object, Msg msg);
// Draws an image in the given state through its class.
void DrawImageState(RastPort* rp, Image* image, LONG left, LONG top, ULONG state, DrawInfo* draw_info);

// The draw info of the default screen: pen numbers for the image classes.
DrawInfo* GetScreenDrawInfo(Screen* screen);

}  // namespace vexo::platform
