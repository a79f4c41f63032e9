// The engine's texture list is reached at a fixed place in its driver (ahead of it lie only the
// driver's two interface pointers): the list is checked there against the driver's own answers
// the first time a texture is added, and used only when it matches.
#include "platform/TextureList.h"

#include <irrlicht.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <dlfcn.h>

using namespace irr;

// The engine's driver, as far as the entries of its texture list go: under the engine's names, so
// that the list (and its allocator) is of the type the engine made it. Its add is the stand-in.
namespace irr::video {
class CNullDriver {
public:
    struct SSurface {
        ITexture* Surface;
        bool operator<(const SSurface& other) const { return Surface->getName() < other.Surface->getName(); }
    };
    void addTexture(ITexture* texture);
};
} // namespace irr::video

namespace {

using Surface = video::CNullDriver::SSurface;
using TextureList = core::array<Surface>;

constexpr std::size_t kListOffset = 2 * sizeof(void*);

enum class Reach { Unknown, Reached, NotReached };
std::atomic<Reach> reach{Reach::Unknown};
std::atomic<bool> listInUse{true};

TextureList& listOf(void* driver) { return *reinterpret_cast<TextureList*>(static_cast<char*>(driver) + kListOffset); }

// Whether the list at that place is the driver's: as many textures, the same at each place.
bool listMatches(void* driver) {
    auto* answers = static_cast<video::IVideoDriver*>(driver);
    const TextureList& list = listOf(driver);
    const u32 count = answers->getTextureCount();
    if (count == 0 || list.size() != count || list.allocated_size() < count)
        return false;
    for (u32 i = 0; i < count; ++i)
        if (list[i].Surface != answers->getTextureByIndex(i))
            return false;
    return true;
}

// After textures of its own name: as the engine's list had it, added last and sorted.
void insertInOrder(TextureList& list, video::ITexture* texture) {
    list.sort();
    const Surface entry{texture};
    const Surface* place = std::upper_bound(list.pointer(), list.pointer() + list.size(), entry);
    list.insert(entry, static_cast<u32>(place - list.pointer()));
    list.set_sorted(true);
}

TextureList* reachedList(video::IVideoDriver* driver) {
    return driver && platform::textureListReached() ? &listOf(driver) : nullptr;
}

using EngineAdd = void (*)(void*, video::ITexture*);

constexpr const char* kEngineAddName = "_ZN3irr5video11CNullDriver10addTextureEPNS0_8ITextureE";

} // namespace

__attribute__((visibility("default"))) void video::CNullDriver::addTexture(ITexture* texture) {
    if (!texture)
        return;
    if (platform::textureListReached()) {
        texture->grab();
        insertInOrder(listOf(this), texture);
        return;
    }
    static const auto engineAdd = reinterpret_cast<EngineAdd>(::dlsym(RTLD_NEXT, kEngineAddName));
    if (engineAdd)
        engineAdd(this, texture);
    if (reach.load(std::memory_order_relaxed) == Reach::Unknown && engineAdd)
        reach.store(listMatches(this) ? Reach::Reached : Reach::NotReached, std::memory_order_relaxed);
}

namespace platform {

bool textureListReached() {
    return reach.load(std::memory_order_relaxed) == Reach::Reached && listInUse.load(std::memory_order_relaxed);
}

void useTextureList(bool use) { listInUse.store(use, std::memory_order_relaxed); }

bool sortTexturesByName(video::IVideoDriver* driver) {
    TextureList* list = reachedList(driver);
    if (!list)
        return false;
    std::sort(list->pointer(), list->pointer() + list->size());
    list->set_sorted(true);
    return true;
}

bool placeRenamedTexture(video::IVideoDriver* driver, video::ITexture* texture) {
    TextureList* list = reachedList(driver);
    if (!list)
        return false;
    for (u32 i = 0; i < list->size(); ++i)
        if ((*list)[i].Surface == texture) {
            list->erase(i);
            insertInOrder(*list, texture);
            return true;
        }
    return true;
}

} // namespace platform
