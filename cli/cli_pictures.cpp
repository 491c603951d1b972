#include "cli/cli_pictures.hpp"

#include <QByteArray>
#include <QGuiApplication>
#include <QSaveFile>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <filesystem>

#include "engine/create_scene.hpp"
#include "prefs/settings_text.hpp"
#include "preview/picture.hpp"
#include "preview/stream.hpp"

namespace vexo::cli {
namespace {

constexpr const char* kProgram = "vexo-cli";

// Drops Qt's chatter (missing runtime folders and the like); the tool reports its own failures.
void QuietQt(QtMsgType, const QMessageLogContext&, const QString&) {}

// The pictures need fonts, hence a QGuiApplication; the offscreen platform needs no display.
void EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQt);
    static int argc = 1;
    static char name[] = "vexo-cli";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
    // Qt adopts the system locale; numbers keep the "C" form.
    std::setlocale(LC_NUMERIC, "C");
}

int Fail(CliStreams& s, int code, const std::string& text) {
    s.err << kProgram << ": " << text << '\n';
    return code;
}

bool ParseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find('x');
    if (x == std::string::npos) return false;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    const auto w = std::from_chars(begin, begin + x, width);
    const auto h = std::from_chars(begin + x + 1, end, height);
    return w.ec == std::errc() && w.ptr == begin + x && h.ec == std::errc() && h.ptr == end && width >= 16 &&
           height >= 16 && width <= 8192 && height <= 8192;
}

// Writes the whole PNG or nothing: a failed write leaves no partial file behind.
bool SavePng(const QImage& image, const std::string& path, std::string& error) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        error = "the PNG could not be encoded";
        return false;
    }
    if (!file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

class NeverStop : public PassHook {
public:
    PassAction OnPassStart(std::uint32_t, std::uint32_t) override { return PassAction::Continue; }
};

}  // namespace

void AddPictureOptions(CLI::App& app, PictureOptions& options) {
    app.add_option(
        "--preview", options.preview,
        "Write a PNG picture of the particles at one frame: front, side, top and perspective views. "
        "Alone it writes only the picture; with --scene the scene as well");
    app.add_option("--preview-frame", options.preview_frame,
                   "Frame the --preview picture shows (default: the middle)");
    app.add_option("--preview-size", options.preview_size,
                   "Size of the --preview picture, WxH (default 1280x720)");
    app.add_option("--contact-sheet", options.contact_sheet,
                   "Write a PNG grid of small perspective views at evenly spaced frames");
    app.add_option("--contact-frames", options.contact_frames, "Pictures on the contact sheet (default 12)")
        ->check(CLI::Range(1, 100));
}

int WritePictures(const PictureOptions& options, const Settings& settings, const std::string& prefs_file,
                  bool quiet, CliStreams& streams, const EngineState& state) {
    const std::string name =
        std::filesystem::path(prefs_file.empty() ? PathText(settings.target_scene) : prefs_file)
            .filename()
            .string();
    int width = 0, height = 0;
    if (!ParseSize(options.preview_size, width, height)) {
        return Fail(
            streams, kExitUsage,
            "--preview-size " + options.preview_size + " is not WIDTHxHEIGHT from 16x16 to 8192x8192");
    }
    const std::int64_t frame =
        options.preview_frame < 0 ? preview::MiddleFrame(settings) : options.preview_frame;
    if (!options.preview.empty() && (frame < settings.first_frame || frame > settings.last_frame)) {
        return Fail(streams, kExitUsage,
                    "--preview-frame " + std::to_string(frame) + " is outside the scene's frames " +
                        std::to_string(settings.first_frame) + " to " + std::to_string(settings.last_frame));
    }

    EngineState copy = state;  // the scene written after the pictures starts from the same state
    NeverStop hook;
    preview::Stream stream;
    const preview::StreamResult result = preview::ComputeStream(settings, copy, hook, stream);
    for (const std::string& message : result.messages)
        streams.err << kProgram << ": " << OneLine(message) << '\n';
    if (result.report.outcome == WriteOutcome::Refused) return kExitUsage;
    if (result.report.result == SceneResult::MotionFileError) {
        return Fail(streams, kExitFailure, "could not draw the pictures: motion file error");
    }
    if (result.report.result == SceneResult::MeshFileError) {
        return Fail(streams, kExitFailure, "could not draw the pictures: " + result.report.error + " error");
    }
    if (result.report.result == SceneResult::NoMemory || result.report.outcome != WriteOutcome::Complete) {
        return Fail(streams, kExitFailure, "could not draw the pictures: not enough memory");
    }

    EnsureGuiApplication();
    preview::ParticleShape shape = preview::ParticleShape::FromObject(PathText(settings.particle_object));
    std::string error;
    if (!options.preview.empty()) {
        preview::PictureRequest request;
        request.width = width;
        request.height = height;
        request.frame = static_cast<std::int32_t>(frame);
        request.name = name;
        if (!SavePng(preview::DrawPicture(stream, shape, request), options.preview, error)) {
            return Fail(streams, kExitFailure, "cannot write picture " + options.preview + ": " + error);
        }
        if (!quiet) streams.err << kProgram << ": wrote picture " << options.preview << '\n';
    }
    if (!options.contact_sheet.empty()) {
        const QImage sheet = preview::DrawContactSheet(stream, shape, options.contact_frames, name);
        if (!SavePng(sheet, options.contact_sheet, error)) {
            return Fail(streams, kExitFailure,
                        "cannot write picture " + options.contact_sheet + ": " + error);
        }
        if (!quiet) streams.err << kProgram << ": wrote picture " << options.contact_sheet << '\n';
    }
    return kExitOk;
}

}  // namespace vexo::cli
