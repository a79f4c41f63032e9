#pragma once

#include <irrTypes.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace irr::io {
class IAttributes;
class IFileSystem;
} // namespace irr::io

struct LevelRunRecord;

// The checkpoint files of a story run and of free play, in the save folder. The level
// manager writes them; they are never levels of their own.
inline constexpr const char* storyCheckpointFileName = "checkpoint_story.irr";
inline constexpr const char* freeplayCheckpointFileName = "checkpoint_freeplay.irr";
inline constexpr const char* binaryCheckpointExtension = ".irrblvl";

// The player's progress: the save file "save.tsav" in the save folder with its dated backups.
//
// The file is an XML document whose root element "PaddlestoneSave" holds one element per
// group, each group an engine attribute set written in the engine's attribute manner:
//
//   <PaddlestoneSave>
//     <Save> <bool name="AutoSaveExists" value="true"/> <string name="AutoSavePath" .../> </Save>
//     <FreeplaySave> ... </FreeplaySave>
//     <Ties> <int name="12" value="12"/> </Ties>                     (collected tie IDs)
//     <Levels> <string name="0" value="Content/Levels/A.irr"/> </Levels> (unlocked levels)
//     <LevelLength> <float name="Content/Levels/A.irr" value="93.5"/> </LevelLength>
//     <Statistics> ... </Statistics>
//   </PaddlestoneSave>
//
// Entries are int, float, bool or string elements with "name" and "value"; names and values
// are Unicode text. An entry without a name or value, or of another type, is left out with a
// warning; a group the program does not know is skipped.
//
// Writing never endangers the player's data: the whole file goes to a temporary file in the
// save folder, is read back whole, and only then renamed over the old file. A backup
// "savebackup_YYYY-MM-DD_HH-MM-SS.tsav" (the local time of the write) is written the same way
// and only the ten newest backups are kept. A save file that cannot be read (empty, cut
// short, not a save) is kept aside as "save.tsav.bad" with a log line and the newest
// readable backup is loaded; with no readable save or backup the game starts a new save.
//
// Every write numbers its file: the root element carries a sequence number ("Sequence"), one
// above the highest in the save folder when the save was loaded and rising with every change
// written (the same state written again keeps its number).
// The newest backup is the one with the highest number: neither the date in a name nor a file
// time tells it (a clock that ran ahead names a backup for 2099; a copied or unpacked folder
// gives every file one time). Backups of an older game, without a number, count as older than
// those with one, and among themselves go by their modification time: a backup modified more
// than aheadToleranceSeconds later than now counts as the oldest, and the date in the name
// decides between equal times. The backup just written is never removed.
//
// Changes ask for a write (requestWrite) rather than writing at once: the game writes at the
// end of the frame (writeRequestedWhenDue), so a level that changes the save thousands of
// times in one frame costs one write, and while the changes go on it writes at most once
// every writeIntervalSeconds. What the player earns (a level's end, a checkpoint, a tie, the
// frame of an achievement) asks for the write of its frame (requestWriteThisFrame): it is on
// the disk by the end of the frame that earned it, whatever the interval. The newest state is
// written at once before a checkpoint, when a level is unloaded, at the shutdown and when the
// display is lost (writeRequested); a quit watch that has to end a frame that does not return
// writes the copy it was handed at the last frame's end (core/ProcessGuards.h).
//
// Only the game that holds the save folder's lock writes there (createSaveManager): a second
// game on the same folder reads the progress and writes nothing (canWrite), not the save, its
// backups, the checkpoints nor the bindings.
class SaveManager {
public:
    static constexpr const char* saveFileName = "save.tsav";
    static constexpr const char* backupPrefix = "savebackup_";
    static constexpr const char* saveExtension = ".tsav";
    static constexpr int keptBackupCount = 10;
    // The file system may stamp a file just written with the next second while the clock
    // still reads this one: so little ahead is the present, not a clock that ran ahead.
    static constexpr std::time_t aheadToleranceSeconds = 2;

    // The groups, in file order.
    enum Group { Story, Freeplay, Ties, Levels, LevelLength, Statistics, GroupCount };
    static const char* groupName(Group group);

    // The folder is created when missing. Nothing is read before load().
    SaveManager(irr::io::IFileSystem* fileSystem, const std::string& folder);
    ~SaveManager();
    SaveManager(const SaveManager&) = delete;
    SaveManager& operator=(const SaveManager&) = delete;

    // Reads the save file (see the class comment for what happens when it cannot be read).
    // True when a save or a backup was loaded; false when the game starts a new save.
    bool load();
    // Writes the save file; false (logged) when it could not be written, and the old file
    // is then untouched.
    bool save();
    // Writes the dated backup of the current state and removes the oldest backups beyond
    // the ten newest.
    bool writeBackup();

    // While on, every setter that changes the save asks for the save file and its backup to
    // be written.
    bool automaticWriting = true;
    // Asks for the save file and its backup to be written; every request until the next
    // write is served by that one write.
    void requestWrite() { writePending = forcedEndCopyStale = true; }
    // The same, written at the end of this frame whatever the interval: for what the player
    // earned. The once-a-second rule only gathers values that keep changing.
    void requestWriteThisFrame() {
        requestWrite();
        writeThisFrame = true;
    }
    bool isWriteRequested() const { return writePending; }
    // Writes the save file and its backup once when a write was asked for since the last
    // write, and answers whether both were written; false and nothing written when none was
    // asked for. A failed write is not tried again until the next change asks.
    bool writeRequested();
    // The end of a frame: writeRequested() once writeIntervalSeconds have passed since the
    // last write, or at once for what was earned in the frame; until then the write waits, and
    // the quit watch is handed the newest text
    // (a large save's no more often than keeps its cost to a fifth of the time).
    static constexpr double writeIntervalSeconds = 1.0;
    bool writeRequestedWhenDue();
    // The clock of the interval in seconds (tests set their own).
    void setWriteClock(std::function<double()> clock) { writeClock = std::move(clock); }
    // Keeps the quit watch's copy of the save (core/ProcessGuards.h) while a write waits.
    void keepForcedEndCopy(bool on);

    // False while another game holds the save folder: nothing is written there.
    bool canWrite() const { return folderOwned; }
    bool folderOwned = true;

    // What a level may put into the save (Change Game Attribute, the autosave's paths):
    // names and texts of at most maxLevelTextLength characters, and a new name only while its
    // group holds fewer than maxLevelGroupEntries entries. So bounded, the largest save a
    // level can make stays far below what the save reader accepts (maximumSaveFileSize).
    static constexpr irr::u32 maxLevelGroupEntries = 64;
    static constexpr std::size_t maximumSaveFileSize = 8 * 1024 * 1024;
    // Empty when the group can take the entry (an existing name may always be set again);
    // otherwise why not ("its text is 9437184 characters long (at most 2048)"), for the
    // caller's one log line.
    std::string refusalOfEntry(Group group, const char* name, std::size_t textLength) const;

    // The group's engine attribute set (never null once constructed with a file system).
    irr::io::IAttributes* getGroup(Group group) const { return groups[group]; }
    // The story group ("Save") or the free-play group ("FreeplaySave").
    irr::io::IAttributes* getModeGroup(bool story) const { return groups[story ? Story : Freeplay]; }

    // --- autosave of the story and of free play -------------------------------------------
    // The autosave's paths name a level as its best time does (getBestLevelTime).
    bool getAutoSaveExists(bool story) const; // false when absent
    void setAutoSaveExists(bool value, bool story);
    std::wstring getAutoSavePath(bool story) const; // empty when absent
    void setAutoSavePath(const wchar_t* path, bool story);
    // The level the autosave's checkpoint belongs to ("AutoSaveCheckpoint").
    std::wstring getAutoSaveCheckpoint(bool story) const;
    void setAutoSaveCheckpoint(const wchar_t* path, bool story);
    bool isGameBeaten() const;
    void setGameBeaten(bool value = true);
    // Empties the story group except its "TieEquipped" value and adds "AllowStoryTime" true;
    // writes when automatic writing is on.
    void resetStorySave();

    // --- levels ---------------------------------------------------------------------------------
    // Adds the path to the unlocked levels (named by its index in decimal) unless it is there
    // already (A-Z case ignored) or is a checkpoint file; writes when it was added and
    // automatic writing is on. Answers whether it was added.
    bool addUnlockedLevel(const wchar_t* path);
    bool isLevelUnlocked(const wchar_t* path) const; // A-Z case ignored
    // Best times are kept one per level however it was started: under the path from the game's
    // folder for a level inside it ("Content/Levels/A.irr", also when named by its absolute
    // path or through a link to its folder), else under its absolute path. Paths that reach the
    // same file name the same level; letter case makes another file. Only a finite time above 0
    // is a best time.
    //
    // The best time stored for the level path; 0 when none, and always 0 in demo mode.
    irr::f32 getBestLevelTime(const wchar_t* path) const;
    // Stores the play time under the level path unless a better (smaller) time is stored;
    // writes when it was stored and automatic writing is on. Answers whether it was stored.
    bool saveLevelLength(const wchar_t* path, irr::f32 seconds);
    // The best story time; 0 when none, and always 0 in demo mode.
    irr::f32 getBestStoryTime() const;
    // The story total time reached so far in the current story ("StoryTime"; 0 when none).
    irr::f32 getStoryTime() const;
    // The story's time counts ("AllowStoryTime", which a new story sets).
    bool isStoryTimeAllowed() const;

    // --- ties --------------------------------------------------------------------------------------
    // Records a collected tie under its ID in decimal; a negative ID logs a warning and
    // records nothing. Writes at the frame's end when it was recorded and automatic writing is
    // on.
    void saveTieCollected(irr::s32 tieID);
    bool isTieCollected(irr::s32 tieID) const;

    // --- statistics ----------------------------------------------------------------------------
    // A level run has ended: adds it to the statistics, keeps the story total reached, and
    // when the game was finished on a run that counts story time, keeps the better story time.
    void submitLevelStats(const LevelRunRecord& run, bool finishedGame);

    // --- files ---------------------------------------------------------------------------------------
    const std::string& getFolder() const { return folder; }
    std::string getSavePath() const;
    // The backup name of a moment: "savebackup_YYYY-MM-DD_HH-MM-SS.tsav" in local time.
    static std::string backupFileName(std::time_t when);
    // The backups in the folder, newest first (full paths): by sequence number, then those
    // without one by modification time, a time later than now counting as the oldest, and by
    // name where the times are equal.
    std::vector<std::string> listBackups() const;
    // The clock that dates the backups (tests set their own).
    void setClock(std::function<std::time_t()> clock) { now = std::move(clock); }

private:
    // Writes the text by one safe write; with readBack, the new file replaces the old one only
    // once it reads back whole. A failure is one repeatable line per file kind and cause.
    bool writeText(const std::string& path, const std::string& text, bool backup, bool readBack);
    bool saveText(const std::string& text);
    bool backupText(const std::string& text, bool readBack);
    void refreshForcedEndCopy();
    // Asks for a write while automatic writing is on; earned: at the end of this frame.
    void writeIfAutomatic(bool earned = false);
    void clearGroups();
    // A save read: best times kept under another name of their level (an absolute path, a link,
    // the same name twice) move to the level's one entry, the best time staying; the autosaves
    // name their levels as the best times do.
    void foldBestTimes();
    void respellAutoSavePaths();
    // The name the level path's best time is kept under: an entry of the same file where there
    // is one.
    std::string bestTimeKeyFor(const std::string& path) const;
    // A level path as the save names it: as its best time.
    std::wstring levelName(const wchar_t* path) const;
    struct BackupFile {
        std::string path;
        std::optional<irr::u64> sequence;
    };
    std::vector<BackupFile> sortedBackups() const;
    // The save's text numbered for a write (written: the write is made, the number taken). A
    // new state is numbered above every other; the state loaded or written last, unchanged,
    // keeps its number.
    std::string numberedSaveText(bool written);
    void noteLoadedText(std::optional<irr::u64> loadedSequence);
    // Removes the backups beyond the ten newest, never the one named `kept`.
    void pruneBackups(const std::string& kept);

    irr::io::IFileSystem* fileSystem;
    std::string folder;
    irr::io::IAttributes* groups[GroupCount] = {};
    // The path last asked for its best time and its key there: the level timer asks for the
    // same path every frame, and the key is made once.
    mutable std::wstring bestTimePath;
    mutable std::string bestTimeKey;
    mutable irr::u32 bestTimeEntries = 0; // the entries there were when the key was made
    mutable bool bestTimeKeyKnown = false;
    // The highest sequence number written or found in the folder, and the state numbered last.
    irr::u64 sequence = 0;
    std::size_t numberedTextHash = 0;
    irr::u64 numberedTextSequence = 0;
    std::function<std::time_t()> now;
    // Set while the save file could be read neither fully nor kept aside: writing it would
    // destroy it, so save() refuses.
    bool fileMustNotBeReplaced = false;
    bool writePending = false;
    bool writeThisFrame = false;
    std::function<double()> writeClock;
    std::optional<double> lastWriteTime;
    bool forcedEndCopy = false;
    bool forcedEndCopyStale = false;
    double lastCopyTime = 0.0;
    double lastCopyCost = 0.0;
};

// Start-up: creates the program's save manager (the global `saveManager`) on the engine
// device's file services in the save folder, and loads the save. Shutdown: deletes it.
void createSaveManager(irr::io::IFileSystem* fileSystem);
void destroySaveManager();
