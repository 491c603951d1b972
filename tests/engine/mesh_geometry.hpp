// Geometry the mesh tests check against, computed apart from the engine: the test meshes read
// from their OBJ text, the pose as a matrix, points taken back into a mesh's own axes, and on
// which face a point lies.
#pragma once

#include <array>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/simulation/triangle_mesh.hpp"
#include "engine/simulation/vector3.hpp"
#include "engine/writers/object_mesh.hpp"
#include "tests/support/test_support.hpp"

namespace vexo::testing {

using Matrix3 = std::array<std::array<double, 3>, 3>;

// A test mesh in LightWave's axes: the OBJ's z negated, faces fanned from their first corner,
// each with its outward normal (the file's faces turn counter-clockwise seen from outside).
struct ObjFaces {
    std::vector<std::array<Vector3, 3>> faces;
    std::vector<Vector3> points;
};

// A mesh file read and made into triangles, both without a complaint.
inline TriangleMesh LoadMesh(const std::filesystem::path& path) {
    Mesh read;
    std::string reason;
    EXPECT_EQ(ReadMeshTriangles(path.string(), read, reason), MeshFileRead::Read) << reason;
    TriangleMesh mesh;
    EXPECT_EQ(MakeTriangleMesh(read, mesh), MeshProblem::None);
    return mesh;
}

inline ObjFaces ReadObj(const std::string& name) {
    std::ifstream in(DataDir() / name);
    ObjFaces obj;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        double x, y, z;
        if (kind == "v" && words >> x >> y >> z) obj.points.push_back({x, y, -z});
        if (kind == "f") {
            std::vector<Vector3> corner;
            for (int i; words >> i;) corner.push_back(obj.points[static_cast<std::size_t>(i - 1)]);
            // Mirroring z turns the winding: fanned the other way round, fronts stay outside.
            for (std::size_t k = 1; k + 1 < corner.size(); ++k)
                obj.faces.push_back({corner[0], corner[k + 1], corner[k]});
        }
    }
    return obj;
}

inline Vector3 OutwardNormal(const std::array<Vector3, 3>& f) {
    return Unit(Cross(f[1] - f[0], f[2] - f[0]));
}
inline double Area(const std::array<Vector3, 3>& f) {
    return Length(Cross(f[1] - f[0], f[2] - f[0])) / 2;
}

inline Matrix3 Multiply(const Matrix3& a, const Matrix3& b) {
    Matrix3 m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) m[i][j] += a[i][k] * b[k][j];
    return m;
}
inline Vector3 Apply(const Matrix3& m, const Vector3& v) {
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

// The pose's linear part: Ry(heading) Rx(pitch) Rz(bank) diag(sizes), the usual rotation
// matrices (Ry turns +z towards +x, Rx turns +z towards -y).
inline Matrix3 PoseMatrix(double heading, double pitch, double bank, const Vector3& size) {
    const double r = 3.14159265358979323846 / 180;
    const double h = heading * r, p = pitch * r, b = bank * r;
    const Matrix3 ry{{{std::cos(h), 0, std::sin(h)}, {0, 1, 0}, {-std::sin(h), 0, std::cos(h)}}};
    const Matrix3 rx{{{1, 0, 0}, {0, std::cos(p), -std::sin(p)}, {0, std::sin(p), std::cos(p)}}};
    const Matrix3 rz{{{std::cos(b), -std::sin(b), 0}, {std::sin(b), std::cos(b), 0}, {0, 0, 1}}};
    const Matrix3 s{{{size.x, 0, 0}, {0, size.y, 0}, {0, 0, size.z}}};
    return Multiply(Multiply(Multiply(ry, rx), rz), s);
}

// Solves m x = v by Cramer's rule.
inline Vector3 Solve(const Matrix3& m, const Vector3& v) {
    const Vector3 c0{m[0][0], m[1][0], m[2][0]}, c1{m[0][1], m[1][1], m[2][1]}, c2{m[0][2], m[1][2], m[2][2]};
    const double det = Dot(c0, Cross(c1, c2));
    return {Dot(v, Cross(c1, c2)) / det, Dot(c0, Cross(v, c2)) / det, Dot(c0, Cross(c1, v)) / det};
}

// The face `p` lies on (within `tolerance` of its plane and inside its edges), or -1.
inline int FaceOf(const ObjFaces& obj, const Vector3& p, double tolerance) {
    for (std::size_t i = 0; i < obj.faces.size(); ++i) {
        const auto& f = obj.faces[i];
        const Vector3 n = Cross(f[1] - f[0], f[2] - f[0]);
        if (std::fabs(Dot(p - f[0], Unit(n))) > tolerance) continue;
        bool inside = true;
        for (int e = 0; e < 3; ++e) {
            const Vector3 edge = f[(e + 1) % 3] - f[e];
            inside = inside && Dot(Cross(edge, p - f[e]), n) >= -tolerance * Length(n);
        }
        if (inside) return static_cast<int>(i);
    }
    return -1;
}

// At most five standard deviations from n p: a count of n draws with probability p.
inline bool Binomial(double count, double n, double p) {
    return std::fabs(count - n * p) <= 5 * std::sqrt(n * p * (1 - p)) + 1;
}

}  // namespace vexo::testing
