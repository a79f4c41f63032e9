#pragma once

#include <path.h>

#include <map>
#include <memory>
#include <string>

struct CharacterProfile;
class SpriteAnimation;

// The character animation profiles of the current run, one per file name, shared by every
// character and animator that names the file. The level manager holds the cache; the
// profiles it hands out live as long as it does.
class CharacterProfileCache {
public:
    // The profile an empty name stands for.
    static constexpr const char* defaultProfileFile =
        "Content/Models/Characters/CharacterDefaultProfile.xml";

    CharacterProfileCache();
    ~CharacterProfileCache();
    CharacterProfileCache(const CharacterProfileCache&) = delete;
    CharacterProfileCache& operator=(const CharacterProfileCache&) = delete;

    // The profile cached under the file name; otherwise a new profile is loaded (through the
    // characters subsystem's loader), and on success cached, finished and returned. A profile
    // that cannot be loaded is not kept: the cache's default profile is returned instead.
    // Never null. An empty name stands for defaultProfileFile.
    CharacterProfile* get(const std::string& fileName);
    // The profile of last resort: empty, owned by the cache.
    CharacterProfile* getDefault() const { return defaultProfile.get(); }
    std::size_t size() const { return profiles.size(); }
    void clear();

private:
    std::map<std::string, std::unique_ptr<CharacterProfile>> profiles;
    std::unique_ptr<CharacterProfile> defaultProfile;
};

// Fills the animation from the program-wide cache of sprite animations keyed by file name,
// reading the file (through the rendering subsystem's loader) on first use. False, with
// nothing copied, when the file cannot be read; a file that failed is tried again next time.
bool getSpriteAnimation(SpriteAnimation& animation, const irr::io::path& file);
// Empties the sprite-animation cache (shutdown and tests).
void clearSpriteAnimationCache();
std::size_t spriteAnimationCacheSize();
