#include "triggers/ForceVolume.h"

#include "level/AttributeExtras.h"
#include "triggers/actions/ActionSupport.h"
#include "triggers/actions/AddForceAction.h"

using namespace irr;

ForceVolume::ForceVolume(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : TriggerObject(parent, manager, id) {
    TriggerConditionIndex = static_cast<s32>(TriggerCondition::OnObjectInside);
    OnLegsCollision = TriggerSide::Either;
    setScale(core::vector3df(10.0f, 10.0f, 10.0f));
    auto* push = new AddForceAction(this);
    push->AddContinuously = true;
    setAction(push);
}

void ForceVolume::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    writeBoundKeys(out);
    addObjectIDList(out, "TriggerStartExpression", TriggerStartExpression.c_str());
    out->addBool("OnBodyCollision", OnBodyCollision);
    triggerActions::addEnumByIndex(out, "OnArmsCollision", OnArmsCollision, triggerNames::sides);
    triggerActions::addEnumByIndex(out, "OnLegsCollision", OnLegsCollision, triggerNames::sides);
    triggerActions::addEnumByIndex(out, "ModeCondition", ModeCondition, triggerNames::modes);
    if (isEditorWrite(options) || DeviceCondition.size() > 1)
        out->addString("DeviceCondition", DeviceCondition.c_str());
    if (action) {
        action->UndoOnTriggerRevert = true;
        action->serializeAttributes(out, options);
    }
}

scene::ISceneNode* ForceVolume::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new ForceVolume(newParent, newManager, ID);
    finishTriggerClone(copy);
    if (newParent)
        copy->drop();
    return copy;
}
