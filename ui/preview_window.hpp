// The preview window: the picture of the stream the current settings give, kept up to date by
// itself. It watches the settings, the engine state and the two input files, computes the
// stream on a worker thread (a newer change supersedes a running computation) and draws it
// with the preview module. Qt widgets of its own; it never blocks the main window.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/engine_state.hpp"
#include "engine/settings/settings.hpp"
#include "preview/particle_shape.hpp"
#include "preview/picture.hpp"
#include "preview/stream.hpp"

class QComboBox;
class QLabel;
class QSlider;
class QTimer;
class QToolButton;

namespace vexo::ui {

namespace preview_text {
inline constexpr const char* kWindowTitle = "Vexo preview";
inline constexpr const char* kAllViews = "All four views";
inline constexpr const char* kComputing = "Computing the particles\u2026";
inline constexpr const char* kNoFrames = "No frames to show.";
inline constexpr const char* kFrameLabel = "Frame %1";
inline constexpr const char* kPlay = "Play";
inline constexpr const char* kPause = "Pause";
}  // namespace preview_text

// The interactive window draws at most this many particles, evenly spread, and says so.
inline constexpr std::size_t kInteractiveDrawLimit = 20000;
inline constexpr int kFramesPerSecond = 24;

class PreviewWindow : public QWidget {
public:
    // Watches `settings` and `state`, which must outlive the window.
    PreviewWindow(const Settings& settings, const EngineState& state);
    ~PreviewWindow() override;

    // The picture as the window shows it, drawn at the given size.
    QImage Picture(QSize size);
    std::int32_t frame() const { return frame_; }
    void SetFrame(std::int32_t frame);
    void SetLayout(preview::Layout layout);
    void SetPlaying(bool playing);
    bool playing() const { return playing_; }
    // Counts the results adopted: a new stream or a new message.
    std::uint64_t results() const { return results_; }
    const preview::Stream* stream() const { return stream_ ? &*stream_ : nullptr; }
    const std::string& message() const { return message_; }
    QSlider* slider() const { return slider_; }
    QComboBox* view_choice() const { return views_; }
    // Looks at the settings now instead of at the next tick.
    void CheckInputs();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A hidden window stops watching and playing; shown again it catches up at once.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Inputs {
        Settings settings;
        EngineState state;
        std::string files;  // size and time of the motion and the object file
        bool operator==(const Inputs& other) const;
    };
    struct Result;
    void Work();
    void Adopt(std::uint64_t serial, std::shared_ptr<Result> result);
    void Step(int frames);
    void Tick();
    void UpdateControls();

    const Settings& settings_;
    const EngineState& state_;
    std::optional<Inputs> requested_;

    // The worker and the one request it may be given at a time.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Inputs> pending_;
    std::uint64_t pending_serial_ = 0;
    std::atomic<std::uint64_t> latest_serial_{0};  // read by the worker's hook
    bool stop_ = false;
    std::thread worker_;

    std::optional<preview::Stream> stream_;
    std::optional<preview::ParticleShape> shape_;
    std::string message_;
    std::string name_;
    std::uint64_t results_ = 0;
    bool computing_ = false;

    std::int32_t frame_ = 0;
    preview::Layout layout_ = preview::Layout::AllFour;
    bool playing_ = false;
    QElapsedTimer play_clock_;
    std::int32_t play_start_frame_ = 0;

    QWidget* canvas_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* frame_label_ = nullptr;
    QComboBox* views_ = nullptr;
    QToolButton* play_button_ = nullptr;
    QTimer* watch_ = nullptr;
    QTimer* player_ = nullptr;
};

// The frame playback shows `elapsed_ms` after it started at frame `start`: kFramesPerSecond
// frames a second, every frame from first to last shown in turn, then the first again.
std::int32_t PlaybackFrame(std::int32_t first, std::int32_t last, std::int32_t start,
                           std::int64_t elapsed_ms);

// The commands preview_window and preview_menu (declared with the others in vexo.hpp) open the
// window or bring it to the front; ClosePreviewWindow closes it when the program ends.
// The open window, or null.
PreviewWindow* ThePreviewWindow();

}  // namespace vexo::ui
