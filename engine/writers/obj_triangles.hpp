// A fast reader for the plainest OBJ files: vertices and triangles, one object. A mesh of a
// million triangles reads in a fraction of the time the Open Asset Import Library takes, with
// the same triangles and points in the same order; any file it does not know for certain is
// left to the library.
#pragma once

#include <string_view>

#include "engine/writers/object_mesh.hpp"

namespace vexo {

// The triangles of `text`, their vertices in the order the library lists them (it makes one per
// face corner; the repeats of a vertex are left out here), or false when the text holds anything
// but comments, "v" (three coordinates, or three and a colour), "vt", "vn", "vp", "s", "mtllib",
// one "o" or "g" and one "usemtl" before the first face, and faces of three corners.
bool ReadObjTriangles(std::string_view text, Mesh& mesh);

}  // namespace vexo
