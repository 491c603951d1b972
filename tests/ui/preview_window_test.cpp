// The preview window, headless: it follows the settings by itself, the slider shows the frames
// the keys give, failures show their message, and the main window opens it.
#include "ui/preview_window.hpp"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSlider>

#include "preview/picture.hpp"
#include "tests/ui/ui_test_support.hpp"
#include "ui/main_window.hpp"

namespace vexo::uitest {
namespace {

using namespace vexo::ui;

constexpr const char* kMotion =
    "LWMO\n1\n9\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n3 0 1 90 0 0 1 1 1\n20 1 0 0 0\n";

// Runs the event loop until `done` holds; false after ten seconds. It waits for the picture to
// arrive; how long that takes is the benchmarks' business.
bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 10000) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class PreviewWindowTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        settings = vexo::testing::SceneSettings(dir, kMotion);
        settings.num_particles = 40;
        settings.particles_per_frame = 2;
        settings.velocity = 0.3;
        settings.pitch_angle = 70;
        settings.heading_spread = 360;
        settings.gravity = 1;
    }
    // The picture an independent run of the same generation gives at a frame.
    QImage Expected(const Settings& s, std::int32_t frame, QSize size) {
        EngineState copy = state;
        vexo::testing::ScriptedHook hook;
        preview::Stream stream;
        preview::ComputeStream(s, copy, hook, stream);
        preview::ParticleShape shape = preview::ParticleShape::FromObject(PathText(s.particle_object));
        preview::PictureRequest r;
        r.width = size.width();
        r.height = size.height();
        r.frame = frame;
        r.name = "scene.lws";
        r.draw_limit = kInteractiveDrawLimit;
        return preview::DrawPicture(stream, shape, r);
    }
    Settings settings;
    EngineState state;
};

TEST_F(PreviewWindowTest, EnteringASettingChangesThePicture) {
    PreviewWindow window(settings, state);
    ASSERT_TRUE(WaitFor([&] { return window.results() == 1; }));
    const QSize size(640, 360);
    const QImage before = window.Picture(size);
    EXPECT_EQ(before, Expected(settings, window.frame(), size));

    settings.velocity = 0.6;  // as the main loop stores an entered value
    ASSERT_TRUE(WaitFor([&] { return window.results() == 2; }));
    EXPECT_NE(window.Picture(size), before);
    EXPECT_EQ(window.Picture(size), Expected(settings, window.frame(), size));

    // A finished Generate advances the engine state: the preview follows it, since it shows what
    // the next Generate writes.
    vexo::testing::RecordingSink sink;
    vexo::testing::ScriptedHook hook;
    CreateScene(settings, state, sink, hook);
    ASSERT_TRUE(WaitFor([&] { return window.results() == 3; }));
    EXPECT_EQ(window.Picture(size), Expected(settings, window.frame(), size));
}

// Changes that come while a computation runs supersede it: only the last one is shown.
TEST_F(PreviewWindowTest, ALaterChangeSupersedesARunningComputation) {
    PreviewWindow window(settings, state);
    for (int count : {300, 310, 320}) {
        settings.num_particles = count;
        window.CheckInputs();
    }
    ASSERT_TRUE(WaitFor([&] { return window.results() == 1; }));
    ASSERT_NE(window.stream(), nullptr);
    EXPECT_EQ(window.stream()->objects.size(), 320u);
    QApplication::processEvents();
    EXPECT_EQ(window.results(), 1u);
}

TEST_F(PreviewWindowTest, TheSliderMovesTheParticlesToWhereTheKeysSay) {
    PreviewWindow window(settings, state);
    ASSERT_TRUE(WaitFor([&] { return window.results() == 1; }));
    EXPECT_EQ(window.frame(), 15);  // the middle of frames 1 to 30
    const QSize size(500, 300);
    for (int frame : {1, 7, 30}) {
        window.slider()->setValue(frame);
        EXPECT_EQ(window.frame(), frame);
        EXPECT_EQ(window.Picture(size), Expected(settings, frame, size)) << "frame " << frame;
    }
    window.slider()->setValue(12);
    const auto particles = preview::ParticlesAt(*window.stream(), window.frame());
    ASSERT_FALSE(particles.empty());
    for (const auto& p : particles) {
        const auto keys = preview::ValuesAt(window.stream()->objects[p.object], 12);
        EXPECT_EQ(p.position, (preview::Vec3{keys[0], keys[1], keys[2]}));
    }
    // The view choice: each single view, then all four again.
    window.view_choice()->setCurrentIndex(3);
    const QImage top = window.Picture(size);
    window.view_choice()->setCurrentIndex(0);
    EXPECT_NE(window.Picture(size), top);
}

TEST_F(PreviewWindowTest, UnreadableMotionOrBadSettingsShowTheirMessage) {
    SetPathText(settings.parent_motion, dir.str("missing.mot"));
    PreviewWindow window(settings, state);
    ASSERT_TRUE(WaitFor([&] { return window.results() == 1; }));
    EXPECT_EQ(window.message(), motion_text::kCannotOpen);
    EXPECT_EQ(window.stream(), nullptr);

    settings = vexo::testing::SceneSettings(dir, kMotion);
    settings.frame_step = 0;
    ASSERT_TRUE(WaitFor([&] { return window.results() == 2; }));
    EXPECT_EQ(window.message(), scene_text::kZeroFrameStep);

    settings.frame_step = 1;
    ASSERT_TRUE(WaitFor([&] { return window.results() == 3; }));
    EXPECT_EQ(window.message(), "");
    EXPECT_NE(window.stream(), nullptr);
}

TEST_F(PreviewWindowTest, PlaysAtTwentyFourFramesPerSecondAndWraps) {
    settings.last_frame = 12;
    PreviewWindow window(settings, state);
    ASSERT_TRUE(WaitFor([&] { return window.results() == 1; }));
    window.SetFrame(12);
    window.SetPlaying(true);
    ASSERT_TRUE(WaitFor([&] { return window.frame() == 1; }))
        << "playing wraps from the last frame to the first";
    ASSERT_TRUE(WaitFor([&] { return window.frame() == 4; }));
    window.SetPlaying(false);
    const std::int32_t stopped = window.frame();
    QElapsedTimer pause;
    pause.start();
    while (pause.elapsed() < 150) QApplication::processEvents();
    EXPECT_EQ(window.frame(), stopped);
}

TEST_F(PreviewWindowTest, TheMainWindowOpensItByButtonAndMenu) {
    current_prefs = settings;
    Run({Click(Main(), GD_preview), Do([] {
             ASSERT_NE(ThePreviewWindow(), nullptr);
             EXPECT_TRUE(ThePreviewWindow()->isVisible());
             EXPECT_EQ(ThePreviewWindow()->windowTitle().toStdString(), preview_text::kWindowTitle);
             ThePreviewWindow()->hide();
             QAction* item = pt::MenuAction(VEXOWnd, 1, 0);
             ASSERT_NE(item, nullptr);
             EXPECT_EQ(item->text().toStdString(), "Preview...");
             EXPECT_EQ(item->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
             item->trigger();
         }),
         Do([] {
             ASSERT_NE(ThePreviewWindow(), nullptr);
             EXPECT_TRUE(ThePreviewWindow()->isVisible());
         }),
         CloseWindowOf(&VEXOWnd)},
        {1});
    EXPECT_EQ(ThePreviewWindow(), nullptr) << "closed when the program ends";
}

}  // namespace
}  // namespace vexo::uitest
