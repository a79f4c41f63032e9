#pragma once

#include <path.h>

#include <map>
#include <memory>
#include <string>

struct CharacterProfile;
class SpriteAnimation;

// The character animation profiles of the current run, one per file name, shared by every
// character and animator that names the file. The level manager holds the cache; the
// profiles it hands out live as long as it does. The characters subsystem makes the profiles
// (levelHooks().characters.makeProfile); without it there are none.
class CharacterProfileCache {
public:
    // The profile an empty name stands for.
    static constexpr const char* defaultProfileFile =
        "Content/Models/Characters/CharacterDefaultProfile.xml";

    CharacterProfileCache();
    ~CharacterProfileCache();
    CharacterProfileCache(const CharacterProfileCache&) = delete;
    CharacterProfileCache& operator=(const CharacterProfileCache&) = delete;

    // The profile cached under the file name; otherwise a new profile is loaded and finished
    // (through the characters subsystem), and on success cached and returned. A profile that
    // cannot be loaded is not kept: the cache's default profile is returned instead. An empty
    // name stands for defaultProfileFile. Null only without the characters subsystem.
    CharacterProfile* get(const std::string& fileName);
    // The profile of last resort: empty, owned by the cache (made on first use).
    CharacterProfile* getDefault() const;
    std::size_t size() const { return profiles.size(); }
    void clear();

private:
    std::map<std::string, std::shared_ptr<CharacterProfile>> profiles;
    mutable std::shared_ptr<CharacterProfile> defaultProfile;
};

// The program-wide cache of sprite animations keyed by file name: the animation read from the
// file (through the rendering subsystem's loader) on first use, shared read-only; callers copy
// it (getSpriteAnimation in render/SpriteAnimation.h). Null when the file cannot be read; a
// file that failed is tried again next time.
std::shared_ptr<const SpriteAnimation> findSpriteAnimation(const irr::io::path& file);
// The animations read for levels (while a level loads, wherever their files lie, not the HUD's
// own, core/ImageGate.h) leave the cache, and with them their hold on their pictures: the
// level manager calls it as it gives back the pictures of the levels unloaded. Copies that
// objects or the HUD still have stay theirs.
void forgetLevelSpriteAnimations();
// Empties the sprite-animation cache (the level manager's end, and tests): the cached
// animations hold textures of the engine device.
void clearSpriteAnimationCache();
std::size_t spriteAnimationCacheSize();
