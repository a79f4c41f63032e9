#include "characters/CharacterServices.h"

CharacterServiceTable& characterServices() {
    static CharacterServiceTable table;
    return table;
}

void resetCharacterServices() { characterServices() = CharacterServiceTable(); }
