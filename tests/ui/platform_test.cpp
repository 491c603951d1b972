#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "tests/support/test_support.hpp"
#include "ui/platform/platform.hpp"
#include "ui/platform/testing.hpp"

namespace vexo::platform {
namespace {

namespace pt = vexo::platform::testing;

struct OpenedWindow {
    Gadget* glist = nullptr;
    Gadget* gadgets[4] = {};
    Window* window = nullptr;
    ~OpenedWindow() {
        if (window != nullptr) CloseWindow(window);
        FreeGadgets(glist);
    }
};

const char* kChoices[] = {"One", "Two", "Three", nullptr};

// A window with a string gadget, a check box, a radio choice and an image-less button.
void Open(OpenedWindow& w, ULONG idcmp) {
    Gadget* g = CreateContext(&w.glist);
    const NewGadget ng[] = {
        {20, 20, 100, 14, "Name", nullptr, 0, PLACETEXT_LEFT, nullptr, nullptr},
        {20, 40, 26, 11, "Tick", nullptr, 1, PLACETEXT_RIGHT, nullptr, nullptr},
        {20, 60, 17, 9, nullptr, nullptr, 2, PLACETEXT_RIGHT, nullptr, nullptr},
        {20, 100, 60, 18, "Go", nullptr, 3, PLACETEXT_IN, nullptr, nullptr},
    };
    const TagItem string_tags[] = {{GTST_String, reinterpret_cast<IPTR>("start")}, {GTST_MaxChars, 20}, {TAG_DONE, 0}};
    const TagItem mx_tags[] = {{GTMX_Labels, reinterpret_cast<IPTR>(kChoices)}, {GTMX_Spacing, 2}, {TAG_DONE, 0}};
    const TagItem none[] = {{TAG_DONE, 0}};
    w.gadgets[0] = g = CreateGadgetA(STRING_KIND, g, &ng[0], string_tags);
    w.gadgets[1] = g = CreateGadgetA(CHECKBOX_KIND, g, &ng[1], none);
    w.gadgets[2] = g = CreateGadgetA(MX_KIND, g, &ng[2], mx_tags);
    w.gadgets[3] = g = CreateGadgetA(BUTTON_KIND, g, &ng[3], none);
    const TagItem tags[] = {{WA_Left, 10},   {WA_Top, 20},   {WA_Width, 200}, {WA_Height, 140},
                            {WA_IDCMP, idcmp}, {WA_Gadgets, reinterpret_cast<IPTR>(w.glist)},
                            {WA_Title, reinterpret_cast<IPTR>("Test")}, {TAG_DONE, 0}};
    w.window = OpenWindowTagList(nullptr, tags);
    ASSERT_NE(w.window, nullptr);
}

std::vector<std::tuple<ULONG, UWORD, void*>> Drain(Window* window) {
    std::vector<std::tuple<ULONG, UWORD, void*>> got;
    while (IntuiMessage* m = GT_GetIMsg(window->UserPort)) {
        got.emplace_back(m->Class, m->Code, m->IAddress);
        GT_ReplyIMsg(m);
    }
    return got;
}

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { pt::Reset(); }
    void TearDown() override { pt::Reset(); }
};

TEST_F(PlatformTest, WidgetEventsBecomeMessagesInOrder) {
    OpenedWindow w;
    Open(w, IDCMP_GADGETUP | IDCMP_GADGETDOWN | IDCMP_CLOSEWINDOW);
    auto* field = qobject_cast<QLineEdit*>(pt::GadgetWidget(w.gadgets[0]));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), "start");
    field->selectAll();
    QTest::keyClicks(field, "typed");
    QTest::keyClick(field, Qt::Key_Return);
    QTest::mouseClick(pt::GadgetWidget(w.gadgets[1]), Qt::LeftButton);
    pt::ClickMxEntry(w.gadgets[2], 2);
    QTest::mouseClick(pt::GadgetWidget(w.gadgets[3]), Qt::LeftButton);
    pt::WindowWidget(w.window)->close();
    EXPECT_NE(FindTask(nullptr)->tc_SigRecvd & (1u << w.window->UserPort->mp_SigBit), 0u);
    const auto got = Drain(w.window);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0], std::make_tuple(IDCMP_GADGETUP, UWORD{0}, static_cast<void*>(w.gadgets[0])));
    EXPECT_EQ(got[1], std::make_tuple(IDCMP_GADGETUP, UWORD{0}, static_cast<void*>(w.gadgets[1])));
    EXPECT_EQ(got[2], std::make_tuple(IDCMP_GADGETDOWN, UWORD{2}, static_cast<void*>(w.gadgets[2])));
    EXPECT_EQ(got[3], std::make_tuple(IDCMP_GADGETUP, UWORD{0}, static_cast<void*>(w.gadgets[3])));
    EXPECT_EQ(std::get<0>(got[4]), IDCMP_CLOSEWINDOW);
    EXPECT_STREQ(GadgetString(w.gadgets[0]), "typed");
    EXPECT_NE(w.gadgets[1]->Flags & GFLG_SELECTED, 0);
    EXPECT_TRUE(pt::WindowWidget(w.window)->isVisible());  // the close button only asks
}

TEST_F(PlatformTest, OnlyTheClassesAskedForAreQueued) {
    OpenedWindow w;
    Open(w, IDCMP_GADGETDOWN);
    QTest::mouseClick(pt::GadgetWidget(w.gadgets[3]), Qt::LeftButton);
    pt::WindowWidget(w.window)->close();
    pt::ClickMxEntry(w.gadgets[2], 1);
    const auto got = Drain(w.window);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(std::get<0>(got[0]), IDCMP_GADGETDOWN);
}

TEST_F(PlatformTest, DisabledGadgetsIgnoreTheUser) {
    OpenedWindow w;
    Open(w, IDCMP_GADGETUP | IDCMP_GADGETDOWN);
    const TagItem off[] = {{GA_Disabled, 1}, {TAG_DONE, 0}};
    for (Gadget* g : w.gadgets) GT_SetGadgetAttrsA(g, w.window, nullptr, off);
    QTest::mouseClick(pt::GadgetWidget(w.gadgets[1]), Qt::LeftButton);
    pt::ClickMxEntry(w.gadgets[2], 1);
    QTest::mouseClick(pt::GadgetWidget(w.gadgets[3]), Qt::LeftButton);
    EXPECT_TRUE(Drain(w.window).empty());
    EXPECT_NE(w.gadgets[0]->Flags & GFLG_DISABLED, 0);
}

TEST_F(PlatformTest, NestedWaitsKeepEachPortsMessages) {
    OpenedWindow outer, inner;
    Open(outer, IDCMP_GADGETUP);
    Open(inner, IDCMP_GADGETUP);
    const ULONG outer_bit = 1u << outer.window->UserPort->mp_SigBit;
    const ULONG inner_bit = 1u << inner.window->UserPort->mp_SigBit;
    std::vector<std::string> order;
    pt::ScriptSteps({
        [&] {
            // The outer loop's step runs a nested loop, as an option window does.
            QTest::mouseClick(pt::GadgetWidget(outer.gadgets[3]), Qt::LeftButton);
            order.push_back("outer clicked");
            Wait(inner_bit);
            order.push_back("inner woke");
            const auto got = Drain(inner.window);
            EXPECT_EQ(got.size(), 1u);
        },
        [&] {
            QTest::mouseClick(pt::GadgetWidget(inner.gadgets[3]), Qt::LeftButton);
            QTest::mouseClick(pt::GadgetWidget(outer.gadgets[1]), Qt::LeftButton);
            order.push_back("inner clicked");
        },
    });
    EXPECT_EQ(Wait(outer_bit), outer_bit);
    EXPECT_EQ(order, (std::vector<std::string>{"outer clicked", "inner clicked", "inner woke"}));
    const auto got = Drain(outer.window);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(std::get<2>(got[0]), static_cast<void*>(outer.gadgets[3]));
    EXPECT_EQ(std::get<2>(got[1]), static_cast<void*>(outer.gadgets[1]));
}

TEST_F(PlatformTest, CtrlCRaisesTheBreakSignal) {
    OpenedWindow w;
    Open(w, IDCMP_GADGETUP);
    const ULONG port_bit = 1u << w.window->UserPort->mp_SigBit;
    pt::ScriptSteps({[] { std::raise(SIGINT); }, [] {}});
    EXPECT_EQ(Wait(port_bit | SIGBREAKF_CTRL_C), SIGBREAKF_CTRL_C);
    EXPECT_EQ(FindTask(nullptr)->tc_SigRecvd & SIGBREAKF_CTRL_C, 0u);  // taken by Wait
    // Received while nobody waits for it: it stays until a Wait takes it, or its reader clears it.
    std::raise(SIGINT);
    ProcessPendingEvents();
    EXPECT_NE(FindTask(nullptr)->tc_SigRecvd & SIGBREAKF_CTRL_C, 0u);
}

TEST_F(PlatformTest, MessageRequesterNumbersTheButtons) {
    // Answer the real modal box by pressing each button in turn.
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
}

TEST_F(PlatformTest, FileRequesterReturnsDrawerAndFileApart) {
    vexo::testing::TempDir dir;
    vexo::testing::WriteFile(dir.path("scene.lws"), "LWSC");
    vexo::testing::WriteFile(dir.path("scene.lws.info"), "icon");
    pt::UseRealRequesters();
    const std::string drawer = dir.path("x").parent_path().string();
    const TagItem tags[] = {{ASLFR_TitleText, reinterpret_cast<IPTR>("Pick")},
                            {ASLFR_InitialDrawer, reinterpret_cast<IPTR>(drawer.c_str())},
                            {ASLFR_InitialFile, reinterpret_cast<IPTR>("scene.lws")},
                            {ASLFR_RejectIcons, 1},
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
    char buffer[255] = "Work:Objects";
    std::strcpy(buffer, "/work/objects");
    EXPECT_EQ(AddPart(buffer, "cube.lwo", sizeof buffer), 1);
    EXPECT_STREQ(buffer, "/work/objects/cube.lwo");
    std::strcpy(buffer, "/work/");
    EXPECT_EQ(AddPart(buffer, "a", sizeof buffer), 1);
    EXPECT_STREQ(buffer, "/work/a");
    std::strcpy(buffer, "/work");
    EXPECT_EQ(AddPart(buffer, "/abs/b", sizeof buffer), 1);
    EXPECT_STREQ(buffer, "/abs/b");
    std::strcpy(buffer, "/d");
    const std::string long_name(251, 'n');  // "/d/" + 251 = 254 characters: fits exactly
    EXPECT_EQ(AddPart(buffer, long_name.c_str(), sizeof buffer), 1);
    std::strcpy(buffer, "/d");
    EXPECT_EQ(AddPart(buffer, (long_name + "x").c_str(), sizeof buffer), 0);
    EXPECT_STREQ(buffer, "/d");

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

TEST_F(PlatformTest, ScreensAndVisualInfoAreCounted) {
    Screen* a = LockPubScreen(nullptr);
    Screen* b = LockPubScreen(nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(pt::ScreenLockCount(), 2);
    EXPECT_EQ(LockPubScreen("Other"), nullptr);
    APTR vi = GetVisualInfoA(a, nullptr);
    EXPECT_EQ(pt::VisualInfosOutstanding(), 1);
    FreeVisualInfo(vi);
    UnlockPubScreen(nullptr, a);
    UnlockPubScreen(nullptr, b);
    EXPECT_EQ(pt::ScreenLockCount(), 0);
    EXPECT_EQ(a->WBorLeft + 0, 4);
    EXPECT_EQ(a->WBorTop + a->RastPortFont->tf_YSize + 1, 11);
}

}  // namespace
}  // namespace vexo::platform
