#include "triggers/actions/ChangeMusicParamAction.h"

#include "core/Globals.h"
#include "core/SoundManager.h"
#include "level/AttributeExtras.h"
#include "triggers/actions/ActionSupport.h"

using namespace irr;

const char* const ChangeMusicParamAction::musicActionNames[3] = {"Change Music", "Set Parameter", nullptr};

void ChangeMusicParamAction::execute(TriggerEventInfo&) {
    logStep();
    if (!soundManager)
        return;
    if (MusicAction == ChangeMusic) {
        soundManager->playSong(MusicEventName.size() < 2 ? nullptr : MusicEventName.c_str(), IsOneShot,
                               TransitionTime);
        return;
    }
    audio::Event* music = soundManager->getCurrentMusic();
    if (MusicAction != SetParameter || MusicParameterName.size() < 2 || !music)
        return;
    // A song without that parameter is left as it is.
    audio::EventParameter* parameter = nullptr;
    if (music->getParameter(MusicParameterName.c_str(), &parameter) == audio::Result::Ok && parameter)
        checkFmodResult(parameter->setValue(MusicParameterValue));
}

void ChangeMusicParamAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    triggerActions::addEnumByIndex(out, "MusicAction", MusicAction, musicActionNames);
    if (MusicAction == SetParameter) {
        out->addString("MusicParameterName", MusicParameterName.c_str());
        out->addFloat("MusicParameterValue", MusicParameterValue);
    } else {
        out->addString("MusicEventName", MusicEventName.c_str());
        out->addFloat("TransitionTime", TransitionTime);
        out->addBool("IsOneShot", IsOneShot);
    }
}

void ChangeMusicParamAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    readIfPresent(in, "MusicEventName", MusicEventName);
    readIfPresent(in, "MusicParameterName", MusicParameterName);
    readIfPresent(in, "MusicParameterValue", MusicParameterValue);
    triggerActions::readKnownEnum(in, "MusicAction", musicActionNames, MusicAction);
    readIfPresent(in, "TransitionTime", TransitionTime);
    // "SetAsFallback" is the older, inverted key; "IsOneShot" wins when both are there.
    bool fallback = false;
    if (readIfPresent(in, "SetAsFallback", fallback))
        IsOneShot = !fallback;
    readIfPresent(in, "IsOneShot", IsOneShot);
    if (!in->existsAttribute("MusicAction") && !MusicParameterName.empty())
        MusicAction = SetParameter;
}

TriggerAction* ChangeMusicParamAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ChangeMusicParamAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
