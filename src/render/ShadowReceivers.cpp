#include "render/ShadowReceivers.h"

#include "render/DrawnBounds.h"
#include "render/EffectHandler.h"
#include "render/MeshShape.h"
#include "render/ShadowMapCache.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"

#include "core/Globals.h"
#include "level/DrawnTriangles.h"

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

// A half-space: the points p with normal . p <= offset.
struct HalfSpace {
    core::vector3df normal;
    f32 offset;
    f32 distance(const core::vector3df& p) const { return normal.dotProduct(p) - offset; }
};

// The half-spaces bounding the volume a box sweeps along `away` (the box and everything
// behind it): its faces that do not face along `away`, and the planes through its outline
// edges (between such a face and one that does) that run along `away`.
int sweptBoxHalfSpaces(const core::aabbox3df& box, const core::vector3df& away, HalfSpace out[19]) {
    int count = 0;
    const f32 towards[3] = {away.X, away.Y, away.Z};
    // Face (axis, side): outward normal along +axis (side 1) or -axis (side 0).
    auto faceNormal = [](int axis, int side) {
        core::vector3df n(0, 0, 0);
        (axis == 0 ? n.X : axis == 1 ? n.Y : n.Z) = side ? 1.0f : -1.0f;
        return n;
    };
    auto coordinate = [&box](int axis, int side) {
        const core::vector3df& corner = side ? box.MaxEdge : box.MinEdge;
        return axis == 0 ? corner.X : axis == 1 ? corner.Y : corner.Z;
    };
    auto keeps = [&](int axis, int side) { return (side ? towards[axis] : -towards[axis]) <= 0.0f; };
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side < 2; ++side)
            if (keeps(axis, side))
                out[count++] = HalfSpace{faceNormal(axis, side), side ? coordinate(axis, 1) : -coordinate(axis, 0)};
    for (int a = 0; a < 3; ++a)
        for (int b = a + 1; b < 3; ++b)
            for (int sideA = 0; sideA < 2; ++sideA)
                for (int sideB = 0; sideB < 2; ++sideB) {
                    if (keeps(a, sideA) == keeps(b, sideB))
                        continue;
                    const int along = 3 - a - b;
                    const core::vector3df edge = faceNormal(along, 1);
                    core::vector3df normal = edge.crossProduct(away);
                    if (normal.getLengthSQ() <= 1e-12f)
                        continue;
                    normal.normalize();
                    if (normal.dotProduct(faceNormal(a, sideA) + faceNormal(b, sideB)) < 0.0f)
                        normal = -normal;
                    core::vector3df onEdge = box.MinEdge;
                    (a == 0 ? onEdge.X : a == 1 ? onEdge.Y : onEdge.Z) = coordinate(a, sideA);
                    (b == 0 ? onEdge.X : b == 1 ? onEdge.Y : onEdge.Z) = coordinate(b, sideB);
                    out[count++] = HalfSpace{normal, normal.dotProduct(onEdge)};
                }
    return count;
}

// A convex polygon of at most 4 + 18 corners: a box face clipped by a swept box's planes.
struct Polygon {
    core::vector3df corners[24];
    int count = 0;
};

// Clips the polygon by the half-space, a little beyond it so that touching counts.
void clipPolygon(const Polygon& in, Polygon& out, const HalfSpace& half, f32 slack) {
    out.count = 0;
    for (int i = 0; i < in.count; ++i) {
        const core::vector3df& a = in.corners[i];
        const core::vector3df& b = in.corners[(i + 1) % in.count];
        const f32 da = half.distance(a) - slack, db = half.distance(b) - slack;
        if (da <= 0.0f)
            out.corners[out.count++] = a;
        if ((da <= 0.0f) != (db <= 0.0f))
            out.corners[out.count++] = a + (b - a) * (da / (da - db));
    }
}

// The clip-space w (the view depth, for a perspective camera) of each corner of the box.
void viewDepths(const core::aabbox3df& box, const core::matrix4& viewProjection, f32& nearest, f32& farthest) {
    core::vector3df corners[8];
    box.getEdges(corners);
    nearest = 3.4e38f;
    farthest = -3.4e38f;
    for (const core::vector3df& corner : corners) {
        f32 clip[4];
        viewProjection.transformVect(clip, corner);
        nearest = core::min_(nearest, clip[3]);
        farthest = core::max_(farthest, clip[3]);
    }
}

} // namespace

namespace {

// Appends the part of each face of the box inside every half-space (a little beyond them, so
// that touching counts); with `firstOnly`, only the first such part. With `light` (the
// direction away from it) the faces turned to the light come first: a shadow enters a box
// through them, so that the first part is mostly found on the first face.
void clipBoxFaces(const core::aabbox3df& box, const HalfSpace* halves, int count, f32 slack,
                  std::vector<core::vector3df>& points, bool firstOnly = false,
                  const core::vector3df* light = nullptr) {
    core::vector3df corners[8];
    box.getEdges(corners);
    // getEdges numbers the corners by their bits: x (4), y (1), z (2) set for the far side:
    // the faces -x, +x, -z, +z, -y, +y.
    static const int faces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    int order[6] = {0, 1, 2, 3, 4, 5};
    if (light && firstOnly) {
        // How far each face's outward normal points along the light: least first.
        // An insertion sort, stable and without the heap buffer std::stable_sort takes at
        // every call (this runs for every pair a pass tries).
        const f32 along[6] = {-light->X, light->X, -light->Z, light->Z, -light->Y, light->Y};
        for (int i = 1; i < 6; ++i) {
            const int face = order[i];
            int j = i;
            for (; j > 0 && along[face] < along[order[j - 1]]; --j)
                order[j] = order[j - 1];
            order[j] = face;
        }
    }
    Polygon buffers[2];
    for (const int index : order) {
        const int* face = faces[index];
        Polygon* polygon = &buffers[0];
        Polygon* clipped = &buffers[1];
        polygon->count = 4;
        for (int i = 0; i < 4; ++i)
            polygon->corners[i] = corners[face[i]];
        for (int i = 0; i < count && polygon->count > 0; ++i) {
            clipPolygon(*polygon, *clipped, halves[i], slack);
            std::swap(polygon, clipped);
        }
        points.insert(points.end(), polygon->corners, polygon->corners + polygon->count);
        if (firstOnly && polygon->count > 0)
            return;
    }
}

// Whether the box lies wholly beyond one of the half-spaces (by more than `slack`): then no
// part of it is inside them all, and nothing need be clipped.
bool boxBeyondAny(const core::aabbox3df& box, const HalfSpace* halves, int count, f32 slack) {
    const core::vector3df centre = box.getCenter();
    const core::vector3df half = box.getExtent() * 0.5f;
    for (int i = 0; i < count; ++i) {
        const core::vector3df& n = halves[i].normal;
        const f32 reach = std::fabs(n.X) * half.X + std::fabs(n.Y) * half.Y + std::fabs(n.Z) * half.Z;
        if (halves[i].distance(centre) - reach > slack)
            return true;
    }
    return false;
}

// The half-space in front of a plane (where normal . p + d >= 0).
HalfSpace frontOf(const core::plane3df& plane) { return HalfSpace{-plane.Normal, plane.D}; }

} // namespace

bool ShadowReceivers::sweptBoxMeets(const core::aabbox3df& caster, const core::vector3df& away, f32 across,
                                    bool beyondCaster, const core::aabbox3df& receiver,
                                    std::vector<core::vector3df>& points, const core::plane3df* inFront,
                                    bool firstOnly) {
    HalfSpace halves[21];
    int count = sweptBoxHalfSpaces(caster, away, halves);
    // Grown across the light: each plane moves out by `across` times its slant to the light.
    for (int i = 0; i < count; ++i) {
        const core::vector3df slant = halves[i].normal - away * halves[i].normal.dotProduct(away);
        halves[i].offset += across * slant.getLength();
    }
    if (inFront)
        halves[count++] = frontOf(*inFront);
    const f32 slack = 1e-4f * (caster.getExtent().getLength() + receiver.getExtent().getLength());
    const std::size_t before = points.size();
    if (boxBeyondAny(receiver, halves, count, slack))
        return false;
    if (!beyondCaster) {
        clipBoxFaces(receiver, halves, count, slack, points, firstOnly, &away);
        if (firstOnly && points.size() > before)
            return true;
        // The caster's own corners inside the receiver (where the volume begins within it).
        core::vector3df casterCorners[8];
        caster.getEdges(casterCorners);
        core::aabbox3df grown = receiver;
        grown.MinEdge -= core::vector3df(slack);
        grown.MaxEdge += core::vector3df(slack);
        for (const core::vector3df& corner : casterCorners)
            if (grown.isPointInside(corner) && (!inFront || frontOf(*inFront).distance(corner) <= 0.0f))
                points.push_back(corner);
        return points.size() > before;
    }
    // Only beyond the caster's box: beyond each face the light leaves it by, in turn.
    const f32 towards[3] = {away.X, away.Y, away.Z};
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side < 2; ++side) {
            if ((side ? towards[axis] : -towards[axis]) <= 0.0f)
                continue;
            core::vector3df normal(0, 0, 0);
            (axis == 0 ? normal.X : axis == 1 ? normal.Y : normal.Z) = side ? -1.0f : 1.0f;
            const core::vector3df& edge = side ? caster.MaxEdge : caster.MinEdge;
            const f32 at = axis == 0 ? edge.X : axis == 1 ? edge.Y : edge.Z;
            halves[count] = HalfSpace{normal, side ? -at : at};
            if (boxBeyondAny(receiver, halves + count, 1, slack))
                continue;
            clipBoxFaces(receiver, halves, count + 1, slack, points, firstOnly, &away);
            if (firstOnly && points.size() > before)
                return true;
        }
    return points.size() > before;
}

ShadowReceivers::ShadowReceivers(std::size_t mostCellsAcross)
    : mostCellsAcross(mostCellsAcross), viewAnswers(keptViews) {
    for (ViewAnswer& view : viewAnswers)
        view.pieces.reserve(mostPieces);
}

ShadowReceivers::Placed ShadowReceivers::place(scene::ISceneNode* node, const core::aabbox3df& box, bool closedConvex,
                                               bool alone) const {
    Placed placed;
    placed.node = node;
    placed.box = box;
    placed.closedConvex = closedConvex;
    placed.alone = alone;
    core::vector3df corners[8];
    box.getEdges(corners);
    for (int axis = 0; axis < 2; ++axis) {
        placed.low[axis] = 3.4e38f;
        placed.high[axis] = -3.4e38f;
    }
    placed.nearest = 3.4e38f;
    placed.farthest = -3.4e38f;
    for (const core::vector3df& corner : corners) {
        for (int axis = 0; axis < 2; ++axis) {
            const f32 at = corner.dotProduct(acrossAxes[axis]);
            placed.low[axis] = core::min_(placed.low[axis], at);
            placed.high[axis] = core::max_(placed.high[axis], at);
        }
        const f32 depth = corner.dotProduct(away);
        placed.nearest = core::min_(placed.nearest, depth);
        placed.farthest = core::max_(placed.farthest, depth);
    }
    return placed;
}

bool ShadowReceivers::mayReach(const Placed& caster, const Placed& receiver) const {
    // Apart across the light, or the receiver wholly nearer it than the caster.
    for (int axis = 0; axis < 2; ++axis)
        if (receiver.high[axis] < caster.low[axis] - margin || receiver.low[axis] > caster.high[axis] + margin)
            return false;
    return receiver.farthest >= caster.nearest;
}

bool ShadowReceivers::casts(const Placed& caster, const Placed& receiver, std::vector<core::vector3df>* out,
                            const core::plane3df* inFront) {
    ++pairTests;
    // A closed convex mesh does not shadow itself where the maps are read.
    if (caster.node == receiver.node && caster.alone && receiver.alone && caster.closedConvex)
        return false;
    if (!mayReach(caster, receiver))
        return false;
    std::vector<core::vector3df>& found = out ? *out : unusedPoints;
    if (!out)
        found.clear();
    return sweptBoxMeets(caster.box, away, margin, caster.closedConvex, receiver.box, found, inFront, !out);
}

void ShadowReceivers::Grid::cells(const f32 low[2], const f32 high[2], std::size_t from[2], std::size_t to[2]) const {
    // Bounds beyond the light's box fall into its border cells.
    auto cell = [this](f32 at, int axis) {
        const f32 index = std::floor((at - origin[axis]) / cellSize[axis]);
        return static_cast<std::size_t>(core::clamp(index, 0.0f, static_cast<f32>(across[axis] - 1)));
    };
    for (int axis = 0; axis < 2; ++axis) {
        from[axis] = cell(low[axis], axis);
        to[axis] = cell(high[axis], axis);
    }
}

void ShadowReceivers::Grid::build(const std::vector<Placed>& items, const f32 lightLow[2], const f32 lightHigh[2],
                                  std::size_t mostAcross) {
    // The cells cover where the items' centres lie within the light's box (what lies beyond
    // falls into the border cells), about one item a cell, as square as the area allows.
    f32 low[2] = {lightHigh[0], lightHigh[1]}, high[2] = {lightLow[0], lightLow[1]};
    for (const Placed& item : items)
        for (int axis = 0; axis < 2; ++axis) {
            const f32 centre = core::clamp((item.low[axis] + item.high[axis]) * 0.5f, lightLow[axis], lightHigh[axis]);
            low[axis] = core::min_(low[axis], centre);
            high[axis] = core::max_(high[axis], centre);
        }
    const f32 width[2] = {core::max_(high[0] - low[0], 0.0f), core::max_(high[1] - low[1], 0.0f)};
    const f32 count = static_cast<f32>(core::max_<std::size_t>(items.size(), 1));
    f32 side = std::sqrt(width[0] * width[1] / count);
    if (!(side > 1e-4f * core::max_(width[0], width[1])))
        side = core::max_(width[0], width[1]) / count; // the items lie along a line
    const f32 most = static_cast<f32>(core::max_<std::size_t>(mostAcross, 1));
    for (int axis = 0; axis < 2; ++axis) {
        const f32 cells = side > 0.0f && std::isfinite(side) ? std::ceil(width[axis] / side) : 1.0f;
        across[axis] = static_cast<std::size_t>(core::clamp(cells, 1.0f, most));
        origin[axis] = low[axis];
        cellSize[axis] = across[axis] > 1 ? width[axis] / static_cast<f32>(across[axis]) : 1.0f;
    }
    const std::size_t cellCount = across[0] * across[1];
    cellStart.assign(cellCount + 1, 0);
    large.clear();
    query = 0;
    std::size_t from[2], to[2];
    auto isLarge = [&](const std::size_t f[2], const std::size_t t[2]) {
        return (t[0] - f[0] + 1) * (t[1] - f[1] + 1) > mostCellsOfOne;
    };
    // Counted first, then placed: the items of a cell lie together.
    for (const Placed& item : items) {
        cells(item.low, item.high, from, to);
        if (isLarge(from, to))
            continue;
        for (std::size_t y = from[1]; y <= to[1]; ++y)
            for (std::size_t x = from[0]; x <= to[0]; ++x)
                ++cellStart[y * across[0] + x + 1];
    }
    for (std::size_t c = 0; c < cellCount; ++c)
        cellStart[c + 1] += cellStart[c];
    cellItems.resize(cellStart[cellCount]);
    std::vector<u32>& next = seen; // each cell's next free place, borrowed while building
    next.assign(cellStart.begin(), cellStart.end() - 1);
    for (std::size_t i = 0; i < items.size(); ++i) {
        cells(items[i].low, items[i].high, from, to);
        if (isLarge(from, to)) {
            large.push_back(static_cast<u32>(i));
            continue;
        }
        for (std::size_t y = from[1]; y <= to[1]; ++y)
            for (std::size_t x = from[0]; x <= to[0]; ++x)
                cellItems[next[y * across[0] + x]++] = static_cast<u32>(i);
    }
    seen.assign(items.size(), 0);
}

template <class Visit> bool ShadowReceivers::Grid::each(const Placed& bounds, f32 grow, Visit&& visit) {
    if (++query == 0) {
        // The stamps wrapped: none may look met.
        std::fill(seen.begin(), seen.end(), 0);
        query = 1;
    }
    for (const u32 item : large)
        if (visit(item))
            return true;
    const f32 low[2] = {bounds.low[0] - grow, bounds.low[1] - grow};
    const f32 high[2] = {bounds.high[0] + grow, bounds.high[1] + grow};
    std::size_t from[2], to[2];
    cells(low, high, from, to);
    for (std::size_t y = from[1]; y <= to[1]; ++y)
        for (std::size_t x = from[0]; x <= to[0]; ++x) {
            const std::size_t cell = y * across[0] + x;
            for (u32 k = cellStart[cell]; k < cellStart[cell + 1]; ++k) {
                const u32 item = cellItems[k];
                if (seen[item] == query)
                    continue;
                seen[item] = query;
                if (visit(item))
                    return true;
            }
        }
    return false;
}

namespace {

// A node the maps may darken: a mesh drawn with a Phong material that takes shadows (without
// the shader manager, any mesh).
bool mayReceive(scene::ISceneNode* node) {
    const scene::ESCENE_NODE_TYPE type = node->getType();
    if (type != scene::ESNT_MESH && type != scene::ESNT_ANIMATED_MESH && type != scene::ESNT_CUBE &&
        type != scene::ESNT_SPHERE && type != scene::ESNT_OCTREE)
        return false;
    if (!shaderManager)
        return true;
    bool phong = false;
    for (u32 i = 0; i < node->getMaterialCount() && !phong; ++i)
        phong = shaderManager->isPhongMaterial(node->getMaterial(i).MaterialType);
    return phong && phongNodeReceivesShadows(node);
}

} // namespace

bool ShadowReceivers::inLightBox(const Placed& placed) const {
    for (int axis = 0; axis < 2; ++axis)
        if (placed.high[axis] < boxLow[axis] || placed.low[axis] > boxHigh[axis])
            return false;
    return true;
}

void ShadowReceivers::gatherReceivers(scene::ISceneNode* node, bool animatedMesh) {
    for (scene::ISceneNode* child : node->getChildren()) {
        if (!child->isVisible() || (animatedMesh && isMeshJoint(child)))
            continue; // nothing below it is drawn
        const scene::ESCENE_NODE_TYPE type = child->getType();
        if (type == scene::ESNT_MESH || type == scene::ESNT_ANIMATED_MESH || type == scene::ESNT_CUBE ||
            type == scene::ESNT_SPHERE || type == scene::ESNT_OCTREE) {
            const core::aabbox3df local = drawnLocalBox(child);
            drawnPlacements(child, placements);
            const std::size_t first = receivers.size();
            for (const core::matrix4& placement : placements) {
                core::aabbox3df box = local;
                placement.transformBoxEx(box);
                const Placed placed = place(child, box, false, placements.size() == 1);
                if (inLightBox(placed))
                    receivers.push_back(placed);
            }
            // Off the light's box a receiver takes no shadow; the rest is looked at once.
            if (receivers.size() > first && !mayReceive(child))
                receivers.resize(first);
            if (receivers.size() > first && isClosedConvexMesh(child))
                for (std::size_t i = first; i < receivers.size(); ++i)
                    receivers[i].closedConvex = true;
        }
        gatherReceivers(child, type == scene::ESNT_ANIMATED_MESH);
    }
}

void ShadowReceivers::setCasters(const std::vector<ShadowNode>& nodes, scene::ISceneNode* root,
                                 const core::vector3df& awayFromLight, f32 passMargin, const core::vector3df& focus,
                                 f32 boxHalfWidth) {
    const core::vector3df previousAway = away;
    const f32 previousMargin = margin;
    const bool wasKnown = known;
    casters.swap(previousCasters);
    casters.clear();
    receivers.swap(previousReceivers);
    receivers.clear();
    cascadesKnown = false;
    entryCasts.assign(nodes.size(), 1);
    away = awayFromLight;
    away.normalize();
    // Two axes across the light, and the light's box on them.
    acrossAxes[0] = away.crossProduct(std::fabs(away.Y) < 0.9f ? core::vector3df(0, 1, 0) : core::vector3df(1, 0, 0));
    acrossAxes[0].normalize();
    acrossAxes[1] = away.crossProduct(acrossAxes[0]);
    margin = passMargin;
    for (int axis = 0; axis < 2; ++axis) {
        const f32 centre = focus.dotProduct(acrossAxes[axis]);
        boxLow[axis] = centre - boxHalfWidth - margin;
        boxHigh[axis] = centre + boxHalfWidth + margin;
    }
    known = true;
    pairTests = 0;
    // Without casters nothing is shadowed: the receivers need not be looked for.
    if (root && !nodes.empty())
        gatherReceivers(root);
    receiverGrid.build(receivers, boxLow, boxHigh, mostCellsAcross);
    // An entry drawn in one place keeps its answer while it stays as it was and no receiver
    // it could reach changed.
    const bool sameLight = wasKnown && previousAway == away && previousMargin == margin;
    if (!sameLight || !changesBetween(previousReceivers, receivers, changedReceivers))
        entryAnswers.clear();
    entryAnswers.resize(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const ShadowNode& entry = nodes[i];
        EntryAnswer& kept = entryAnswers[i];
        if (!entry.node || (entry.mode != 1 && entry.mode != 2) || !entry.node->isTrulyVisible()) {
            kept.known = false;
            continue;
        }
        const core::aabbox3df local = drawnLocalBox(entry.node);
        drawnPlacements(entry.node, placements);
        const std::size_t first = casters.size();
        for (const core::matrix4& placement : placements) {
            core::aabbox3df box = local;
            placement.transformBoxEx(box);
            const Placed placed = place(entry.node, box, false, placements.size() == 1);
            if (inLightBox(placed))
                casters.push_back(placed);
        }
        if (casters.size() == first) {
            kept.known = false;
            continue; // off the light's box: not drawn into the maps anyway
        }
        const bool convex = isClosedConvexMesh(entry.node);
        for (std::size_t c = first; c < casters.size(); ++c)
            casters[c].closedConvex = convex;
        const bool alone = casters.size() == first + 1;
        const bool stays = alone && kept.known && kept.placed.node == entry.node && kept.placed.box == casters[first].box &&
                           kept.placed.closedConvex == convex &&
                           std::none_of(changedReceivers.begin(), changedReceivers.end(),
                                        [&](const Placed& receiver) { return mayReach(kept.placed, receiver); });
        bool reaches = stays && kept.reaches;
        if (!stays) {
            for (std::size_t c = first; c < casters.size(); ++c)
                reaches = reaches || receiverGrid.each(casters[c], margin, [&](u32 r) {
                              return casts(casters[c], receivers[r], nullptr);
                          });
            kept = EntryAnswer{casters[first], reaches, alone};
        }
        entryCasts[i] = reaches ? 1 : 0;
        if (!reaches)
            casters.resize(first); // it shadows nothing: not drawn
    }
    casterGrid.build(casters, boxLow, boxHigh, mostCellsAcross);
    if (wasKnown) {
        settleChanges(previousAway, previousMargin);
    } else {
        settled.clear();
        ++casterChanges;
    }
}

std::size_t ShadowReceivers::settledReceivers() const {
    return static_cast<std::size_t>(
        std::count_if(settled.begin(), settled.end(), [](const auto& entry) { return entry.second.holds; }));
}

bool ShadowReceivers::changesBetween(const std::vector<Placed>& before, const std::vector<Placed>& now,
                                     std::vector<Placed>& changed) {
    // Both come in one order (the list's, the scene's): the same node twice in a row is
    // matched with itself, and a node that joins or leaves is found within a few places.
    constexpr std::size_t lookAhead = 8;
    auto same = [](const Placed& a, const Placed& b) {
        return a.node == b.node && a.box == b.box && a.closedConvex == b.closedConvex && a.alone == b.alone;
    };
    changed.clear();
    std::size_t i = 0, j = 0;
    while ((i < before.size() || j < now.size()) && changed.size() <= mostChanged) {
        if (i < before.size() && j < now.size() && before[i].node == now[j].node) {
            if (!same(before[i], now[j])) {
                changed.push_back(before[i]);
                changed.push_back(now[j]);
            }
            ++i;
            ++j;
            continue;
        }
        // Did the one before leave, or did the one now join?
        std::size_t ahead = j;
        while (i < before.size() && ahead < now.size() && ahead < j + lookAhead && now[ahead].node != before[i].node)
            ++ahead;
        if (i < before.size() && (ahead >= now.size() || ahead >= j + lookAhead))
            changed.push_back(before[i++]);
        else
            changed.push_back(now[j++]);
    }
    return changed.size() <= mostChanged;
}

void ShadowReceivers::settleChanges(const core::vector3df& previousAway, f32 previousMargin) {
    // An answer that no longer holds is marked so, not erased: the receiver's next answer takes
    // its place without a new node of the map (a walking character changes some every frame).
    const bool every = !(previousAway == away) || previousMargin != margin ||
                       !changesBetween(previousCasters, casters, changedCasters);
    if (every || !changedCasters.empty())
        ++casterChanges;
    for (auto& entry : settled) {
        Settled& answer = entry.second;
        const auto reaches = [&](const Placed& caster) { return mayReach(caster, answer.placed); };
        answer.holds =
            answer.holds && !every && std::none_of(changedCasters.begin(), changedCasters.end(), reaches);
    }
    // Those of receivers no longer drawn (gone, or out of the view) are let go once the map
    // holds more than twice the pass's receivers.
    if (settled.size() > 2 * receivers.size() + mostStaleAnswers)
        for (auto it = settled.begin(); it != settled.end();)
            it = it->second.holds ? std::next(it) : settled.erase(it);
}

bool ShadowReceivers::castsOntoAnything(std::size_t entry) const {
    return !known || entry >= entryCasts.size() || entryCasts[entry] != 0;
}

void ShadowReceivers::setCascades(const std::vector<Cascade>& passCascades) {
    const auto same = [](const Cascade& a, const Cascade& b) {
        return a.viewProjection == b.viewProjection && a.nearDepth == b.nearDepth && a.farDepth == b.farDepth;
    };
    if (!std::equal(cascades.begin(), cascades.end(), passCascades.begin(), passCascades.end(), same))
        ++casterChanges; // what lies on the maps changed: no kept view holds
    cascades = passCascades;
    cascadesKnown = true;
}

void ShadowReceivers::forget() {
    settled.clear();
    for (ViewAnswer& view : viewAnswers)
        view.node = nullptr;
    ++casterChanges;
    entryAnswers.clear();
    previousCasters.clear();
    previousReceivers.clear();
    casters.clear();
    receivers.clear();
    entryCasts.clear();
    cascades.clear();
    known = false;
    cascadesKnown = false;
}

bool ShadowReceivers::project(const std::vector<core::vector3df>& corners, const core::matrix4& viewProjection,
                              const s32 viewport[4], std::vector<core::vector2df>& out) {
    out.clear();
    for (const core::vector3df& corner : corners) {
        f32 clip[4];
        viewProjection.transformVect(clip, corner);
        if (clip[3] <= 1e-4f)
            return false;
        out.emplace_back(viewport[0] + (clip[0] / clip[3] + 1.0f) * 0.5f * viewport[2],
                         viewport[1] + (clip[1] / clip[3] + 1.0f) * 0.5f * viewport[3]);
    }
    return true;
}

std::size_t ShadowReceivers::markTiles(std::vector<core::vector2df>& polygon, const s32 area[4], s32 columns,
                                       s32 rows) {
    if (polygon.empty())
        return 0;
    // The convex hull, counter-clockwise (the corners of a convex part, in any order).
    std::sort(polygon.begin(), polygon.end(), [](const core::vector2df& a, const core::vector2df& b) {
        return a.X < b.X || (a.X == b.X && a.Y < b.Y);
    });
    auto turn = [](const core::vector2df& o, const core::vector2df& a, const core::vector2df& b) {
        return (a.X - o.X) * (b.Y - o.Y) - (a.Y - o.Y) * (b.X - o.X);
    };
    hull.clear();
    for (int pass = 0; pass < 2; ++pass) {
        const std::size_t start = hull.size();
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            const core::vector2df& p = pass == 0 ? polygon[i] : polygon[polygon.size() - 1 - i];
            while (hull.size() >= start + 2 && turn(hull[hull.size() - 2], hull.back(), p) <= 0.0f)
                hull.pop_back();
            hull.push_back(p);
        }
        hull.pop_back();
    }
    const f32 minX = polygon.front().X, maxX = polygon.back().X;
    f32 minY = 3.4e38f, maxY = -3.4e38f;
    for (const core::vector2df& p : polygon) {
        minY = core::min_(minY, p.Y);
        maxY = core::max_(maxY, p.Y);
    }
    // Tiles touching the hull, each grown by two pixels (the rasterizer's rounding); only
    // those within the hull's box are looked at.
    constexpr f32 grow = 2.0f;
    auto firstTile = [](f32 at, s32 from, s32 count) {
        const f32 index = std::floor((at - grow - tileSize - static_cast<f32>(from)) / tileSize);
        return static_cast<s32>(core::clamp(index, 0.0f, static_cast<f32>(count)));
    };
    auto lastTile = [](f32 at, s32 from, s32 count) {
        const f32 index = std::floor((at + grow - static_cast<f32>(from)) / tileSize) + 1.0f;
        return static_cast<s32>(core::clamp(index, 0.0f, static_cast<f32>(count)));
    };
    std::size_t newlyMarked = 0;
    for (s32 r = firstTile(minY, area[1], rows), rowEnd = lastTile(maxY, area[1], rows); r < rowEnd; ++r)
        for (s32 c = firstTile(minX, area[0], columns), columnEnd = lastTile(maxX, area[0], columns); c < columnEnd;
             ++c) {
            const f32 x0 = static_cast<f32>(area[0] + c * tileSize) - grow, x1 = x0 + tileSize + 2.0f * grow;
            const f32 y0 = static_cast<f32>(area[1] + r * tileSize) - grow, y1 = y0 + tileSize + 2.0f * grow;
            char& mark = marks[static_cast<std::size_t>(r * columns + c)];
            if (mark || x1 < minX || x0 > maxX || y1 < minY || y0 > maxY)
                continue;
            bool apart = false;
            for (std::size_t i = 0; hull.size() >= 3 && i < hull.size() && !apart; ++i) {
                const core::vector2df& a = hull[i];
                const core::vector2df& b = hull[(i + 1) % hull.size()];
                // Every corner of the tile outside this edge of the hull.
                apart = turn(a, b, {x0, y0}) < 0.0f && turn(a, b, {x1, y0}) < 0.0f && turn(a, b, {x0, y1}) < 0.0f &&
                        turn(a, b, {x1, y1}) < 0.0f;
            }
            if (!apart) {
                mark = 1;
                ++newlyMarked;
            }
        }
    return newlyMarked;
}

ShadowReceivers::Reach ShadowReceivers::reach(scene::ISceneNode* receiver, const core::matrix4& viewProjection,
                                              const s32 viewport[4], std::vector<Piece>& pieces) {
    pieces.clear();
    if (!known || !cascadesKnown || !receiver)
        return Reach::everywhere;
    // An instanced node draws its instances elsewhere than its own box.
    drawnPlacements(receiver, placements);
    if (placements.size() != 1)
        return Reach::everywhere;
    core::aabbox3df box = drawnLocalBox(receiver);
    placements[0].transformBoxEx(box);
    f32 nearest = 0.0f, farthest = 0.0f;
    viewDepths(box, viewProjection, nearest, farthest);
    // The maps are read a little off the surface: the grown box holds every point read.
    core::aabbox3df read = box;
    read.MinEdge -= core::vector3df(margin);
    read.MaxEdge += core::vector3df(margin);
    if (offTheMaps(read, nearest, farthest))
        return Reach::unshadowed;
    const Placed placed = place(receiver, box, isClosedConvexMesh(receiver), true);

    // In front of the camera (what lies behind it, or nearer than any near plane, is not
    // drawn).
    const core::vector3df wRow(viewProjection[3], viewProjection[7], viewProjection[11]);
    const f32 wSize = wRow.getLength();
    if (wSize <= 0.0f)
        return Reach::everywhere;
    const core::plane3df front(wRow / wSize, (viewProjection[15] - 0.05f) / wSize);
    // The receiver's box on the screen (a pixel beyond each side: the rasterizer's rounding),
    // in tiles.
    points.clear();
    const HalfSpace inFront = frontOf(front);
    clipBoxFaces(box, &inFront, 1, 0.0f, points);
    if (points.empty() || !project(points, viewProjection, viewport, screenPoints))
        return Reach::facingOnly; // wholly behind the camera: nothing of it is drawn
    f32 minX = 3.4e38f, minY = 3.4e38f, maxX = -3.4e38f, maxY = -3.4e38f;
    for (const core::vector2df& p : screenPoints) {
        minX = core::min_(minX, p.X);
        maxX = core::max_(maxX, p.X);
        minY = core::min_(minY, p.Y);
        maxY = core::max_(maxY, p.Y);
    }
    auto within = [](f32 value, s32 low, s32 high) {
        return core::clamp(static_cast<s32>(std::floor(core::clamp(value, -1e6f, 1e6f))), low, high);
    };
    const s32 area[4] = {within(minX - 1.0f, viewport[0], viewport[0] + viewport[2]),
                         within(minY - 1.0f, viewport[1], viewport[1] + viewport[3]),
                         within(maxX + 2.0f, viewport[0], viewport[0] + viewport[2]),
                         within(maxY + 2.0f, viewport[1], viewport[1] + viewport[3])};
    const s32 columns = core::max_((area[2] - area[0] + tileSize - 1) / tileSize, 0);
    const s32 rows = core::max_((area[3] - area[1] + tileSize - 1) / tileSize, 0);

    // Each piece draws the receiver again: a small one, or one of many triangles, is not
    // worth it, and for it the first caster that reaches it settles the answer; so does the
    // caster past mostSplitCasters, and the one that marks more than mostShadowedShare of
    // the tiles (marks are only added, and so many make cutIntoPieces draw it whole).
    const f32 share = static_cast<f32>(area[2] - area[0]) * static_cast<f32>(area[3] - area[1]) /
                      (static_cast<f32>(viewport[2]) * static_cast<f32>(viewport[3]));
    bool whole = share < leastSplitShare || nodeTriangles(receiver) > mostSplitTriangles;
    // A small receiver wholly in front of the camera: the casters alone settle its answer.
    core::aabbox3df grownBox = box;
    const core::vector3df slackBox = box.getExtent() * 0.01f + core::vector3df(1e-3f);
    grownBox.MinEdge -= slackBox;
    grownBox.MaxEdge += slackBox;
    const bool settles = whole && front.Normal.dotProduct(core::vector3df(front.Normal.X >= 0.0f ? grownBox.MinEdge.X : grownBox.MaxEdge.X,
                                                                           front.Normal.Y >= 0.0f ? grownBox.MinEdge.Y : grownBox.MaxEdge.Y,
                                                                           front.Normal.Z >= 0.0f ? grownBox.MinEdge.Z : grownBox.MaxEdge.Z)) +
                                               front.D >
                                           0.0f;
    if (settles) {
        const auto found = settled.find(receiver);
        if (found != settled.end() && found->second.holds && found->second.placed.box == placed.box &&
            found->second.placed.closedConvex == placed.closedConvex)
            return found->second.reached ? Reach::everywhere : Reach::facingOnly;
    }
    // One that does not settle (large, or reaching behind the camera) keeps its answer for the
    // view it was found for while no caster and no map changed: a still scene's passes draw
    // it as the last frame's did.
    ViewAnswer* kept = nullptr;
    if (!settles) {
        for (ViewAnswer& view : viewAnswers)
            if (view.node == receiver && view.castersSeen == casterChanges && view.box == placed.box &&
                view.closedConvex == placed.closedConvex && view.viewProjection == viewProjection &&
                std::equal(viewport, viewport + 4, view.viewport)) {
                pieces.assign(view.pieces.begin(), view.pieces.end());
                return view.reach;
            }
        kept = &viewAnswers[nextViewAnswer];
        nextViewAnswer = (nextViewAnswer + 1) % viewAnswers.size();
    }
    const Reach answer = answerReach(receiver, placed, viewProjection, viewport, front, area, columns, rows, whole,
                                     settles, pieces);
    if (kept) {
        kept->node = receiver;
        kept->castersSeen = casterChanges;
        kept->box = placed.box;
        kept->closedConvex = placed.closedConvex;
        kept->viewProjection = viewProjection;
        std::copy(viewport, viewport + 4, kept->viewport);
        kept->reach = answer;
        kept->pieces.assign(pieces.begin(), pieces.end());
    }
    return answer;
}

ShadowReceivers::Reach ShadowReceivers::answerReach(scene::ISceneNode* receiver, const Placed& placed,
                                                    const core::matrix4& viewProjection, const s32 viewport[4],
                                                    const core::plane3df& front, const s32 area[4], s32 columns,
                                                    s32 rows, bool whole, bool settles, std::vector<Piece>& pieces) {
    marks.assign(static_cast<std::size_t>(columns * rows), 0);
    bool reached = false;
    std::size_t reaching = 0;
    std::size_t unmarked = marks.size();
    casterGrid.each(placed, margin, [&](u32 c) {
        points.clear();
        if (!casts(casters[c], placed, whole ? nullptr : &points, &front))
            return false;
        reached = true;
        whole = whole || ++reaching > mostSplitCasters;
        if (whole)
            return true;
        if (project(points, viewProjection, viewport, screenPoints)) {
            unmarked -= markTiles(screenPoints, area, columns, rows);
        } else {
            std::fill(marks.begin(), marks.end(), 1);
            unmarked = 0;
        }
        whole = marks.empty() ||
                static_cast<f32>(marks.size() - unmarked) > mostShadowedShare * static_cast<f32>(marks.size());
        return whole;
    });
    if (settles)
        settled[receiver] = Settled{placed, reached, true};
    if (!reached)
        return Reach::facingOnly;
    if (whole)
        return Reach::everywhere;
    return cutIntoPieces(area, columns, rows, pieces) ? Reach::inPieces : Reach::everywhere;
}

bool ShadowReceivers::offTheMaps(const core::aabbox3df& box, f32 nearest, f32 farthest) const {
    if (cascades.empty())
        return true;
    // Behind the camera the view depth means nothing: take the whole range.
    nearest = core::max_(nearest, 0.0f);
    if (farthest <= 0.0f)
        return false;
    if (nearest >= cascades.back().farDepth)
        return true;
    core::vector3df corners[8];
    box.getEdges(corners);
    for (const Cascade& cascade : cascades) {
        if (farthest < cascade.nearDepth || nearest >= cascade.farDepth)
            continue;
        // Every corner past one side of the map (x -1, x 1, y -1, y 1) or beyond its depth.
        bool beyond[5] = {true, true, true, true, true};
        for (const core::vector3df& corner : corners) {
            f32 out[4];
            cascade.viewProjection.transformVect(out, corner); // orthographic: w is 1
            beyond[0] = beyond[0] && out[0] < -1.0f;
            beyond[1] = beyond[1] && out[0] > 1.0f;
            beyond[2] = beyond[2] && out[1] < -1.0f;
            beyond[3] = beyond[3] && out[1] > 1.0f;
            beyond[4] = beyond[4] && out[2] > 1.0f;
        }
        if (!(beyond[0] || beyond[1] || beyond[2] || beyond[3] || beyond[4]))
            return false;
    }
    return true;
}

bool ShadowReceivers::cutIntoPieces(const s32 area[4], s32 columns, s32 rows, std::vector<Piece>& pieces) {
    if (columns <= 0 || rows <= 0)
        return false;
    // Bands of rows, each reading the maps in the columns any of its rows does; the finest
    // bands that need no more than mostPieces pieces.
    for (s32 band = 1; band <= rows; band *= 2) {
        pieces.clear();
        bandMarks.assign(static_cast<std::size_t>(columns), 0);
        std::size_t shadowedTiles = 0;
        bool fits = true;
        std::vector<OpenPiece>& open = openPieces;
        open.clear();
        for (s32 first = 0, index = 0; first < rows && fits; first += band, ++index) {
            const s32 last = core::min_(first + band, rows);
            for (s32 c = 0; c < columns; ++c) {
                char marked = 0;
                for (s32 r = first; r < last && !marked; ++r)
                    marked = marks[static_cast<std::size_t>(r * columns + c)];
                bandMarks[static_cast<std::size_t>(c)] = marked;
                shadowedTiles += marked ? static_cast<std::size_t>(last - first) : 0u;
            }
            // Runs of columns alike, merged with the run of the same columns and kind that
            // ended on the band below.
            const s32 y0 = area[1] + first * tileSize, y1 = core::min_(area[1] + last * tileSize, area[3]);
            for (s32 c = 0; c < columns && fits;) {
                const bool readsMaps = bandMarks[static_cast<std::size_t>(c)] != 0;
                s32 end = c;
                while (end + 1 < columns && (bandMarks[static_cast<std::size_t>(end + 1)] != 0) == readsMaps)
                    ++end;
                auto same = std::find_if(open.begin(), open.end(), [&](const OpenPiece& o) {
                    return o.c0 == c && o.c1 == end && o.readsMaps == readsMaps && o.lastRow == index - 1;
                });
                if (same != open.end()) {
                    same->lastRow = index;
                    pieces[same->piece].y1 = y1;
                } else if (pieces.size() < mostPieces) {
                    open.push_back(OpenPiece{c, end, readsMaps, index, pieces.size()});
                    pieces.push_back(Piece{area[0] + c * tileSize, y0,
                                           core::min_(area[0] + (end + 1) * tileSize, area[2]), y1, readsMaps});
                } else {
                    fits = false;
                }
                c = end + 1;
            }
        }
        if (static_cast<f32>(shadowedTiles) > mostShadowedShare * static_cast<f32>(columns * rows))
            break; // coarser bands read the maps in still more of it
        if (fits)
            return true;
    }
    pieces.clear();
    return false;
}
