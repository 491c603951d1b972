#include "ui/platform/platform.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "tests/support/test_support.hpp"
#include "ui/platform/testing.hpp"

namespace vexo::platform {
namespace {

namespace pt = vexo::platform::testing;

// A window with a string gadget, a check box, a radio choice and an image-less button.
struct OpenedWindow {
    explicit OpenedWindow(ULONG idcmp) {
        static const char* choices[] = {"One", "Two", "Three", nullptr};
        const NewGadget ng[] = {
            {20, 20, 100, 14, "Name", nullptr, 0, PLACETEXT_LEFT, nullptr, nullptr},
            {20, 40, 26, 11, "Tick", nullptr, 1, PLACETEXT_RIGHT, nullptr, nullptr},
            {20, 60, 17, 9, nullptr, nullptr, 2, PLACETEXT_RIGHT, nullptr, nullptr},
            {20, 100, 60, 18, "Go", nullptr, 3, PLACETEXT_IN, nullptr, nullptr},
        };
        const TagItem string_tags[] = {
            {GTST_String, reinterpret_cast<IPTR>("start")}, {GTST_MaxChars, 20}, {TAG_DONE, 0}};
        const TagItem mx_tags[] = {
            {GTMX_Labels, reinterpret_cast<IPTR>(choices)}, {GTMX_Spacing, 2}, {TAG_DONE, 0}};
        const TagItem none[] = {{TAG_DONE, 0}};
        const std::pair<ULONG, const TagItem*> kinds[] = {
            {STRING_KIND, string_tags}, {CHECKBOX_KIND, none}, {MX_KIND, mx_tags}, {BUTTON_KIND, none}};
        Gadget* g = CreateContext(&glist);
        for (int i = 0; i < 4; ++i)
            gadgets[i] = g = CreateGadgetA(kinds[i].first, g, &ng[i], kinds[i].second);
        const TagItem tags[] = {{WA_Width, 200},
                                {WA_Height, 140},
                                {WA_IDCMP, idcmp},
                                {WA_Gadgets, reinterpret_cast<IPTR>(glist)},
                                {TAG_DONE, 0}};
        window = OpenWindowTagList(nullptr, tags);
    }
    ~OpenedWindow() {
        if (window != nullptr) CloseWindow(window);
        FreeGadgets(glist);
    }
    Gadget* glist = nullptr;
    Gadget* gadgets[4] = {};
    Window* window = nullptr;
};

class PlatformTest : public ::testing::Test {
  protected:
    void SetUp() override { pt::Reset(); }
    void TearDown() override { pt::Reset(); }
};

// What each gadget sends, to a window that asks for all classes, for some, and with its
// gadgets disabled; the close button only asks.
TEST_F(PlatformTest, WidgetEventsBecomeTheMessagesAskedFor) {
    for (const ULONG idcmp :
         {IDCMP_GADGETUP | IDCMP_GADGETDOWN | IDCMP_CLOSEWINDOW, IDCMP_GADGETDOWN, ULONG{0}}) {
        OpenedWindow w(idcmp == 0 ? IDCMP_GADGETUP | IDCMP_GADGETDOWN : idcmp);
        ASSERT_NE(w.window, nullptr);
        const TagItem off[] = {{GA_Disabled, 1}, {TAG_DONE, 0}};
        if (idcmp == 0)
            for (Gadget* g : w.gadgets) GT_SetGadgetAttrsA(g, w.window, nullptr, off);
        auto* field = qobject_cast<QLineEdit*>(pt::GadgetWidget(w.gadgets[0]));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->text(), "start");
        field->selectAll();
        QTest::keyClicks(field, "typed");
        QTest::keyClick(field, Qt::Key_Return);
        QTest::mouseClick(pt::GadgetWidget(w.gadgets[1]), Qt::LeftButton);
        pt::ClickMxEntry(w.gadgets[2], 2);
        QTest::mouseClick(pt::GadgetWidget(w.gadgets[3]), Qt::LeftButton);
        if (idcmp != 0) pt::WindowWidget(w.window)->close();
        const ULONG port_bit = 1u << w.window->UserPort->mp_SigBit;
        EXPECT_EQ((FindTask(nullptr)->tc_SigRecvd & port_bit) != 0, idcmp != 0);
        std::string got;
        while (IntuiMessage* m = GT_GetIMsg(w.window->UserPort)) {
            const int index = std::find(w.gadgets, w.gadgets + 4, m->IAddress) - w.gadgets;
            got +=
                std::to_string(m->Class) + ":" + std::to_string(m->Code) + ":" + std::to_string(index) + " ";
            GT_ReplyIMsg(m);
        }
        const char* expected = idcmp == 0                  ? ""
                               : idcmp == IDCMP_GADGETDOWN ? "32:2:2 "
                                                           : "64:0:0 64:0:1 32:2:2 64:0:3 512:0:4 ";
        EXPECT_EQ(got, expected);
        EXPECT_EQ((w.gadgets[1]->Flags & GFLG_SELECTED) != 0, idcmp != 0);
        EXPECT_EQ((w.gadgets[0]->Flags & GFLG_DISABLED) != 0, idcmp == 0);
        EXPECT_STREQ(GadgetString(w.gadgets[0]), idcmp != 0 ? "typed" : "start");
        EXPECT_TRUE(pt::WindowWidget(w.window)->isVisible());
    }
}

// The real modal boxes: each button of a message requester by its number, and a file
// requester's drawer and file apart.
TEST_F(PlatformTest, RealRequestersAnswer) {
    pt::UseRealRequesters();
    for (int press = 0; press < 3; ++press) {
        QTimer::singleShot(0, [press] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            const auto buttons = dialog->findChildren<QPushButton*>();
            ASSERT_EQ(buttons.size(), 3);
            EXPECT_EQ(dialog->windowTitle(), "Title");
            buttons[press]->click();
        });
        EasyStruct easy{20, 0, "Title", "Body", "Ok|Maybe|Cancel"};
        EXPECT_EQ(EasyRequestArgs(nullptr, &easy, nullptr, nullptr), press == 2 ? 0 : press + 1);
    }
    vexo::testing::TempDir dir;
    vexo::testing::WriteFile(dir.path("scene.lws"), "LWSC");
    const std::string drawer = dir.path("x").parent_path().string();
    const TagItem tags[] = {{ASLFR_TitleText, reinterpret_cast<IPTR>("Pick")},
                            {ASLFR_InitialDrawer, reinterpret_cast<IPTR>(drawer.c_str())},
                            {ASLFR_InitialFile, reinterpret_cast<IPTR>("scene.lws")},
                            {TAG_DONE, 0}};
    auto* request = static_cast<FileRequester*>(AllocAslRequest(ASL_FileRequest, tags));
    ASSERT_NE(request, nullptr);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Pick");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    ASSERT_EQ(AslRequest(request, nullptr), 1);
    EXPECT_EQ(request->fr_Drawer, std::filesystem::canonical(drawer).string());
    EXPECT_EQ(request->fr_File, "scene.lws");
    FreeAslRequest(request);
}

TEST_F(PlatformTest, DosJoinsAndLocksWithinTheLimit) {
    const std::string name(251, 'n');  // "/d/" + 251 = 254 characters: fits exactly
    const std::tuple<const char*, std::string, int, std::string> joins[] = {
        {"/work/objects", "cube.lwo", 1, "/work/objects/cube.lwo"},
        {"/work/", "a", 1, "/work/a"},
        {"/work", "/abs/b", 1, "/abs/b"},
        {"/d", name, 1, "/d/" + name},
        {"/d", name + "x", 0, "/d"}};
    for (const auto& [drawer, file, ok, joined] : joins) {
        char buffer[255];
        std::strcpy(buffer, drawer);
        EXPECT_EQ(AddPart(buffer, file.c_str(), sizeof buffer), ok);
        EXPECT_EQ(buffer, joined);
    }
    vexo::testing::TempDir dir;
    vexo::testing::WriteFile(dir.path("f"), "x");
    BPTR lock = Lock((dir.path("x").parent_path().string() + "/./f").c_str(), SHARED_LOCK);
    ASSERT_NE(lock, nullptr);
    char full[255];
    EXPECT_EQ(NameFromLock(lock, full, sizeof full), 1);
    EXPECT_EQ(std::string(full), std::filesystem::canonical(dir.path("f")).string());
    char tiny[4];
    EXPECT_EQ(NameFromLock(lock, tiny, sizeof tiny), 0);
    UnLock(lock);
    EXPECT_EQ(Lock(dir.str("missing").c_str(), SHARED_LOCK), nullptr);
}

}  // namespace
}  // namespace vexo::platform
