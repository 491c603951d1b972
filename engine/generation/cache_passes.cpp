#include "engine/generation/cache_passes.hpp"

#include <algorithm>
#include <cmath>

#include "engine/writers/scene_formats.hpp"

namespace vexo {
namespace {

// A chunk's shared samples stay small whatever the buffer holds.
constexpr std::int64_t kMaxChunkFrames = 4096;
// Frames of a tile that holds only some of the particles.
constexpr std::uint64_t kTileFrames = 32;
// Particles a worker takes at a time.
constexpr std::uint64_t kBlock = 256;
// A tile's bytes reach the file in pieces this large, the hook asked between them.
constexpr std::size_t kWritePiece = std::size_t{4} << 20;

// The points of one copy of the mesh at a pose: T + R (S m) for every vertex m, as the cache
// stores them. False when a point is beyond single precision.
template <bool kMdd>
bool PutPointsAs(const Pose& pose, const std::vector<double>& vertices, double radius, unsigned char* out) {
    const auto& t = pose.translation;
    const auto& s = pose.scale;
    const float tx = static_cast<float>(t[0]), ty = static_cast<float>(t[1]), tz = static_cast<float>(t[2]);
    const auto put = [&](unsigned char* at, float x, float y, float z) {
        if constexpr (kMdd) {
            PutMddPoint(at, x, y, z);
        } else {
            PutPc2Point(at, x, y, z);
        }
    };
    const std::size_t count = vertices.size() / 3;
    if (s[0] == 0.0 && s[1] == 0.0 && s[2] == 0.0) {  // hidden: the whole copy at one point
        for (std::size_t v = 0; v < count; ++v) put(out + 12 * v, tx, ty, tz);
        return std::isfinite(tx) && std::isfinite(ty) && std::isfinite(tz);
    }
    const auto [x, y, z, w] = pose.rotation;
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                            {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                            {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    double m[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) m[i][j] = r[i][j] * s[static_cast<std::size_t>(j)];
    }
    // Far from the largest float no point can reach it: the check per point is then left out.
    const double reach = std::max({std::fabs(t[0]), std::fabs(t[1]), std::fabs(t[2])}) +
                         std::max({std::fabs(s[0]), std::fabs(s[1]), std::fabs(s[2])}) * radius;
    const bool checked = !(reach < 1e38);
    bool finite = true;
    for (std::size_t v = 0; v < count; ++v) {
        const double* p = &vertices[3 * v];
        // Three scalars, not an array: read back at once, an array's numbers would stall the
        // processor on the stores that made them.
        const auto x = static_cast<float>(t[0] + (m[0][0] * p[0] + m[0][1] * p[1] + m[0][2] * p[2]));
        const auto y = static_cast<float>(t[1] + (m[1][0] * p[0] + m[1][1] * p[1] + m[1][2] * p[2]));
        const auto z = static_cast<float>(t[2] + (m[2][0] * p[0] + m[2][1] * p[1] + m[2][2] * p[2]));
        if (checked) finite = finite && std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
        put(out + 12 * v, x, y, z);
    }
    return finite;
}

bool PutPoints(SceneFormat format, const Pose& pose, const std::vector<double>& vertices, double radius,
               unsigned char* out) {
    return format == SceneFormat::Mdd ? PutPointsAs<true>(pose, vertices, radius, out)
                                      : PutPointsAs<false>(pose, vertices, radius, out);
}

std::vector<double> Widened(const Mesh& mesh) {
    return {mesh.positions.begin(), mesh.positions.end()};
}

// The largest distance of a point from the particle object's origin.
double RadiusOf(const std::vector<double>& vertices) {
    double radius = 0;
    for (std::size_t v = 0; v < vertices.size(); v += 3) {
        radius = std::max(radius, std::sqrt(vertices[v] * vertices[v] + vertices[v + 1] * vertices[v + 1] +
                                            vertices[v + 2] * vertices[v + 2]));
    }
    return radius * (1 + 1e-9);  // above the rounding of the square root
}

}  // namespace

class CacheRows::TileSamples : public PassSamples {
  public:
    explicit TileSamples(const CacheRows& rows)
        : rows_(rows), fallback_(rows.table_, rows.settings_, rows.last_motion_frame_) {}
    const MotionFrame& At(std::uint64_t k) override {
        if (k >= rows_.window_first_ && k - rows_.window_first_ < rows_.window_.size()) {
            return rows_.window_[k - rows_.window_first_];
        }
        return fallback_.At(k);  // far ahead: a particle's first emission, found on its own
    }

  private:
    const CacheRows& rows_;
    WalkingSamples fallback_;
};

CacheRows::CacheRows(const ScheduledPasses& passes, const MotionTable& table, const Settings& settings,
                     std::int32_t last_motion_frame, double fps, const Mesh& mesh, SceneFormat format,
                     unsigned threads, std::size_t buffer_bytes, bool in_order)
    : passes_(passes),
      table_(table),
      settings_(settings),
      last_motion_frame_(last_motion_frame),
      format_(format),
      vertices_(Widened(mesh)),
      radius_(RadiusOf(vertices_)),
      samples_(static_cast<std::uint64_t>(settings.last_frame) + 1),
      particles_(static_cast<std::uint32_t>(settings.num_particles)),
      leftover_(!passes.linear() && passes.frames().first > 0),
      tracks_(particles_),
      pool_(threads),
      window_cursor_(table) {
    // A tile is a few frames of a range of particles, so that each track is visited once for
    // several frames; when every particle fits, more frames. In file order, a tile holds whole
    // rows (every particle of its frames).
    const std::uint64_t point_bytes = 12 * (vertices_.size() / 3);
    const std::uint64_t row = point_bytes * particles_;
    const std::uint64_t frames = std::min<std::uint64_t>(samples_, kTileFrames);
    if (row != 0 && (row * frames <= buffer_bytes || (in_order && row <= buffer_bytes))) {
        chunk_frames_ = static_cast<std::int64_t>(
            std::min<std::uint64_t>({buffer_bytes / row, samples_, std::uint64_t{kMaxChunkFrames}}));
        range_particles_ = particles_;
    } else if (in_order) {
        chunk_frames_ = 1;
        range_particles_ = static_cast<std::uint32_t>(
            std::clamp<std::uint64_t>(buffer_bytes / std::max<std::uint64_t>(point_bytes, 1), 1, particles_));
    } else {
        chunk_frames_ = static_cast<std::int64_t>(frames);
        range_particles_ = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(
            buffer_bytes / (frames * std::max<std::uint64_t>(point_bytes, 1)), 1, particles_));
    }
    for (auto& buffer : buffers_)
        buffer.resize(static_cast<std::size_t>(chunk_frames_) * range_particles_ * point_bytes);
    for (unsigned w = 0; w < pool_.size(); ++w) {
        worker_samples_.push_back(std::make_unique<TileSamples>(*this));
        readers_.push_back(std::make_unique<TrackReader>(passes_, fps));
    }
}

CacheRows::~CacheRows() = default;

void CacheRows::ReadWindow(const Tile& tile) {
    const FrameRange& frames = passes_.frames();
    if (frames.count == 0) return;
    const auto index_of = [&](std::int64_t k) -> std::uint64_t {
        if (k < static_cast<std::int64_t>(frames.first)) return 0;
        return std::min<std::uint64_t>((static_cast<std::uint64_t>(k) - frames.first) / frames.step,
                                       frames.count - 1);
    };
    // The frames around the chunk's keys: the two before (an emission's parent), four after (the
    // next key, the one after a hidden next key, and what makes them final).
    const std::uint64_t lo = index_of(tile.k0) >= 2 ? index_of(tile.k0) - 2 : 0;
    const std::uint64_t hi = std::min(frames.count - 1, index_of(tile.k1 - 1) + 4);
    std::vector<MotionFrame> window;
    window.reserve(static_cast<std::size_t>(hi - lo + 1));
    for (std::uint64_t j = lo; j <= hi; ++j) {
        if (j >= window_first_ && j - window_first_ < window_.size()) {
            window.push_back(window_[j - window_first_]);
        } else {
            window.push_back(window_cursor_.At(ParentEntry(settings_, last_motion_frame_, frames.Frame(j))));
        }
    }
    window_ = std::move(window);
    window_first_ = lo;
}

void CacheRows::StartTracks(unsigned worker, std::uint64_t begin, std::uint64_t end) {
    for (std::uint64_t i = begin; i < end; ++i) {
        const auto p = static_cast<std::uint32_t>(i);
        // Where the pass before left the slot shows only in the key at frame 0 of a non-linear
        // object whose pass starts later.
        const Particle record = passes_.LeftoverOf(leftover_ ? p : 0);
        readers_[worker]->Start(p, record, tracks_[p], *worker_samples_[worker]);
    }
}

void CacheRows::RunTile(const Tile& tile, unsigned char* out, unsigned worker, std::uint64_t begin,
                        std::uint64_t end) {
    TrackReader& reader = *readers_[worker];
    TileSamples& samples = *worker_samples_[worker];
    const std::uint64_t point_bytes = 12 * (vertices_.size() / 3);
    const std::uint64_t range = tile.p1 - tile.p0;
    for (std::uint64_t i = begin; i < end; ++i) {
        const auto p = static_cast<std::uint32_t>(tile.p0 + i);
        ParticleTrack& track = tracks_[p];
        for (std::int64_t k = tile.k0; k < tile.k1; ++k) {
            if (!reader.Advance(p, track, k, samples)) return;  // stopped
            unsigned char* at = out + (static_cast<std::uint64_t>(k - tile.k0) * range + i) * point_bytes;
            if (!PutPoints(format_, TrackReader::PoseAt(track, k), vertices_, radius_, at) &&
                track.bad_frame < 0) {
                track.bad_frame = static_cast<std::int32_t>(k);
            }
        }
    }
}

bool CacheRows::FindBad(std::uint32_t p0, std::uint32_t p1, CacheRun& run) const {
    for (std::uint32_t p = p0; p < p1; ++p) {
        if (tracks_[p].bad_frame >= 0) {
            run.end = CacheRun::End::NotFinite;
            run.object = p;
            run.frame = tracks_[p].bad_frame;
            return true;
        }
    }
    return false;
}

CacheRun CacheRows::Write(PassHook& hook, const WriteAt& write_at) {
    CacheRun run;
    if (particles_ == 0 || vertices_.empty()) return run;  // every row is empty

    // Progress in work done: a particle's start (a whole pass when it replays the pass before),
    // then one unit per particle and frame; told to the hook as the pass it amounts to, at the
    // start of every such pass, and polled in between. While the tracks start, the work finished
    // so far counts; after that whole tiles, so that the same settings stop at the same place.
    const double start_weight = leftover_ ? static_cast<double>(passes_.frames().count) : 1.0;
    const double total = start_weight * particles_ + static_cast<double>(samples_) * particles_;
    double done = 0;
    bool starting = true;
    std::uint32_t told = 0;
    const auto ask = [&](bool first) {
        const double now = done + (starting ? start_weight * static_cast<double>(pool_.finished()) : 0.0);
        const auto pass = static_cast<std::uint32_t>(
            std::min<double>(particles_ - 1, std::floor(now / total * particles_)));
        PassAction action = PassAction::Continue;
        if (first || pass > told) {
            told = pass;
            action = hook.OnPassStart(pass, particles_);
        }
        if (action == PassAction::Continue) action = hook.OnPassPoll(pass, particles_);
        if (action != PassAction::Continue && run.action == PassAction::Continue) run.action = action;
        return run.action != PassAction::Continue;
    };
    const auto poll = [&] { return ask(false); };
    // Ends the run when the work stopped or failed, or the hook said stop; true when it goes on.
    const auto waited = [&](WorkerPool::Outcome outcome) {
        if (outcome == WorkerPool::Outcome::Failed) run.end = CacheRun::End::Failed;
        if (outcome != WorkerPool::Outcome::Failed && run.action != PassAction::Continue) {
            run.end = CacheRun::End::Stopped;
        }
        return run.end == CacheRun::End::Complete;
    };
    if (ask(true)) {
        run.end = CacheRun::End::Stopped;
        return run;
    }
    const auto next = [&](Tile t) {
        t.p0 = t.p1;
        if (t.p0 == particles_) {
            t.p0 = 0;
            t.k0 = t.k1;
            t.k1 = std::min<std::int64_t>(t.k0 + chunk_frames_, static_cast<std::int64_t>(samples_));
        }
        t.p1 = t.p0 + std::min(range_particles_, particles_ - t.p0);
        return t;
    };
    const Tile first = next(Tile{-chunk_frames_, 0, 0, particles_});
    ReadWindow(first);
    pool_.Start(particles_, kBlock,
                [this](unsigned w, std::uint64_t b, std::uint64_t e) { StartTracks(w, b, e); });
    if (!waited(pool_.Wait(poll))) return run;
    done = start_weight * particles_;
    starting = false;

    // Writes a tile's rows, a frame's piece of the file at a time (whole tiles in one piece when
    // they hold whole rows), polling between pieces; a failure stops the work in flight.
    const std::uint64_t point_bytes = 12 * (vertices_.size() / 3);
    const std::uint64_t header =
        CacheLayout{format_, particles_ * (vertices_.size() / 3), samples_}.header_size();
    bool write_failed = false;
    const auto put = [&](const Tile& t, const unsigned char* bytes) {
        const std::uint64_t piece = (t.p1 - t.p0) * point_bytes;
        const std::int64_t frames = t.p1 - t.p0 == particles_ ? 1 : t.k1 - t.k0;
        const std::uint64_t size =
            t.p1 - t.p0 == particles_ ? piece * static_cast<std::uint64_t>(t.k1 - t.k0) : piece;
        for (std::int64_t f = 0; f < frames && !write_failed; ++f) {
            const std::uint64_t at =
                header + (static_cast<std::uint64_t>(t.k0 + f) * particles_ + t.p0) * point_bytes;
            for (std::uint64_t done_bytes = 0; done_bytes < size && !write_failed;
                 done_bytes += kWritePiece) {
                const std::uint64_t n = std::min<std::uint64_t>(kWritePiece, size - done_bytes);
                write_failed = !write_at(
                    at + done_bytes,
                    std::string_view(reinterpret_cast<const char*>(bytes) + f * size + done_bytes, n));
                if (!write_failed) poll();
            }
        }
        return !write_failed;
    };
    Tile previous{};
    std::uint64_t n = 0;  // tiles started; tile n fills buffer n % 2 while tile n - 1's is written
    for (Tile tile = first; tile.k0 < static_cast<std::int64_t>(samples_); tile = next(tile), ++n) {
        if (n > 0 && tile.k0 != previous.k0) ReadWindow(tile);
        unsigned char* out = buffers_[n % 2].data();
        pool_.Start(
            tile.p1 - tile.p0, kBlock,
            [this, tile, out](unsigned w, std::uint64_t b, std::uint64_t e) { RunTile(tile, out, w, b, e); });
        const bool written = n == 0 || put(previous, buffers_[(n + 1) % 2].data());
        const WorkerPool::Outcome outcome = pool_.Wait([&] { return !written || poll(); });
        if (!written) {
            run.end = CacheRun::End::WriteFailed;
            return run;
        }
        if (!waited(outcome) || FindBad(tile.p0, tile.p1, run)) return run;
        done += static_cast<double>(tile.k1 - tile.k0) * (tile.p1 - tile.p0);
        previous = tile;
    }
    if (!put(previous, buffers_[(n + 1) % 2].data())) run.end = CacheRun::End::WriteFailed;
    if (run.end == CacheRun::End::Complete && run.action != PassAction::Continue)
        run.end = CacheRun::End::Stopped;
    return run;
}

CacheColumns::CacheColumns(const Mesh& mesh, const CacheLayout& layout, std::uint32_t particles)
    : vertices_(Widened(mesh)),
      radius_(RadiusOf(vertices_)),
      layout_(layout),
      particles_(particles),
      column_(12 * (vertices_.size() / 3), '\0') {}

bool CacheColumns::Write(std::uint32_t p, BinaryFile& keys, std::uint64_t count,
                         const std::function<bool(std::uint64_t, std::string_view)>& write_at,
                         std::int32_t& bad_frame, bool& unread) {
    // The keys around the frame: the one at or before it and the next two, read as the frames pass.
    SpooledKeyReader reader(keys, count);
    const auto read = [&](TrackKey& track) {
        SceneKey key;
        if (!reader.Next(key)) return false;
        MakeTrackKey(key.value, key.frame, track);  // the block's keys were checked as made
        return true;
    };
    TrackKey before{0, {}, {0, 0, 0, 1}, {}}, ahead[2];
    std::size_t pending = 0;
    // Never so, but held: without a key at frame 0 (or before), the particle rests there.
    if (read(ahead[0])) {
        if (ahead[0].frame > 0) {
            pending = 1;
        } else {
            before = ahead[0];
        }
    }
    const auto fill = [&] {
        while (pending < 2 && read(ahead[pending])) ++pending;
    };
    fill();
    for (std::uint64_t k = 0; k < layout_.samples; ++k) {
        while (pending > 0 && ahead[0].frame <= static_cast<std::int64_t>(k)) {
            before = ahead[0];
            ahead[0] = ahead[1];
            --pending;
            fill();
        }
        const TrackKey* b = pending > 0 ? &ahead[0] : nullptr;
        const TrackKey* after = pending > 1 ? &ahead[1] : nullptr;
        const Pose pose = PoseBetween(before, b, after, static_cast<std::int64_t>(k));
        auto* out = reinterpret_cast<unsigned char*>(column_.data());
        if (!PutPoints(layout_.format, pose, vertices_, radius_, out) && bad_frame < 0)
            bad_frame = static_cast<std::int32_t>(k);
        const std::uint64_t offset = layout_.header_size() + (k * particles_ + p) * column_.size();
        if (!write_at(offset, column_)) return false;
    }
    unread = reader.failed();
    return !unread;
}

}  // namespace vexo
