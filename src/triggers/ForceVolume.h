#pragma once

#include "triggers/TriggerObject.h"

// A force volume ('frce', "ForceVolume"): a trigger volume preset to On Object Inside with
// an Add Force action that acts every frame, pushing (or floating) whatever is inside:
// wind, a current, a jet of water, a liquid. Its files hold a reduced set of trigger keys;
// reading takes every trigger key that is there.
class ForceVolume : public TriggerObject {
public:
    ForceVolume(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("frce"); }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    const char* getEditorIconPath() const override { return "Content/Models/Editor/TransYellow.png"; }
    const char* getEditorIconPathAlt() const override { return "Content/Models/Editor/TransOrange.png"; }
};
