// Where the emitter mesh stands at an emission: the parent's position, its LightWave rotation
// (heading about y, pitch about x, bank about z, applied bank first) and its size channels.
#pragma once

#include "engine/simulation/vector3.hpp"

namespace vexo {

struct EmitterPose {
    Vector3 position;
    double heading = 0, pitch = 0, bank = 0;  // degrees
    Vector3 scale{1, 1, 1};

    // A point of the mesh in the scene: scaled, rotated (Ry(heading) Rx(pitch) Rz(bank), the
    // rotation LightWave and the glTF writer give the parent), then moved.
    Vector3 Place(const Vector3& local) const;
    // A face or vertex normal in the scene, of length 1: turned as the faces are when the size
    // channels stretch them (mirrored sizes keep the front), then rotated. A size of 0 flattens
    // the mesh; the unscaled normal is rotated then.
    Vector3 Turn(const Vector3& local_normal) const;
    // The rotation alone.
    Vector3 Rotate(const Vector3& v) const;
};

}  // namespace vexo
