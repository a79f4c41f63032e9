#include "triggers/ConditionalTrigger.h"
#include "characters/WaypointObject.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/Random.h"
#include "level/AttributeExtras.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"

#include <cmath>

using namespace irr;

ConditionalTrigger::ConditionalTrigger(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : TriggerObject(parent, manager, id) {}

void ConditionalTrigger::start() {
    if (!OnceCondMetAlwaysMet) {
        ConditionMet = false;
        PrevConditionMet = false;
    }
    skipped = false;
    if (std::fabs(Randomness - 1.0f) > 1e-6f && randomFloat() > Randomness)
        skipped = true;
    if (std::fabs(TimeSpan.X) <= 1e-6f && std::fabs(TimeSpan.Y) <= 1e-6f) {
        if (!skipped) {
            evaluateNow();
            checkBreak();
        }
        return;
    }
    Timer = 0.0f;
}

void ConditionalTrigger::checkBreak() {
    if (!BreakIfTrue || !isVisible() || !ConditionMet)
        return;
    if (scene::ISceneNode* plain = findAncestorOfType(this, typeId("trgr"))) {
        auto* trigger = static_cast<TriggerObject*>(plain);
        trigger->cancelled = true;
        TriggerObject::stopPendingEvents(trigger);
        Timer = -1.0f;
        return;
    }
    if (scene::ISceneNode* waypoint = findAncestorOfType(this, typeId("wayp"))) {
        // The waypoint starts none of the rest of that arrival and cancels its pending events.
        static_cast<WaypointObject*>(waypoint)->breakEvents();
        Timer = -1.0f;
    }
}

void ConditionalTrigger::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return; // a draw pass of a frame already animated
    if (Timer >= 0.0f && pauseCount == 0) {
        Timer += levelPlaySeconds();
        if (Timer > TimeSpan.X) {
            if (!skipped) {
                evaluateNow();
                checkBreak();
            }
            if (Timer > TimeSpan.Y)
                Timer = -1.0f;
        }
    }
    TriggerObject::OnAnimate(timeMs);
}

void ConditionalTrigger::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    TriggerObject::serializeAttributes(out, options);
    out->addVector2d("TimeSpan", TimeSpan);
    out->addBool("BreakIfTrue", BreakIfTrue);
    out->addFloat("Randomness", Randomness);
    if (isSimulationActive() && Timer >= 0.0f)
        out->addFloat("Timer", Timer);
}

void ConditionalTrigger::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    TriggerObject::deserializeAttributes(in, options);
    TimeSpan = core::vector2df(0.0f, 0.0f);
    readIfPresent(in, "TimeSpan", TimeSpan);
    BreakIfTrue = false;
    readIfPresent(in, "BreakIfTrue", BreakIfTrue);
    readIfPresent(in, "Randomness", Randomness);
    readIfPresent(in, "Timer", Timer);
    f32 olderDelay = 0.0f;
    if (readIfPresent(in, "EventDelay", olderDelay))
        TimeSpan = core::vector2df(olderDelay, olderDelay);
}

scene::ISceneNode* ConditionalTrigger::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new ConditionalTrigger(newParent, newManager, ID);
    finishTriggerClone(copy);
    copy->Timer = Timer;
    copy->TimeSpan = TimeSpan;
    copy->BreakIfTrue = BreakIfTrue;
    copy->Randomness = Randomness;
    if (newParent)
        copy->drop();
    return copy;
}
