#include <QTest>
#include <QWidget>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <sstream>

#include "cli/cli_app.hpp"
#include "prefs/settings_text.hpp"
#include "tests/ui/ui_test_support.hpp"
#include "ui/main_window.hpp"
#include "ui/option_windows.hpp"

namespace vexo::uitest {
namespace {

using namespace vexo::ui;
using vexo::testing::ReadFile;
using vexo::testing::WriteFile;

constexpr long kOk = 1;
constexpr const char* kMotion =
    "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 2 90 10 0 1 1 1\n10 1 0 0 0\n3 0 -1 180 0 5 1 1 1\n30 1 0 0 0\n";

Step Quit() { return CloseWindowOf(&VEXOWnd); }

std::size_t Blocks(const std::string& scene) {
    std::size_t blocks = 0;
    for (std::size_t at = scene.find("ShadowOptions 2\n\n"); at != std::string::npos;
         at = scene.find("ShadowOptions 2\n\n", at + 1)) {
        ++blocks;
    }
    return blocks;
}

// Whether the progress bar shows that pass `pass` of `passes` has begun (each pass start draws
// the bar out to trunc(233 * pass / passes)).
bool BarShowsPass(int pass, int passes) {
    const int l = VEXOcreatingWnd->BorderLeft, t = VEXOcreatingWnd->BorderTop;
    return pt::WindowPenAt(VEXOcreatingWnd, l + 8 + 233 * pass / passes, t + 22) == 3;
}

// Runs `action` once pass `pass` of the next generation has begun, from inside the progress
// window's event processing, as a person's click or key would arrive: during that pass or at
// the start of the next.
void AtPass(int pass, int passes, std::function<void()> action) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, pass, passes, action] {
        if (VEXOcreatingWnd == nullptr || !BarShowsPass(pass, passes)) return;
        action();
        timer->stop();
        timer->deleteLater();
    });
    timer->start(0);
}

class GenerateTest : public UiTest {
protected:
    void Prepare(int particles) {
        WriteFile(dir.path("m.mot"), kMotion);
        WriteFile(dir.path("p.lwo"), "LWOB");
        motion = dir.str("m.mot");
        object = dir.str("p.lwo");
        scene = dir.str("s.lws");
        count = std::to_string(particles);
    }
    std::deque<Step> Fill() {
        return {Type(Main(), GD_particle_object, object), Type(Main(), GD_parent_motion, motion),
                Type(Main(), GD_target_scene, scene), Type(Main(), GD_num_particles, count),
                Type(Main(), GD_particles_per_frame, "2"), Type(Main(), GD_velocity, "0.5")};
    }
    std::string motion, object, scene, count;
};

TEST_F(GenerateTest, AMotionFileErrorShowsBothMessages) {
    Prepare(3);
    WriteFile(dir.path("m.mot"), "\nLWMO\n");
    auto steps = Fill();
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Do([] { EXPECT_EQ(VEXOcreatingWnd, nullptr); }));
    steps.push_back(Quit());
    Run(steps, {kOk, kOk, kOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Not a LWMO file", "Could not create scene.\n\nMotion file error.",
                                                 "Are you sure you want\nto quit VEXO?"}));
    EXPECT_FALSE(std::filesystem::exists(scene));
}

TEST_F(GenerateTest, GeneratingDrawsTheBarAndWritesTheScene) {
    Prepare(20);
    auto steps = Fill();
    steps.push_back(Do([] {
        AtPass(9, 20, [] {
            ASSERT_NE(VEXOcreatingWnd, nullptr);
            EXPECT_EQ(pt::WindowWidget(VEXOcreatingWnd)->windowTitle().toStdString(), "Creating scene");
            const int l = VEXOcreatingWnd->BorderLeft, t = VEXOcreatingWnd->BorderTop;
            // Pass 9 of 20 has drawn the bar to trunc(233 * 9 / 20) = 104, pass 10 not yet.
            EXPECT_EQ(pt::WindowPenAt(VEXOcreatingWnd, l + 8, t + 5), 3);
            EXPECT_EQ(pt::WindowPenAt(VEXOcreatingWnd, l + 8 + 104, t + 22), 3);
            EXPECT_EQ(pt::WindowPenAt(VEXOcreatingWnd, l + 8 + 105, t + 22), 0);
            EXPECT_EQ(pt::WindowPenAt(VEXOcreatingWnd, l + 6, t + 4), 1);  // the recessed box
        });
    }));
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Quit());
    Run(steps, {kOk});
    EXPECT_EQ(Blocks(ReadFile(scene)), 20u);
    EXPECT_EQ(VEXOcreatingWnd, nullptr);
    EXPECT_EQ(VEXOcreatingGList, nullptr);
}

TEST_F(GenerateTest, AbortAndTheCloseGadgetDeleteThePartialFile) {
    Prepare(12);
    auto steps = Fill();
    steps.push_back(Do([] {
        AtPass(5, 12, [] { QTest::mouseClick(pt::GadgetWidget(VEXOcreatingGadgets[0]), Qt::LeftButton); });
    }));
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Do([this] { EXPECT_FALSE(std::filesystem::exists(scene)); }));
    steps.push_back(Do([] { AtPass(3, 12, [] { pt::WindowWidget(VEXOcreatingWnd)->close(); }); }));
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Quit());
    Run(steps, {kOk});
    EXPECT_FALSE(std::filesystem::exists(scene));
    EXPECT_EQ(Texts().size(), 1u);  // no requester after an abort
}

TEST_F(GenerateTest, CtrlCKeepsTheCompleteBlocksAndIsConsumed) {
    Prepare(12);
    auto steps = Fill();
    steps.push_back(Do([] { AtPass(4, 12, [] { std::raise(SIGINT); }); }));
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Do([this] {
        const std::string partial = ReadFile(scene);
        const std::size_t blocks = Blocks(partial);
        EXPECT_GE(blocks, 4u);
        EXPECT_LT(blocks, 12u);
        EXPECT_EQ(partial.substr(partial.size() - 17), "ShadowOptions 2\n\n");
    }));
    // The break was acted on: the next generation runs in full (after the overwrite question).
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Quit());
    Run(steps, {kOk, kOk});
    EXPECT_EQ(Blocks(ReadFile(scene)), 12u);
}

// The progress window is a dialog of the main window; clicks, menu picks and the close gadget
// of the main window during a generation are refused, not replayed after it.
TEST_F(GenerateTest, TheMainWindowTakesNoInputWhileGenerating) {
    Prepare(12);
    auto steps = Fill();
    steps.push_back(Do([] {
        AtPass(3, 12, [] {
            QWidget* top = pt::WindowWidget(VEXOcreatingWnd);
            EXPECT_EQ(top->parentWidget(), pt::WindowWidget(VEXOWnd));
            EXPECT_EQ(top->windowModality(), Qt::WindowModal);
            EXPECT_EQ(top->toolTip().toStdString(), kScreenTitle);
            QTest::mouseClick(pt::GadgetWidget(Main()[GD_generate]), Qt::LeftButton);
            QTest::mouseClick(pt::GadgetWidget(Main()[GD_effect_options]), Qt::LeftButton);
            pt::MenuAction(VEXOWnd, 0, 3)->trigger();
            pt::WindowWidget(VEXOWnd)->close();
        });
    }));
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Do([] { EXPECT_EQ(VEXOeffect_optionsWnd, nullptr); }));
    steps.push_back(Quit());
    Run(steps, {kOk, kOk, kOk, kOk});
    EXPECT_EQ(Texts(), std::vector<std::string>{"Are you sure you want\nto quit VEXO?"});
    EXPECT_EQ(Blocks(ReadFile(scene)), 12u);
}

TEST_F(GenerateTest, GenerationRunsWithoutAProgressWindow) {
    Prepare(4);
    auto steps = Fill();
    steps.push_back(Do([] { pt::FailNextOpenWindow(); }));
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Quit());
    Run(steps, {kOk});
    EXPECT_EQ(Blocks(ReadFile(scene)), 4u);
}

TEST_F(GenerateTest, TheOverwriteQuestionGuardsAnExistingScene) {
    Prepare(2);
    auto steps = Fill();
    steps.push_back(Do([this] { WriteFile(scene, "keep me"); }));
    steps.push_back(Click(Main(), GD_generate));  // answered Cancel
    steps.push_back(Do([this] { EXPECT_EQ(ReadFile(scene), "keep me"); }));
    steps.push_back(Click(Main(), GD_generate));  // answered Ok
    steps.push_back(Quit());
    Run(steps, {0, kOk, kOk});
    EXPECT_EQ(Texts()[0], TargetExists(scene));
    EXPECT_EQ(Blocks(ReadFile(scene)), 2u);
}

TEST_F(GenerateTest, WriteFailuresAreReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    Prepare(2);
    auto steps = Fill();
    steps.push_back(Do([] { SetPathText(current_prefs.target_scene, "/dev/full"); }));
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Quit());
    Run(steps, {kOk, kOk, kOk});
    EXPECT_EQ(Texts()[1], "Could not create scene.\n\nThe target scene could not\nbe written.");
}

TEST_F(GenerateTest, AGlbTargetIsWrittenAsGltf) {
    Prepare(3);
    auto steps = Fill();
    steps.push_back(Type(Main(), GD_target_scene, dir.str("s.glb")));
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Quit());
    // The particle object is not a real object: the scene says so and uses a cube.
    Run(steps, {kOk, kOk});
    EXPECT_EQ(Texts()[0], "Could not read the particle object.\n\nThe glTF scene shows a unit cube\nfor every particle.");
    EXPECT_EQ(ReadFile(dir.path("s.glb")).substr(0, 4), "glTF");
    EXPECT_TRUE(vexo::testing::PassesValidator(dir.str("s.glb")));
}

TEST_F(GenerateTest, NoMemoryForTheParticlesIsReported) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer aborts on a failed throwing new instead of throwing";
#endif
    Prepare(2);
    auto steps = Fill();
    steps.push_back(Type(Main(), GD_num_particles, "2147483647"));
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Quit());
    Run(steps, {kOk, kOk});
    EXPECT_EQ(Texts()[0], "Could not create scene.\n\nMemory allocation error.");
    EXPECT_FALSE(std::filesystem::exists(scene));
}

TEST_F(GenerateTest, AZeroFrameStepFromAPreferencesFileIsRefusedByTheEngine) {
    Prepare(2);
    auto steps = Fill();
    steps.push_back(Do([] { current_prefs.frame_step = 0; }));
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Quit());
    Run(steps, {kOk, kOk});
    EXPECT_EQ(Texts()[0], "Cannot create a scene with\na frame step of 0.\n\nPlease enter 1 or more.");
    EXPECT_FALSE(std::filesystem::exists(scene));
}

TEST_F(GenerateTest, ACtrlCWhileIdleNeitherEmptiesTheNextSceneNorClosesTheNextWindow) {
    Prepare(3);
    auto steps = Fill();
    steps.push_back(Do([] { std::raise(SIGINT); }));
    steps.push_back(Do([] {}));  // the main window sits idle while the break arrives
    steps.push_back(Click(Main(), GD_generate));
    steps.push_back(Do([] { std::raise(SIGINT); }));
    steps.push_back(Click(Main(), GD_effect_options));
    steps.push_back(Do([] { EXPECT_NE(VEXOeffect_optionsWnd, nullptr); }));
    steps.push_back(CloseWindowOf(&VEXOeffect_optionsWnd));
    steps.push_back(Quit());
    Run(steps, {kOk});
    EXPECT_EQ(Blocks(ReadFile(scene)), 3u);
}

// Paths Generate cannot use are refused before anything is written, with the cursor put into
// the gadget to correct; each may come from a preferences file or a file requester.
TEST_F(GenerateTest, MissingPathsAndFoldersAreRefusedBeforeWriting) {
    Prepare(2);
    std::filesystem::create_directory(dir.path("folder"));
    const std::string folder = dir.str("folder");
    struct Case {
        PathField Settings::*field;
        std::string path;
        std::string message;
        const char* activated;
    };
    const Case cases[] = {
        {&Settings::particle_object, "", text::kNoObject, "Vexo:0"},
        {&Settings::parent_motion, "", text::kNoMotion, "Vexo:1"},
        {&Settings::target_scene, "", text::kNoTarget, "Vexo:2"},
        {&Settings::particle_object, folder, text::kObjectIsFolder, "Vexo:0"},
        {&Settings::parent_motion, folder, text::kMotionIsFolder, "Vexo:1"},
        {&Settings::target_scene, folder, text::kTargetIsFolder, "Vexo:2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        pt::Reset();
        auto steps = Fill();
        steps.push_back(Do([&c] {
            SetPathText(current_prefs.*c.field, c.path);
            SetDialogueVals(0);
        }));
        steps.push_back(Click(Main(), GD_generate));
        steps.push_back(Quit());
        Run(steps, {kOk, kOk});
        EXPECT_EQ(Texts(), (std::vector<std::string>{c.message, "Are you sure you want\nto quit VEXO?"}));
        EXPECT_EQ(pt::Activations(), std::vector<std::string>{c.activated});
        EXPECT_FALSE(std::filesystem::exists(scene));
    }
    // Chosen in a file requester, a folder is refused and nothing is stored.
    pt::Reset();
    current_prefs = DefaultSettings();
    const std::string d = dir.path("x").parent_path().string();
    Run({Click(Main(), GD_get_object), Click(Main(), GD_get_motion), Click(Main(), GD_get_scene), Quit()},
        {kOk, kOk, kOk, kOk}, {{false, d, "folder"}, {false, d, "folder"}, {false, d, "folder"}});
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{text::kObjectIsFolder, text::kMotionIsFolder, text::kTargetIsFolder,
                                        "Are you sure you want\nto quit VEXO?"}));
    EXPECT_EQ(PathText(current_prefs.particle_object) + PathText(current_prefs.parent_motion) +
                  PathText(current_prefs.target_scene),
              "");
}

// Agreeing in the file requester to overwrite one scene does not cover another.
TEST_F(GenerateTest, AnOverwriteAgreedInTheRequesterCoversThatFileAlone) {
    Prepare(2);
    WriteFile(dir.path("a.lws"), "old a");
    WriteFile(dir.path("b.lws"), "old b");
    const std::string d = dir.path("x").parent_path().string();
    auto steps = Fill();
    steps.push_back(Click(Main(), GD_get_scene));
    steps.push_back(Click(Main(), GD_generate));  // a.lws: agreed already
    steps.push_back(Do([this] { SetPathText(current_prefs.target_scene, dir.str("b.lws")); }));
    steps.push_back(Click(Main(), GD_generate));  // b.lws: asked, and refused
    steps.push_back(Quit());
    Run(steps, {kOk, 0, kOk}, {{false, d, "a.lws"}});
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{TargetExists(dir.str("a.lws")), TargetExists(dir.str("b.lws")),
                                        "Are you sure you want\nto quit VEXO?"}));
    EXPECT_EQ(Blocks(ReadFile(dir.path("a.lws"))), 2u);
    EXPECT_EQ(ReadFile(dir.path("b.lws")), "old b");
}

// One object over millions of frames: the progress window keeps processing events while the
// object is made, and "Abort" stops it part-way. With three objects the blocks are made on
// worker threads while the window waits for them.
TEST_F(GenerateTest, ALongObjectKeepsTheWindowLiveAndAbortStopsItPartWay) {
    for (const int particles : {1, 3}) {
        SCOPED_TRACE(particles);
        pt::Reset();
        current_prefs = DefaultSettings();
        Prepare(particles);
        auto steps = Fill();
        steps.push_back(Do([] { current_prefs.last_frame = 8'000'000; }));
        auto clicked = std::make_shared<bool>(false);
        steps.push_back(Do([clicked, particles] {
            // Two ticks in a row that find the first pass begun and the second not: the first
            // of them came while the first pass ran (a pass start draws the bar right after).
            auto* timer = new QTimer;
            auto in_first_pass = std::make_shared<int>(0);
            QObject::connect(timer, &QTimer::timeout, [=] {
                if (VEXOcreatingWnd == nullptr) return;
                const bool first = BarShowsPass(0, particles) && !BarShowsPass(1, particles);
                *in_first_pass = first ? *in_first_pass + 1 : 0;
                if (*in_first_pass < 2) return;
                *clicked = true;
                QTest::mouseClick(pt::GadgetWidget(VEXOcreatingGadgets[0]), Qt::LeftButton);
                timer->stop();
                timer->deleteLater();
            });
            timer->start(0);
        }));
        steps.push_back(Click(Main(), GD_generate));
        steps.push_back(Quit());
        Run(steps, {kOk});
        EXPECT_TRUE(*clicked);
        EXPECT_FALSE(std::filesystem::exists(scene));
        EXPECT_EQ(Texts().size(), 1u);  // the quit question alone
    }
}

// Every setting is entered through the windows; the scene must be byte for byte what the
// batch tool writes from the same settings in a fresh run.
TEST_F(GenerateTest, EverySettingThroughTheWindowsMatchesTheBatchTool) {
    Prepare(9);
    auto steps = Fill();
    for (Step s : {Click(Main(), GD_limited_lifespan), Type(Main(), GD_lifespan, "7"), Choose(Main(), GD_end_behavior, 0),
                   Type(Main(), GD_velocity_variation, "35"), Click(Main(), GD_use_creation_delay),
                   Type(Main(), GD_creation_delay, "2"), Type(Main(), GD_start_size, "0.5"),
                   Click(Main(), GD_particle_grow), Type(Main(), GD_end_size, "1.75"), Click(Main(), GD_scene_options),
                   Type(VEXOscene_optionsGadgets, 0, "0"), Type(VEXOscene_optionsGadgets, 1, "24"),
                   Type(VEXOscene_optionsGadgets, 2, "2"), CloseWindowOf(&VEXOscene_optionsWnd),
                   Click(Main(), GD_emission_options), Type(VEXOemission_optionsGadgets, 0, "120"),
                   Type(VEXOemission_optionsGadgets, 1, "-30"), Type(VEXOemission_optionsGadgets, 2, "40"),
                   Type(VEXOemission_optionsGadgets, 3, "55"), Click(VEXOemission_optionsGadgets, 4),
                   CloseWindowOf(&VEXOemission_optionsWnd), Click(Main(), GD_effect_options),
                   Type(VEXOeffect_optionsGadgets, 0, "4.5"), Click(VEXOeffect_optionsGadgets, 1),
                   Type(VEXOeffect_optionsGadgets, 4, "80"), Choose(VEXOeffect_optionsGadgets, 3, 1),
                   CloseWindowOf(&VEXOeffect_optionsWnd), Click(Main(), GD_generate), Quit()}) {
        steps.push_back(s);
    }
    Run(steps, {kOk});
    ASSERT_EQ(Texts().size(), 1u) << Texts()[0];
    const std::string from_window = ReadFile(scene);
    EXPECT_EQ(Blocks(from_window), 9u);

    // The same settings as field=value lines, given to the batch tool in a fresh program run.
    std::vector<std::string> args = {"vexo-cli"};
    std::istringstream lines(FormatSettings(current_prefs));
    for (std::string line; std::getline(lines, line);) {
        args.push_back("--set");
        args.push_back(line.rfind("target_scene=", 0) == 0 ? "target_scene=" + dir.str("cli.lws") : line);
    }
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    cli::CliStreams streams{out, err, false, {}};
    EngineState fresh;
    ASSERT_EQ(cli::RunCli(static_cast<int>(argv.size()), argv.data(), streams, fresh), 0) << err.str();
    EXPECT_EQ(ReadFile(dir.path("cli.lws")), from_window);
    EXPECT_EQ(current_prefs.end_behavior, 0);
    EXPECT_EQ(current_prefs.linear_path, 0);
    EXPECT_EQ(current_prefs.elasticity, 0.8);
    EXPECT_EQ(current_prefs.oversampling, 128);
}

}  // namespace
}  // namespace vexo::uitest
