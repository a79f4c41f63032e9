#include "AnimatorFixture.h"

#include "characters/animators/AnimatorFactory.h"
#include "physics/objects/PhysicsObjectSettings.h"
#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/SplineObject.h"
#include "level/ResourceCaches.h"
#include "render/BillboardObject.h"
#include "render/EffectHandler.h"
#include "render/SpriteAnimation.h"
#include "physics/world/PhysicsHooks.h"

using namespace irr;

void AnimatorFixture::SetUp() {
    PhysicsObjectFixture::SetUp();
    // The animators' hosts are engine nodes, which every draw pass animates again (the
    // game's levels hang animators on level objects, which animate once a frame).
    drawEachFrame = false;
    factory = new AnimatorFactory(smgr());
    // An ended mesh animation starts the animators it names, as the characters' registration
    // sets it up.
    physicsHooks().characters.enableAnimators = enableAnimatorsByID;
    registerBillboardObjectType();
    // The level is being played: the physics world's simulation flag is set.
    coreSlots().physics.isSimulationActive = [] { return physicsManager && physicsManager->isSimulationActive(); };
    levelHooks().render.loadSpriteAnimation =
        [](const io::path& file) -> std::shared_ptr<const SpriteAnimation> {
        auto animation = std::make_shared<SpriteAnimation>();
        return loadTextureAnimation(*animation, file) ? animation : nullptr;
    };
}

void AnimatorFixture::useHardwareSkinning() {
    skinningHandler = std::make_unique<EffectHandler>(device->get(), irr::core::dimension2du(0, 0));
    effectHandler = skinningHandler.get();
    effectHandler->hardwareSkinning = true;
}

void AnimatorFixture::TearDown() {
    if (skinningHandler) {
        effectHandler = nullptr;
        skinningHandler.reset();
    }
    smgr()->clear();
    factory->drop();
    factory = nullptr;
    clearSpriteAnimationCache();
    resetLevelHooks();
    resetCoreSlots();
    PhysicsObjectFixture::TearDown();
}

AnimatorBase* AnimatorFixture::makeAnimator(const char* type, scene::ISceneNode* node,
                                            const std::function<void(io::IAttributes*)>& fill) {
    scene::ISceneNodeAnimator* animator = factory->createSceneNodeAnimator(type, node);
    if (!animator)
        return nullptr;
    io::IAttributes* in = newAttributes();
    in->addBool("Enabled", true);
    fill(in);
    animator->deserializeAttributes(in);
    in->drop();
    animator->drop();
    return asGameAnimator(animator);
}

std::vector<std::string> AnimatorFixture::written(scene::ISceneNodeAnimator* animator,
                                                  io::SAttributeReadWriteOptions* options) const {
    io::IAttributes* out = newAttributes();
    animator->serializeAttributes(out, options);
    std::vector<std::string> lines;
    for (u32 i = 0; i < out->getAttributeCount(); ++i)
        lines.push_back(std::string(out->getAttributeName(static_cast<s32>(i))) + "=" +
                        out->getAttributeAsString(static_cast<s32>(i)).c_str());
    out->drop();
    return lines;
}

SplineObject* AnimatorFixture::addStraightPath(s32 id, f32 length, f32 x0) {
    auto* path = new SplineObject(root(), smgr(), id);
    path->drop();
    for (f32 x : {0.0f, length}) {
        auto* point = new SplineObject(path, smgr(), -1);
        point->drop();
        point->setPosition({x0 + x, 0, 0});
        point->Time = x / length;
    }
    manager->registerNodeIDs(path);
    return path;
}

scene::ISceneNode* AnimatorFixture::addNode(const core::vector3df& position, s32 id) {
    scene::ISceneNode* node = smgr()->addEmptySceneNode(root(), id);
    node->setPosition(position);
    node->updateAbsolutePosition();
    if (id != -1)
        manager->registerNodeIDs(node);
    return node;
}

PhysicsObject* AnimatorFixture::addBox(const char* state, const core::vector3df& position, s32 id) {
    PhysicsObject* box = makeObject([&](io::IAttributes* a) {
        a->addVector3d("Position", position);
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("BoxExtents", core::vector3df(2, 2, 2));
        a->addEnum("PhysicsState", state, physicsStateNames);
    });
    if (id != -1) {
        box->setID(id);
        manager->registerNodeIDs(box);
    }
    return box;
}
