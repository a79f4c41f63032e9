#include "triggers/actions/PlaySoundAction.h"

#include "level/AttributeExtras.h"
#include "level/SoundObject.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/ActionSupport.h"

using namespace irr;

const char* const PlaySoundAction::soundActionNames[6] = {"Play", "Stop", "Fade Out", "Pause", "Change Variable",
                                                          nullptr};

PlaySoundAction::PlaySoundAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) { canUndo = true; }

PlaySoundAction::~PlaySoundAction() = default;

SoundObject* PlaySoundAction::lookupSound() const {
    scene::ISceneNode* node = triggerActions::findObjectByID(ObjectID);
    return node && node->getType() == typeId("sond") ? static_cast<SoundObject*>(node) : nullptr;
}

bool PlaySoundAction::ownedByConditional() const { return triggerActions::ownerType(*this) == typeId("cond"); }

void PlaySoundAction::releaseHold() {
    if (holding && trigger && trigger->pauseCount > 0)
        --trigger->pauseCount;
    holding = false;
}

void PlaySoundAction::update() {
    if (!PauseTriggerWhilePlaying || !sound || !ownedByConditional())
        return;
    const bool playing = sound->isPlaying();
    if (!holding && playing) {
        ++trigger->pauseCount;
        holding = true;
    } else if (holding && !playing) {
        releaseHold();
    }
}

void PlaySoundAction::execute(TriggerEventInfo&) {
    sound = lookupSound();
    if (!sound)
        return;
    switch (SoundAction) {
    case Play:
        logStep("Play Sound");
        sound->play();
        break;
    case Stop:
        logStep("Stop Sound");
        sound->stop();
        break;
    case FadeOut:
        logStep("Fade Out Sound");
        sound->fadeOut(FadeOutDuration);
        break;
    case Pause:
        logStep("Pause Sound");
        sound->pause(true);
        break;
    case ChangeVariable:
        logStep("Change Variable");
        sound->setEventParameter(SndVariableName.c_str(), SndVariableValue);
        break;
    default:
        break;
    }
}

void PlaySoundAction::revert(TriggerEventInfo&) {
    SoundObject* target = lookupSound();
    if (!target)
        return;
    switch (SoundAction) {
    case Play:
        logStep("Reverse Play Sound (Pause)");
        target->pause(true);
        break;
    case Stop:
        logStep("Reverse Stop Sound (Play)");
        target->play();
        break;
    case Pause:
        logStep("Reverse Pause Sound (Play)");
        target->play();
        break;
    default:
        break;
    }
}

void PlaySoundAction::cancel() {
    SoundObject* target = lookupSound();
    if (target && SoundAction == Play) {
        logStep("Cancel Sound");
        target->stop();
    }
}

void PlaySoundAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    TriggerAction::serializeAttributes(out, options);
    addObjectReference(out, "ObjectID", ObjectID);
    triggerActions::addEnumByIndex(out, "SoundAction", SoundAction, soundActionNames);
    if (SoundAction == FadeOut)
        out->addFloat("FadeOutDuration", FadeOutDuration);
    if (SoundAction == ChangeVariable) {
        out->addString("SndVariableName", SndVariableName.c_str());
        out->addFloat("SndVariableValue", SndVariableValue);
    }
    if (ownedByConditional())
        out->addBool("PauseTriggerWhilePlaying", PauseTriggerWhilePlaying);
}

void PlaySoundAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    TriggerAction::deserializeAttributes(in, options);
    readIfPresent(in, "ObjectID", ObjectID);
    // "PlaySound" is the older name of the key.
    if (!triggerActions::readEnumByName(in, "SoundAction", soundActionNames, SoundAction))
        triggerActions::readEnumByName(in, "PlaySound", soundActionNames, SoundAction);
    readIfPresent(in, "PauseTriggerWhilePlaying", PauseTriggerWhilePlaying);
    if (SoundAction == ChangeVariable) {
        SndVariableValue = in->getAttributeAsFloat("SndVariableValue");
        SndVariableName = in->getAttributeAsString("SndVariableName");
    }
    if (SoundAction == FadeOut)
        FadeOutDuration = in->getAttributeAsFloat("FadeOutDuration");
}

TriggerAction* PlaySoundAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new PlaySoundAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
