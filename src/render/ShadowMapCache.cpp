#include "render/ShadowMapCache.h"

#include "render/DrawnBounds.h"
#include "render/DrawnObjects.h"
#include "render/EffectHandler.h"

#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

#include <algorithm>
#include <cstring>

using namespace irr;

namespace {

// A hash of the bytes of the values that decide a caster's picture, eight bytes a step (each
// caster is hashed every frame: a step a byte cost a crowded level's frame 2 %).
class Signature {
public:
    template <class T> void add(const T& value) { addBytes(&value, sizeof(value)); }
    void addBytes(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        std::size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            u64 word;
            std::memcpy(&word, bytes + i, 8);
            mix(word);
        }
        if (i < size) {
            u64 word = 0;
            std::memcpy(&word, bytes + i, size - i);
            mix(word ^ (static_cast<u64>(size - i) << 56));
        }
    }
    u64 value() const { return hash; }

private:
    void mix(u64 word) {
        hash ^= word;
        hash *= 0x9e3779b97f4a7c15ull;
        hash ^= hash >> 29;
    }
    u64 hash = 14695981039346656037ull;
};

void addMesh(Signature& signature, const scene::IMesh* mesh) {
    signature.add(mesh);
    if (!mesh)
        return;
    const u32 buffers = mesh->getMeshBufferCount();
    signature.add(buffers);
    for (u32 i = 0; i < buffers; ++i) {
        const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        signature.add(buffer);
        if (buffer) {
            // Vertices written in place (cloth, appearance animators) mark their buffer dirty.
            signature.add(buffer->getChangedID_Vertex());
            signature.add(buffer->getChangedID_Index());
        }
    }
}

bool isZeroMatrix(const core::matrix4& m) {
    for (int i = 0; i < 16; ++i)
        if (m[i] != 0.0f)
            return false;
    return true;
}

} // namespace

scene::ISceneNode* shadowCasterOwner(scene::ISceneNode* node) {
    if (!node || node->getType() != scene::ESNT_ANIMATED_MESH)
        return nullptr;
    scene::ISceneNode* parent = node->getParent();
    return parent && parent->getType() == typeId("phsx") ? parent : findAncestorOfKindUp(node, typeId("phsx"));
}

// --- areas -------------------------------------------------------------------------------------

bool ShadowMapCache::Area::overlaps(const Area& other) const {
    return !empty() && !other.empty() && minX <= other.maxX && other.minX <= maxX && minY <= other.maxY &&
           other.minY <= maxY;
}

void ShadowMapCache::Area::add(const Area& other) {
    if (other.empty())
        return;
    if (empty()) {
        *this = other;
        return;
    }
    minX = core::min_(minX, other.minX);
    minY = core::min_(minY, other.minY);
    maxX = core::max_(maxX, other.maxX);
    maxY = core::max_(maxY, other.maxY);
}

f32 ShadowMapCache::Area::share() const {
    return empty() ? 0.0f : (maxX - minX) * (maxY - minY) * 0.25f;
}

bool ShadowMapCache::Area::operator==(const Area& other) const {
    if (empty() || other.empty())
        return empty() == other.empty();
    return minX == other.minX && minY == other.minY && maxX == other.maxX && maxY == other.maxY;
}

bool ShadowMapCache::Setup::operator==(const Setup& other) const {
    return target == other.target && resolution == other.resolution && splitCount == other.splitCount &&
           distanceMode == other.distanceMode && maxDepth == other.maxDepth && drawCasters == other.drawCasters &&
           hardwareSkinning == other.hardwareSkinning;
}

// --- the pass's records ------------------------------------------------------------------------

void ShadowMapCache::forget() {
    valid = false;
    for (bool& cascade : cascadeValid)
        cascade = false;
    previousCasters.clear();
}

void ShadowMapCache::beginPass(const Setup& passSetup, const std::vector<ShadowNode>& nodes) {
    if (!valid || !(passSetup == setup))
        forget();
    setup = passSetup;
    valid = true;
    for (Caster& old : previousCasters)
        old.seen = false;
    // Without casters the maps stay white: nothing of the list is looked at.
    const std::size_t count = setup.drawCasters ? nodes.size() : 0;
    casters.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        Caster& caster = casters[i];
        caster = Caster();
        const ShadowNode& entry = nodes[i];
        if (!entry.node || (entry.mode != 1 && entry.mode != 2))
            continue;
        caster.node = entry.node;
        caster.signature = signatureOf(entry.node);
        const auto found = std::lower_bound(previousCasters.begin(), previousCasters.end(), entry.node,
                                            [](const Caster& c, const scene::ISceneNode* n) { return c.node < n; });
        if (found != previousCasters.end() && found->node == entry.node) {
            caster.previous = static_cast<s32>(found - previousCasters.begin());
            found->seen = true;
        }
    }
}

void ShadowMapCache::ReadArea::enclose(const core::vector2df* points, std::size_t count) {
    outline.clear();
    if (count == 0)
        return;
    // Monotone chain: the lower hull left to right, then the upper one back.
    sorted.assign(points, points + count);
    std::sort(sorted.begin(), sorted.end(), [](const core::vector2df& a, const core::vector2df& b) {
        return a.X < b.X || (a.X == b.X && a.Y < b.Y);
    });
    auto turn = [](const core::vector2df& o, const core::vector2df& a, const core::vector2df& b) {
        return (a.X - o.X) * (b.Y - o.Y) - (a.Y - o.Y) * (b.X - o.X);
    };
    outline.assign(2 * sorted.size(), core::vector2df());
    std::size_t n = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        while (n >= 2 && turn(outline[n - 2], outline[n - 1], sorted[i]) <= 0.0f)
            --n;
        outline[n++] = sorted[i];
    }
    for (std::size_t i = sorted.size() - 1, lower = n + 1; i-- > 0;) {
        while (n >= lower && turn(outline[n - 2], outline[n - 1], sorted[i]) <= 0.0f)
            --n;
        outline[n++] = sorted[i];
    }
    outline.resize(n > 1 ? n - 1 : n); // the last point is the first
}

bool ShadowMapCache::ReadArea::meets(const Area& area) const {
    if (area.empty())
        return false;
    if (outline.empty())
        return true;
    core::rectf box(outline[0], outline[0]);
    for (const core::vector2df& p : outline)
        box.addInternalPoint(p);
    if (area.maxX < box.UpperLeftCorner.X - reach || area.minX > box.LowerRightCorner.X + reach ||
        area.maxY < box.UpperLeftCorner.Y - reach || area.minY > box.LowerRightCorner.Y + reach)
        return false;
    // Beyond one of the outline's sides by more than the reach: apart.
    const core::vector2df corners[4] = {
        {area.minX, area.minY}, {area.maxX, area.minY}, {area.maxX, area.maxY}, {area.minX, area.maxY}};
    for (std::size_t i = 0; outline.size() >= 3 && i < outline.size(); ++i) {
        const core::vector2df& a = outline[i];
        const core::vector2df side = outline[(i + 1) % outline.size()] - a;
        const f32 length = side.getLength();
        if (length <= 0.0f)
            continue;
        const core::vector2df out(side.Y / length, -side.X / length);
        bool beyond = true;
        for (const core::vector2df& corner : corners)
            beyond = beyond && (corner - a).dotProduct(out) > reach;
        if (beyond)
            return false;
    }
    return true;
}

ShadowMapCache::Area ShadowMapCache::beginCascade(s32 k, const core::matrix4& projection, const core::matrix4& view,
                                                  const std::vector<bool>& drawn, const ReadArea* read) {
    k = core::clamp(k, 0, ShadowCascades::maxSplits - 1);
    // Without casters the map is white whatever the light looks at.
    const bool moved = setup.drawCasters && (projections[k] != projection || views[k] != view);
    const bool fresh = !cascadeValid[k] || moved;
    projections[k] = projection;
    views[k] = view;
    cascadeValid[k] = true;

    const core::matrix4 viewProjection = projection * view;
    std::vector<Area>& parts = dirty[k];
    parts.clear();
    if (fresh)
        parts.push_back(Area::whole());
    auto add = [&parts](const Area& area) {
        if (!area.empty())
            parts.push_back(area);
    };
    for (std::size_t i = 0; i < casters.size(); ++i) {
        Caster& caster = casters[i];
        if (!caster.node)
            continue;
        const bool inCascade = i < drawn.size() && drawn[i];
        caster.footprint[k] = inCascade ? footprintOf(caster.node, viewProjection) : Area();
        const Caster* old = caster.previous >= 0 ? &previousCasters[static_cast<std::size_t>(caster.previous)] : nullptr;
        // Only a caster that changed since the last pass (drawn again anyway) or was left out
        // then is left out: a still one in the map stays, so a view that turns draws nothing.
        caster.leftOut[k] = read && old && (old->signature != caster.signature || old->leftOut[k]) &&
                            !read->meets(caster.footprint[k]);
        if (caster.leftOut[k])
            caster.footprint[k] = Area();
        if (fresh)
            continue;
        if (!old) {
            add(caster.footprint[k]);
            continue;
        }
        if (old->signature != caster.signature || !(old->footprint[k] == caster.footprint[k])) {
            add(old->footprint[k]);
            add(caster.footprint[k]);
        }
    }
    if (!fresh)
        for (const Caster& old : previousCasters)
            if (!old.seen)
                add(old.footprint[k]);
    // Overlapping parts become one; then, while there are too many, the two whose merge adds
    // the least.
    auto merge = [&parts](std::size_t i, std::size_t j) {
        parts[i].add(parts[j]);
        parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(j));
    };
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t i = 0; i < parts.size() && !merged; ++i)
            for (std::size_t j = i + 1; j < parts.size() && !merged; ++j)
                if (parts[i].overlaps(parts[j])) {
                    merge(i, j);
                    merged = true;
                }
    }
    while (parts.size() > maxDirtyAreas) {
        std::size_t bestI = 0, bestJ = 1;
        f32 least = 3.4e38f;
        for (std::size_t i = 0; i < parts.size(); ++i)
            for (std::size_t j = i + 1; j < parts.size(); ++j) {
                Area both = parts[i];
                both.add(parts[j]);
                const f32 added = both.share() - parts[i].share() - parts[j].share();
                if (added < least) {
                    least = added;
                    bestI = i;
                    bestJ = j;
                }
            }
        merge(bestI, bestJ);
    }
    Area bounds;
    for (const Area& part : parts)
        bounds.add(part);
    return bounds;
}

const std::vector<ShadowMapCache::Area>& ShadowMapCache::dirtyAreas(s32 k) const {
    return dirty[core::clamp(k, 0, ShadowCascades::maxSplits - 1)];
}

void ShadowMapCache::endPass() {
    sortScratch.clear();
    for (const Caster& caster : casters)
        if (caster.node)
            sortScratch.push_back(caster);
    std::sort(sortScratch.begin(), sortScratch.end(), [](const Caster& a, const Caster& b) { return a.node < b.node; });
    std::swap(previousCasters, sortScratch);
}

const ShadowMapCache::Area& ShadowMapCache::footprint(u32 entry, s32 k) const {
    static const Area none;
    if (entry >= casters.size() || k < 0 || k >= ShadowCascades::maxSplits)
        return none;
    return casters[entry].footprint[k];
}

// --- one caster --------------------------------------------------------------------------------

u64 ShadowMapCache::signatureOf(scene::ISceneNode* node) {
    Signature signature;
    signature.addBytes(node->getAbsoluteTransformation().pointer(), sizeof(f32) * 16);
    signature.add(node->getBoundingBox());
    signature.add(node->isTrulyVisible());
    signature.add(node->getAutomaticCulling());
    const scene::ESCENE_NODE_TYPE type = node->getType();
    if (type == scene::ESNT_ANIMATED_MESH) {
        auto* animated = static_cast<scene::IAnimatedMeshSceneNode*>(node);
        signature.add(animated->getFrameNr());
        signature.add(animated->getJointCount());
        addMesh(signature, animated->getMesh());
    } else if (type == scene::ESNT_MESH || type == scene::ESNT_CUBE || type == scene::ESNT_SPHERE ||
               type == scene::ESNT_OCTREE) {
        addMesh(signature, static_cast<scene::IMeshSceneNode*>(node)->getMesh());
    }
    const u32 materials = node->getMaterialCount();
    signature.add(materials);
    for (u32 i = 0; i < materials; ++i) {
        const video::SMaterial& material = node->getMaterial(i);
        signature.add(material.MaterialType);
        signature.add(material.MaterialTypeParam);
        signature.add(material.TextureLayer[0].Texture);
        signature.add(material.BackfaceCulling);
        signature.add(material.FrontfaceCulling);
    }
    if (scene::ISceneNode* owner = shadowCasterOwner(node)) {
        signature.add(isDrawnAsInstance(owner));
        signature.add(isMovingObject(owner));
        u32 joints = 0;
        if (const f32* rows = readObjectJointRows(owner, joints))
            signature.addBytes(rows, sizeof(f32) * 12 * core::min_(joints, DepthShaderCallback::instanceSlots));
        instanceScratch.clear();
        if (readInstanceTransforms(node, instanceScratch)) {
            signature.add(instanceScratch.size());
            for (const core::matrix4& transform : instanceScratch)
                signature.addBytes(transform.pointer(), sizeof(f32) * 16);
        }
    }
    return signature.value();
}

ShadowMapCache::Area ShadowMapCache::footprintOf(scene::ISceneNode* node, const core::matrix4& viewProjection) {
    drawnPlacements(node, instanceScratch);
    const core::aabbox3df box = drawnLocalBox(node);
    core::vector3df edges[8];
    box.getEdges(edges);
    f32 minX = 3.4e38f, minY = 3.4e38f, minZ = 3.4e38f, maxX = -3.4e38f, maxY = -3.4e38f, maxZ = -3.4e38f;
    bool any = false;
    for (const core::matrix4& transform : instanceScratch) {
        const core::matrix4 m = viewProjection * transform;
        for (const core::vector3df& edge : edges) {
            f32 out[4];
            m.transformVect(out, edge);
            const f32 w = out[3] != 0.0f ? out[3] : 1.0f;
            minX = core::min_(minX, out[0] / w);
            maxX = core::max_(maxX, out[0] / w);
            minY = core::min_(minY, out[1] / w);
            maxY = core::max_(maxY, out[1] / w);
            minZ = core::min_(minZ, out[2] / w);
            maxZ = core::max_(maxZ, out[2] / w);
            any = true;
        }
    }
    // Outside the map, or wholly in front of its near or behind its far plane.
    if (!any || maxX < -1.0f || minX > 1.0f || maxY < -1.0f || minY > 1.0f || maxZ < -1.0f || minZ > 1.0f)
        return Area();
    return Area{core::max_(minX, -1.0f), core::max_(minY, -1.0f), core::min_(maxX, 1.0f), core::min_(maxY, 1.0f)};
}

void drawnPlacements(scene::ISceneNode* node, std::vector<core::matrix4>& out) {
    out.clear();
    const bool instanced = shadowCasterOwner(node) && readInstanceTransforms(node, out) && out.size() > 1;
    if (!instanced) {
        out.assign(1, node->getAbsoluteTransformation());
        return;
    }
    // An invisible instance has a zero transformation.
    out.erase(std::remove_if(out.begin(), out.end(), isZeroMatrix), out.end());
}
