#include "level/ResourceCaches.h"

#include "characters/CharacterProfile.h"
#include "level/LevelHooks.h"
#include "render/SpriteAnimation.h"

using namespace irr;

CharacterProfileCache::CharacterProfileCache() : defaultProfile(std::make_unique<CharacterProfile>()) {}

CharacterProfileCache::~CharacterProfileCache() = default;

CharacterProfile* CharacterProfileCache::get(const std::string& fileName) {
    const std::string file = fileName.empty() ? std::string(defaultProfileFile) : fileName;
    if (const auto found = profiles.find(file); found != profiles.end())
        return found->second.get();
    const auto& hooks = levelHooks().characters;
    auto profile = std::make_unique<CharacterProfile>();
    profile->fileName = file;
    if (!hooks.loadProfile || !hooks.loadProfile(*profile, file))
        return defaultProfile.get();
    CharacterProfile* cached = profile.get();
    profiles.emplace(file, std::move(profile));
    if (hooks.finishProfile)
        hooks.finishProfile(*cached);
    return cached;
}

void CharacterProfileCache::clear() {
    profiles.clear();
}

namespace {

std::map<std::string, std::unique_ptr<SpriteAnimation>>& spriteAnimations() {
    static std::map<std::string, std::unique_ptr<SpriteAnimation>> cache;
    return cache;
}

} // namespace

bool getSpriteAnimation(SpriteAnimation& animation, const io::path& file) {
    auto& cache = spriteAnimations();
    const std::string key = file.c_str();
    auto found = cache.find(key);
    if (found == cache.end()) {
        const auto& load = levelHooks().render.loadSpriteAnimation;
        auto loaded = std::make_unique<SpriteAnimation>();
        if (!load || !load(*loaded, file))
            return false;
        found = cache.emplace(key, std::move(loaded)).first;
    }
    animation = *found->second;
    return true;
}

void clearSpriteAnimationCache() {
    spriteAnimations().clear();
}

std::size_t spriteAnimationCacheSize() {
    return spriteAnimations().size();
}
