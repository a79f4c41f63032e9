#pragma once

// A scene of boxes under a shadow light on the null device, for the shadow receivers' tests
// (ShadowReceiversTest, and the allocation counts of their pass).
#include "render/ShadowReceivers.h"

#include "render/EffectHandler.h"
#include "support/NullDevice.h"

#include <irrlicht.h>

#include <cmath>
#include <string>
#include <vector>

namespace rendertest {

inline const irr::core::vector3df down(0, -1, 0);
inline const irr::core::vector3df slanted = irr::core::vector3df(1, -1, 0).normalize();

// A scene of boxes under a shadow light, and what one ShadowReceivers makes of it: which
// entries cast, and where the shadows reach each node as the camera draws it.
struct PairingScene {
    test::NullDevice device;
    std::vector<ShadowNode> entries;
    std::vector<irr::scene::ISceneNode*> drawn;
    irr::core::vector3df away = slanted;
    irr::f32 boxHalfWidth = 50.0f;
    irr::core::vector3df eye{0, 12, -20}; // the camera's, looking at the origin

    irr::scene::ISceneManager* scene() { return device->getSceneManager(); }
    void add(irr::scene::ISceneNode* node, irr::s32 mode) {
        node->updateAbsolutePosition();
        entries.push_back({node, mode, 0});
        drawn.push_back(node);
    }
    void box(const irr::core::vector3df& at, const irr::core::vector3df& size, irr::s32 mode) {
        add(scene()->addCubeSceneNode(1.0f, nullptr, -1, at, {}, size), mode);
    }
    // A level open sheet `side` across of tiles.Width x tiles.Height squares, two triangles
    // each (no closed convex caster: it shadows what lies inside its box too).
    void sheet(const irr::core::vector3df& at, const irr::core::dimension2du& tiles, irr::f32 side, irr::s32 mode) {
        const std::string name = "Sheet" + std::to_string(tiles.Width) + "x" + std::to_string(tiles.Height) +
                                 "/" + std::to_string(side);
        irr::scene::IAnimatedMesh* mesh = scene()->getMesh(name.c_str());
        if (!mesh)
            mesh = scene()->addHillPlaneMesh(name.c_str(), {side / tiles.Width, side / tiles.Height}, tiles);
        add(scene()->addMeshSceneNode(mesh->getMesh(0), nullptr, -1, at), mode);
    }
    // Boxes half a unit across on a grid `spacing` apart, in `layers` layers one unit apart.
    void grid(irr::s32 columns, irr::s32 rows, irr::s32 layers, irr::f32 spacing) {
        for (irr::s32 layer = 0; layer < layers; ++layer)
            for (irr::s32 row = 0; row < rows; ++row)
                for (irr::s32 column = 0; column < columns; ++column)
                    box({(column - columns / 2) * spacing, 0.5f + layer, (row - rows / 2) * spacing},
                        {0.5f, 0.5f, 0.5f}, 2);
    }
    void floor() { box({0, -0.1f, 0}, {80, 0.2f, 80}, 0); }

    struct Outcome {
        std::vector<bool> casts;
        std::vector<ShadowReceivers::Reach> reaches;
        std::vector<std::vector<irr::s32>> pieces;
        std::size_t pairsTested = 0;
    };
    // One shadow pass as a frame makes it: the casters, the cascade, then each drawn node as
    // the camera draws it (its answer and pieces to `seen`, when given). It allocates nothing
    // of its own once it has run.
    template <class Seen> void pass(ShadowReceivers& receivers, Seen&& seen) {
        receivers.setCasters(entries, scene()->getRootSceneNode(), away, 0.2f, {0, 0, 0}, boxHalfWidth);
        irr::core::matrix4 lightView, lightProjection, view, projection;
        const irr::core::vector3df up =
            std::fabs(away.Y) > 0.9f ? irr::core::vector3df(0, 0, 1) : irr::core::vector3df(0, 1, 0);
        lightView.buildCameraLookAtMatrixLH(-away * 100.0f, {0, 0, 0}, up);
        lightProjection.buildProjectionMatrixOrthoLH(2.0f * boxHalfWidth, 2.0f * boxHalfWidth, 1.0f, 300.0f);
        cascades.assign(1, {lightProjection * lightView, 0.0f, 1000.0f});
        receivers.setCascades(cascades);
        view.buildCameraLookAtMatrixLH(eye, {0, 0, 0}, {0, 1, 0});
        projection.buildProjectionMatrixPerspectiveFovLH(1.0f, 4.0f / 3.0f, 0.5f, 200.0f);
        const irr::s32 viewport[4] = {0, 0, 640, 480};
        for (irr::scene::ISceneNode* node : drawn)
            seen(receivers.reach(node, projection * view, viewport, pieces), pieces);
    }
    void pass(ShadowReceivers& receivers) {
        pass(receivers, [](ShadowReceivers::Reach, const std::vector<ShadowReceivers::Piece>&) {});
    }
    Outcome run(ShadowReceivers& receivers) {
        Outcome outcome;
        pass(receivers, [&outcome](ShadowReceivers::Reach reach, const std::vector<ShadowReceivers::Piece>& found) {
            outcome.reaches.push_back(reach);
            std::vector<irr::s32> corners;
            for (const ShadowReceivers::Piece& piece : found)
                corners.insert(corners.end(), {piece.x0, piece.y0, piece.x1, piece.y1, piece.readsMaps ? 1 : 0});
            outcome.pieces.push_back(corners);
        });
        for (std::size_t i = 0; i < entries.size(); ++i)
            outcome.casts.push_back(receivers.castsOntoAnything(i));
        outcome.pairsTested = receivers.pairsTested();
        return outcome;
    }

    std::vector<ShadowReceivers::Cascade> cascades;
    std::vector<ShadowReceivers::Piece> pieces;
};

} // namespace rendertest
