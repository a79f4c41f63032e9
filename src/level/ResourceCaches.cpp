#include "level/ResourceCaches.h"

#include "core/ImageGate.h"
#include "level/LevelHooks.h"

#include <IrrlichtDevice.h>

#include <set>

using namespace irr;

CharacterProfileCache::CharacterProfileCache() = default;

CharacterProfileCache::~CharacterProfileCache() = default;

CharacterProfile* CharacterProfileCache::get(const std::string& fileName) {
    const std::string file = fileName.empty() ? std::string(defaultProfileFile) : fileName;
    if (const auto found = profiles.find(file); found != profiles.end())
        return found->second.get();
    const auto& make = levelHooks().characters.makeProfile;
    std::shared_ptr<CharacterProfile> profile = make ? make(file) : nullptr;
    if (!profile)
        return getDefault();
    return profiles.emplace(file, std::move(profile)).first->second.get();
}

CharacterProfile* CharacterProfileCache::getDefault() const {
    if (!defaultProfile)
        if (const auto& make = levelHooks().characters.makeProfile)
            defaultProfile = make(std::string());
    return defaultProfile.get();
}

void CharacterProfileCache::clear() {
    profiles.clear();
}

namespace {

std::map<std::string, std::shared_ptr<const SpriteAnimation>>& spriteAnimations() {
    static std::map<std::string, std::shared_ptr<const SpriteAnimation>> cache;
    return cache;
}

// The files of the cached animations read for levels (their pictures are the levels' too).
std::set<std::string>& levelSpriteAnimations() {
    static std::set<std::string> files;
    return files;
}

} // namespace

std::shared_ptr<const SpriteAnimation> findSpriteAnimation(const io::path& file) {
    auto& cache = spriteAnimations();
    const std::string key = file.c_str();
    if (const auto found = cache.find(key); found != cache.end())
        return found->second;
    const auto& load = levelHooks().render.loadSpriteAnimation;
    const bool levels = readingLevelPictures();
    std::shared_ptr<const SpriteAnimation> loaded = load ? load(file) : nullptr;
    if (loaded)
        cache.emplace(key, loaded);
    if (loaded && levels)
        levelSpriteAnimations().insert(key);
    return loaded;
}

void forgetLevelSpriteAnimations() {
    for (const std::string& file : levelSpriteAnimations())
        spriteAnimations().erase(file);
    levelSpriteAnimations().clear();
}

void clearSpriteAnimationCache() {
    spriteAnimations().clear();
    levelSpriteAnimations().clear();
}

std::size_t spriteAnimationCacheSize() {
    return spriteAnimations().size();
}
