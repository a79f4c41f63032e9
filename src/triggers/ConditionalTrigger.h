#pragma once

#include "triggers/TriggerObject.h"

// A trigger ('cond') that never evaluates by itself: its parent (a trigger, a cutscene or a
// waypoint) starts it when the parent fires. A start may be skipped by chance
// ("Randomness"); then the condition is evaluated at once (TimeSpan (0, 0)) or in every
// frame of the window "TimeSpan" after the start. With "BreakIfTrue" a met condition cancels
// the rest of the nearest plain trigger's (or waypoint's) sequence.
class ConditionalTrigger : public TriggerObject {
public:
    ConditionalTrigger(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("cond"); }
    void OnAnimate(irr::u32 timeMs) override;
    // A conditional trigger is evaluated only through start and its window.
    void updateTrigger() override {}

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    void start();
    void checkBreak();
    // The trigger machinery of a plain trigger, run when this one is evaluated.
    void evaluateNow() { TriggerObject::updateTrigger(); }

    irr::f32 Timer = -1.0f;
    irr::core::vector2df TimeSpan{0.0f, 0.0f};
    irr::f32 Randomness = 1.0f;
    bool skipped = false;
    bool BreakIfTrue = true;
    // Set by a stopping cutscene.
    bool conditionalCancelled = false;
};
