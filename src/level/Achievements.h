#pragma once

#include <map>
#include <string>
#include <vector>

namespace irr::io {
class IFileSystem;
}

// The achievements the game knows: their identifiers in file order (the names of the
// Unlock Achievement action's "AchievementID" enumeration) and, per identifier, the display
// name, the description and whether it was unlocked in this run. The level manager holds
// one (null when there is none). Unlocks are not written to the save.
//
// File "Content/Language/<language>/Achievements.xml":
//   <Achievements>
//     <Achievement id="ACH_FIRST_TIE" name="Sharp Dresser" description="Collect a tie."/>
//   </Achievements>
// A row without an "id", or with an "id" seen before, is left out with a warning.
struct AchievementRecord {
    std::wstring name;
    std::wstring description;
    bool unlocked = false;
};

class AchievementsData {
public:
    static constexpr const char* defaultFile = "Content/Language/English/Achievements.xml";

    // Replaces the data with the file's rows; false when the file could not be read.
    bool load(irr::io::IFileSystem* fileSystem, const std::string& file = defaultFile);
    // Adds a record unless the identifier is known; answers whether it was added.
    bool add(const std::string& identifier, const AchievementRecord& record);

    const std::vector<std::string>& getIdentifiers() const { return identifiers; }
    AchievementRecord* find(const std::string& identifier);
    const AchievementRecord* find(const std::string& identifier) const;

private:
    std::vector<std::string> identifiers;
    std::map<std::string, AchievementRecord> records;
};

// Unlocks the achievement: true when it unlocked something. Without data, without a record
// of the identifier, or with one unlocked before, it changes nothing and answers false;
// otherwise the record is marked unlocked, reported to the store platform's holder when that
// is available, and "<name> Achievement Unlocked." is logged.
bool unlockAchievement(AchievementsData* data, const char* identifier);
