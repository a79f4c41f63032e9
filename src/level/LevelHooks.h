#pragma once

#include <irrlicht.h>

#include <functional>

class InstancedObject;
class LevelInfo;

// Calls from the level subsystem into subsystems that arrive later, grouped by callee.
// Each slot sits at its place in the level code and is tested for emptiness there: an
// empty slot does nothing or answers the default written next to it. The subsystem that
// lands fills its slots in its registration function at start-up; tests fill them with
// recording lambdas and call resetLevelHooks() afterwards.
struct LevelHookTable {
    struct Physics {
        // A level starts loading: the physics manager's frameCounter = 0.
        std::function<void()> resetFrameCounter;
        // Debug key: PhysicsManager::toggleDebugVisualization.
        std::function<void()> toggleDebugVisualization;
        // Level settings: the physics scene's gravity.
        std::function<void(const irr::core::vector3df& gravity)> setGravity;
        // Sublevel activation: the `active` flag of a physics object's PhysicsUserData.
        std::function<void(irr::scene::ISceneNode* physicsObject, bool active)> setObjectActive;
        // Sublevel bounds: a physics object's `isSublevelOutlier`.
        std::function<void(irr::scene::ISceneNode* physicsObject, bool outlier)> setSublevelOutlier;
        // InstancedObject::rebuild: a copy of the source physics object under the instance
        // (empty: null, no copy).
        std::function<irr::scene::ISceneNode*(irr::scene::ISceneNode* source,
                                              InstancedObject* instance)>
            cloneForInstance;
        // InstancedObject::rebuild with instancing on and the simulation active: raise the
        // source's instanceBindCount and PhysicsObject::registerInstance(instance).
        std::function<void(irr::scene::ISceneNode* source, InstancedObject* instance)>
            registerInstance;
    } physics;

    struct Movement {
        // The movement object's Gravity; answers false when there is no movement object
        // (empty: false).
        std::function<bool(irr::core::vector3df& gravity)> getGravity;
    } movement;

    struct Render {
        // Level settings: "NumberOfLights" for the light manager's maxLightsPerNode; the
        // rendering subsystem decides whether a change rebuilds the shaders.
        std::function<void(irr::s32 lightsPerNode)> setLightsPerNode;
        // Level settings: the effect handler's levelShadowsEnabled.
        std::function<void(bool enabled)> setLevelShadowsEnabled;
        // Level settings: EffectHandler::setShadowQuality with the level's shadow light.
        std::function<void(const irr::core::vector3df& position,
                           const irr::core::vector3df& target)>
            setShadowLight;
        // The effect handler's instancing flag (empty: false).
        std::function<bool()> isInstancingEnabled;
        // Debug keys: the effect handler's one-shot skipNextScenePass and its editor
        // refresh request.
        std::function<void()> skipNextScenePass;
        std::function<void()> requestEditorRefresh;
    } render;

    struct Camera {
        // Level settings: the first camera manager's defaultFarValue and setActiveCamera.
        std::function<void(irr::f32 farValue)> setDefaultFarValue;
        std::function<void(irr::s32 cameraID)> setInitialCamera;
    } camera;

    struct Triggers {
        // Level settings: the level information's embedded "LevelInfoTrigger" starts its
        // child trigger events.
        std::function<void(LevelInfo* levelInfo)> startLevelInfoEvents;
    } triggers;

    struct Gui {
        // Level settings: GUIObjectiveCenter::setTaskIconAnimation.
        std::function<void(const irr::io::path& spriteFile)> setTaskIconAnimation;
    } gui;

    struct Screens {
        // loadLevel, before anything else: maintainWorkshopZip(path).
        std::function<void(const irr::io::path& levelPath)> maintainWorkshopZip;
        // After the title screen's background level has loaded, in this order.
        std::function<void()> unmountWorkshopArchives;
        std::function<void()> loadLevelList;
        std::function<void()> loadMenuPreviewScenes;
        std::function<void()> showAutoSaveLevelPreview;
        // Level settings: ScreenManager::loadSubtitles(name).
        std::function<void(const irr::io::path& name)> loadSubtitles;
        // The scene loader, once per object read: ScreenManager::renderLoadingFrame.
        std::function<void()> renderLoadingFrame;
        // Debug key: ScreenManager::dismissAllNotifications.
        std::function<void()> dismissAllNotifications;
        // ScreenManager::isInputAllowed (empty: true).
        std::function<bool()> isInputAllowed;
    } screens;

    struct Input {
        // Whether a key went down this frame (empty: false); the debug keys read it.
        std::function<bool(irr::EKEY_CODE key)> wasKeyPressed;
    } input;
};

LevelHookTable& levelHooks();
// Empties every slot.
void resetLevelHooks();
