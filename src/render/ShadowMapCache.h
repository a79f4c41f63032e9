#pragma once

#include "render/ShadowCascades.h"

#include <irrlicht.h>

#include <vector>

struct ShadowNode;

// What the shadow pass drew into each cascade of the shadow atlas, kept between frames so
// that a cascade is drawn again only where something changed: a caster that moved, turned,
// animated, changed its materials, appeared or went (its footprint before and after), or
// the cascade's light view and projection (the light or the viewer moved). Resting objects
// and static scenery stay in the map; a still scene draws nothing.
class ShadowMapCache {
public:
    // A rectangle of one cascade's map in its normalised device coordinates (-1..1 both ways).
    struct Area {
        irr::f32 minX = 1.0f, minY = 1.0f, maxX = -1.0f, maxY = -1.0f;
        static Area whole() { return {-1.0f, -1.0f, 1.0f, 1.0f}; }
        bool empty() const { return minX > maxX || minY > maxY; }
        bool isWhole() const { return minX <= -1.0f && minY <= -1.0f && maxX >= 1.0f && maxY >= 1.0f; }
        bool overlaps(const Area& other) const;
        void add(const Area& other);
        // Part of the map it covers, 0..1.
        irr::f32 share() const;
        bool operator==(const Area& other) const;
    };

    // The part of a cascade's map the receivers read: the section of the view the cascade is
    // read for, as the light sees it (a convex outline in the map's coordinates), and how far
    // beside it a read reaches (the read point's offset off its surface and the texels around
    // it). A caster whose footprint lies wholly beyond shadows nothing that is seen.
    struct ReadArea {
        std::vector<irr::core::vector2df> outline; // counter-clockwise; empty: the whole map
        irr::f32 reach = 0.0f;
        // The convex outline around the points.
        void enclose(const irr::core::vector2df* points, std::size_t count);
        bool meets(const Area& area) const;
        std::vector<irr::core::vector2df> sorted; // scratch of enclose, kept between passes
    };

    // Everything a cascade's whole picture depends on besides its casters and its matrices;
    // a change draws every cascade afresh.
    struct Setup {
        irr::video::ITexture* target = nullptr;
        irr::u32 resolution = 0;
        irr::s32 splitCount = 0;
        irr::s32 distanceMode = 0;
        irr::f32 maxDepth = 0.0f;
        bool drawCasters = false;
        bool hardwareSkinning = false;
        bool operator==(const Setup& other) const;
    };

    // One caster as the pass saw it: what decides its depth picture and where it lies in each
    // cascade. The node is its identity only and is never followed: the caster may be gone.
    struct Caster {
        irr::scene::ISceneNode* node = nullptr;
        irr::u64 signature = 0;
        Area footprint[ShadowCascades::maxSplits];
        bool leftOut[ShadowCascades::maxSplits] = {}; // its shadow falls outside what the view reads
        irr::s32 previous = -1; // its record of the last pass, or -1 for a new caster
        bool seen = false;      // (last pass's records) still in the list
    };

    // Next pass draws everything afresh (a new level, a rebuilt light, another list).
    void forget();
    // Starts a pass: a changed set-up forgets everything; then reads the signature of every
    // casting entry of the list (modes 1 and 2).
    void beginPass(const Setup& setup, const std::vector<ShadowNode>& nodes);
    // The area of cascade k to draw again, given its light matrices (the view applies first)
    // and which entries are drawn into it at all (`drawn`, one flag per list entry: not
    // hidden, not an instance of another object, static in the far cascade); records each
    // caster's footprint in it. Whole when the matrices changed; empty when nothing in the
    // cascade changed. With `read`, a caster whose footprint misses it is not drawn when it
    // changed since the last pass (moved, turned, animated) or was not drawn then; a still
    // caster in the map stays, so a view that turns draws nothing again.
    Area beginCascade(irr::s32 k, const irr::core::matrix4& projection, const irr::core::matrix4& view,
                      const std::vector<bool>& drawn, const ReadArea* read = nullptr);
    // The parts of that area to draw again, apart from each other (overlapping parts merged,
    // at most maxDirtyAreas): casters changing in far corners of a cascade leave the map
    // between them as it is.
    const std::vector<Area>& dirtyAreas(irr::s32 k) const;
    static constexpr std::size_t maxDirtyAreas = 4;
    // Ends the pass: this pass's records become the ones the next pass compares with.
    void endPass();

    // Footprint of the current pass's caster for that list entry in cascade k (empty when it
    // is not drawn there).
    const Area& footprint(irr::u32 entry, irr::s32 k) const;

    // What decides a caster's depth picture besides its footprint: transformation, box,
    // visibility, mesh and its vertices, animation frame and joints, instances, materials.
    irr::u64 signatureOf(irr::scene::ISceneNode* node);
    // Where the box around what the node draws (for an instanced node, around each of its
    // instances) lies in a cascade's map, clipped to it; empty when wholly outside (depth
    // included).
    Area footprintOf(irr::scene::ISceneNode* node, const irr::core::matrix4& viewProjection);

private:
    Setup setup;
    bool valid = false;
    bool cascadeValid[ShadowCascades::maxSplits] = {};
    irr::core::matrix4 projections[ShadowCascades::maxSplits];
    irr::core::matrix4 views[ShadowCascades::maxSplits];
    std::vector<Caster> previousCasters; // sorted by node
    std::vector<Caster> casters;         // this pass's, one per list entry (non-casting: no node)
    std::vector<Caster> sortScratch;
    std::vector<Area> dirty[ShadowCascades::maxSplits];
    std::vector<irr::core::matrix4> instanceScratch;
};

// The physics object behind a shadow caster: for an animated mesh node, its parent when that
// is a physics object, else its nearest physics ancestor; null for any other node.
irr::scene::ISceneNode* shadowCasterOwner(irr::scene::ISceneNode* node);

// Where a node draws its mesh: its absolute transformation, or for the instanced node of a
// physics object with instances the transformation of each visible instance.
void drawnPlacements(irr::scene::ISceneNode* node, std::vector<irr::core::matrix4>& out);
