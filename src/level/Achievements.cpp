#include "level/Achievements.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/SteamManager.h"
#include "core/Utf8.h"
#include "level/ContentXml.h"


using namespace irr;

bool AchievementsData::load(io::IFileSystem* fileSystem, const std::string& file) {
    identifiers.clear();
    records.clear();
    int skipped = 0;
    const bool read =
        readContentXml(fileSystem, file, L"Achievements", [&](const ContentElement& element) {
            if (element.depth != 1 || element.name != L"Achievement")
                return;
            const std::string identifier = toUtf8(element.text(L"id").c_str());
            AchievementRecord record;
            record.name = element.text(L"name");
            record.description = element.text(L"description");
            if (identifier.empty() || !add(identifier, record))
                ++skipped;
        });
    if (skipped > 0)
        logMessagef("%s%d achievements of \"%s\" have no \"id\" or one seen before; they are "
                    "left out.",
                    logWarningPrefix, skipped, file.c_str());
    return read;
}

bool AchievementsData::add(const std::string& identifier, const AchievementRecord& record) {
    if (!records.emplace(identifier, record).second)
        return false;
    identifiers.push_back(identifier);
    return true;
}

AchievementRecord* AchievementsData::find(const std::string& identifier) {
    const auto found = records.find(identifier);
    return found == records.end() ? nullptr : &found->second;
}

const AchievementRecord* AchievementsData::find(const std::string& identifier) const {
    const auto found = records.find(identifier);
    return found == records.end() ? nullptr : &found->second;
}

bool unlockAchievement(AchievementsData* data, const char* identifier) {
    if (!data || !identifier)
        return false;
    AchievementRecord* record = data->find(identifier);
    if (!record || record->unlocked)
        return false;
    record->unlocked = true;
    if (steamManager && steamManager->isAvailable())
        steamManager->reportAchievement(identifier);
    logMessagef("%s Achievement Unlocked.", toUtf8(record->name.c_str()).c_str());
    return true;
}
