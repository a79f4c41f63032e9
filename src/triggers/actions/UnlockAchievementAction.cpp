#include "triggers/actions/UnlockAchievementAction.h"

#include "core/Globals.h"
#include "level/Achievements.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"

#include <vector>

using namespace irr;

void UnlockAchievementAction::execute(TriggerEventInfo&) {
    logStep();
    if (!levelManager || levelManager->PlayMode == LevelManager::playModeWorkshop)
        return;
    // What the frame that earned it changed in the save is on the disk by its end.
    if (unlockAchievement(levelManager->achievements.get(), AchievementID.c_str()) && saveManager)
        saveManager->requestWriteThisFrame();
}

void UnlockAchievementAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    const AchievementsData* data = levelManager ? levelManager->achievements.get() : nullptr;
    std::vector<const char*> identifiers;
    if (data)
        for (const std::string& identifier : data->getIdentifiers())
            identifiers.push_back(identifier.c_str());
    identifiers.push_back(nullptr);
    out->addEnum("AchievementID", AchievementID.c_str(), identifiers.data());
    const AchievementRecord* record = data && !AchievementID.empty() ? data->find(AchievementID) : nullptr;
    if (record) {
        out->addString("AchievementName", record->name.c_str());
        out->addString("AchievementDesc", record->description.c_str());
    }
}

void UnlockAchievementAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    if (in->existsAttribute("AchievementID"))
        AchievementID = in->getAttributeAsString("AchievementID").c_str();
}

TriggerAction* UnlockAchievementAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new UnlockAchievementAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
