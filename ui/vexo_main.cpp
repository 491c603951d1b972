// Start-up and shut-down: libraries, the settings of the last session (or the defaults), the
// screen and its drawing resources, the main window and its loop, released in exactly the
// reverse order; the settings are kept for the next start when the user quits.
#include "prefs/session_prefs.hpp"
#include "ui/main_window.hpp"
#include "ui/vexo.hpp"

namespace vexo::ui {

// A zero byte, the version string, a blank and the credit, ending in a zero byte.
const char VersionString[] = "\0$VER: vexo 1.1 (27.01.2002) particle scenes for LightWave";

Settings current_prefs = DefaultSettings();
EngineState engine_state;

Library* IntuitionBase = nullptr;
Library* GfxBase = nullptr;
Library* GadToolsBase = nullptr;
Library* UtilityBase = nullptr;
Library* AslBase = nullptr;

const char* PubScreenName = nullptr;
Screen* Scr = nullptr;
APTR VisualInfo = nullptr;
IClass* getClass = nullptr;
Object* getImage = nullptr;
TextAttr topaz8 = {"topaz.font", 8, FS_NORMAL, FPF_ROMFONT};
char whole_path[kPathBufferSize] = {};

namespace {

struct LibraryToOpen {
    Library** base;
    const char* name;
    ULONG version;
};

const LibraryToOpen kLibraries[] = {
    {&IntuitionBase, "intuition.library", 37}, {&GfxBase, "graphics.library", 37},
    {&GadToolsBase, "gadtools.library", 37},   {&UtilityBase, "utility.library", 37},
    {&AslBase, "asl.library", 38},
};

void CloseLibraries() {
    for (auto it = std::rbegin(kLibraries); it != std::rend(kLibraries); ++it) {
        if (*it->base != nullptr) CloseLibrary(*it->base);
        *it->base = nullptr;
    }
}

}  // namespace

int SetupScreen() {
    Scr = LockPubScreen(PubScreenName);
    if (Scr == nullptr) return 1;
    VisualInfo = GetVisualInfoA(Scr, nullptr);
    if (VisualInfo == nullptr) return 2;
    getClass = initGet();
    if (getClass == nullptr) return 3;
    const TagItem tags[] = {{GT_VisualInfo, reinterpret_cast<IPTR>(VisualInfo)}, {TAG_DONE, 0}};
    getImage = NewObjectA(getClass, nullptr, tags);
    if (getImage == nullptr) return 4;
    return 0;
}

void CloseDownScreen() {
    if (getImage != nullptr) {
        DisposeObject(getImage);
        getImage = nullptr;
    }
    if (getClass != nullptr) {
        FreeClass(getClass);
        getClass = nullptr;
    }
    if (VisualInfo != nullptr) {
        FreeVisualInfo(VisualInfo);
        VisualInfo = nullptr;
    }
    if (Scr != nullptr) {
        UnlockPubScreen(nullptr, Scr);
        Scr = nullptr;
    }
}

int VexoMain() {
    for (const LibraryToOpen& library : kLibraries) {
        *library.base = OpenLibrary(library.name, library.version);
        if (*library.base == nullptr) {
            CloseLibraries();
            return 0;
        }
    }
    current_prefs = DefaultSettings();
    const std::string session = SessionPrefsPath();
    std::string unread;
    if (!session.empty()) LoadSessionPrefs(session, current_prefs, &unread);

    // The loop needs the screen and an open main window: when either set-up fails, go
    // straight to the teardown, which releases whatever was obtained.
    if (SetupScreen() == 0 && OpenVEXOWindow() == 0) {
        SetDialogueVals(0);
        if (!unread.empty())
            MyEasyRequest(FileMessage(text::kSessionNotRead, session, unread).c_str(), text::kOk);
        WaitMessages(VEXOWnd);
        std::string reason;
        if (!session.empty() && !SaveSessionPrefs(session, current_prefs, &reason)) {
            MyEasyRequest(FileMessage(text::kSessionNotKept, session, reason).c_str(), text::kOk);
        }
    }
    ClosePreviewWindow();
    CloseVEXOWindow();
    CloseDownScreen();
    CloseLibraries();
    return 0;
}

}  // namespace vexo::ui
