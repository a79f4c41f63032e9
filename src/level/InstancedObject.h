#pragma once

#include "level/LevelObject.h"

// An instance ('inst'): shows a copy of the physics object named by its "ObjectID". The
// copy is made by the physics subsystem (a PhysicsObject child, flagged as a debug object
// so that level files keep only the instance) when the instance is rebuilt; a level's
// instances rebuild on their first animate pass, when every object of the level exists.
class InstancedObject : public LevelObject {
public:
    InstancedObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
                    irr::s32 id = -1)
        : LevelObject(parent, manager, id) {}
    ~InstancedObject() override;

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("inst"); }

    void OnAnimate(irr::u32 timeMs) override;

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // (Re)creates the copy of the source object; with the effect handler's instancing on
    // and the simulation active, registers this instance with the source.
    void rebuild();

    // The copy (null until rebuilt or when the source cannot be copied) and its source.
    irr::scene::ISceneNode* getCopy() const { return copy; }
    irr::scene::ISceneNode* getSource() const { return source; }

    irr::s32 ObjectID = 0;
    irr::core::vector2df TexturePan;

private:
    void releaseCopy();

    irr::scene::ISceneNode* copy = nullptr;   // grabbed
    irr::scene::ISceneNode* source = nullptr; // grabbed
    bool built = false;
};
