#pragma once

#include "level/LevelObject.h"

// A level variable ('vble'): one float, "Value", read by the variable condition and the
// spline animators and written directly by the Change Variable action.
class VariableObject : public LevelObject {
public:
    VariableObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
                   irr::s32 id = -1)
        : LevelObject(parent, manager, id) {}

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("vble"); }

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    irr::f32 Value = 0.0f;
};
