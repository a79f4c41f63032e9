#include "level/TieTable.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "level/ContentXml.h"
#include "level/SaveManager.h"

#include <irrlicht.h>


using namespace irr;

bool TieTable::load(io::IFileSystem* fileSystem, const std::string& file) {
    ties.clear();
    int skipped = 0;
    const bool read = readContentXml(fileSystem, file, L"Ties", [&](const ContentElement& element) {
        if (element.depth != 1 || element.name != L"Tie")
            return;
        Tie tie;
        if (!element.integer(L"id", tie.id)) {
            ++skipped;
            return;
        }
        tie.path = toUtf8(element.text(L"path").c_str()).c_str();
        tie.levelOwner = element.text(L"levelOwner");
        ties.push_back(tie);
    });
    if (skipped > 0)
        logMessagef("%s%d ties of \"%s\" have no whole-number \"id\" and are left out.",
                    logWarningPrefix, skipped, file.c_str());
    return read;
}

io::path TieTable::getTiePath(s32 tieID) const {
    for (const Tie& tie : ties)
        if (tie.id == tieID)
            return tie.path;
    return {};
}

s32 TieTable::countTiesForLevel(const wchar_t* levelPath) const {
    if (!levelPath)
        return 0;
    s32 count = 0;
    for (const Tie& tie : ties)
        if (equalsIgnoringAsciiCase(tie.levelOwner, levelPath))
            ++count;
    return count;
}

bool TieTable::isLevelTieCollected(const wchar_t* levelPath, s32 n) const {
    if (demoMode || !saveManager || !levelPath || n < 0)
        return false;
    for (const Tie& tie : ties) {
        if (!equalsIgnoringAsciiCase(tie.levelOwner, levelPath))
            continue;
        if (n-- == 0)
            return tie.id >= 0 && saveManager->isTieCollected(tie.id);
    }
    return false;
}
