#include "level/InstancedObject.h"

#include "level/AttributeExtras.h"
#include "level/LevelHooks.h"
#include "level/NodeHelpers.h"

#include "core/ProgramQueries.h"

using namespace irr;

InstancedObject::~InstancedObject() {
    if (copy)
        copy->drop();
    if (source)
        source->drop();
}

void InstancedObject::releaseCopy() {
    if (copy) {
        copy->remove();
        copy->drop();
        copy = nullptr;
    }
    if (source) {
        source->drop();
        source = nullptr;
    }
}

void InstancedObject::rebuild() {
    releaseCopy();
    built = true;
    if (ObjectID == 0 || ObjectID == -1)
        return;
    source = findLevelObjectOfType(ObjectID, typeId("phsx"));
    if (!source)
        return;
    source->grab();

    // The copy is made where the instance stands now.
    updateAbsolutePosition();
    LevelHookTable& hooks = levelHooks();
    if (hooks.physics.cloneForInstance)
        copy = hooks.physics.cloneForInstance(source, this);
    if (copy) {
        copy->grab();
        copy->setIsDebugObject(true);
    }
    const bool instancing = hooks.render.isInstancingEnabled && hooks.render.isInstancingEnabled();
    if (instancing && isSimulationActive() && hooks.physics.registerInstance)
        hooks.physics.registerInstance(source, this);
}

void InstancedObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return;
    if (!built)
        rebuild();
    LevelObject::OnAnimate(timeMs);
}

void InstancedObject::serializeAttributes(io::IAttributes* out,
                                          io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    addObjectReference(out, "ObjectID", ObjectID);
    out->addVector2d("TexturePan", TexturePan);
}

void InstancedObject::deserializeAttributes(io::IAttributes* in,
                                            io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    s32 id = 0;
    if (readIfPresent(in, "ObjectID", id) && id != ObjectID) {
        ObjectID = id;
        built = false;
    }
    readIfPresent(in, "TexturePan", TexturePan);
}

scene::ISceneNode* InstancedObject::clone(scene::ISceneNode* newParent,
                                          scene::ISceneManager* newManager) {
    return cloneAs<InstancedObject>(newParent, newManager);
}
