#include "triggers/TriggerEventObject.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "level/AttributeExtras.h"
#include "level/LevelInfo.h"
#include "level/LevelLimits.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "triggers/TriggerObject.h"
#include "triggers/TriggerRunBudget.h"

#include <limits>

using namespace irr;

namespace {

// The nearest node from `node` up whose type is a trigger kind or which is (or derives
// from) the level information, a cutscene or a waypoint.
scene::ISceneNode* findEventOwner(scene::ISceneNode* node) {
    scene::ISceneNode* root = node && node->getSceneManager() ? node->getSceneManager()->getRootSceneNode() : nullptr;
    for (scene::ISceneNode* n = node; n && n != root; n = n->getParent()) {
        if (isTriggerKind(n) || asType(n, typeId("lvli")) || asType(n, typeId("cuts")) || asType(n, typeId("wayp")))
            return n;
    }
    return nullptr;
}

} // namespace

TriggerObject* levelInfoTrigger(LevelInfo* levelInfo) {
    if (!levelInfo)
        return nullptr;
    if (!levelInfo->getTrigger()) {
        auto* trigger = new TriggerObject(nullptr, levelInfo->getSceneManager(), -1);
        trigger->setName("LevelInfoTrigger");
        levelInfo->setTrigger(trigger); // takes our reference
    }
    return static_cast<TriggerObject*>(levelInfo->getTrigger());
}

TriggerEventObject::TriggerEventObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {
    ensureAction();
}

TriggerEventObject::~TriggerEventObject() = default;

const core::aabbox3df& TriggerEventObject::getBoundingBox() const {
    static const core::aabbox3df zeroBox(0, 0, 0, 0, 0, 0);
    return zeroBox;
}

scene::ISceneNode* TriggerEventObject::findOwner() {
    if (!ownerSearched) {
        owner = findEventOwner(this);
        ownerSearched = true;
    }
    return owner;
}

bool TriggerEventObject::ownerHoldsActions() {
    scene::ISceneNode* found = findOwner();
    if (!found)
        return false;
    return isTriggerKind(found) || found->getType() == typeId("lvli") || found->getType() == typeId("cuts") ||
           found->getType() == typeId("wayp");
}

TriggerObject* TriggerEventObject::ownerTrigger() {
    scene::ISceneNode* found = findOwner();
    if (!found)
        return nullptr;
    if (TriggerObject* trigger = asTrigger(found))
        return trigger;
    if (found->getType() == typeId("lvli"))
        return levelInfoTrigger(static_cast<LevelInfo*>(found));
    return nullptr;
}

bool TriggerEventObject::ensureAction() {
    if (action)
        return true;
    if (!ownerHoldsActions())
        return false;
    action.reset(new TriggerAction(0, ownerTrigger()));
    action->event = this;
    return true;
}

void TriggerEventObject::setAction(TriggerAction* newAction) {
    action.reset(newAction);
    if (action)
        action->event = this;
}

void TriggerEventObject::startEvent(const TriggerEventInfo& event) {
    if (!action)
        return;
    if (EventDelay == 0.0f) {
        const TriggerRun run;
        TriggerEventInfo copy = event;
        if (run.allowed())
            action->execute(copy);
        return;
    }
    pending = event;
    pending.time = 0.0f;
    pending.flag = false;
    started = true;
}

void TriggerEventObject::startRevert(const TriggerEventInfo& event) {
    if (!action)
        return;
    if (EventDelay == 0.0f) {
        const TriggerRun run;
        TriggerEventInfo copy = event;
        if (run.allowed())
            action->revert(copy);
        return;
    }
    pending = event;
    pending.time = 0.0f;
    pending.flag = true;
    started = true;
}

void TriggerEventObject::OnAnimate(u32) {
    if (animatedThisFrame())
        return; // a draw pass of a frame already animated
    markAnimatedThisFrame();
    // Only the delay and the action: children and animators of an event object stay still.
    findOwner();
    if (!ensureAction())
        return;
    const bool running = started;
    const TriggerObject* trigger = asTrigger(owner);
    if (!(trigger && trigger->pauseCount > 0) && running)
        pending.time += levelPlaySeconds();
    const bool counting = running && EventDelay != 0.0f && pending.time < EventDelay;
    if (!counting)
        action->update();
    if (running && pending.time >= EventDelay) {
        stopPending();
        const TriggerRun run;
        if (!run.allowed())
            return;
        if (pending.flag)
            action->revert(pending);
        else
            action->execute(pending);
    }
}

void TriggerEventObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    if (!action)
        return;
    if (EventDelay != 0.0f || isEditorWrite(options))
        out->addFloat("EventDelay", EventDelay);
    const s32 index = action->getType();
    out->addEnum("OnTriggerEvent", triggerActionNames[index >= 0 && index < triggerActionCount ? index : 0],
                 triggerActionNames);
    if (isSimulationActive() && started)
        out->addFloat("Timer", pending.time);
    action->serializeAttributes(out, options);
}

void TriggerEventObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    // The owner may have changed since the constructor looked (the loader reads the
    // attributes after the node is placed).
    ownerSearched = false;
    findOwner();
    ensureAction();
    if (ownerHoldsActions()) {
        // A delay below 0 or not finite runs as soon as started, as 0 does.
        if (readIfPresent(in, "EventDelay", EventDelay))
            clampLevelFloat("TriggerEventObject", getName(), "EventDelay", EventDelay, 0.0f,
                            std::numeric_limits<f32>::max());
        s32 index = OnTriggerEvent;
        if (readEnumIfPresent(in, "OnTriggerEvent", triggerActionNames, index))
            OnTriggerEvent = index;
        // A saved timer resumes its pending run; a negative one (or none) was idle.
        f32 timer = 0.0f;
        if (readIfPresent(in, "Timer", timer)) {
            started = timer >= 0.0f;
            pending.time = started ? timer : -1.0f;
        }
        if (index != 0 && action && action->getType() != index)
            setAction(createTriggerAction(index, ownerTrigger()));
    }
    if (action)
        action->deserializeAttributes(in, options);
}

scene::ISceneNode* TriggerEventObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new TriggerEventObject(newParent, newManager, ID);
    LevelObject::cloneMembers(copy, this, newManager);
    copy->OnTriggerEvent = OnTriggerEvent;
    copy->EventDelay = EventDelay;
    if (action && ownerHoldsActions()) {
        // The copy acts for the trigger it hangs under (a cloned trigger's own copy when the
        // two are cloned together); outside every owner, for the one this action acts for.
        copy->action.reset(action->clone(copy->ownerHoldsActions() ? copy->ownerTrigger() : action->trigger));
        // The copy's action belongs to no event object until its owner sets it.
        copy->action->event = nullptr;
    }
    copy->setID(assignUniqueObjectID(copy));
    if (newParent)
        copy->drop();
    return copy;
}
