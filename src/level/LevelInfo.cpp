#include "level/LevelInfo.h"

#include "level/AttributeExtras.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"

#include "core/Globals.h"

using namespace irr;

f32 levelFloorHeight = defaultLevelFloorHeight;

void applyLevelSettings(const LevelSettings& settings, LevelInfo* owner) {
    LevelHookTable& hooks = levelHooks();
    levelFloorHeight = settings.RespawnFloorHeight;
    if (hooks.physics.applyLevelSettings)
        hooks.physics.applyLevelSettings(settings);
    if (hooks.render.applyLevelSettings)
        hooks.render.applyLevelSettings(settings);

    // A level restored from a checkpoint used as the spawn starts with the checkpoint's
    // camera.
    s32 spawnCameraID = 0;
    scene::ISceneNode* checkpoint = levelManager ? levelManager->activeCheckpoint : nullptr;
    s32 checkpointCamera = 0;
    if (checkpoint && hooks.triggers.getCheckpointSpawn &&
        hooks.triggers.getCheckpointSpawn(checkpoint, checkpointCamera))
        spawnCameraID = checkpointCamera;
    if (hooks.camera.applyLevelSettings)
        hooks.camera.applyLevelSettings(settings, spawnCameraID);

    if (hooks.screens.applyLevelSettings)
        hooks.screens.applyLevelSettings(settings);
    if (owner && hooks.triggers.startLevelInfoEvents)
        hooks.triggers.startLevelInfoEvents(owner);
}

LevelInfo::LevelInfo(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {}

LevelInfo::~LevelInfo() {
    if (trigger)
        trigger->drop();
    if (levelManager && levelManager->currentLevelInfo == this)
        levelManager->currentLevelInfo = nullptr;
}

void LevelInfo::serializeAttributes(io::IAttributes* out,
                                    io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    addFilePath(out, "TentaroMeshPath", settings.TentaroMeshPath.c_str());
    out->addFloat("RespawnFloorHeight", settings.RespawnFloorHeight);
    out->addBool("UseDefaultGravity", settings.UseDefaultGravity);
    out->addVector3d("Gravity", settings.Gravity);
    out->addInt("NumberOfLights", settings.NumberOfLights);
    out->addBool("DisableShadows", settings.DisableShadows);
    out->addVector3d("ShadowLightPosition", settings.ShadowLightPosition);
    out->addVector3d("ShadowLightTarget", settings.ShadowLightTarget);
    out->addFloat("DefaultFarValue", settings.DefaultFarValue);
    addObjectReference(out, "InitialCameraID", settings.InitialCameraID);
    out->addInt("TotalObjects", settings.TotalObjects);
    out->addBool("ForceLevelTimer", settings.ForceLevelTimer);
    addFilePath(out, "TaskIconAnimation", settings.TaskIconAnimation.c_str());
    addFilePath(out, "SubtitleFile", settings.SubtitleFile.c_str());
    out->addVector3d("PlayerSpawnPosition", settings.PlayerSpawnPosition);
    out->addVector3d("PlayerSpawnRotation", settings.PlayerSpawnRotation);
}

void LevelInfo::deserializeAttributes(io::IAttributes* in,
                                      io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    if (!in)
        return;
    LevelSettings& s = settings;
    readIfPresent(in, "TentaroMeshPath", s.TentaroMeshPath);
    readIfPresent(in, "RespawnFloorHeight", s.RespawnFloorHeight);
    readIfPresent(in, "UseDefaultGravity", s.UseDefaultGravity);
    readIfPresent(in, "Gravity", s.Gravity);
    readIfPresent(in, "NumberOfLights", s.NumberOfLights);
    readIfPresent(in, "DisableShadows", s.DisableShadows);
    readIfPresent(in, "ShadowLightPosition", s.ShadowLightPosition);
    readIfPresent(in, "ShadowLightTarget", s.ShadowLightTarget);
    readIfPresent(in, "DefaultFarValue", s.DefaultFarValue);
    readIfPresent(in, "InitialCameraID", s.InitialCameraID);
    readIfPresent(in, "TotalObjects", s.TotalObjects);
    readIfPresent(in, "ForceLevelTimer", s.ForceLevelTimer);
    readIfPresent(in, "TaskIconAnimation", s.TaskIconAnimation);
    readIfPresent(in, "SubtitleFile", s.SubtitleFile);
    readIfPresent(in, "PlayerSpawnPosition", s.PlayerSpawnPosition);
    readIfPresent(in, "PlayerSpawnRotation", s.PlayerSpawnRotation);
}

void LevelInfo::setTrigger(scene::ISceneNode* newTrigger) {
    if (trigger)
        trigger->drop();
    trigger = newTrigger;
}

scene::ISceneNode* LevelInfo::clone(scene::ISceneNode* newParent,
                                    scene::ISceneManager* newManager) {
    return cloneAs<LevelInfo>(newParent, newManager);
}
