#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <csignal>

#include "tests/ui/ui_test_support.hpp"
#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"

namespace vexo::uitest {
namespace {

using namespace vexo::ui;

constexpr long kOk = 1;

Step Quit() { return CloseWindowOf(&VEXOWnd); }
Gadget** Effect() { return VEXOeffect_optionsGadgets; }
Gadget** Emission() { return VEXOemission_optionsGadgets; }
Gadget** SceneOpts() { return VEXOscene_optionsGadgets; }

class OptionWindowsTest : public UiTest {};

TEST_F(OptionWindowsTest, EffectOptionsStoreAndShowTheirValues) {
    Run({Click(Main(), GD_effect_options), Do([] {
             ASSERT_NE(VEXOeffect_optionsWnd, nullptr);
             EXPECT_EQ(pt::WindowWidget(VEXOeffect_optionsWnd)->windowTitle().toStdString(), "Effect options");
             EXPECT_EQ(pt::WindowWidget(VEXOeffect_optionsWnd)->pos(), QPoint(200, 105));
             EXPECT_EQ(Shown(Effect()[0]), "0.000000");
             EXPECT_EQ(Shown(Effect()[4]), "100.000000");
         }),
         Type(Effect(), 0, ".5"), Type(Effect(), 0, "9.81"), Type(Effect(), 4, "1e2"), Type(Effect(), 4, "50"),
         Click(Effect(), 1), Click(Effect(), 2), Choose(Effect(), 3, 1), Do([] {
             EXPECT_EQ(current_prefs.gravity, 9.81);
             EXPECT_EQ(current_prefs.elasticity, 0.5);
             EXPECT_EQ(current_prefs.ground_bounce, 128);
             EXPECT_EQ(current_prefs.radial_creation, 128);
             EXPECT_EQ(current_prefs.linear_path, 0);
         }),
         Click(Effect(), 2), Type(Effect(), 0, "-"), CloseWindowOf(&VEXOeffect_optionsWnd),
         Do([] { EXPECT_EQ(VEXOeffect_optionsWnd, nullptr); }), Click(Main(), GD_effect_options), Do([] {
             EXPECT_EQ(Shown(Effect()[0]), "0.000000");
             EXPECT_EQ(Shown(Effect()[4]), "50.000000");
             EXPECT_TRUE(Checked(Effect()[1]));
             EXPECT_FALSE(Checked(Effect()[2]));
         }),
         Choose(Effect(), 3, 0), CloseWindowOf(&VEXOeffect_optionsWnd), Quit()},
        {kOk, kOk, kOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{"This is not a number.\n\nPlease re-enter.",
                                                 "This is not a number.\n\nPlease re-enter.",
                                                 "Are you sure you want\nto quit VEXO?"}));
    EXPECT_EQ(pt::Activations(), (std::vector<std::string>{"Effect options:0", "Effect options:4"}));
    EXPECT_EQ(current_prefs.radial_creation, 0);
    EXPECT_EQ(current_prefs.gravity, 0.0);
    EXPECT_EQ(current_prefs.linear_path, 1);
}

TEST_F(OptionWindowsTest, EmissionOptionsCorrectTheAnglesInPlace) {
    Run({Do([] { current_prefs.heading_spread = 1000; }), Click(Main(), GD_emission_options), Do([] {
             EXPECT_EQ(Shown(Emission()[0]), "1000");  // loaded values are shown as they are
         }),
         Type(Emission(), 0, "361"), Do([] {
             EXPECT_EQ(Shown(Emission()[0]), "1");
             EXPECT_EQ(current_prefs.heading_spread, 1);
         }),
         Type(Emission(), 0, "9999"), Do([] { EXPECT_EQ(Shown(Emission()[0]), "279"); }), Type(Emission(), 1, "-999"),
         Do([] { EXPECT_EQ(Shown(Emission()[1]), "-279"); }), Type(Emission(), 2, "200"),
         Do([] { EXPECT_EQ(Shown(Emission()[2]), "180"); }), Type(Emission(), 3, "9999"), Click(Emission(), 4),
         CloseWindowOf(&VEXOemission_optionsWnd), Quit()},
        {kOk});
    EXPECT_EQ(current_prefs.heading_spread, 279);
    EXPECT_EQ(current_prefs.heading_angle, -279);
    EXPECT_EQ(current_prefs.pitch_spread, 180);
    EXPECT_EQ(current_prefs.pitch_angle, 9999);
    EXPECT_EQ(current_prefs.oversampling, 128);
}

TEST_F(OptionWindowsTest, EmissionGadgetsTakeAtMostFourCharacters) {
    Run({Click(Main(), GD_emission_options), Type(Emission(), 3, "123456"),
         CloseWindowOf(&VEXOemission_optionsWnd), Quit()},
        {kOk});
    EXPECT_EQ(current_prefs.pitch_angle, 1234);
}

TEST_F(OptionWindowsTest, SceneOptionsRefuseNegativeNumbersAndAZeroStep) {
    Run({Click(Main(), GD_scene_options), Do([] {
             EXPECT_EQ(Shown(SceneOpts()[0]), "1");
             EXPECT_EQ(Shown(SceneOpts()[1]), "30");
             EXPECT_EQ(Shown(SceneOpts()[2]), "1");
             EXPECT_EQ(pt::ScreenLockCount(), 2);  // start-up's lock and the window's own
             EXPECT_EQ(pt::VisualInfosOutstanding(), 2);
         }),
         Type(SceneOpts(), 0, "-1"), Type(SceneOpts(), 0, "0"), Type(SceneOpts(), 1, "-5"), Type(SceneOpts(), 2, "-1"),
         Type(SceneOpts(), 2, "0"), Type(SceneOpts(), 1, "0"), Type(SceneOpts(), 2, "4"),
         CloseWindowOf(&VEXOscene_optionsWnd), Do([] {
             EXPECT_EQ(pt::ScreenLockCount(), 1);
             EXPECT_EQ(pt::VisualInfosOutstanding(), 1);
             EXPECT_NE(Scr, nullptr);
         }),
         Quit()},
        {kOk, kOk, kOk, kOk, kOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Cannot have a negative\nfirst frame...\n\nPlease re-enter.",
                                                 "Cannot have a negative\nlast frame...\n\nPlease re-enter.",
                                                 "Cannot have a negative\nframe step...\n\nPlease re-enter.",
                                                 "Cannot have a frame\nstep of 0...\n\nPlease re-enter.",
                                                 "Are you sure you want\nto quit VEXO?"}));
    EXPECT_EQ(pt::Activations(), (std::vector<std::string>{"Scene options:0", "Scene options:1", "Scene options:2",
                                                           "Scene options:2"}));
    EXPECT_EQ(current_prefs.first_frame, 0);
    EXPECT_EQ(current_prefs.last_frame, 0);  // not compared with the first frame
    EXPECT_EQ(current_prefs.frame_step, 4);
}

TEST_F(OptionWindowsTest, SceneOptionsHoldOnlyStartUpsLockAfterManyOpenings) {
    std::deque<Step> steps;
    for (int i = 0; i < 5; ++i) {
        steps.push_back(Click(Main(), GD_scene_options));
        steps.push_back(CloseWindowOf(&VEXOscene_optionsWnd));
    }
    steps.push_back(Do([] { pt::FailNextLockPubScreen(); }));
    steps.push_back(Click(Main(), GD_scene_options));  // no lock: no window, no loop
    steps.push_back(Do([] { pt::FailNextVisualInfo(); }));
    steps.push_back(Click(Main(), GD_scene_options));
    steps.push_back(Do([] {
        EXPECT_EQ(pt::ScreenLockCount(), 1);
        EXPECT_EQ(pt::VisualInfosOutstanding(), 1);
        EXPECT_NE(Scr, nullptr);
        EXPECT_EQ(VEXOscene_optionsWnd, nullptr);
    }));
    steps.push_back(Quit());
    Run(steps, {kOk});
}

TEST_F(OptionWindowsTest, CtrlCClosesAnOptionWindowLikeItsCloseGadget) {
    Run({Click(Main(), GD_effect_options), Type(Effect(), 0, "3"), Do([] { std::raise(SIGINT); }),
         Do([] { EXPECT_EQ(VEXOeffect_optionsWnd, nullptr); }), Click(Main(), GD_emission_options),
         Do([] { std::raise(SIGINT); }), Click(Main(), GD_scene_options), Do([] { std::raise(SIGINT); }),
         Do([] {
             EXPECT_EQ(VEXOemission_optionsWnd, nullptr);
             EXPECT_EQ(VEXOscene_optionsWnd, nullptr);
         }),
         Quit()},
        {kOk});
    EXPECT_EQ(current_prefs.gravity, 3.0);
}

TEST_F(OptionWindowsTest, AWindowThatCannotOpenIsNotFilledOrWaitedOn) {
    Run({Do([] { pt::FailNextOpenWindow(); }), Click(Main(), GD_effect_options), Do([] { pt::FailGadgetNumber(3); }),
         Click(Main(), GD_emission_options), Do([] { pt::FailNextOpenWindow(); }), Click(Main(), GD_scene_options),
         Do([] {
             EXPECT_EQ(VEXOeffect_optionsWnd, nullptr);
             EXPECT_EQ(VEXOeffect_optionsGList, nullptr);
             EXPECT_EQ(VEXOemission_optionsGList, nullptr);
             EXPECT_EQ(VEXOscene_optionsGList, nullptr);
             EXPECT_EQ(pt::ScreenLockCount(), 1);
         }),
         Quit()},
        {kOk});
}

// Every option window is a dialog of the main window: it stays above it, and clicks, menu
// picks and the close gadget of the main window are refused while it is open, not kept and
// replayed after it closes.
TEST_F(OptionWindowsTest, AnOptionWindowBelongsToTheMainWindowWhichTakesNoInputMeanwhile) {
    struct Case {
        int button;
        Window** window;
    };
    const Case cases[] = {{GD_scene_options, &VEXOscene_optionsWnd},
                          {GD_emission_options, &VEXOemission_optionsWnd},
                          {GD_effect_options, &VEXOeffect_optionsWnd}};
    std::deque<Step> steps;
    for (const Case& c : cases) {
        steps.push_back(Click(Main(), c.button));
        Window** window = c.window;
        steps.push_back(Do([window] {
            QWidget* top = pt::WindowWidget(*window);
            ASSERT_NE(top, nullptr);
            EXPECT_EQ(top->parentWidget(), pt::WindowWidget(VEXOWnd));
            EXPECT_TRUE(top->isWindow());
            EXPECT_EQ(top->windowModality(), Qt::WindowModal);
            // Through the window system, as a person's click arrives ...
            QWidget* generate = pt::GadgetWidget(Main()[GD_generate]);
            QWindow* main = pt::WindowWidget(VEXOWnd)->windowHandle();
            QTest::mouseClick(main, Qt::LeftButton, Qt::NoModifier,
                              generate->mapTo(generate->window(), QPoint(5, 5)));
        }));
        // ... and straight to the widgets, menu and close gadget.
        steps.push_back(Click(Main(), GD_generate));
        steps.push_back(PickMenu(3));
        steps.push_back(Do([] { pt::WindowWidget(VEXOWnd)->close(); }));
        steps.push_back(CloseWindowOf(window));
    }
    steps.push_back(Quit());
    Run(steps, {kOk, kOk, kOk, kOk});
    EXPECT_EQ(Texts(), std::vector<std::string>{"Are you sure you want\nto quit VEXO?"});
}

// What each window shows: no placeholder text, and the program's credit line as the text
// that stands for the screen title.
TEST_F(OptionWindowsTest, NoPlaceholderTextReachesTheScreen) {
    const auto check = [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (!top->isVisible()) continue;
            EXPECT_EQ(top->toolTip().toStdString(), kScreenTitle) << top->windowTitle().toStdString();
            QStringList texts = {top->windowTitle(), top->toolTip()};
            for (QWidget* w : top->findChildren<QWidget*>()) {
                texts << w->toolTip() << w->windowTitle();
                if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
                if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
                if (auto* field = qobject_cast<QLineEdit*>(w)) {
                    texts << field->text() << field->placeholderText();
                }
            }
            for (const QString& shown : texts) EXPECT_FALSE(shown.contains("change me", Qt::CaseInsensitive));
        }
    };
    Run({Do(check), Click(Main(), GD_scene_options), Do(check), CloseWindowOf(&VEXOscene_optionsWnd),
         Click(Main(), GD_emission_options), Do(check), CloseWindowOf(&VEXOemission_optionsWnd),
         Click(Main(), GD_effect_options), Do(check), CloseWindowOf(&VEXOeffect_optionsWnd), Quit()},
        {kOk});
}

TEST_F(OptionWindowsTest, RefreshMessagesAreTakenAndIgnored) {
    Run({Click(Main(), GD_effect_options),
         Do([] { pt::PostMessage(VEXOeffect_optionsWnd, IDCMP_REFRESHWINDOW, 0, nullptr); }),
         CloseWindowOf(&VEXOeffect_optionsWnd), Quit()},
        {kOk});
    EXPECT_EQ(Texts().size(), 1u);
}

}  // namespace
}  // namespace vexo::uitest
