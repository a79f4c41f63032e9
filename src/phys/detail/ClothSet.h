#pragma once

#include "phys/MathTypes.h"

#include <BulletSoftBody/btSoftBody.h>

#include <cstdint>
#include <utility>
#include <vector>

// The cloths of one scene. Each is a Bullet soft body of its own (not in the dynamics world:
// it collides with nothing), stepped on the worker after the rigid step. simulate() carries
// the caller's changes to the soft bodies, fetchResults() copies the particles back.

namespace phys {
class Cloth;
}

namespace phys::detail {

class SceneCore;

// The bending pairs of a fabric: every two particles two links apart and not linked, each
// pair (far, near) with near < far, ordered by near and then far (the order Bullet's own
// generator appends them in). Built from neighbour lists: space and time grow with the links
// and the pairs, never with the square of the particle count.
std::vector<std::pair<int, int>> clothBendingPairs(int particleCount, const std::vector<uint32_t>& edges);

struct ClothBack {
    ClothBack() = default;
    ClothBack(const ClothBack&) = delete;
    ClothBack& operator=(const ClothBack&) = delete;
    ~ClothBack() { delete body; }

    btSoftBodyWorldInfo info; // per cloth, so each has its own acceleration
    btSoftBody* body = nullptr;
    Transform pose;           // the frame the soft body's particles were placed in
    bool inScene = false;
};

class ClothSet {
public:
    explicit ClothSet(SceneCore& core);
    ~ClothSet();

    void add(Cloth& cloth);
    void release(Cloth& cloth);

    // simulate: free released cloths, carry every change to the soft bodies.
    void push(float dt);
    // Worker.
    void step(float dt);
    // fetchResults: particles back into the cloths the caller did not write meanwhile.
    void pull();
    // Scene teardown: every cloth goes.
    void clear();

    uint32_t size() const { return static_cast<uint32_t>(cloths.size()); }

private:
    void build(Cloth& cloth);
    void apply(Cloth& cloth, float dt);

    SceneCore& core;
    std::vector<Cloth*> cloths;
    std::vector<Cloth*> released; // freed at the next simulate
    std::vector<btSoftBody*> stepping; // what the worker steps, fixed at simulate
};

} // namespace phys::detail
