// A point cache is frame-major, while the scheduled path makes particles one slot at a time. Every
// particle keeps a track (its record, where its replay stands and the keys around the current
// frame: a few hundred bytes). The frames are taken in chunks; each chunk's frames of a range
// of particles (a tile) are computed on all cores into one of two fixed buffers while the other
// is written, and the tiles are sized so that the rows reach the file in order. Memory is the
// tracks and the buffers, whatever the particle and frame counts. The parent's motion samples of
// a chunk are read once and shared by every particle.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/generation/particle_track.hpp"
#include "engine/generation/worker_pool.hpp"
#include "engine/reporting.hpp"
#include "engine/writers/object_mesh.hpp"
#include "engine/writers/point_cache.hpp"

namespace vexo {

// How a cache's rows came out.
struct CacheRun {
    enum class End { Complete, Stopped, NotFinite, WriteFailed, Failed } end = End::Complete;
    PassAction action = PassAction::Continue;  // Stopped: the hook's answer (Abort or Break)
    std::uint32_t object = 0;                  // NotFinite: the first particle with such a value
    std::int32_t frame = 0;                    // and its frame
};

// Writes the rows of every sample, sample 0 first, each row every particle's copy of the mesh
// in particle order.
class CacheRows {
  public:
    // Takes memory for every particle's track (throws std::bad_alloc). `buffer_bytes` is the size
    // of each of the two buffers. With `in_order` the rows are written in file order (for a target
    // that cannot take positioned writes, such as a pipe); else each tile's frames where they go.
    CacheRows(const ScheduledPasses& passes, const MotionTable& table, const Settings& settings,
              std::int32_t last_motion_frame, double fps, const Mesh& mesh, SceneFormat format,
              unsigned threads, std::size_t buffer_bytes, bool in_order);
    ~CacheRows();

    // Puts the bytes at a file offset (after the header); false when the write failed.
    using WriteAt = std::function<bool(std::uint64_t offset, std::string_view bytes)>;
    // Hands the rows to `write_at`, asking `hook` about progress and stops.
    CacheRun Write(PassHook& hook, const WriteAt& write_at);

    static constexpr std::size_t kBufferBytes = std::size_t{16} << 20;

  private:
    // The parent's samples of the current chunk, read once; others from a cursor of the worker's.
    class TileSamples;
    struct Tile {
        std::int64_t k0, k1;   // frames
        std::uint32_t p0, p1;  // particles
    };

    void StartTracks(unsigned worker, std::uint64_t begin, std::uint64_t end);
    void RunTile(const Tile& tile, unsigned char* out, unsigned worker, std::uint64_t begin,
                 std::uint64_t end);
    void ReadWindow(const Tile& tile);
    std::vector<Tile> TilesOfChunk(std::int64_t k0) const;
    // The first track in [p0, p1) holding a value a cache cannot hold.
    bool FindBad(std::uint32_t p0, std::uint32_t p1, CacheRun& run) const;

    const ScheduledPasses& passes_;
    const MotionTable& table_;
    const Settings& settings_;
    std::int32_t last_motion_frame_;
    SceneFormat format_;
    std::vector<double> vertices_;  // the mesh's points, glTF axes
    double radius_;                 // their largest distance from the origin
    std::uint64_t samples_;
    std::uint32_t particles_;
    std::int64_t chunk_frames_;      // frames of a tile
    std::uint32_t range_particles_;  // particles of a tile
    bool leftover_;                  // the frame-0 key needs where the pass before left the slot

    std::vector<ParticleTrack> tracks_;
    std::vector<unsigned char> buffers_[2];
    WorkerPool pool_;
    std::vector<std::unique_ptr<TileSamples>> worker_samples_;
    std::vector<std::unique_ptr<TrackReader>> readers_;
    // The chunk's samples: pass frames window_first_ .. + window_.size() - 1.
    std::vector<MotionFrame> window_;
    std::uint64_t window_first_ = 0;
    MotionCursor window_cursor_;
};

// The reference path's cache: each particle's keys, as they come in particle order, are evaluated
// at every frame and put in place with positioned writes.
class CacheColumns {
  public:
    CacheColumns(const Mesh& mesh, const CacheLayout& layout, std::uint32_t particles);
    // Writes particle p's copy at every sample through `write_at(offset, bytes)`; false when a
    // write failed. `bad_frame` gets the first sample whose points a cache cannot hold, if any.
    // `keys` is a block's spool of rising keys (BlockForm::RisingKeys), read once, in order;
    // `unread` is set when it could not be read.
    bool Write(std::uint32_t p, BinaryFile& keys, std::uint64_t count,
               const std::function<bool(std::uint64_t, std::string_view)>& write_at, std::int32_t& bad_frame,
               bool& unread);

  private:
    std::vector<double> vertices_;
    double radius_;
    CacheLayout layout_;
    std::uint32_t particles_;
    std::string column_;
};

}  // namespace vexo
