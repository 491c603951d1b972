// vexo-cli's pictures: --preview and --contact-sheet, alone and with --scene, and every refusal.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <sstream>

#include "cli/cli_app.hpp"
#include "tests/support/test_support.hpp"

namespace vexo::cli {
namespace {

using vexo::testing::ReadFile;
using vexo::testing::TempDir;
using vexo::testing::WriteFile;

constexpr const char* kMotion =
    "LWMO\n1\n9\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n2 1 0 45 0 0 1 1 1\n30 1 0 0 0\n";

struct PictureFixture : ::testing::Test {
    void SetUp() override { WriteFile(dir.path("m.mot"), kMotion); }
    int Run(std::vector<std::string> args) {
        std::vector<std::string> all = {"vexo-cli",         "--motion", dir.str("m.mot"),        "--set",
                                        "num_particles=30", "--set",    "particles_per_frame=2", "--set",
                                        "velocity=0.4",     "--set",    "pitch_angle=60",        "--set",
                                        "gravity=2"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<const char*> argv;
        for (const auto& a : all) argv.push_back(a.c_str());
        std::ostringstream out, errors;
        CliStreams streams{out, errors, false, {}};
        EngineState state;
        const int code = RunCli(static_cast<int>(argv.size()), argv.data(), streams, state);
        err = errors.str();
        return code;
    }
    TempDir dir;
    std::string err;
};

TEST_F(PictureFixture, PreviewAloneWritesOnlyThePicture) {
    ASSERT_EQ(Run({"--set", "target_scene=" + dir.str("s.lws"), "--preview", dir.str("p.png")}), kExitOk)
        << err;
    EXPECT_EQ(err, "vexo-cli: wrote picture " + dir.str("p.png") + "\n");
    EXPECT_EQ(QImage(QString::fromStdString(dir.str("p.png"))).size(), QSize(1280, 720));
    EXPECT_FALSE(std::filesystem::exists(dir.path("s.lws")));
}

// With --scene the scene is written too, byte for byte the scene written without a picture.
TEST_F(PictureFixture, WithSceneBothAreWrittenAndTheSceneIsUnchanged) {
    ASSERT_EQ(Run({"--scene", dir.str("plain.lws")}), kExitOk) << err;
    ASSERT_EQ(Run({"--scene", dir.str("s.lws"), "--preview", dir.str("p.png"), "--preview-size", "640x360",
                   "--preview-frame", "1", "--contact-sheet", dir.str("c.png"), "--contact-frames", "6"}),
              kExitOk)
        << err;
    EXPECT_EQ(err, "vexo-cli: wrote picture " + dir.str("p.png") + "\nvexo-cli: wrote picture " +
                       dir.str("c.png") + "\nvexo-cli: wrote 30 objects to " + dir.str("s.lws") + "\n");
    EXPECT_EQ(ReadFile(dir.path("s.lws")), ReadFile(dir.path("plain.lws")));
    EXPECT_EQ(QImage(QString::fromStdString(dir.str("p.png"))).size(), QSize(640, 360));
    EXPECT_EQ(QImage(QString::fromStdString(dir.str("c.png"))).size(), QSize(4 * 320 + 6, 2 * 180 + 2 + 28));
}

// Without --preview-frame the picture shows the middle frame of 1 to 30, frame 15.
TEST_F(PictureFixture, ThePictureShowsTheMiddleFrameUnlessToldOtherwise) {
    ASSERT_EQ(Run({"--preview", dir.str("middle.png"), "--preview-size", "320x180"}), kExitOk) << err;
    ASSERT_EQ(Run({"--preview", dir.str("15.png"), "--preview-size", "320x180", "--preview-frame", "15"}),
              kExitOk);
    ASSERT_EQ(Run({"--preview", dir.str("16.png"), "--preview-size", "320x180", "--preview-frame", "16"}),
              kExitOk);
    const QImage middle(QString::fromStdString(dir.str("middle.png")));
    EXPECT_EQ(middle, QImage(QString::fromStdString(dir.str("15.png"))));
    EXPECT_NE(middle, QImage(QString::fromStdString(dir.str("16.png"))));
}

TEST_F(PictureFixture, HelpDocumentsThePictureOptions) {
    std::vector<const char*> argv = {"vexo-cli", "--help"};
    std::ostringstream out, errors;
    CliStreams streams{out, errors, false, {}};
    EngineState state;
    EXPECT_EQ(RunCli(2, argv.data(), streams, state), kExitOk);
    for (const char* word :
         {"--preview ", "--preview-frame", "--preview-size", "--contact-sheet", "--contact-frames"}) {
        EXPECT_NE(out.str().find(word), std::string::npos) << word;
    }
}

TEST_F(PictureFixture, RefusesWhatItCannotDoAndWritesNothing) {
    struct {
        std::vector<std::string> args;
        int code;
        std::string message;  // the start of standard error
    } const cases[] = {
        {{"--preview", "P", "--preview-size", "640"},
         kExitUsage,
         "vexo-cli: --preview-size 640 is not WIDTHxHEIGHT from 16x16 to 8192x8192\n"},
        {{"--preview", "P", "--preview-size", "0x10"},
         kExitUsage,
         "vexo-cli: --preview-size 0x10 is not WIDTHxHEIGHT from 16x16 to 8192x8192\n"},
        {{"--preview", "P", "--preview-frame", "31"},
         kExitUsage,
         "vexo-cli: --preview-frame 31 is outside the scene's frames 1 to 30\n"},
        {{"--contact-sheet", "P", "--contact-frames", "0"},
         kExitUsage,
         "vexo-cli: --contact-frames: Value 0 not in range"},
        {{"--preview", "P", "--set", "frame_step=0"},
         kExitUsage,
         "vexo-cli: Cannot create a scene with a frame step"},
        {{"--preview", "P", "--set", "parent_motion=D/none.mot"},
         kExitFailure,
         "vexo-cli: Could not open motion file\nvexo-cli: could not draw the pictures: motion file error\n"},
        {{"--preview", "D/no/such/folder/p.png"},
         kExitFailure,
         "vexo-cli: cannot write picture D/no/such/folder/p.png: "},
        {{"--contact-sheet", "D/no/such/folder/c.png"},
         kExitFailure,
         "vexo-cli: cannot write picture D/no/such/folder/c.png: "},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args;
        std::string expected = c.message;
        for (std::string a : c.args) {
            for (std::string* text : {&a}) {
                if (*text == "P") *text = dir.str("p.png");
                if (const auto at = text->find("D/"); at != std::string::npos)
                    text->replace(at, 2, dir.str(""));
            }
            args.push_back(a);
        }
        for (const auto& [from, to] : {std::pair<std::string, std::string>{"D/", dir.str("")}}) {
            for (std::size_t at; (at = expected.find(from)) != std::string::npos;)
                expected.replace(at, from.size(), to);
        }
        EXPECT_EQ(Run(args), c.code) << err;
        EXPECT_EQ(err.substr(0, expected.size()), expected);
        EXPECT_FALSE(std::filesystem::exists(dir.path("p.png")));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path("")), {}), 1)
            << "only the motion file";
    }
}

}  // namespace
}  // namespace vexo::cli
