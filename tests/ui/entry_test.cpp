// How typed values are entered: every way of leaving a field enters it through its check, a
// refused or cancelled entry shows the stored value again and drops what the same gesture
// queued behind it, and a field shows what is stored.
#include <QApplication>
#include <QTest>
#include <csignal>
#include <filesystem>

#include "prefs/input_rules.hpp"
#include "tests/ui/ui_test_support.hpp"
#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"

namespace vexo::uitest {
namespace {

using namespace vexo::ui;
using vexo::testing::WriteFile;

constexpr long kOk = 1, kCancel = 0;
constexpr const char* kQuitText = "Are you sure you want\nto quit VEXO?";

Step Quit() {
    return CloseWindowOf(&VEXOWnd);
}
Gadget** Effect() {
    return VEXOeffect_optionsGadgets;
}
Gadget** SceneOpts() {
    return VEXOscene_optionsGadgets;
}

class EntryTest : public UiTest {};

// "42" typed into "Particles (num)" and then left without Return.
TEST_F(EntryTest, EveryWayOfLeavingAFieldEntersIt) {
    struct Case {
        const char* way;
        Step leave;
        std::vector<std::string> texts;  // requesters after the entry
    };
    const Case cases[] = {
        {"Return", Key(Main(), GD_num_particles, Qt::Key_Return), {kQuitText}},
        {"Tab", Key(Main(), GD_num_particles, Qt::Key_Tab), {kQuitText}},
        {"Shift+Tab", Key(Main(), GD_num_particles, Qt::Key_Backtab, Qt::ShiftModifier), {kQuitText}},
        {"a click into another field", Click(Main(), GD_particles_per_frame), {kQuitText}},
        {"a click on a check box", Click(Main(), GD_particle_grow), {kQuitText}},
        {"a menu command", PickMenu(3), {text::kAbout, kQuitText}},
        {"the close gadget", Quit(), {kQuitText}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        pt::Reset();
        current_prefs = DefaultSettings();
        std::deque<Step> steps = {TypeOnly(Main(), GD_num_particles, "42"), c.leave};
        if (std::string(c.way) != "the close gadget") {
            steps.push_back(Do([] { EXPECT_EQ(Shown(Main()[GD_num_particles]), "42"); }));
            steps.push_back(Quit());
        }
        Run(steps, std::deque<long>(c.texts.size(), kOk));
        EXPECT_EQ(current_prefs.num_particles, 42);
        EXPECT_EQ(Texts(), c.texts);
    }
}

TEST_F(EntryTest, TabMovesOnAfterEnteringAndARefusalBringsTheCursorBack) {
    Run({TypeOnly(Main(), GD_num_particles, "7"), Key(Main(), GD_num_particles, Qt::Key_Tab), Do([] {
             EXPECT_EQ(current_prefs.num_particles, 7);
             EXPECT_EQ(QApplication::focusWidget(), pt::GadgetWidget(Main()[GD_particles_per_frame]));
         }),
         TypeOnly(Main(), GD_particles_per_frame, "-2"), Key(Main(), GD_particles_per_frame, Qt::Key_Tab),
         Do([] {
             EXPECT_EQ(QApplication::focusWidget(), pt::GadgetWidget(Main()[GD_particles_per_frame]));
             EXPECT_EQ(Shown(Main()[GD_particles_per_frame]), "0");
         }),
         Quit()},
        {kOk, kOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{input_text::kNegativePerFrame, kQuitText}));
    EXPECT_EQ(pt::Activations(), (std::vector<std::string>{"Vexo:7"}));
}

// Typed and left by a click on "Generate": a refused or cancelled entry shows the stored value
// and the click is dropped (a Generate that ran would at least refuse the missing object).
TEST_F(EntryTest, ARefusedEntryShowsTheStoredValueAndDropsTheClickBehindIt) {
    std::filesystem::create_directory(dir.path("folder"));
    WriteFile(dir.path("old.lws"), "LWSC");
    struct Case {
        int gadget;
        std::string typed;
        const char* shown;
        std::string message;
        long answer;
        bool reactivated;
    };
    const Case cases[] = {
        {GD_num_particles, "-3", "0", input_text::kNegativeParticles, kOk, true},
        {GD_velocity, "fast", "0.000000", input_text::kNotANumber, kOk, true},
        {GD_particle_object, dir.str("none.lwo"), "", text::kBadObject, kOk, true},
        {GD_particle_object, dir.str("folder"), "", text::kObjectIsFolder, kOk, true},
        {GD_parent_motion, dir.str("folder"), "", text::kMotionIsFolder, kOk, true},
        {GD_target_scene, dir.str("folder"), "", text::kTargetIsFolder, kOk, true},
        {GD_target_scene, dir.str("old.lws"), "", TargetExists(dir.str("old.lws")), kCancel, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        pt::Reset();
        current_prefs = DefaultSettings();
        const int id = c.gadget;
        const std::string shown = c.shown;
        Run({TypeOnly(Main(), id, c.typed), Click(Main(), GD_generate), Do([id, shown] {
                 EXPECT_EQ(Shown(Main()[id]), shown);
                 EXPECT_EQ(VEXOcreatingWnd, nullptr);
             }),
             Quit()},
            {c.answer, kOk});
        EXPECT_EQ(Texts(), (std::vector<std::string>{c.message, kQuitText}));
        EXPECT_EQ(pt::Activations().size(), c.reactivated ? 1u : 0u);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("folder")));
}

TEST_F(EntryTest, ARefusedEntryKeepsAnOptionWindowOpen) {
    Run({Click(Main(), GD_effect_options), TypeOnly(Effect(), 0, "x"), CloseWindowOf(&VEXOeffect_optionsWnd),
         Do([] {
             ASSERT_NE(VEXOeffect_optionsWnd, nullptr);
             EXPECT_EQ(Shown(Effect()[0]), "0.000000");
         }),
         TypeOnly(Effect(), 4, "50"), CloseWindowOf(&VEXOeffect_optionsWnd),
         Do([] { EXPECT_EQ(VEXOeffect_optionsWnd, nullptr); }), Click(Main(), GD_scene_options),
         TypeOnly(SceneOpts(), 0, "-1"), Do([] { std::raise(SIGINT); }), Do([] {
             ASSERT_NE(VEXOscene_optionsWnd, nullptr);  // Ctrl-C closes it like the close gadget
             EXPECT_EQ(Shown(SceneOpts()[0]), "1");
         }),
         TypeOnly(SceneOpts(), 2, "3"), Do([] { std::raise(SIGINT); }),
         Do([] { EXPECT_EQ(VEXOscene_optionsWnd, nullptr); }), Quit()},
        {kOk, kOk, kOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{input_text::kNotANumber, input_text::kNegativeFirstFrame,
                                                 kQuitText}));
    EXPECT_EQ(pt::Activations(), (std::vector<std::string>{"Effect options:0", "Scene options:0"}));
    EXPECT_EQ(current_prefs.elasticity, 0.5);
    EXPECT_EQ(current_prefs.first_frame, 1);
    EXPECT_EQ(current_prefs.frame_step, 3);
}

TEST_F(EntryTest, AnEnteredNumberShowsAsStored) {
    struct Case {
        Gadget** (*window)();
        int gadget;
        const char* typed;
        const char* shown;
    };
    const Case cases[] = {
        {Main, GD_num_particles, "007", "7"},
        {Main, GD_num_particles, "99999999999", "2147483647"},
        {Main, GD_num_particles, "", "0"},
        {Main, GD_velocity, "2.5", "2.500000"},
        {Main, GD_velocity, "-", "0.000000"},
        {Main, GD_velocity, "20.", "20.000000"},
        {Main, GD_velocity, "1.2345678", "1.2345678"},  // more digits than "%f" shows stay
        {SceneOpts, 2, "0004", "4"},
        {Effect, 4, "50", "50.000000"},
    };
    std::deque<Step> steps;
    Gadget** (*open)() = nullptr;
    for (const Case& c : cases) {
        if (c.window != open && c.window == SceneOpts) steps.push_back(Click(Main(), GD_scene_options));
        if (c.window != open && c.window == Effect) {
            steps.push_back(CloseWindowOf(&VEXOscene_optionsWnd));
            steps.push_back(Click(Main(), GD_effect_options));
        }
        open = c.window;
        steps.push_back(Type(c.window(), c.gadget, c.typed));
        const std::string shown = c.shown;
        Gadget** (*window)() = c.window;
        const int id = c.gadget;
        steps.push_back(Do([window, id, shown] { EXPECT_EQ(Shown(window()[id]), shown); }));
    }
    steps.push_back(CloseWindowOf(&VEXOeffect_optionsWnd));
    steps.push_back(Quit());
    Run(steps, {kOk});
    EXPECT_EQ(current_prefs.velocity, 1.2345678);
    EXPECT_EQ(current_prefs.frame_step, 4);
}

}  // namespace
}  // namespace vexo::uitest
