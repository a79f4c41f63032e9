#include "render/SpriteAnimation.h"

#include "core/Globals.h"
#include "core/ImageGate.h"
#include "core/LoadBudget.h"
#include "core/Log.h"
#include "core/ReadLimits.h"
#include "core/XmlFile.h"
#include "level/ResourceCaches.h"

#include <IVideoDriver.h>
#include <IXMLReader.h>
#include <IrrlichtDevice.h>
#include <ITexture.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

using namespace irr;

namespace {

constexpr f32 spriteZeroFrameTime = 1e-7f;
constexpr u32 atlasItemReadLimit = 10000;
const char* const spriteFallbackAtlas = "Content/Models/Editor/TestAtlas.xml";

// Reads forward until an element of that name; false at the end of the file.
bool readToSpriteElement(io::IXMLReader* reader, const wchar_t* element) {
    while (reader->read())
        if (reader->getNodeType() == io::EXN_ELEMENT && core::stringw(element) == reader->getNodeName())
            return true;
    return false;
}

core::stringc spriteAttribute(io::IXMLReader* reader, const wchar_t* attribute) {
    const wchar_t* value = reader->getAttributeValue(attribute);
    return value ? core::stringc(value) : core::stringc();
}

s32 spriteIntAttribute(io::IXMLReader* reader, const wchar_t* attribute) {
    return reader->getAttributeValue(attribute) ? reader->getAttributeValueAsInt(attribute) : 0;
}

// Whether each place or size lies within the largest image the game reads.
bool withinAnImage(std::initializer_list<s32> values) {
    for (const s32 value : values)
        if (value < 0 || static_cast<u32>(value) > maxImageSide)
            return false;
    return true;
}

// The cells of the animation's sheet, columns times rows (none for a cell without a size).
u64 sheetCells(const SpriteAnimation& animation) {
    const auto along = [](s32 side, s32 cell) -> u64 { return cell <= 0 ? 0 : static_cast<u64>(side / cell); };
    return along(animation.overallWidth, animation.width) * along(animation.overallHeight, animation.height);
}

// The cells of a "frameList" text: numbers between commas, empty parts passed over, a part
// that is not a number read as 0. Read in place: a list of a million cells makes no million
// strings first.
void readFrameList(const c8* text, core::array<s32>& frames) {
    while (*text) {
        const c8* end = std::strchr(text, ',');
        if (!end)
            end = text + std::strlen(text);
        if (end != text) {
            const long cell = std::strtol(text, nullptr, 10);
            frames.push_back(static_cast<s32>(std::clamp<long>(cell, INT32_MIN, INT32_MAX)));
        }
        text = *end ? end + 1 : end;
    }
}

io::IXMLReader* openSpriteFile(const io::path& path) {
    if (!gameDevice || path.empty())
        return nullptr;
    return createGuardedContentXMLReader(gameDevice->getFileSystem(), path.c_str());
}

video::ITexture* fetchSpriteTexture(const io::path& file) {
    if (!gameDevice || file.empty())
        return nullptr;
    return gameDevice->getVideoDriver()->getTexture(file);
}

} // namespace

core::recti TextureAtlas::findSprite(const core::stringc& name) const {
    for (u32 i = 0; i < items.size(); ++i)
        if (items[i].name == name)
            return core::recti(items[i].x, items[i].y, items[i].width, items[i].height);
    return core::recti(0, 0, 0, 0);
}

SpriteAnimation::SpriteAnimation(const SpriteAnimation& other) { *this = other; }

SpriteAnimation& SpriteAnimation::operator=(const SpriteAnimation& other) {
    if (this == &other)
        return *this;
    video::ITexture* source = other.texture;
    if (gameDevice && !other.textureFile.empty())
        source = fetchSpriteTexture(other.textureFile);
    setTexture(source);
    frameList = other.frameList;
    name = other.name;
    textureFile = other.textureFile;
    time = other.time;
    duration = other.duration;
    frameTime = other.frameTime;
    x = other.x;
    y = other.y;
    itemX = other.itemX;
    itemY = other.itemY;
    width = other.width;
    height = other.height;
    overallWidth = other.overallWidth;
    overallHeight = other.overallHeight;
    frameCount = other.frameCount;
    first = other.first;
    last = other.last;
    columns = other.columns;
    rows = other.rows;
    playing = other.playing;
    reversed = other.reversed;
    looping = other.looping;
    return *this;
}

SpriteAnimation::~SpriteAnimation() { setTexture(nullptr); }

void SpriteAnimation::setTexture(video::ITexture* newTexture) {
    if (newTexture == texture)
        return;
    if (newTexture)
        newTexture->grab();
    if (texture)
        texture->drop();
    texture = newTexture;
}

void SpriteAnimation::update(f32 seconds) {
    // A duration below 0 or not a number (a frame time set by hand) stands still.
    if (!(duration > 0.0f) || !playing || !std::isfinite(seconds))
        return;
    const f32 step = reversed ? -seconds : seconds;
    if (looping) {
        time += step;
        // Many periods in one step are taken at once: subtracting a period that lies below the
        // precision of the time would never end. One or two periods subtract exactly.
        if (!reversed && time > duration) {
            if (time > 2.0f * duration) {
                time = std::fmod(time, duration);
                if (time == 0.0f)
                    time = duration;
            }
            while (time > duration) {
                time -= duration;
                if (time < 0.0f)
                    time = 0.0f;
            }
            finished.invoke();
        } else if (reversed && time < 0.0f) {
            if (time < -duration) {
                time = std::fmod(time, duration);
                if (time == 0.0f)
                    time = 0.0f; // not -0
            }
            while (time < 0.0f) {
                time += duration;
                if (time > duration)
                    time = duration;
            }
            finished.invoke();
        }
        return;
    }
    const f32 old = time;
    time += step;
    if ((time <= 0.0f || time >= duration) && old != 0.0f && old != duration)
        finished.invoke();
    time = std::clamp(time, 0.0f, duration);
}

void SpriteAnimation::setFrameTime(f32 seconds) {
    const f32 frames = static_cast<f32>(last - first + 1);
    if (seconds != 0.0f) {
        f32 ratio = 1.0f;
        if (duration != 0.0f)
            ratio = std::clamp(time / duration, 0.0f, 1.0f);
        frameTime = seconds;
        duration = frames * seconds;
        time = duration * ratio;
        return;
    }
    duration = frames * (frameTime == 0.0f ? spriteZeroFrameTime : frameTime);
    time = 0.0f;
}

void SpriteAnimation::setFramesPerSecond(f32 framesPerSecond, const char* file, const char* key) {
    if (framesPerSecond == 0.0f)
        return;
    const std::string who = std::string(logWarningPrefix) + "Sprite animation \"" + escapeLogText(file ? file : "") +
                            "\": " + (key ? key : "") + " ";
    char given[32];
    std::snprintf(given, sizeof(given), "%g", static_cast<double>(framesPerSecond));
    if (!(framesPerSecond > 0.0f)) {
        logMessage(who + given + " refused; it keeps its own frame time", ELL_WARNING);
        return;
    }
    const f32 rate = std::clamp(framesPerSecond, minFramesPerSecond, maxFramesPerSecond);
    if (rate != framesPerSecond) {
        char kept[32];
        std::snprintf(kept, sizeof(kept), "%g", static_cast<double>(rate));
        logMessage(who + given + " clamped to " + kept + " (allowed 0.001 to 1000)", ELL_WARNING);
    }
    setFrameTime(1.0f / rate);
}

s32 SpriteAnimation::getCurrentCell() const {
    if (duration == 0.0f)
        return 0;
    const s32 position = static_cast<s32>(((time - 0.0001f) / duration) * static_cast<f32>(last - first + 1) +
                                          static_cast<f32>(first));
    if (position >= 0 && position < static_cast<s32>(frameList.size()))
        return frameList[static_cast<u32>(position)] - 1;
    return position;
}

core::vector2di SpriteAnimation::cellOffset() const {
    if (columns == 0)
        return core::vector2di(0, 0);
    const s32 cell = getCurrentCell();
    const s32 row = cell / columns;
    const s32 column = cell - row * columns;
    return core::vector2di(width * column, height * row);
}

core::rectf SpriteAnimation::getFrameUVRect() const {
    if (!texture)
        return core::rectf(0.0f, 0.0f, 0.0f, 0.0f);
    const core::dimension2du size = texture->getOriginalSize();
    const f32 tw = static_cast<f32>(size.Width);
    const f32 th = static_cast<f32>(size.Height);
    const core::vector2di offset = cellOffset();
    return core::rectf(static_cast<f32>(x + offset.X) / tw, static_cast<f32>(y + offset.Y) / th,
                       static_cast<f32>(x + offset.X + width) / tw, static_cast<f32>(y + offset.Y + height) / th);
}

core::recti SpriteAnimation::getFrameRect() const {
    const core::vector2di offset = cellOffset();
    const s32 left = offset.X + (itemX < 1 ? 0 : itemX);
    const s32 top = offset.Y + (itemY < 1 ? 0 : itemY);
    return core::recti(left, top, left + width, top + height);
}

bool loadTextureAtlas(TextureAtlas& atlas, const io::path& path) {
    io::IXMLReader* reader = openSpriteFile(path);
    if (!reader) {
        logMessagePair("Could not load texture atlas: ", path.c_str());
        return false;
    }
    if (readToSpriteElement(reader, L"TextureAtlas")) {
        atlas.texturePath = spriteAttribute(reader, L"file");
        atlas.texture = fetchSpriteTexture(atlas.texturePath);
        if (!atlas.texture)
            logMessagePair("ERROR: Could not load texture atlas texture at: ", atlas.texturePath.c_str());
    }
    if (readToSpriteElement(reader, L"SpriteItem")) {
        u32 nodesLeft = atlasItemReadLimit;
        do {
            if (reader->getNodeType() == io::EXN_ELEMENT && core::stringw(L"SpriteItem") == reader->getNodeName()) {
                SpriteItem item;
                item.name = spriteAttribute(reader, L"name");
                item.x = spriteIntAttribute(reader, L"x");
                item.y = spriteIntAttribute(reader, L"y");
                item.width = spriteIntAttribute(reader, L"width");
                item.height = spriteIntAttribute(reader, L"height");
                atlas.items.push_back(item);
            }
        } while (nodesLeft-- > 0 && reader->read());
    }
    reader->drop();
    logMessagePair("Loaded texture atlas: ", path.c_str());
    return true;
}

bool loadTextureAnimation(SpriteAnimation& animation, const io::path& path) {
    io::IXMLReader* reader = openSpriteFile(path);
    if (!reader) {
        logMessagePair("Could not load texture animation: ", path.c_str());
        return false;
    }
    core::stringc atlasPath;
    core::stringc itemName;
    core::stringc file;
    if (readToSpriteElement(reader, L"SpriteAnimation")) {
        atlasPath = spriteAttribute(reader, L"atlas");
        itemName = spriteAttribute(reader, L"name");
        file = spriteAttribute(reader, L"file");
    }
    animation.name = itemName;
    TextureAtlas atlas;
    if (atlasPath.size() >= 2) {
        loadTextureAtlas(atlas, io::path(atlasPath.c_str()));
        animation.setTexture(atlas.texture);
        animation.textureFile = atlas.texturePath;
    }
    core::stringc frameListText;
    if (readToSpriteElement(reader, L"Sprite")) {
        animation.x = spriteIntAttribute(reader, L"x");
        animation.y = spriteIntAttribute(reader, L"y");
        animation.width = spriteIntAttribute(reader, L"width");
        animation.height = spriteIntAttribute(reader, L"height");
        animation.overallWidth = spriteIntAttribute(reader, L"overallWidth");
        animation.overallHeight = spriteIntAttribute(reader, L"overallHeight");
        animation.frameCount = spriteIntAttribute(reader, L"frameCount");
        frameListText = spriteAttribute(reader, L"frameList");
    }
    reader->drop();

    const core::recti item = atlas.findSprite(itemName);
    // The sheet lies inside one image: its place and size, its cells' size and the atlas
    // item's place and size each within the largest image the game reads (so that no sum of
    // them passes what a number holds). Anything else cannot be.
    if (!withinAnImage({animation.x, animation.y, animation.width, animation.height, animation.overallWidth,
                        animation.overallHeight, item.UpperLeftCorner.X, item.UpperLeftCorner.Y,
                        item.LowerRightCorner.X, item.LowerRightCorner.Y})) {
        logMessagePair("Texture animation sheet outside any image:", path.c_str());
        return false;
    }
    animation.x += item.UpperLeftCorner.X;
    animation.y += item.UpperLeftCorner.Y;
    animation.itemX = item.UpperLeftCorner.X;
    animation.itemY = item.UpperLeftCorner.Y;
    if (animation.overallWidth == 0)
        animation.overallWidth = item.LowerRightCorner.X;
    if (animation.overallHeight == 0)
        animation.overallHeight = item.LowerRightCorner.Y;
    if (animation.width != 0)
        animation.columns = animation.overallWidth / animation.width;
    if (animation.height != 0)
        animation.rows = animation.overallHeight / animation.height;
    // The frames must fit in the cells of the sheet, and a listed frame name one of them (or
    // be 0, not a number): anything else cannot be, and is refused before a frame is listed.
    const u64 cells = sheetCells(animation);
    core::array<s32> listed;
    readFrameList(frameListText.c_str(), listed);
    bool listFits = true;
    for (u32 i = 0; i < listed.size(); ++i)
        listFits = listFits && listed[i] >= 0 && static_cast<u64>(listed[i]) <= cells;
    if (animation.frameCount < 0 || !countFits(static_cast<u64>(animation.frameCount), 1, cells) || !listFits) {
        logMessagePair("Texture animation frame count incorrect:", path.c_str());
        return false;
    }

    if (!file.empty()) {
        animation.setTexture(fetchSpriteTexture(io::path(file.c_str())));
        animation.textureFile = file.c_str();
    } else {
        TextureAtlas fallback;
        loadTextureAtlas(fallback, spriteFallbackAtlas);
        animation.setTexture(fallback.texture);
        const core::recti again = fallback.findSprite(itemName);
        if (!withinAnImage({again.UpperLeftCorner.X, again.UpperLeftCorner.Y})) {
            logMessagePair("Texture animation sheet outside any image:", path.c_str());
            return false;
        }
        animation.x += again.UpperLeftCorner.X;
        animation.y += again.UpperLeftCorner.Y;
    }

    animation.frameList.clear();
    // The frames are the level load's to pay for: a list or a count past its budget leaves the
    // animation out (the budget logs why).
    const std::uint64_t frames = !listed.empty() ? listed.size()
                                                 : static_cast<std::uint64_t>(std::max(animation.frameCount, 0));
    if (!loadBudget().chargeWhileLoading(LoadBudget::Frames, frames, path.c_str()))
        return false;
    if (!listed.empty()) {
        animation.frameList = listed;
    } else {
        for (s32 cell = 1; cell <= animation.frameCount; ++cell)
            animation.frameList.push_back(cell);
    }
    if (!animation.frameList.empty()) {
        animation.first = 0;
        animation.last = static_cast<s32>(animation.frameList.size()) - 1;
    }
    const f32 frameTime = animation.frameTime == 0.0f ? spriteZeroFrameTime : animation.frameTime;
    animation.duration = static_cast<f32>(animation.last - animation.first + 1) * frameTime;
    logMessagePair("Loaded texture animation: ", path.c_str());
    return true;
}

bool getSpriteAnimation(SpriteAnimation& animation, const io::path& file) {
    const std::shared_ptr<const SpriteAnimation> cached = findSpriteAnimation(file);
    // A copy's frames are the load's too: many objects naming one long animation add up.
    if (!cached || !loadBudget().chargeWhileLoading(LoadBudget::Frames, cached->frameList.size(), file.c_str()))
        return false;
    animation = *cached;
    return true;
}
