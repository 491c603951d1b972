// What a particle looks like in a picture: the outline of the particle object seen from a view,
// read once with the engine's mesh reader, or a square when the object cannot be read.
// Outlines are cached per view and rotation; drawing never reads a file.
#pragma once

#include <QPolygonF>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vexo::preview {

using Axis = std::array<double, 3>;

class ParticleShape {
public:
    // The object's outline, or a square when `object_path` cannot be read.
    static ParticleShape FromObject(const std::string& object_path);
    static ParticleShape Square();

    bool is_object() const { return !triangles_.empty(); }

    // The outline of the object at size 1 with the rotation (heading, pitch, bank in degrees),
    // seen along a view whose screen axes are `right` and `up` (world directions): points in
    // object units, x to the right and y downwards. A square of edge 1 without an object.
    // `view` names the view for the cache. The outline stays valid until the next call.
    const QPolygonF& Outline(int view, const Axis& right, const Axis& up, const Axis& rotation);

    // Half the largest extent of the object at size 1, in object units.
    double radius() const { return radius_; }

private:
    std::vector<Axis> vertices_;  // LightWave axes
    std::vector<std::array<std::uint32_t, 3>> triangles_;
    double radius_ = 0.5;
    std::unordered_map<std::uint64_t, QPolygonF> cache_;
    QPolygonF square_;
};

// A LightWave rotation applied to a point: bank about z, then pitch about x, then heading about y.
Axis Rotate(const Axis& p, const Axis& rotation_degrees);

}  // namespace vexo::preview
