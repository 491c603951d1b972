#include "engine/writers/cache_object.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <vector>

namespace vexo {
namespace {

constexpr std::size_t kPieceSize = 1 << 18;

// Collects text or bytes and hands them on in pieces of about kPieceSize.
class Pieces {
  public:
    explicit Pieces(const PieceWriter& write) : write_(write) { out_.reserve(kPieceSize + 4096); }
    std::string& out() { return out_; }
    bool Flush(bool all = false) {
        if (!ok_ || (!all && out_.size() < kPieceSize)) return ok_;
        ok_ = write_(out_);
        out_.clear();
        return ok_;
    }

  private:
    const PieceWriter& write_;
    std::string out_;
    bool ok_ = true;
};

void AppendNumber(std::string& out, auto value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// LWO numbers are big-endian.
void PutU2(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}
void PutU4(std::string& out, std::uint32_t value) {
    PutU2(out, value >> 16);
    PutU2(out, value & 0xFFFF);
}
void PutF4(std::string& out, float value) {
    PutU4(out, std::bit_cast<std::uint32_t>(value));
}
// A variable-length index: two bytes below 0xFF00, else four with the top byte 0xFF.
void PutVx(std::string& out, std::uint64_t index) {
    if (index < 0xFF00) {
        PutU2(out, static_cast<std::uint32_t>(index));
    } else {
        PutU4(out, 0xFF000000u | static_cast<std::uint32_t>(index));
    }
}
std::uint64_t VxSize(std::uint64_t index) {
    return index < 0xFF00 ? 2 : 4;
}
void PutChunk(std::string& out, const char* id, std::uint64_t size) {
    out.append(id, 4);
    PutU4(out, static_cast<std::uint32_t>(size));
}

constexpr std::string_view kSurface("Default\0", 8);  // a NUL-terminated name of even length
constexpr std::uint64_t kLayrSize = 2 + 2 + 12 + 2;   // number, flags, pivot, empty name
constexpr std::uint64_t kSurfSize = 8 + 2 + 6 + 14;   // name, empty source, COLR subchunk
constexpr float kGrey = 200.0f / 255.0f;

struct LwoSizes {
    std::uint64_t pnts, pols, ptag, form;
};

// Bytes of the index lists of `copies` copies: a corner's index takes 2 or 4 bytes by its value.
LwoSizes SizesOf(const Mesh& mesh, std::uint64_t copies) {
    const std::uint64_t vertices = mesh.positions.size() / 3, faces = mesh.face_count();
    std::vector<std::uint64_t> corners(vertices, 0);  // how many corners name each vertex
    for (const std::uint32_t i : mesh.indices) ++corners[i];
    LwoSizes s{};
    s.pnts = 12 * vertices * copies;
    s.pols = 4 + 2 * faces * copies;  // type, then a vertex count per polygon
    s.ptag = 4 + 2 * faces * copies;  // type, then a tag per polygon
    for (std::uint64_t c = 0; c < copies; ++c) {
        const std::uint64_t base = c * vertices;
        if (base + vertices <= 0xFF00) {
            s.pols += 2 * mesh.indices.size();
        } else if (base >= 0xFF00) {
            s.pols += 4 * mesh.indices.size();
        } else {
            for (std::uint64_t v = 0; v < vertices; ++v) s.pols += corners[v] * VxSize(base + v);
        }
    }
    const std::uint64_t polygons = faces * copies;
    s.ptag += 2 * std::min<std::uint64_t>(polygons, 0xFF00) +
              4 * (polygons - std::min<std::uint64_t>(polygons, 0xFF00));
    s.form = 4 + (8 + kSurface.size()) + (8 + kLayrSize) + (8 + s.pnts) + (8 + 24) + (8 + s.pols) +
             (8 + s.ptag) + (8 + kSurfSize);
    return s;
}

}  // namespace

bool WriteObjCopies(const Mesh& mesh, std::uint64_t copies, std::string_view cache_name,
                    const PieceWriter& write) {
    Pieces pieces(write);
    std::string& out = pieces.out();
    const std::uint64_t vertices = mesh.positions.size() / 3;
    out += "# Vexo 1.1: ";
    AppendNumber(out, copies);
    out += " copies of the particle object, one per particle, ";
    AppendNumber(out, vertices);
    out += " points each.\n# ";
    out += cache_name;
    out += " moves them: its sample k is scene frame k.\n";
    // Every copy's points are the same text.
    std::string points;
    for (std::size_t i = 0; i < mesh.positions.size(); i += 3) {
        points += 'v';
        for (std::size_t c = 0; c < 3; ++c) {
            points += ' ';
            AppendNumber(points, mesh.positions[i + c]);
        }
        points += '\n';
    }
    for (std::uint64_t c = 0; c < copies; ++c) {
        out += points;
        if (!pieces.Flush()) return false;
    }
    const std::size_t faces = mesh.face_count();
    for (std::uint64_t c = 0; c < copies; ++c) {
        const std::uint64_t base = c * vertices + 1;
        for (std::size_t f = 0, i = 0; f < faces; ++f) {
            out += 'f';
            for (const std::size_t end = i + mesh.face_size(f); i < end; ++i) {
                out += ' ';
                AppendNumber(out, base + mesh.indices[i]);
            }
            out += '\n';
        }
        if (!pieces.Flush()) return false;
    }
    return pieces.Flush(true);
}

std::uint64_t LwoCopiesSize(const Mesh& mesh, std::uint64_t copies) {
    return 8 + SizesOf(mesh, copies).form;
}

bool WriteLwoCopies(const Mesh& mesh, std::uint64_t copies, const PieceWriter& write) {
    const LwoSizes sizes = SizesOf(mesh, copies);
    const std::uint64_t vertices = mesh.positions.size() / 3;
    Pieces pieces(write);
    std::string& out = pieces.out();
    PutChunk(out, "FORM", sizes.form);
    out += "LWO2";
    PutChunk(out, "TAGS", kSurface.size());
    out += kSurface;
    PutChunk(out, "LAYR", kLayrSize);
    out.append(kLayrSize, '\0');

    // LightWave's axes: z mirrored.
    std::array<float, 3> lo{}, hi{};
    std::string points;
    for (std::size_t i = 0; i < mesh.positions.size(); i += 3) {
        const std::array<float, 3> p{mesh.positions[i], mesh.positions[i + 1], -mesh.positions[i + 2]};
        for (std::size_t c = 0; c < 3; ++c) {
            lo[c] = i == 0 ? p[c] : std::min(lo[c], p[c]);
            hi[c] = i == 0 ? p[c] : std::max(hi[c], p[c]);
            PutF4(points, p[c]);
        }
    }
    PutChunk(out, "PNTS", sizes.pnts);
    for (std::uint64_t c = 0; c < copies; ++c) {
        out += points;
        if (!pieces.Flush()) return false;
    }
    PutChunk(out, "BBOX", 24);
    for (const float v : lo) PutF4(out, v);
    for (const float v : hi) PutF4(out, v);

    // Each face the other way round, from its first corner: the reader, which mirrors z, also
    // reverses every polygon of a LightWave object (a test reads this one back into the mesh it
    // was made from).
    PutChunk(out, "POLS", sizes.pols);
    out += "FACE";
    const std::size_t faces = mesh.face_count();
    for (std::uint64_t c = 0; c < copies; ++c) {
        const std::uint64_t base = c * vertices;
        for (std::size_t f = 0, first = 0; f < faces; ++f) {
            const std::uint32_t size = mesh.face_size(f);
            PutU2(out, size);
            PutVx(out, base + mesh.indices[first]);
            for (std::size_t k = size - 1; k > 0; --k) PutVx(out, base + mesh.indices[first + k]);
            first += size;
        }
        if (!pieces.Flush()) return false;
    }
    PutChunk(out, "PTAG", sizes.ptag);
    out += "SURF";
    const std::uint64_t polygons = faces * copies;
    for (std::uint64_t n = 0; n < polygons; ++n) {
        PutVx(out, n);
        PutU2(out, 0);
        if (!pieces.Flush()) return false;
    }
    PutChunk(out, "SURF", kSurfSize);
    out += kSurface;
    out.append(2, '\0');  // no source surface
    out += "COLR";
    PutU2(out, 14);
    for (int c = 0; c < 3; ++c) PutF4(out, kGrey);
    PutU2(out, 0);  // no envelope
    return pieces.Flush(true);
}

}  // namespace vexo
