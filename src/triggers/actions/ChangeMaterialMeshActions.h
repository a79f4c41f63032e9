#pragma once

#include "triggers/TriggerAction.h"

#include <vector>

// "Change Material": sets a texture, a colour or a render flag on one or all materials of an
// object (the event's causing object when there is one) and of the objects an object-ID
// expression names. It cannot undo.
class ChangeMaterialAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 3;
    enum What : irr::s32 {
        SetTexture = 0,
        SetDiffuseColor = 1,
        SetEmissiveColor = 2,
        ToggleLighting = 3,
        ToggleZWrite = 4
    };
    static const char* const materialActionNames[6];

    explicit ChangeMaterialAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    // Collects the objects of ObjectIDs once after the keys were read.
    void update() override;
    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    const std::vector<irr::scene::ISceneNode*>& getTargets() const { return targets; }
    irr::video::ITexture* getTexture() const { return texture; }

    irr::s32 MaterialAction = ToggleLighting;
    irr::core::stringc NewTextureFileName;
    irr::core::stringc ObjectIDs;
    irr::s32 ObjectID = 0;
    irr::u32 MaterialIndex = 0;
    irr::video::SColor NewColor{0};
    bool NewValue = false;
    bool ApplyToAllMaterials = true;

private:
    void applyTo(irr::scene::ISceneNode* node) const;

    std::vector<irr::scene::ISceneNode*> targets; // not owned
    irr::video::ITexture* texture = nullptr;      // the driver's cache holds it
    bool collectPending = false;
};

// "Change Mesh": gives a physics object (or the player) another mesh. It cannot undo.
class ChangeMeshAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 4;

    explicit ChangeMeshAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    // Loads the mesh into the mesh cache at once, so the change in play finds it loaded.
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    irr::core::stringc NewMeshFileName;
    irr::s32 ObjectID = 0;
};
