// The preview window, headless: it follows the settings by itself, the slider, the step
// buttons and keys show the frames the keys give, failures show their message in place of the
// picture, and the main window opens it.
#include "ui/preview_window.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPainter>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
namespace {

const QSize kSize(500, 300);

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
        settings = Motion();
        settings.num_particles = 40;
        settings.particles_per_frame = 2;
        settings.velocity = 0.3;
        settings.pitch_angle = 70;
        settings.heading_spread = 360;
        settings.gravity = 1;
    }
    Settings Motion() {
        return vexo::testing::SceneSettings(
            dir, "LWMO\n1\n9\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n3 0 1 90 0 0 1 1 1\n20 1 0 0 0\n");
    }
    // Waits for result `n` and checks that the window shows the picture an independent run of
    // the same generation gives at its frame, or the message it should.
    void ExpectShown(PreviewWindow& window, std::uint64_t n, const std::string& message = "") {
        ASSERT_TRUE(WaitFor([&] { return window.results() == n; }));
        EXPECT_EQ(window.message(), message);
        QImage expected(kSize, QImage::Format_RGB32);
        if (message.empty()) {
            EngineState copy = state;
            vexo::testing::ScriptedHook hook;
            preview::Stream stream;
            preview::ComputeStream(settings, copy, hook, stream);
            const preview::PictureRequest r{.width = kSize.width(),
                                            .height = kSize.height(),
                                            .frame = window.frame(),
                                            .name = "scene.lws",
                                            .draw_limit = kInteractiveDrawLimit};
            preview::ParticleShape shape =
                preview::ParticleShape::FromObject(PathText(settings.particle_object));
            expected = preview::DrawPicture(stream, shape, r);
        } else {
            EXPECT_EQ(window.stream(), nullptr);
            QPainter painter(&expected);
            preview::DrawMessage(painter, expected.rect(), message);
        }
        EXPECT_EQ(window.Picture(kSize), expected);
    }
    Settings settings;
    EngineState state;
};

// An entered value, a finished Generate (the preview shows what the next one writes), and
// failures in place of the picture.
TEST_F(PreviewWindowTest, ThePictureFollowsTheSettingsAndTheEngineState) {
    PreviewWindow window(settings, state);
    ExpectShown(window, 1);
    const QImage before = window.Picture(kSize);
    settings.velocity = 0.6;  // as the main loop stores an entered value
    ExpectShown(window, 2);
    EXPECT_NE(window.Picture(kSize), before);
    vexo::testing::RecordingSink sink;
    vexo::testing::ScriptedHook hook;
    CreateScene(settings, state, sink, hook);
    ExpectShown(window, 3);
    settings.frame_step = 0;
    ExpectShown(window, 4, scene_text::kZeroFrameStep);
    settings.frame_step = 1;
    SetPathText(settings.parent_motion, dir.str("missing.mot"));
    ExpectShown(window, 5, "Could not open motion file\n\n" + dir.str("missing.mot") + "\n\nNo such file or directory");
    settings = Motion();
    ExpectShown(window, 6);
}

// Sets a file's time of change, so that a rewrite within one clock tick is still a change.
void Touch(const std::filesystem::path& path, long seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The motion file and the particle object rewritten on disk, with the settings unchanged: a new
// motion of the same length, then the object (a square until then) becoming a wedge.
TEST_F(PreviewWindowTest, ThePictureFollowsTheMotionAndObjectFilesOnDisk) {
    const std::string object = dir.str("particle.obj");
    SetPathText(settings.particle_object, object);
    const std::string motion = ReadFile(dir.path("motion.mot"));
    Touch(dir.path("motion.mot"), 1000);
    PreviewWindow window(settings, state);
    ExpectShown(window, 1);
    const QImage first = window.Picture(kSize);
    std::string moved = motion;
    moved.replace(moved.find("3 0 1 90"), 8, "3 0 4 90");  // the same length, another place
    WriteFile(dir.path("motion.mot"), moved);
    Touch(dir.path("motion.mot"), 2000);
    ExpectShown(window, 2);
    EXPECT_NE(window.Picture(kSize), first);
    const QImage squares = window.Picture(kSize);
    WriteFile(object, ReadFile(vexo::testing::DataDir() / "wedge.obj"));
    ExpectShown(window, 3);
    EXPECT_NE(window.Picture(kSize), squares);
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

// The frames the slider, the buttons (by their tips) and the keys go to, the pictures shown
// there, and a view that changes the picture.
TEST_F(PreviewWindowTest, SliderStepsKeysAndViews) {
    PreviewWindow window(settings, state);
    ExpectShown(window, 1);
    std::string frames = std::to_string(window.frame());  // the middle of frames 1 to 30
    for (int frame : {1, 7, 30}) {
        window.slider()->setValue(frame);
        frames += " " + std::to_string(window.frame());
        ExpectShown(window, 1);
    }
    for (const char* tip : {"Previous frame (Left)", "First frame (Home)", "Previous frame (Left)",
                            "Next frame (Right)", "Last frame (End)", "Next frame (Right)"}) {
        for (QToolButton* b : window.findChildren<QToolButton*>()) {
            if (b->toolTip() == tip) b->click();
        }
        frames += " " + std::to_string(window.frame());
    }
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_Right, Qt::Key_End, Qt::Key_Left}) {
        QTest::keyClick(&window, key);
        frames += " " + std::to_string(window.frame()) + "/" + std::to_string(window.slider()->value());
    }
    EXPECT_EQ(frames, "15 1 7 30 29 1 1 2 30 30 1/1 2/2 30/30 29/29");
    window.view_choice()->setCurrentIndex(3);
    const QImage top = window.Picture(kSize);
    window.view_choice()->setCurrentIndex(0);
    EXPECT_NE(window.Picture(kSize), top);
}

// Frame n + 1 is due at n / 24 s (n * 41.67 ms) after the start; the last frame comes before
// the first again.
TEST(PreviewPlayback, ShowsEveryFrameInTurnAtTwentyFourASecond) {
    const struct {
        std::int32_t first, last, start;
        std::int64_t ms;
        std::int32_t frame;
    } cases[] = {
        {1, 12, 1, 0, 1},
        {1, 12, 1, 41, 1},
        {1, 12, 1, 42, 2},
        {1, 12, 1, 458, 11},
        {1, 12, 1, 459, 12},
        {1, 12, 1, 499, 12},
        {1, 12, 1, 500, 1},
        {1, 12, 12, 0, 12},
        {1, 12, 12, 42, 1},
        {1, 12, 7, 250, 1},
        {5, 5, 5, 100000, 5},
        {0, 2, 0, 125, 0},
        {0, 2147483647, 2147483647, 0, 2147483647},
        {0, 2147483647, 2147483647, 42, 0},
        {0, 2147483647, 2147483646, 42, 2147483647},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlaybackFrame(c.first, c.last, c.start, c.ms), c.frame)
            << c.first << ".." << c.last << " from " << c.start << " after " << c.ms << " ms";
    }
}

TEST_F(PreviewWindowTest, PlaysAtTwentyFourFramesPerSecondAndWraps) {
    settings.last_frame = 12;
    PreviewWindow window(settings, state);
    ExpectShown(window, 1);
    window.SetFrame(1);
    window.SetPlaying(true);
    ASSERT_TRUE(WaitFor([&] { return window.frame() == 12; })) << "playing reaches the last frame";
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

INSTANTIATE_TEST_SUITE_P(Preview, ScenarioTest, ::testing::Values("preview"), ScriptName);

}  // namespace
}  // namespace vexo::uitest
