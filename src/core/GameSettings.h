#pragma once

#include "core/Delegate.h"

#include <string>

namespace irr {
class IrrlichtDevice;
namespace io {
class IAttributes;
}
} // namespace irr

// The player's settings: the settings file "PaddlestoneConfig.xml" in the working folder, an
// engine attribute XML whose element is "Game", and the engine attribute set that holds its
// keys while the program runs (see SettingsTable.h for every key, its type and default).
//
// The settings are read at start-up before the engine device exists, so the object keeps a
// small engine device of its own on the null video driver: its file system reads and writes
// the file and makes the attribute set. That device lives as long as the settings object.
//
// A file that cannot be read fully (truncated, not XML, values of the wrong type) is kept
// aside as "PaddlestoneConfig.xml.bad" with one log line; the keys that could be read keep
// their values and the others their defaults. The player's file is never written over
// before it is safe: save() writes a complete file to a temporary file, reads it back, and
// only then renames it into place.
class GameSettings {
public:
    static constexpr const char* defaultFileName = "PaddlestoneConfig.xml";

    explicit GameSettings(const std::string& path = defaultFileName);
    ~GameSettings();
    GameSettings(const GameSettings&) = delete;
    GameSettings& operator=(const GameSettings&) = delete;

    // Fills the attribute set anew. With defaults false the file's values are read; with
    // defaults true the file is not read, so every key takes its default. Every key the
    // file did not give is then added with its default ("Game_PhysicsThreads" missing from
    // an older file comes back as 2). Values outside a key's range are clamped, each with
    // a warning line.
    void load(bool defaults = false);
    // Writes every attribute to the settings file; reports its own failures.
    void save();

    // While on, the quit watch holds a copy of the file as save() would write it, kept
    // current by load and by every change, and writes it when a frame that does not return
    // keeps the game from its shutdown (core/ProcessGuards.h). Off (and in the destructor):
    // the copy is taken back.
    void keepForcedEndCopy(bool on);
    // The attribute set was changed (the setSetting* functions tell the program's settings).
    void attributesChanged();

    // The attribute set; null before the first load or when the engine could not make one.
    irr::io::IAttributes* getAttributes() const { return attributes; }
    const std::string& path() const { return filePath; }

    // Hooks around the access to a player's file: a writer of such a file invokes
    // onBeforeWrite before writing and onAfterAccess after; a reader invokes onBeforeRead
    // before reading and onAfterAccess after. No arguments.
    DelegateList onBeforeWrite;
    DelegateList onBeforeRead;
    DelegateList onAfterAccess;

private:
    void readFile();
    // The file's text as save() writes it; empty without an attribute set.
    std::string fileText() const;

    std::string filePath;
    irr::IrrlichtDevice* device = nullptr;
    irr::io::IAttributes* attributes = nullptr;
    // Set while the player's file could be read neither fully nor kept aside: saving would
    // destroy it, so save() refuses.
    bool fileMustNotBeReplaced = false;
    bool forcedEndCopy = false;
};

// Reads of the program's settings (the global gameSettings) by key. Without a settings
// object or attribute set they answer 0, 0.0, false or an empty text; a key missing from
// the set answers the same.
int getSettingInt(const char* key);
float getSettingFloat(const char* key);
bool getSettingBool(const char* key);
std::string getSettingString(const char* key); // UTF-8
std::wstring getSettingStringW(const char* key);

// Writes of the program's settings by key (added when missing); nothing without a settings
// object or attribute set. Narrow texts are UTF-8, like getSettingString's answers. The
// file is written by GameSettings::save.
void setSettingInt(const char* key, int value);
void setSettingFloat(const char* key, float value);
void setSettingBool(const char* key, bool value);
void setSettingString(const char* key, const char* value);
void setSettingString(const char* key, const wchar_t* value);
