#pragma once

#include <irrTypes.h>
#include <path.h>

#include <string>
#include <vector>

namespace irr::io {
class IFileSystem;
}

// The collectible ties of the game, in table order: each tie's ID (the ID its tie object
// carries and the save records), the texture file that shows it, and the level it belongs
// to. The level manager holds the table; the level menus count and show each level's ties.
//
// File "Content/Config/Ties.xml":
//   <Ties>
//     <Tie id="1" path="Content/Models/Ties/Tie_Stripes.png" levelOwner="Content/Levels/Church_Main.irr"/>
//   </Ties>
// "id" is a whole number (a row without one is left out with a warning); "path" and
// "levelOwner" may be empty. A missing or broken file is logged and leaves the table with
// the rows it could read.
class TieTable {
public:
    static constexpr const char* defaultFile = "Content/Config/Ties.xml";

    struct Tie {
        irr::s32 id = -1;
        irr::io::path path;       // texture file
        std::wstring levelOwner;  // level path
    };

    // Replaces the table with the file's rows; false when the file could not be read.
    bool load(irr::io::IFileSystem* fileSystem, const std::string& file = defaultFile);
    void clear() { ties.clear(); }
    void add(const Tie& tie) { ties.push_back(tie); }
    const std::vector<Tie>& getTies() const { return ties; }

    // The texture path of the tie with that ID; empty when no row has it.
    irr::io::path getTiePath(irr::s32 tieID) const;
    // The number of ties owned by the level (A-Z case ignored).
    irr::s32 countTiesForLevel(const wchar_t* levelPath) const;
    // Whether the level's n-th tie (0 first, in table order) is recorded in the save
    // (the global save manager). False when there is no such tie, its ID is negative, there
    // is no save manager, and always in demo mode.
    bool isLevelTieCollected(const wchar_t* levelPath, irr::s32 n) const;

private:
    std::vector<Tie> ties;
};
