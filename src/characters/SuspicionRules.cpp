#include "characters/SuspicionRules.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/Utf8.h"
#include "core/XmlFile.h"

#include <irrlicht.h>

#include <cstring>

using namespace irr;

const char* const suspicionCharacterTypeNames[SCT_Count + 1] = {
    "Family", "Stranger", "Scientist", "Exposed", "ExposedLogManiac", "Chef", "ZeroSuspicion", "None",
    nullptr};

const char* const suspicionTypeNames[ST_Count + 1] = {
    "Default",     "Touch",     "Grab",         "HitGround", "Velocity",     "AtRest", "Reset",
    "HitByThrown", "HitByTaro", "HitByGrabbed", "TaroSeen",  "IgnoreRadius", "Debug",  nullptr};

namespace {

using SuspicionRuleTable = std::map<s32, std::map<s32, SuspicionRule>>;

SuspicionRuleTable& ruleTable() {
    static SuspicionRuleTable table;
    return table;
}

s32 findSuspicionName(const char* const* names, const std::string& name) {
    for (s32 i = 0; names[i]; ++i)
        if (name == names[i])
            return i;
    return -1;
}

std::string suspicionRuleText(io::IXMLReader* reader, const wchar_t* attribute) {
    const wchar_t* value = reader->getAttributeValue(attribute);
    return value ? toUtf8(value) : std::string();
}

} // namespace

s32 findSuspicionCharacterType(const std::string& name) {
    return findSuspicionName(suspicionCharacterTypeNames, name);
}

s32 findSuspicionType(const std::string& name) {
    return findSuspicionName(suspicionTypeNames, name);
}

int loadSuspicionConfig() {
    return loadSuspicionConfig(suspicionRulesFile);
}

int loadSuspicionConfig(const std::string& file) {
    SuspicionRuleTable& table = ruleTable();
    table.clear();
    io::IXMLReader* reader =
        gameDevice ? createGuardedXMLReader(gameDevice->getFileSystem(), file) : nullptr;
    if (!reader) {
        logMessage(std::string(logWarningPrefix) + "Could not read the suspicion rules \"" + file +
                   "\": no suspicion will rise.");
        return -1;
    }
    // Elements still open at the end mean the file was cut short: none of it is trusted.
    s32 openElements = 0;
    while (reader->read()) {
        const io::EXML_NODE type = reader->getNodeType();
        if (type == io::EXN_ELEMENT_END) {
            --openElements;
            continue;
        }
        if (type != io::EXN_ELEMENT)
            continue;
        if (!reader->isEmptyElement())
            ++openElements;
        if (std::wcscmp(reader->getNodeName(), L"CharacterSuspicion") != 0)
            continue;
        SuspicionRule rule;
        const std::string characterName = suspicionRuleText(reader, L"characterType");
        rule.characterType = findSuspicionCharacterType(characterName);
        if (rule.characterType < 0)
            logMessagef("Warning: Character type: %s is not a valid type.", characterName.c_str());
        const std::string kindName = suspicionRuleText(reader, L"suspicionType");
        rule.suspicionType = findSuspicionType(kindName);
        if (rule.suspicionType < 0)
            logMessagef("Warning: suspicion type: %s is not a valid type.", kindName.c_str());
        rule.amount = reader->getAttributeValueAsFloat(L"amount");
        rule.speedThreshold = reader->getAttributeValueAsFloat(L"speedThreshold");
        rule.repeatInterval = reader->getAttributeValueAsFloat(L"repeatInterval");
        table[rule.characterType][rule.suspicionType] = rule;
    }
    reader->drop();
    if (openElements > 0) {
        table.clear();
        logMessage(std::string(logWarningPrefix) + "The suspicion rules \"" + file +
                   "\" end early: no suspicion will rise.");
        return -1;
    }
    return 0;
}

void unloadSuspicionConfig() {
    ruleTable().clear();
}

SuspicionRule getSuspicionValues(s32 characterType, s32 suspicionType) {
    const SuspicionRuleTable& table = ruleTable();
    if (const auto types = table.find(characterType); types != table.end())
        if (const auto rule = types->second.find(suspicionType); rule != types->second.end())
            return rule->second;
    SuspicionRule none;
    none.characterType = characterType;
    none.suspicionType = suspicionType;
    return none;
}

const std::map<s32, std::map<s32, SuspicionRule>>& suspicionRuleTable() {
    return ruleTable();
}
