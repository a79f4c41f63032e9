#include "level/LevelLimits.h"

#include "core/Log.h"
#include "core/RepeatedLog.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace irr;

namespace {

// The content's primitives, lights and cameras, and the plain mesh node that levels (and user
// levels) use for static decoration: its mesh passes the mesh gate like every other.
const c8* const engineNodeTypesForLevels[] = {"cube", "sphere", "light", "camera", "mesh"};

enum class BoundKind { Int, Position2d, Dimension2d };

struct AttributeBound {
    const c8* name;
    BoundKind kind;
    s64 low;
    s64 high;
};

// Names are unique enough across the game's objects that one range serves every type.
constexpr s64 particleRateLimit = 16250; // the particles one system holds at most
const AttributeBound attributeBounds[] = {
    // The engine sphere's rings and segments (128 x 128 stays within its 16-bit indices).
    {"PolyCountX", BoundKind::Int, 0, 128},
    {"PolyCountY", BoundKind::Int, 0, 128},
    {"PolyCount", BoundKind::Int, 0, 128},
    // Particle rates per second.
    {"MinParticlesPerSecond", BoundKind::Int, 0, particleRateLimit},
    {"MaxParticlesPerSecond", BoundKind::Int, 0, particleRateLimit},
    {"ParticlesPerSecond", BoundKind::Position2d, 0, particleRateLimit},
    // Text objects' TrueType size in pixels.
    {"FontSize", BoundKind::Int, 1, 256},
    // Copies a spawn action makes at load.
    {"PoolSize", BoundKind::Int, 0, 256},
    // Joints a bone animator drives.
    {"JointCount", BoundKind::Int, 0, 64},
    // Straight pieces per spline segment that its length is summed over, every frame a
    // swim-spline animator follows it.
    {"DivisionCount", BoundKind::Int, 0, 1000},
    // A water surface's reflection and refraction textures.
    {"RenderTargetSize", BoundKind::Dimension2d, 1, 4096},
};

s64 clampTo(s64 value, const AttributeBound& bound) {
    return value < bound.low ? bound.low : value > bound.high ? bound.high : value;
}

void logClamp(const c8* typeName, io::IAttributes* attributes, const AttributeBound& bound, const std::string& was,
              const std::string& now) {
    const core::stringc objectName = attributes->getAttributeAsString("Name");
    logLevelClamp(typeName, objectName.c_str(), bound.name, was, now, bound.low, bound.high);
}

void logClampLine(const c8* typeName, const c8* objectName, const c8* key, const std::string& was,
                  const std::string& now, const std::string& low, const std::string& high) {
    // Copies of one object give the same line: counted.
    logRepeatable(std::string(logWarningPrefix) + "Level object \"" + escapeLogText(objectName ? objectName : "") +
                      "\" (" + escapeLogText(typeName ? typeName : "") + "): " + key + " " + was + " clamped to " +
                      now + " (allowed " + low + " to " + high + ")",
                  ELL_WARNING);
}

// The shortest text that reads back as the same float: a value one step past a bound does not
// print as the bound.
std::string floatText(f32 value) {
    if (std::isnan(value))
        return "nan";
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, result.ptr);
}

} // namespace

void logLevelClamp(const c8* typeName, const c8* objectName, const c8* key, const std::string& was,
                   const std::string& now, s64 low, s64 high) {
    logClampLine(typeName, objectName, key, was, now, std::to_string(low), std::to_string(high));
}

void clampLevelFloat(const c8* typeName, const c8* objectName, const c8* key, f32& value, f32 low, f32 high) {
    const f32 clamped = !std::isfinite(value) ? low : value < low ? low : value > high ? high : value;
    if (clamped == value)
        return;
    logClampLine(typeName, objectName, key, floatText(value), floatText(clamped), floatText(low), floatText(high));
    value = clamped;
}

bool offsetLevelValue(s32 value, s64 offset, s32& sum) {
    const s64 result = static_cast<s64>(value) + offset;
    if (result < std::numeric_limits<s32>::min() || result > std::numeric_limits<s32>::max())
        return false;
    sum = static_cast<s32>(result);
    return true;
}

bool isEngineNodeTypeForLevels(const c8* typeName) {
    if (!typeName)
        return false;
    for (const c8* name : engineNodeTypesForLevels)
        if (std::strcmp(name, typeName) == 0)
            return true;
    return false;
}

void clampLevelAttributes(const c8* typeName, io::IAttributes* attributes) {
    if (!attributes)
        return;
    for (const AttributeBound& bound : attributeBounds) {
        if (!attributes->existsAttribute(bound.name))
            continue;
        switch (bound.kind) {
        case BoundKind::Int: {
            const s64 value = attributes->getAttributeAsInt(bound.name);
            const s64 clamped = clampTo(value, bound);
            if (clamped != value) {
                attributes->setAttribute(bound.name, static_cast<s32>(clamped));
                logClamp(typeName, attributes, bound, std::to_string(value), std::to_string(clamped));
            }
            break;
        }
        case BoundKind::Position2d: {
            const core::position2di value = attributes->getAttributeAsPosition2d(bound.name);
            const core::position2di clamped(static_cast<s32>(clampTo(value.X, bound)),
                                            static_cast<s32>(clampTo(value.Y, bound)));
            if (clamped != value) {
                attributes->setAttribute(bound.name, clamped);
                logClamp(typeName, attributes, bound, std::to_string(value.X) + ", " + std::to_string(value.Y),
                         std::to_string(clamped.X) + ", " + std::to_string(clamped.Y));
            }
            break;
        }
        case BoundKind::Dimension2d: {
            // Read signed: a negative side written to the file stays negative, not a huge size.
            const core::position2di value = attributes->getAttributeAsPosition2d(bound.name);
            const core::dimension2du clamped(static_cast<u32>(clampTo(value.X, bound)),
                                             static_cast<u32>(clampTo(value.Y, bound)));
            if (static_cast<s64>(clamped.Width) != value.X || static_cast<s64>(clamped.Height) != value.Y) {
                attributes->setAttribute(bound.name, clamped);
                logClamp(typeName, attributes, bound, std::to_string(value.X) + ", " + std::to_string(value.Y),
                         std::to_string(clamped.Width) + ", " + std::to_string(clamped.Height));
            }
            break;
        }
        }
    }
}
