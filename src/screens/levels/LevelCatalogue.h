#pragma once

#include <irrString.h>
#include <irrTypes.h>

#include <string>
#include <vector>

namespace irr {
namespace gui {
class IGUIElement;
}
namespace scene {
class ISceneNode;
}
} // namespace irr

// The catalogue of the game's own levels. "Content/Config/DemoLevels.xml" lists them (root
// element "Levels", one self-closing "Level" element each, every attribute optional):
//   path          level file, e.g. "Content/Levels/Story_Garden.irr"
//   menuPreview   scene shown behind the level menus while the level's row has focus
//   title, description   menu text and tooltip (the language's "Levels.xml" replaces them)
//   devBestTime   the developers' time in seconds (0: none)
//   isFirstLevel, isHidden, isShorts   integers, non-zero = true
// The language's "Levels.xml" has the same form; only path, title and description count.
// A missing file leaves its lists empty, without a log line.

struct LevelRecord {
    std::string path;
    std::string menuPreview;
    std::wstring title;
    std::wstring description;
    irr::s32 kind = 2;
    // The row the story select screen made for this record; valid while that screen lives.
    irr::gui::IGUIElement* MenuItem = nullptr;
    irr::f32 devBestTime = 0.0f;
    bool isFirstLevel = false;
    // In MenuLevels: listed but locked.
    bool isHidden = false;
};

inline constexpr irr::s32 LevelKindStory = 2;
inline constexpr irr::s32 LevelKindShorts = 3;

inline constexpr const char* levelCatalogueFile = "Content/Config/DemoLevels.xml";
inline constexpr const char* levelTextsFile = "Content/Language/English/Levels.xml";
inline constexpr const char* lockedPreviewScene = "Content/Levels/Menu_Locked.irr";
inline constexpr const char* calibrationPreviewScene = "Content/Levels/CalibrationLevel.irr";
inline constexpr const char* workshopPreviewScene = "Content/Levels/WorkshopPreview.irr";
inline constexpr irr::s32 calibrationPreviewId = 891000;
inline constexpr irr::s32 workshopPreviewId = 892000;
inline constexpr irr::s32 firstLevelPreviewId = 890000;

// Every record of the catalogue, in file order.
extern std::vector<LevelRecord> AllLevels;
// The records the level menus show, after the unlock rule.
extern std::vector<LevelRecord> MenuLevels;
// The records of the language's Levels.xml.
extern std::vector<LevelRecord> LevelTexts;
// One preview scene per MenuLevels record (null: none); the two backdrops.
extern std::vector<irr::scene::ISceneNode*> MenuPreviewNodes;
extern irr::scene::ISceneNode* CalibrationPreview;
extern irr::scene::ISceneNode* WorkshopPreview;
// True until the main menu's unlock gesture opens every level for the rest of the run.
extern bool LevelLockActive;

// Rebuilds the three lists. Without the lock (or in demo mode) every record is listed open;
// with it a record is listed open when the save has it unlocked, when it is the first listed
// or a shorts level; a locked record marked hidden is listed locked with the locked preview;
// any other locked record is left out.
void loadLevelList();
bool isListedLevel(const irr::core::stringc& path);
irr::f32 getDevBestTime(const std::string& path);
std::wstring getLevelTitle(const std::string& path);
irr::u32 countUnlockedStoryLevels();
void getAllLevelPaths(std::vector<std::string>& out);

// The preview scenes: the two backdrops and one hidden sublevel per listed level (IDs
// 890000 + index).
void loadMenuPreviewScenes();
// Shows the preview of MenuLevels record `index` and makes its first camera active.
void showMenuPreview(irr::u32 index, bool crossfade);
// The preview of the story autosave's level (the first level's without one).
void showAutoSaveLevelPreview();
// Switches to a backdrop (CalibrationPreview or WorkshopPreview): its camera, and every
// level preview and the other backdrop hidden.
void setMenuPreviewsVisible(irr::scene::ISceneNode* backdrop);
// The backdrop of the options opened over the main menu: the calibration scene of the
// title's background level, or the calibration level itself (with its camera) while a
// quality change has loaded it as the level.
void showCalibrationBackdrop();
// Forgets every preview node (the scene that held them is gone).
void forgetMenuPreviews();
