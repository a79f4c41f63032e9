#pragma once

#include <irrlicht.h>

#include <vector>

// The cascade record of the directional shadow light: the viewer camera's view cut into one
// to four depth slices (a blend of a logarithmic and a linear split), each slice's corners,
// and per slice a light view and an orthographic light projection cropped to the slice.
class ShadowCascades {
public:
    static constexpr irr::s32 maxSplits = 4;

    // The split count is kept within 1..4; the light camera's near and far values are read
    // here.
    ShadowCascades(irr::scene::ICameraSceneNode* lightCamera, irr::s32 splitCount, irr::f32 splitWeight);

    // Split distances along the viewer's view line: split[0] = its near value, split[N] =
    // its far value kept within 0..200, between them the weighted blend.
    void computeSplitDistances(irr::scene::ICameraSceneNode* viewer);
    // The eight corners of slice `index` (near four, then far four), pushed away from their
    // centre by `scale`.
    void computeSliceCorners(irr::scene::ICameraSceneNode* viewer, irr::s32 index, irr::f32 scale);
    // The light view and the cropped light projection of slice `index` from the current
    // corners. False when the crop is empty (every corner beyond one side of the light's box):
    // the slice then keeps the uncropped projection. With steps the crop's bounds widen to
    // whole steps of the light's box (`boundStep`, of its -1..1) and its depth range to whole
    // `depthStep`s: a viewer that moves a little then leaves the matrices as they were.
    bool computeCropMatrices(irr::s32 index, irr::f32 boundStep = 0.0f, irr::f32 depthStep = 0.0f);
    // Where the viewer's view between two view depths (a perspective projection's w) lies in
    // slice `index`'s map: the section's eight corners in the map's coordinates. False for a
    // projection that is not a plain perspective one, or an empty section.
    bool viewSectionInMap(irr::s32 index, const irr::core::matrix4& viewerProjection,
                          const irr::core::matrix4& viewerView, irr::f32 nearDepth, irr::f32 farDepth,
                          irr::core::vector2df out[8]) const;

    irr::scene::ICameraSceneNode* lightCamera;
    irr::s32 splitCount;
    irr::f32 splitWeight;
    std::vector<irr::f32> splitDistances; // splitCount + 1 entries once computed
    irr::core::vector3df corners[8];
    irr::core::matrix4 lightProjections[maxSplits];
    irr::core::matrix4 lightViews[maxSplits];
    irr::f32 lightNear = 1.0f;
    irr::f32 lightFar = 300.0f;
    irr::s32 currentIndex = 0;
};
