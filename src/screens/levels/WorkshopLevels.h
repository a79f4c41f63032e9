#pragma once

#include <irrString.h>
#include <irrTypes.h>

#include <string>
#include <vector>

namespace irr::gui {
class IGUIElement;
}
namespace irr::io {
class IFileArchive;
}

class GUIOptionsList;

// User levels: zip archives that players put into the Workshop folder of their save folder.
// Each archive is described by its "WorkshopSettings.xml" (elements ZipFilePath,
// WorkingDirectory, LevelFilePath, ImageFilePath, Title and Description, anywhere inside the
// archive) or, without one, by defaults made from its file name: "Castle.zip" is the level
// "Content/Workshop/Castle/Castle_Main.irr" with the picture
// "Content/Workshop/Castle/WorkshopPreview.jpg" and the title "Castle". The archives are
// mounted with paths ignored, so those names find the archive's files by their file names.
//
// Before an archive is mounted its structure is checked: an archive that is not a whole zip
// file (headers cut or out of place, sizes past the end), that holds an entry whose path
// is absolute or climbs out with "..", that is encrypted or compressed by a method other
// than store and deflate, or whose entry unpacks to more than 256 MB is refused with one
// log line and not listed.
struct WorkshopLevelRecord {
    irr::core::stringw zipPath;
    irr::core::stringw zipName;
    irr::core::stringw workingDirectory;
    irr::core::stringw levelFilePath;
    irr::core::stringw imageFilePath;
    irr::core::stringw title;
    irr::core::stringw description;
    irr::gui::IGUIElement* row = nullptr;
    irr::io::IFileArchive* archive = nullptr;

    // Only the first letter of the title counts (A-Z lower-cased); an empty title is never
    // smaller.
    bool operator<(const WorkshopLevelRecord& other) const;
};

inline constexpr const char* workshopSettingsFile = "WorkshopSettings.xml";
inline constexpr const wchar_t* workshopVirtualFolder = L"Content/Workshop/";

extern std::vector<WorkshopLevelRecord> WorkshopLevels;
extern bool WorkshopLevelsSorted;
// Entries of the Workshop folder at the last scan.
extern irr::u32 WorkshopFolderEntryCount;

// The Workshop folder: "Workshop/" in the save folder (ends with '/').
std::string workshopFolder();
// The structure check above; false (with its log line) for a refused archive.
bool checkWorkshopArchive(const std::string& path);
// The record of an archive without settings.
WorkshopLevelRecord defaultWorkshopRecord(const std::string& fileName);

// Rebuilds the list from the folder and leaves every listed archive mounted.
void loadWorkshopLevels();
void sortWorkshopLevels();
void clearWorkshopLevels();
void appendWorkshopLevel(const WorkshopLevelRecord& record);
// The title of the level file's record, empty when none.
irr::core::stringw getWorkshopLevelTitle(const irr::core::stringw& levelPath);
// Before a level loads: only its own archive stays mounted. While a user level plays, files
// a level names are read only from its archive and Content/ (core/FileChecks.h); any other
// level lifts that.
void maintainWorkshopZip(const irr::core::stringw& levelPath);
void unmountWorkshopArchives();
// Once a second while the level select shows: a changed folder rebuilds the screen.
void rescanWorkshopFolder(GUIOptionsList* screen);
// Unmounts and deletes the record's archive (only that file).
bool deleteWorkshopArchive(WorkshopLevelRecord& record);
