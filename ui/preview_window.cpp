#include "ui/preview_window.hpp"

#include <sys/stat.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <limits>

#include "ui/vexo.hpp"

namespace vexo::ui {
namespace {

// How often the window looks for changed settings: often enough that a change shows within a
// fraction of a second, rarely enough to cost nothing (one comparison of the record).
constexpr int kWatchMilliseconds = 100;

// The canvas draws whatever the window has: the picture, a message, or that it is computing.
class Canvas : public QWidget {
public:
    explicit Canvas(PreviewWindow* window) : QWidget(window), window_(window) {
        setMinimumSize(320, 180);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, window_->Picture(size()));
    }

private:
    PreviewWindow* window_;
};

std::string FileStamp(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return "-";
    return std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec);
}

// Stops the worker's generation as soon as a newer request has come in or the window closes.
class Supersede : public PassHook {
public:
    Supersede(const std::atomic<std::uint64_t>& latest, std::uint64_t mine) : latest_(latest), mine_(mine) {}
    PassAction OnPassStart(std::uint32_t, std::uint32_t) override {
        return latest_.load() == mine_ ? PassAction::Continue : PassAction::Abort;
    }

private:
    const std::atomic<std::uint64_t>& latest_;
    std::uint64_t mine_;
};

PreviewWindow* the_window = nullptr;

}  // namespace

struct PreviewWindow::Result {
    preview::Stream stream;
    std::optional<preview::ParticleShape> shape;
    std::string message;  // set when there is no stream to show
    std::string name;
};

bool PreviewWindow::Inputs::operator==(const Inputs& other) const {
    return settings == other.settings && state.random.state() == other.state.random.state() &&
           state.angle == other.state.angle && files == other.files;
}

PreviewWindow::PreviewWindow(const Settings& settings, const EngineState& state)
    : QWidget(nullptr), settings_(settings), state_(state) {
    setWindowTitle(QString::fromUtf8(preview_text::kWindowTitle));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(1024, 640);

    canvas_ = new Canvas(this);
    slider_ = new QSlider(Qt::Horizontal, this);
    frame_label_ = new QLabel(this);
    frame_label_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Frame 000000")));
    views_ = new QComboBox(this);
    views_->addItem(QString::fromUtf8(preview_text::kAllViews));
    for (const char* name : {preview::picture_text::kFront, preview::picture_text::kSide,
                             preview::picture_text::kTop, preview::picture_text::kPerspective}) {
        views_->addItem(QString::fromUtf8(name));
    }
    auto button = [this](QStyle::StandardPixmap icon, const QString& tip, auto action) {
        auto* b = new QToolButton(this);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, action);
        return b;
    };
    auto* first = button(QStyle::SP_MediaSkipBackward, QStringLiteral("First frame (Home)"),
                         [this] { SetFrame(settings_.first_frame); });
    auto* back =
        button(QStyle::SP_MediaSeekBackward, QStringLiteral("Previous frame (Left)"), [this] { Step(-1); });
    play_button_ = button(QStyle::SP_MediaPlay, QStringLiteral("Play or pause (Space)"),
                          [this] { SetPlaying(!playing_); });
    auto* forward =
        button(QStyle::SP_MediaSeekForward, QStringLiteral("Next frame (Right)"), [this] { Step(1); });
    auto* last = button(QStyle::SP_MediaSkipForward, QStringLiteral("Last frame (End)"),
                        [this] { SetFrame(settings_.last_frame); });

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(8, 4, 8, 6);
    for (QWidget* w : std::initializer_list<QWidget*>{first, back, play_button_, forward, last})
        controls->addWidget(w);
    controls->addWidget(slider_, 1);
    controls->addWidget(frame_label_);
    controls->addWidget(views_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(canvas_, 1);
    column->addLayout(controls);

    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        if (value != frame_) SetFrame(value);
    });
    connect(views_, &QComboBox::currentIndexChanged, this, [this](int index) {
        layout_ = static_cast<preview::Layout>(index);
        canvas_->update();
    });

    watch_ = new QTimer(this);
    connect(watch_, &QTimer::timeout, this, [this] { CheckInputs(); });
    watch_->start(kWatchMilliseconds);
    player_ = new QTimer(this);
    player_->setTimerType(Qt::PreciseTimer);
    connect(player_, &QTimer::timeout, this, [this] { Tick(); });

    frame_ = preview::MiddleFrame(settings_);
    worker_ = std::thread([this] { Work(); });
    UpdateControls();
    CheckInputs();
}

PreviewWindow::~PreviewWindow() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        latest_serial_ = ~std::uint64_t{0};  // stops a running generation at its next object
    }
    wake_.notify_all();
    worker_.join();
}

void PreviewWindow::CheckInputs() {
    Inputs now{
        settings_, state_,
        FileStamp(PathText(settings_.parent_motion)) + "|" + FileStamp(PathText(settings_.particle_object))};
    if (requested_ && *requested_ == now) return;
    requested_ = now;
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(now);
        pending_serial_ = ++latest_serial_;
    }
    computing_ = true;
    wake_.notify_all();
    canvas_->update();
}

void PreviewWindow::Work() {
    for (;;) {
        Inputs inputs;
        std::uint64_t serial = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
            if (stop_) return;
            inputs = std::move(*pending_);
            pending_.reset();
            serial = pending_serial_;
        }
        auto result = std::make_shared<Result>();
        Supersede hook(latest_serial_, serial);
        // A copy of the state: the preview shows what the next Generate writes, and must not
        // change it.
        EngineState state = inputs.state;
        const preview::StreamResult run =
            preview::ComputeStream(inputs.settings, state, hook, result->stream);
        if (latest_serial_.load() != serial) continue;  // superseded: nothing to show
        if (run.report.outcome == WriteOutcome::Complete) {
            result->shape = preview::ParticleShape::FromObject(PathText(inputs.settings.particle_object));
        } else if (!run.messages.empty()) {
            for (const std::string& m : run.messages)
                result->message += (result->message.empty() ? "" : "\n\n") + m;
        } else {
            result->message = text::kMemoryError;
        }
        result->name = std::filesystem::path(PathText(inputs.settings.target_scene)).filename().string();
        QMetaObject::invokeMethod(
            this, [this, serial, result] { Adopt(serial, result); }, Qt::QueuedConnection);
    }
}

void PreviewWindow::Adopt(std::uint64_t serial, std::shared_ptr<Result> result) {
    if (serial != latest_serial_.load()) return;
    computing_ = false;
    ++results_;
    message_ = result->message;
    name_ = result->name;
    if (message_.empty()) {
        stream_ = std::move(result->stream);
        shape_ = std::move(result->shape);
    } else {
        stream_.reset();
        shape_.reset();
    }
    UpdateControls();
    canvas_->update();
}

QImage PreviewWindow::Picture(QSize size) {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    QPainter painter(&image);
    if (!message_.empty()) {
        preview::DrawMessage(painter, image.rect(), message_);
    } else if (!stream_ || !shape_) {
        preview::DrawMessage(painter, image.rect(), preview_text::kComputing);
    } else {
        preview::PictureRequest request;
        request.layout = layout_;
        request.frame = frame_;
        request.name = name_;
        request.draw_limit = kInteractiveDrawLimit;
        preview::DrawPicture(painter, image.rect(), *stream_, *shape_, request);
    }
    return image;
}

void PreviewWindow::SetFrame(std::int32_t frame) {
    const std::int32_t first = stream_ ? stream_->first_frame : settings_.first_frame;
    const std::int32_t last = stream_ ? stream_->last_frame : settings_.last_frame;
    frame_ = std::clamp(frame, first, std::max(first, last));
    if (playing_) {
        play_start_frame_ = frame_;
        play_clock_.restart();
    }
    UpdateControls();
    canvas_->update();
}

void PreviewWindow::SetLayout(preview::Layout layout) {
    views_->setCurrentIndex(static_cast<int>(layout));
}

void PreviewWindow::SetPlaying(bool playing) {
    playing_ = playing;
    play_button_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    play_button_->setText(QString::fromUtf8(playing ? preview_text::kPause : preview_text::kPlay));
    if (playing) {
        play_start_frame_ = frame_;
        play_clock_.restart();
        player_->start(10);
    } else {
        player_->stop();
    }
}

// The frame follows the clock, so that playback keeps 24 frames per second however late the
// timer fires; it wraps to the first frame after the last.
std::int32_t PlaybackFrame(std::int32_t first, std::int32_t last, std::int32_t start,
                           std::int64_t elapsed_ms) {
    const std::int64_t span = std::int64_t{last} - first + 1;
    const std::int64_t advanced = elapsed_ms * kFramesPerSecond / 1000;
    return static_cast<std::int32_t>(first + (std::int64_t{start} - first + advanced) % span);
}

void PreviewWindow::Tick() {
    if (!stream_) return;
    const std::int32_t frame =
        PlaybackFrame(stream_->first_frame, stream_->last_frame, play_start_frame_, play_clock_.elapsed());
    if (frame != frame_) {
        frame_ = frame;
        UpdateControls();
        canvas_->update();
    }
}

void PreviewWindow::Step(int frames) {
    SetFrame(static_cast<std::int32_t>(std::int64_t{frame_} + frames));
}

void PreviewWindow::UpdateControls() {
    const std::int32_t first = stream_ ? stream_->first_frame : settings_.first_frame;
    const std::int32_t last = stream_ ? stream_->last_frame : settings_.last_frame;
    frame_ = std::clamp(frame_, first, std::max(first, last));
    const QSignalBlocker quiet(slider_);
    slider_->setRange(first, std::max(first, last));
    slider_->setValue(frame_);
    frame_label_->setText(QString::fromUtf8(preview_text::kFrameLabel).arg(frame_));
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
            SetPlaying(!playing_);
            return;
        case Qt::Key_Left:
            Step(-1);
            return;
        case Qt::Key_Right:
            Step(1);
            return;
        case Qt::Key_Home:
            SetFrame(std::numeric_limits<std::int32_t>::min());
            return;
        case Qt::Key_End:
            SetFrame(std::numeric_limits<std::int32_t>::max());
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void PreviewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    watch_->start(kWatchMilliseconds);
    CheckInputs();
}

void PreviewWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    watch_->stop();
    SetPlaying(false);
}

void preview_window() {
    if (the_window == nullptr) the_window = new PreviewWindow(current_prefs, engine_state);
    the_window->show();
    the_window->raise();
    the_window->activateWindow();
}

int preview_menu() {
    preview_window();
    return 0;
}

void ClosePreviewWindow() {
    delete the_window;
    the_window = nullptr;
}

PreviewWindow* ThePreviewWindow() {
    return the_window;
}

}  // namespace vexo::ui
