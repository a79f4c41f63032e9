// Physics debug drawing: the library's visualisation lines (shape wireframes around the
// first player), captured when a step starts and drawn over the scene in debug mode.
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "player/PlayerObject.h"

using namespace irr;

namespace {

constexpr u32 debugLinesPerBlock = 30000;
constexpr f32 debugCullHalfSize = 25.0f;

} // namespace

void PhysicsManager::toggleDebugVisualization() {
    debugVisualization = !debugVisualization;
    if (!scene)
        return;
    if (debugVisualization) {
        scene->setVisualizationParameter(phys::VisualizationParameter::Scale, tolerances.length);
        scene->setVisualizationParameter(phys::VisualizationParameter::CollisionShapes, 1.0f);
        scene->setVisualizationParameter(phys::VisualizationParameter::CullBox, 1.0f);
    } else {
        scene->setVisualizationParameter(phys::VisualizationParameter::CollisionShapes, 0.0f);
        scene->setVisualizationParameter(phys::VisualizationParameter::CullBox, 0.0f);
    }
}

void PhysicsManager::addDebugLineBlock() {
    DebugLineBlock block;
    block.vertices.assign(2 * debugLinesPerBlock,
                          video::S3DVertex(core::vector3df(), core::vector3df(1.0f, 1.0f, 1.0f),
                                           video::SColor(0xFFFFFFFF), core::vector2df(1.0f, 1.0f)));
    block.indices.resize(2 * debugLinesPerBlock);
    for (u32 i = 0; i < block.indices.size(); ++i)
        block.indices[i] = i;
    debugBlocks.push_back(std::move(block));
}

void PhysicsManager::captureDebugLines() {
    if (!debugVisualization || !scene || !cameraManagers[0])
        return;
    if (PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr) {
        const phys::Vec3 centre = toPhys(player->getAbsolutePosition());
        const phys::Vec3 half(debugCullHalfSize, debugCullHalfSize, debugCullHalfSize);
        scene->setVisualizationCullingBox(phys::Bounds3(centre - half, centre + half));
    }
    const phys::RenderBuffer& buffer = scene->getRenderBuffer();
    debugLineCount = buffer.getNbLines();
    const u32 held = static_cast<u32>(debugBlocks.size()) * debugLinesPerBlock;
    if (held < debugLineCount) {
        const u32 more = (debugLineCount - held) / debugLinesPerBlock + 1;
        for (u32 i = 0; i < more; ++i)
            addDebugLineBlock();
    }
    const phys::DebugLine* lines = buffer.getLines();
    for (u32 k = 0; k < debugLineCount; ++k) {
        video::S3DVertex* pair = &debugBlocks[k / debugLinesPerBlock].vertices[2 * (k % debugLinesPerBlock)];
        pair[0].Pos = toEngine(lines[k].pos0);
        pair[0].Color = video::SColor(lines[k].color0);
        pair[1].Pos = toEngine(lines[k].pos1);
        pair[1].Color = video::SColor(lines[k].color1);
    }
}

void PhysicsManager::drawDebug() {
    if (!simulationActive || !debugVisualization || !debugMode || !gameDevice)
        return;
    video::IVideoDriver* driver = gameDevice->getVideoDriver();
    if (!driver)
        return;
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    video::SMaterial material;
    material.MaterialType = video::EMT_SOLID;
    material.Lighting = false;
    material.ZBuffer = video::ECFN_ALWAYS;
    driver->setMaterial(material);
    if (debugLineCount == 0)
        return;
    for (const DebugLineBlock& block : debugBlocks)
        driver->drawVertexPrimitiveList(block.vertices.data(), static_cast<u32>(block.vertices.size()),
                                        block.indices.data(), static_cast<u32>(block.indices.size() / 2),
                                        video::EVT_STANDARD, scene::EPT_LINES, video::EIT_32BIT);
}
