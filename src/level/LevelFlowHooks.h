#pragma once

#include <irrTypes.h>
#include <path.h>

#include <functional>
#include <string>

namespace irr::scene {
class ISceneNode;
}

class LoadingOverlay;
struct CharacterProfile;
struct SpriteAnimation;

// Calls from the level flow and persistence code (caches, objectives, level events, sound
// objects) into subsystems that arrive later, grouped by callee. Each slot is tested for
// emptiness where it is called: an empty slot does nothing or answers the default written
// next to it. The subsystem that lands fills its slots at start-up; tests fill them with
// recording lambdas and call resetLevelFlowHooks() afterwards.
struct LevelFlowHooks {
    struct Characters {
        // CharacterProfile::load of the file (empty: false, nothing loads).
        std::function<bool(CharacterProfile& profile, const std::string& file)> loadProfile;
        // CharacterProfile::finishLoad, after a successful load.
        std::function<void(CharacterProfile& profile)> finishProfile;
    } characters;

    struct Render {
        // Reads a sprite animation file into the animation (empty: false, nothing loads).
        std::function<bool(SpriteAnimation& animation, const irr::io::path& file)> loadSpriteAnimation;
        // TextObject::rebuildMesh of a 3D text object ('text') with a bound text.
        std::function<void(irr::scene::ISceneNode* textObject, const wchar_t* text)> rebuildTextMesh;
    } render;

    struct Gui {
        // LoadingOverlay::draw: the cover for the overlay's mode, with its loading bar at
        // the overlay's progress (the meter material's currentMeterValue = the progress,
        // currentMeterAlpha = 1).
        std::function<void(const LoadingOverlay& overlay)> drawLoadingOverlay;
    } gui;
};

LevelFlowHooks& levelFlowHooks();
// Empties every slot.
void resetLevelFlowHooks();
