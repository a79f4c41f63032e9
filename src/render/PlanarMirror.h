#pragma once

#include <irrlicht.h>

#include <vector>

// The plane arithmetic of mirror passes (water and reflective objects): a pass draws the
// scene from a camera mirrored across a plane and must cut away what lies behind it.

// The plane with its normal scaled to unit length (D with it).
irr::core::plane3df unitPlane(irr::core::plane3df plane);

// The projection with its near plane replaced by the view-space plane (points with
// N . v + D >= 0 are kept) and its far plane kept through the far corner on the plane's
// side. The Phong shaders do not clip against user planes, so a mirror pass cuts the scene
// with its projection instead.
irr::core::matrix4 obliqueProjection(const irr::core::matrix4& projection, const irr::core::plane3df& viewPlane);

// The view-space plane as a clip-space plane: the row vector (N, D) times the transpose of
// the inverse projection (the identity stands in for a projection without an inverse).
irr::core::plane3df clipSpacePlane(const irr::core::plane3df& viewPlane, const irr::core::matrix4& projection);

// The part of a pass's picture that is read afterwards, in normalised device coordinates (x
// and y from -1 to 1).
struct PictureWindow {
    irr::f32 x0 = -1.0f, y0 = -1.0f, x1 = 1.0f, y1 = 1.0f;
};

// The window of the picture drawn with projection x view (the view applies first) that the
// box (world space) covers, grown by `margin` each way: a mirror reads its image only where
// it shows itself in that picture. An axis on which the box reaches beyond the picture (its
// image would be read wrapped or clamped) or any corner lies behind the camera keeps the
// whole picture.
PictureWindow windowOfBox(const irr::core::aabbox3df& box, const irr::core::matrix4& projection,
                          const irr::core::matrix4& view, irr::f32 margin);

// Hides, for one mirror pass, the drawn nodes that lie wholly outside what the pass's camera
// shows (its projection and view as the rasterizer clips them: an oblique projection's near
// plane cuts at the mirror plane), so that the pass draws only what its image can show;
// `restore` shows them again. Meshes, cubes, spheres and billboards are judged by the box
// around what they draw (drawnLocalBox), empty nodes by what lies below them (an animated
// mesh's joints go with the mesh); a node is hidden only with everything below it. Lights,
// level objects and nodes drawing instances elsewhere stay. The drawn nodes that stay are not
// culled by the engine during the pass: its view frustum reads the near plane of a projection
// as depth 0 (not -w), which an oblique projection moves, and would cull nodes well in view.
// With a window, what lies beside it is hidden too: the picture is read only there.
class MirrorPassCulling {
public:
    void hideOutside(irr::scene::ISceneNode* root, const irr::core::matrix4& projection,
                     const irr::core::matrix4& view, const PictureWindow& window = PictureWindow());
    // The same for a pass with an ordinary projection (the window's): what stays keeps the
    // engine's culling, and of the nodes that draw nothing themselves only empty nodes count
    // (a node of the game's own may draw without a material of its own). Nodes the engine
    // does not cull (a mesh skinned on the card) would otherwise be drawn wherever they are.
    void hideOutsideView(irr::scene::ISceneNode* root, const irr::core::matrix4& projection,
                         const irr::core::matrix4& view);
    void restore();
    // The box (world space) lies wholly on the outer side of one of the clip planes.
    bool isOutside(const irr::core::aabbox3df& box) const;
    // Sets the clip planes of projection x view (the view applies first), its sides at the
    // window's.
    void setClipPlanes(const irr::core::matrix4& projection, const irr::core::matrix4& view,
                       const PictureWindow& window = PictureWindow());
    const std::vector<irr::scene::ISceneNode*>& hiddenNodes() const { return hidden; }
    // The drawn nodes kept for the pass with the engine's culling they had.
    struct KeptNode {
        irr::scene::ISceneNode* node;
        irr::u32 culling;
    };
    const std::vector<KeptNode>& keptNodes() const { return kept; }

private:
    // True when nothing of the node's subtree reaches the picture once the nodes it hid stay
    // hidden.
    bool hideSubtree(irr::scene::ISceneNode* node);

    irr::f32 planes[6][4] = {};
    std::vector<irr::scene::ISceneNode*> hidden;
    std::vector<KeptNode> kept;
    bool keptUnculled = true; // what stays is not culled by the engine during the pass
    std::vector<irr::core::matrix4> instanceScratch;
};
