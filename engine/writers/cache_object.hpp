// The object a point cache deforms: one mesh holding a copy of the particle object for every
// particle, in particle order, each copy where the particle object itself lies (the cache moves
// them). As a Wavefront OBJ in glTF's axes, or as a LightWave object (LWO2) in LightWave's axes.
// Written in pieces through a callback, so the object costs no memory however many copies it
// holds. Knows nothing of files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/writers/object_mesh.hpp"

namespace vexo {

// Takes the next piece of the file; false when it could not be written (the writer then stops).
using PieceWriter = std::function<bool(std::string_view piece)>;

// OBJ: a comment naming the cache, every copy's points ("v x y z") and faces ("f a b c ...",
// counted from 1, counter-clockwise seen from outside).
bool WriteObjCopies(const Mesh& mesh, std::uint64_t copies, std::string_view cache_name,
                    const PieceWriter& write);

// LWO2: one layer, the points (z mirrored), a bounding box, the faces (their points in the order
// LightWave lists them, the reverse of the mesh's) and one surface, "Default". A face has at most
// kMaxPolygonCorners corners.
bool WriteLwoCopies(const Mesh& mesh, std::uint64_t copies, const PieceWriter& write);
// The size of that file in bytes (index widths vary, so this is counted, not multiplied).
std::uint64_t LwoCopiesSize(const Mesh& mesh, std::uint64_t copies);

}  // namespace vexo
