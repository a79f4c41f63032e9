#pragma once

#include "level/LevelObject.h"

// The program-wide floor height: objects that fall below it are reset. A level's
// LevelInfo sets it from "RespawnFloorHeight"; a level without one leaves the default.
extern irr::f32 levelFloorHeight;
constexpr irr::f32 defaultLevelFloorHeight = -100000.0f;

// The task-icon sprite file the objective panel uses when a level names none.
constexpr const char* defaultTaskIconAnimation = "Content/Screens/HUD/TaskIcons.xml";

// The settings a level's information object carries, with their defaults (a level
// without a LevelInfo is applied with these).
struct LevelSettings {
    irr::io::path TentaroMeshPath; // the player mesh file
    irr::f32 RespawnFloorHeight = defaultLevelFloorHeight;
    bool UseDefaultGravity = true; // the movement object's gravity
    irr::core::vector3df Gravity{0.0f, -55.0f, 0.0f};
    irr::s32 NumberOfLights = 4; // lights per drawn object
    bool DisableShadows = false;
    irr::core::vector3df ShadowLightPosition{0.0f, 1000.0f, 0.0f};
    irr::core::vector3df ShadowLightTarget{0.0f, 0.0f, 0.0f};
    irr::f32 DefaultFarValue = 100.0f;
    irr::s32 InitialCameraID = 0; // 0 or -1: none
    irr::s32 TotalObjects = 0;    // 0 hides the loading bar
    bool ForceLevelTimer = false;
    irr::io::path TaskIconAnimation; // empty: the default task icons
    irr::io::path SubtitleFile;      // the level's own subtitles, if any
    // Where the first local player starts; a checkpoint save used as the spawn moves it.
    irr::core::vector3df PlayerSpawnPosition;
    irr::core::vector3df PlayerSpawnRotation; // degrees
};

// Applies level settings while a level loads: floor height, gravity, lights, shadows,
// cameras, task icons and subtitles, through the hooks of the subsystems concerned.
// `owner` is the level's information object, or null.
void applyLevelSettings(const LevelSettings& settings, class LevelInfo* owner);

// The level-information object ('lvli'): the level's settings. The level manager keeps the
// first one of a loaded level as its currentLevelInfo; a marker below it stands for the
// first local player.
class LevelInfo : public LevelObject {
public:
    LevelInfo(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    // The level manager stops naming it as the level's information.
    ~LevelInfo() override;

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("lvli"); }

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // Applies this level's settings (the level manager calls it while the level loads).
    void applyLevelSettings() { ::applyLevelSettings(settings, this); }

    // The embedded trigger ("LevelInfoTrigger", not in the scene) that stands in as the
    // trigger of the event objects under the level information. The triggers subsystem
    // makes it on first use (levelInfoTrigger); null until then.
    irr::scene::ISceneNode* getTrigger() const { return trigger; }
    // Takes over one reference of the trigger (the old one is dropped).
    void setTrigger(irr::scene::ISceneNode* newTrigger);

    LevelSettings settings;
    // The animated-mesh node the level information holds (set by the subsystem that makes
    // it; a parent choice of the attach animator).
    irr::scene::IAnimatedMeshSceneNode* meshNode = nullptr;

private:
    irr::scene::ISceneNode* trigger = nullptr; // owned (one reference)
};
