// "Load preferences...", "Save preferances as..." and "Reset to defaults": the file requester
// with its memories, the magic test and the overwrite question. The file rules are the
// preferences module's.
#include <string>
#include <vector>

#include "prefs/prefs_file.hpp"
#include "ui/file_memory.hpp"

namespace vexo::ui {

FileMemory previous_prefs;

namespace text {
inline constexpr const char* kPrefsNotSaved = "Could not save the\npreferences file.";
}

namespace {

// Shows the requester and joins the choice into whole_path. False when nothing was chosen, or
// the joined path did not fit (after saying so).
bool ChoosePrefsPath(const char* title, bool save) {
    std::vector<TagItem> tags = {
        {ASLFR_InitialWidth, 300},
        {ASLFR_InitialHeight, 400},
        {ASLFR_TitleText, reinterpret_cast<IPTR>(title)},
        {ASLFR_InitialDrawer, reinterpret_cast<IPTR>(previous_prefs.drawer)},
        {ASLFR_InitialFile, reinterpret_cast<IPTR>(previous_prefs.file)},
        {ASLFR_RejectIcons, 1},
        {ASLFR_Window, reinterpret_cast<IPTR>(VEXOWnd)},
        {ASLFR_SleepWindow, 1},
    };
    if (save) tags.push_back({ASLFR_DoSaveMode, 1});
    tags.push_back({TAG_DONE, 0});
    auto* request = static_cast<FileRequester*>(AllocAslRequest(ASL_FileRequest, tags.data()));
    if (request == nullptr) return false;
    const bool chosen = AslRequest(request, nullptr) != 0;
    bool fits = true;
    if (chosen) {
        fits = previous_prefs.Remember(request->fr_Drawer, request->fr_File);
        if (!fits) MyEasyRequest(text::kFilenameOverflow, text::kOk);
    }
    FreeAslRequest(request);
    return chosen && fits;
}

}  // namespace

int load_prefs_menu() {
    if (ChoosePrefsPath("Select VEXO prefs file", false)) {
        std::string bad_field;
        const PrefsLoadResult result = LoadPrefsFile(whole_path, current_prefs, &bad_field);
        if (result == PrefsLoadResult::NotPrefs) MyEasyRequest(prefs_text::kNotPrefs, text::kOk);
        if (result == PrefsLoadResult::Damaged) MyEasyRequest(prefs_text::kDamaged, text::kOk);
        if (result == PrefsLoadResult::BadNumber) {
            MyEasyRequest(prefs_text::BadNumber(bad_field).c_str(), text::kOk);
        }
    }
    SetDialogueVals(0);
    return 0;
}

int reset_prefs_menu() {
    if (MyEasyRequest(text::kReset, text::kOkCancel) == 0) return 0;
    current_prefs = DefaultSettings();
    SetDialogueVals(0);
    return 0;
}

int save_prefs_menu() {
    if (!ChoosePrefsPath("Save VEXO prefs file", true)) return 0;
    if (CouldRead(whole_path) &&
        MyEasyRequest(OverwriteQuestion(text::kPrefsExists, whole_path).c_str(), text::kOkCancel) == 0) {
        return 0;
    }
    // Written beside the old file and renamed over it: a failed save never loses the old file.
    std::string reason;
    if (!SavePrefsFile(whole_path, current_prefs, &reason)) {
        MyEasyRequest(FileMessage(text::kPrefsNotSaved, whole_path, reason).c_str(), text::kOk);
    }
    return 0;
}

}  // namespace vexo::ui
