#pragma once

#include "characters/SuspicionMeter.h"

#include <irrTypes.h>

#include <map>
#include <string>

// The type of character that witnesses an event (the rule table's first key). Names as in
// the rules file, the profiles' "Suspicion" element and the character attribute
// "CharacterSuspicionType"; None is a new character's type.
enum SuspicionCharacterType : irr::s32 {
    SCT_Family = 0,
    SCT_Stranger,
    SCT_Scientist,
    SCT_Exposed,
    SCT_ExposedLogManiac,
    SCT_Chef,
    SCT_ZeroSuspicion,
    SCT_None,
    SCT_Count
};

// Null-terminated name tables, in value order (usable as engine enumeration literals).
extern const char* const suspicionCharacterTypeNames[SCT_Count + 1];
extern const char* const suspicionTypeNames[ST_Count + 1];

// The value of a name (exact, case-sensitive), or -1 when it names none.
irr::s32 findSuspicionCharacterType(const std::string& name);
irr::s32 findSuspicionType(const std::string& name);

// What an event of one kind witnessed by one type of character is worth.
struct SuspicionRule {
    irr::s32 characterType = -1;
    irr::s32 suspicionType = -1;
    // Points added on the 0..100 scale.
    irr::f32 amount = 0.0f;
    // The impact speed a hit must reach (for TaroSeen: seconds in sight before noticing).
    irr::f32 speedThreshold = 0.0f;
    // For TaroSeen: seconds between raises while in sight; 0 also makes the type's
    // default-animated watchers Noticing on every raise.
    irr::f32 repeatInterval = 0.0f;
};

// The rules file read at start-up.
inline constexpr const char* suspicionRulesFile = "Content/Config/Suspicion.xml";

// Reads the rules file into the rule table, replacing what it held. Every element named
// "CharacterSuspicion", anywhere in the file, is one rule:
//   <CharacterSuspicion characterType="Stranger" suspicionType="HitByThrown"
//                       amount="20" speedThreshold="5" repeatInterval="0"/>
// A later rule for the same pair replaces the earlier one; a name that matches no type
// logs a warning and files the rule under -1, where no lookup finds it; a missing number
// reads as 0. 0 when the file was read; -1, with a log line and an empty table, when it
// cannot be opened or ends before its elements are closed.
int loadSuspicionConfig();
int loadSuspicionConfig(const std::string& file);
// Empties the rule table (shutdown).
void unloadSuspicionConfig();

// The rule of a pair; amount, speedThreshold and repeatInterval 0 when there is none.
SuspicionRule getSuspicionValues(irr::s32 characterType, irr::s32 suspicionType);

// The rule table (ordered by character type, then by kind).
const std::map<irr::s32, std::map<irr::s32, SuspicionRule>>& suspicionRuleTable();
