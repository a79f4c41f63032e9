// Every shipped level played for a few seconds by a fixed script of keys, its state written
// every few frames and compared with the recorded play (tests/game/records/traces/<Level>.txt).
// A change to how objects fall, swing, animate, walk, trigger, or how the cameras follow
// shows as a difference; a wanted change is recorded again (PADDLESTONE_RECORD=1) and reviewed.
//
// The run is made deterministic from here: every frame is one frame target of game time
// (steady frames), the engine timer that the scene's animate pass and mesh animation read is
// held still and moved by one frame target per frame, and the program's random generator is
// seeded before the level loads (left alone it carries on from whatever ran before in the
// process). The physics worker thread needs nothing: a step's results reach the bodies only
// when the main thread fetches them.
#include "GameFixture.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "camera/CutsceneObject.h"
#include "camera/GameCamera.h"
#include "characters/CharacterObject.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionMeter.h"
#include "characters/VisionCone.h"
#include "characters/WaypointObject.h"
#include "characters/animators/AnimatorBase.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/Random.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "level/SceneNodeBase.h"
#include "level/VariableObject.h"
#include "phys/Actor.h"
#include "phys/RigidBody.h"
#include "physics/joints/JointObject.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/objects/PhysicsObjectSettings.h"
#include "physics/world/PhysicsManager.h"
#include "screens/ScreenManager.h"
#include "support/RecordedResult.h"
#include "triggers/CheckpointObject.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace irr;

namespace {

// Every level the game ships, one test case each.
const char* const shippedLevels[] = {
    "AnimatorDemo",     "CalibrationLevel",  "CameraModesDemo",       "CharacterDemo", "CutsceneDemo",
    "JointDemo",        "MainScreen_Background", "Menu_Garden",       "Menu_Greenhouse", "Menu_Shed",
    "ObjectivesDemo",   "PhysicsDemo",       "ResetDemo",             "Story_Garden",  "Story_Greenhouse",
    "Story_Shed",       "Sub_ShedShelf",     "SwimDemo",              "TieDemo",       "TriggerActionsDemo",
    "TriggerControlDemo", "WorkshopPreview",
};

// Frames of play after the load, and every how many frames the state is written.
constexpr int playFrames = 300;
constexpr int sampleEvery = 30;
// Frames played after the level has been restored from a checkpoint saved at the end.
constexpr int restoredFrames = 30;
// The engine time the level starts at (milliseconds), and one frame of it in microseconds.
constexpr u32 startTimeMs = 100000;
constexpr u64 frameMicroseconds = 16700;

// The script, by frame after the load: stand, walk forward holding the skip key (a
// cutscene that runs from the start is skipped), turn, raise a foot, grab and drop, walk
// back (the debug keys fly the free camera meanwhile), look round and zoom. Keys as the
// default mapping and the debug keys have them.
struct KeyChange {
    int frame;
    EKEY_CODE key;
    bool down;
};
// In frame order.
const KeyChange script[] = {
    {30, KEY_KEY_W, true},     {30, KEY_UP, true},        {45, KEY_RETURN, true},   {90, KEY_KEY_W, false},
    {90, KEY_UP, false},       {90, KEY_KEY_D, true},     {90, KEY_NUMPAD4, true},  {120, KEY_KEY_D, false},
    {120, KEY_NUMPAD4, false}, {120, KEY_RETURN, false},
    {125, KEY_KEY_Q, true},    {125, KEY_KEY_M, true},    {135, KEY_KEY_Q, false},  {135, KEY_KEY_M, false},
    {140, KEY_KEY_E, true},    {160, KEY_KEY_E, false},   {165, KEY_KEY_G, true},   {167, KEY_KEY_G, false},
    {170, KEY_TAB, true},      {172, KEY_TAB, false},     {175, KEY_KEY_S, true},   {175, KEY_DOWN, true},
    {200, KEY_F1, true},       {201, KEY_F1, false},      {205, KEY_F9, true},      {206, KEY_F9, false},
    {235, KEY_KEY_S, false},   {235, KEY_DOWN, false},    {235, KEY_NUMPAD8, true}, {240, KEY_UP, true},
    {255, KEY_NUMPAD8, false}, {255, KEY_NUMPAD6, true},  {265, KEY_UP, false},     {275, KEY_NUMPAD6, false}, {275, KEY_ADD, true},     {280, KEY_F9, true},
    {281, KEY_F9, false},      {283, KEY_F9, true},       {284, KEY_F9, false},     {286, KEY_F1, true},
    {287, KEY_F1, false},      {290, KEY_ADD, false},
};

class Record {
public:
    void add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char buffer[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(buffer, sizeof(buffer), format, args);
        va_end(args);
        text += buffer;
    }
    void vec(const char* label, const core::vector3df& v) { add(" %s %.6g %.6g %.6g", label, v.X, v.Y, v.Z); }
    void word(const char* label, const std::string& value) {
        add(" %s %s", label, value.empty() ? "-" : value.c_str());
    }
    void end() { text += '\n'; }
    std::string text;
};

std::string typeName(scene::ISceneNode* node) {
    const char* name = gameDevice->getSceneManager()->getSceneNodeTypeName(node->getType());
    if (name && *name)
        return name;
    const u32 code = static_cast<u32>(node->getType());
    std::string fourCC;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((code >> (8 * i)) & 0xFF);
        fourCC += (c > ' ' && c < 127) ? c : '_';
    }
    return fourCC;
}

// The name as one or more words; "-" for none.
std::string nameOf(const scene::ISceneNode* node) {
    const char* name = node->getName();
    return name && *name ? name : "-";
}

s32 idOf(const scene::ISceneNode* node) { return node ? node->getID() : 0; }

// The scene's nodes (the root aside) in a stable order: by ID, ties in tree order, which the
// level file fixes. Cameras the engine or the camera managers make are left to the camera
// lines, and so are the debug helpers.
std::vector<scene::ISceneNode*> levelNodes() {
    std::vector<scene::ISceneNode*> nodes;
    std::vector<scene::ISceneNode*> pending{gameDevice->getSceneManager()->getRootSceneNode()};
    while (!pending.empty()) {
        scene::ISceneNode* node = pending.back();
        pending.pop_back();
        const auto& children = node->getChildren();
        std::vector<scene::ISceneNode*> ordered;
        for (scene::ISceneNode* child : children)
            ordered.push_back(child);
        for (auto it = ordered.rbegin(); it != ordered.rend(); ++it)
            if (!(*it)->isDebugObject())
                pending.push_back(*it);
        if (node != gameDevice->getSceneManager()->getRootSceneNode())
            nodes.push_back(node);
    }
    std::stable_sort(nodes.begin(), nodes.end(),
                     [](scene::ISceneNode* a, scene::ISceneNode* b) { return a->getID() < b->getID(); });
    return nodes;
}

void writeBody(Record& out, PhysicsObject* object, bool full) {
    out.add(" phys %d hold %d grab %d", static_cast<int>(object->getPhysicsState()), object->holdCount,
            object->isGrabbableNow() ? 1 : 0);
    const PhysicsBodySettings& b = object->body();
    // The body's run state: state now and before, button, sound cooldown, touches, joints, off.
    out.add(" body %d %d %.6g %.6g %zu %zu %d", b.currentPhysicsState,
            b.lastPhysicsState, b.buttonTimer, b.collisionSoundCooldown, b.touchList.size(), b.joints.size(),
            b.collisionForcedOff ? 1 : 0);
    const PhysicsResetRules& r = object->reset();
    // The reset timers (at rest, offscreen, away), the respawn effect, the suspicion display.
    out.add(" timers %.6g %.6g %.6g %.6g %.6g", r.atRestTimer, r.offscreenTimer,
            r.awayFromPlayerTimer, object->respawnEffectTimer, object->suspicion().displayTimer);
    // The clocks that only count the level's time, at the first and last sample.
    if (full) {
        out.add(" life %.6g age %.6g", object->lifetime, object->suspicion().ageTimer);
        out.vec("spawn", r.respawnPosition);
    }
    if (scene::IAnimatedMeshSceneNode* mesh = object->getMeshNode())
        out.add(" mesh %.6g %d", mesh->getFrameNr(), mesh->isVisible() ? 1 : 0);
    phys::RigidActor* actor = object->getActor();
    if (!actor)
        return;
    if (full) {
        const phys::Bounds3 bounds = actor->getWorldBounds();
        out.add(" bounds %.6g %.6g %.6g %.6g %.6g %.6g shapes %u", bounds.minimum.x, bounds.minimum.y,
                bounds.minimum.z, bounds.maximum.x, bounds.maximum.y, bounds.maximum.z, actor->getNbShapes());
    }
    phys::RigidDynamic* body = actor->asRigidDynamic();
    if (!body)
        return; // a static actor sits where the node is
    const phys::Transform pose = actor->getGlobalPose();
    out.add(" pose %.6g %.6g %.6g %.6g %.6g %.6g %.6g", pose.p.x, pose.p.y, pose.p.z, pose.q.x, pose.q.y, pose.q.z,
            pose.q.w);
    {
        const phys::Vec3 linear = body->getLinearVelocity(), angular = body->getAngularVelocity();
        out.add(" lin %.6g %.6g %.6g ang %.6g %.6g %.6g sleep %d kin %d", linear.x, linear.y, linear.z, angular.x,
                angular.y, angular.z, body->isSleeping() ? 1 : 0, body->isKinematic() ? 1 : 0);
        if (full) {
            const phys::Vec3 inertia = body->getMassSpaceInertiaTensor();
            out.add(" mass %.6g inertia %.6g %.6g %.6g damping %.6g %.6g", body->getMass(), inertia.x, inertia.y,
                    inertia.z, body->getLinearDamping(), body->getAngularDamping());
        }
    }
}

void writeCharacter(Record& out, CharacterObject* character) {
    const CharacterStateMachine& machine = character->stateMachine();
    out.add(" state %d %d %d", machine.currentID(), machine.previousID(), machine.globalID());
    out.word("anim", character->playingAnimation);
    out.add(" waypoint %d %d %d index %d", idOf(character->getFirstWaypoint()), idOf(character->getTargetWaypoint()),
            idOf(character->getLastWaypoint()), character->WaypointIndex);
    out.add(" walk %.6g stopped %.6g stuck %.6g blocked %d path %d back %d look %d", character->WalkSpeed,
            character->stoppedTime, character->stuckTime, character->blockedByPlayer ? 1 : 0,
            character->isPathStarted() ? 1 : 0, character->IsGoingBack ? 1 : 0, idOf(character->getLookTarget()));
    out.vec("target", character->targetPosition);
    out.vec("foot", character->getControllerFootPosition());
}

void writeVisionCone(Record& out, VisionCone* cone) {
    out.add(" cone %d enabled %d sight %d noticed %d watcher %d seen %.6g intensity %.6g distance %.6g",
            cone->getVisionConeID(), cone->enabled ? 1 : 0, cone->isInSight() ? 1 : 0, cone->hasNoticed() ? 1 : 0,
            cone->isWatcherRegistered() ? 1 : 0, cone->getSeenTime(), cone->getIntensity(), cone->getDistance());
    out.vec("eye", cone->eyePoint);
}

void writeTrigger(Record& out, TriggerObject* trigger) {
    out.add(" trigger active %d met %d %d timer %.6g frames %d paused %d cancelled %d revertible %d contacts %zu",
            trigger->IsActive ? 1 : 0, trigger->ConditionMet ? 1 : 0, trigger->PrevConditionMet ? 1 : 0,
            trigger->PreCondTimer, trigger->frameCounter, trigger->pauseCount, trigger->cancelled ? 1 : 0,
            trigger->revertible ? 1 : 0, trigger->getActiveContactList().size());
    out.add(" entries %zu watched %zu excluded %zu", trigger->entryCounts.size(), trigger->watchedNodes.size(),
            trigger->excludedNodes.size());
    if (phys::Actor* volume = trigger->getMainActor())
        if (phys::RigidActor* rigid = volume->asRigidActor()) {
            const phys::Bounds3 bounds = rigid->getWorldBounds();
            out.add(" volume %.6g %.6g %.6g %.6g %.6g %.6g shapes %u", bounds.minimum.x, bounds.minimum.y,
                    bounds.minimum.z, bounds.maximum.x, bounds.maximum.y, bounds.maximum.z, rigid->getNbShapes());
        }
}

// The animators on the node: kind, ID and switches.
void writeAnimators(Record& out, scene::ISceneNode* node) {
    for (scene::ISceneNodeAnimator* animator : node->getAnimators()) {
        out.add(" animator %d", static_cast<int>(animator->getType()));
        if (auto* own = dynamic_cast<AnimatorBase*>(animator))
            out.add(" %d %d %d", own->getID(), own->isEnabled() ? 1 : 0, own->isReversed() ? 1 : 0);
        out.add(" %d", animator->hasFinished() ? 1 : 0);
    }
}

// What the appearance animators change: the first material's colours, texture and texture
// matrix.
void writeMaterial(Record& out, scene::ISceneNode* node) {
    if (!node || node->getMaterialCount() == 0)
        return;
    const video::SMaterial& m = node->getMaterial(0);
    // A shader material the null driver could not make is -1, outside the enumeration: read
    // the stored number without loading it as the enumeration.
    int type = 0;
    static_assert(sizeof(type) == sizeof(m.MaterialType));
    std::memcpy(&type, &m.MaterialType, sizeof(type));
    out.add(" material %d %.6g colours %u %u %u", type, m.MaterialTypeParam,
            m.DiffuseColor.color, m.EmissiveColor.color, m.AmbientColor.color);
    const video::ITexture* texture = m.getTexture(0);
    // From Content/ on: the folder the game runs in differs between machines.
    std::string path = texture ? texture->getName().getPath().c_str() : "";
    const std::size_t content = path.find("Content/");
    out.word("texture", content == std::string::npos ? path : path.substr(content));
    const core::matrix4& t = m.getTextureMatrix(0);
    out.add(" uv %.6g %.6g %.6g %.6g %.6g %.6g", t[0], t[1], t[4], t[5], t[8], t[9]);
}

// One line for the node: what it is, where, and the state its kind keeps.
void writeNode(Record& out, scene::ISceneNode* node, bool full) {
    out.add("%s %d", typeName(node).c_str(), node->getID());
    out.word("name", nameOf(node));
    out.vec("at", node->getAbsolutePosition());
    out.vec("r", node->getRotation());
    out.vec("s", node->getScale());
    out.add(" v %d", node->isVisible() ? 1 : 0);
    writeAnimators(out, node);
    // Materials at the first and last sample, and in between where an animator may change them.
    PhysicsObject* physical = asPhysicsObject(node);
    scene::ISceneNode* shown = physical && physical->getMeshNode() ? physical->getMeshNode() : node;
    if (full || !node->getAnimators().empty() || !shown->getAnimators().empty()) {
        if (shown != node)
            writeAnimators(out, shown);
        writeMaterial(out, shown);
    }
    if (CharacterObject* character = asCharacter(node)) {
        writeBody(out, character, full);
        writeCharacter(out, character);
    } else if (PhysicsObject* object = asPhysicsObject(node)) {
        writeBody(out, object, full);
    }
    if (auto* trigger = dynamic_cast<TriggerObject*>(node))
        writeTrigger(out, trigger);
    if (auto* event = dynamic_cast<TriggerEventObject*>(node))
        out.add(" event pending %d time %.6g", event->isPending() ? 1 : 0, event->isPending() ? event->pending.time : -1.0f);
    if (auto* cone = dynamic_cast<VisionCone*>(node))
        writeVisionCone(out, cone);
    if (auto* joint = dynamic_cast<JointObject*>(node))
        out.add(" joint %d", joint->isJointLive() ? 1 : 0);
    if (auto* cutscene = dynamic_cast<CutsceneObject*>(node))
        out.add(" cutscene %d %d elapsed %.6g skip %.6g %d %d ending %d", cutscene->isRunning() ? 1 : 0, cutscene->state,
                cutscene->elapsed, cutscene->skipProgress, cutscene->skipRequested ? 1 : 0,
                cutscene->skipCarriedOut ? 1 : 0, cutscene->ending ? 1 : 0);
    if (auto* camera = dynamic_cast<CameraObject*>(node)) {
        out.vec("current", camera->currentPosition);
        out.vec("goal", camera->goalPosition);
        out.vec("look", camera->lookTarget);
        out.add(" blend %.6g first %d", camera->BlendWeight, camera->firstFrame ? 1 : 0);
    }
    if (auto* variable = dynamic_cast<VariableObject*>(node))
        out.add(" value %.6g", variable->Value);
    if (auto* checkpoint = dynamic_cast<CheckpointObject*>(node))
        out.add(" checkpoint %d", checkpoint->IsActiveCheckpoint ? 1 : 0);
    if (auto* lamp = dynamic_cast<scene::ILightSceneNode*>(node)) {
        const video::SLight& light = lamp->getLightData();
        out.add(" light %.6g %.6g %.6g %.6g radius %.6g", light.DiffuseColor.r, light.DiffuseColor.g, light.DiffuseColor.b,
                light.DiffuseColor.a, light.Radius);
    }
    if (auto* mesh = dynamic_cast<scene::IAnimatedMeshSceneNode*>(node))
        out.add(" frame %.6g", mesh->getFrameNr());
    out.end();
}

// The level-wide state: the cameras, the physics world, the level run, suspicion, objectives
// and queued level events.
void writeLevel(Record& out) {
    CameraManager* cameras = cameraManagers[0];
    if (cameras) {
        CameraObject* override = cameras->getOverrideCamera();
        out.add("camera override %d", idOf(override));
        out.word("name", override ? nameOf(override) : std::string());
        out.add(" free %d disabled %d manual %d", cameras->freeCamera ? 1 : 0, cameras->overridesDisabled ? 1 : 0,
                cameras->manualCameraAllowed ? 1 : 0);
        out.add(" yaw %.6g %.6g pitch %.6g %.6g zoom %.6g %.6g fov %.6g", cameras->manualYaw, cameras->manualYawGoal,
                cameras->manualPitch, cameras->manualPitchGoal, cameras->manualZoom, cameras->manualZoomGoal,
                cameras->fovNarrowing);
        out.end();
        if (scene::ICameraSceneNode* debug = cameras->debugCamera) {
            out.add("debugcamera %d input %d", debugMode ? 1 : 0, debug->isInputReceiverEnabled() ? 1 : 0);
            out.vec("at", debug->getAbsolutePosition());
            out.vec("target", debug->getTarget());
            out.end();
        }
        if (scene::ICameraSceneNode* main = cameras->mainCamera) {
            out.add("view");
            out.vec("at", main->getAbsolutePosition());
            out.vec("target", main->getTarget());
            out.add(" fov %.6g near %.6g far %.6g", main->getFOV(), main->getNearValue(), main->getFarValue());
            out.end();
        }
        if (GameCamera* game = cameras->gameCamera) {
            out.add("gamecamera yaw %.6g pitch %.6g distance %.6g pulled %d", game->yaw, game->pitch, game->distance,
                    game->pulledIn ? 1 : 0);
            out.vec("focus", game->focusPoint);
            out.vec("smoothed", game->smoothedPosition);
            out.end();
        }
    }
    phys::Vec3 gravity;
    physicsManager->getGravity(gravity);
    out.add("physics gravity %.6g %.6g %.6g active %d", gravity.x, gravity.y, gravity.z,
            physicsManager->isSimulationActive() ? 1 : 0);
    out.end();
    const LevelRunRecord& run = levelManager->levelRun;
    out.add("level time %.6g valid %d losses %d suspended %d checkpoint %d saved %zu", run.levelTime,
            run.validTime ? 1 : 0, run.losses, isGameplaySuspended() ? 1 : 0, idOf(levelManager->activeCheckpoint),
            levelManager->checkpointList.size());
    out.add(" overlay %d %.6g bars %.6g", levelManager->loadingOverlay.mode, levelManager->loadingOverlay.fadeValue,
            screenManager->getOverlayBlend());
    for (const auto& event : levelManager->getLevelEvents())
        out.add(" %s", levelEventName(event->getType()));
    out.end();
    if (SuspicionMeter* meter = levelManager->getPlayerSuspicion(0)) {
        out.add("suspicion %.6g pending %.6g drain %.6g %.6g watchers %d zones %d age %.6g repeat %.6g gained %d %d",
                meter->value, meter->pendingValue, meter->drainValue, meter->drainTimer, meter->watcherCount,
                meter->zoneCount, meter->age, meter->repeatTimer, meter->gainedLastFrame ? 1 : 0,
                meter->gainedThisFrame ? 1 : 0);
        out.end();
    }
    for (const ObjectiveEntry& entry : levelManager->objectives.getEntries()) {
        out.add("objective %d icon %d revealed %d completed %d current %d", entry.id, entry.iconFrame,
                entry.revealed ? 1 : 0, entry.completed ? 1 : 0, levelManager->objectives.isCurrent(entry.id) ? 1 : 0);
        out.word("text", std::string(entry.textID.begin(), entry.textID.end()));
        out.end();
    }
}

// Every attribute the node writes, commas turned to spaces so the numbers compare as numbers.
void writeAttributes(Record& out, scene::ISceneNode* node) {
    io::IAttributes* attributes = gameDevice->getFileSystem()->createEmptyAttributes(gameDevice->getVideoDriver());
    node->serializeAttributes(attributes);
    out.add("attributes %s %d", typeName(node).c_str(), node->getID());
    out.word("name", nameOf(node));
    out.end();
    for (u32 i = 0; i < attributes->getAttributeCount(); ++i) {
        std::string value = attributes->getAttributeAsString(i).c_str();
        std::replace(value.begin(), value.end(), ',', ' ');
        std::replace(value.begin(), value.end(), '\n', ' ');
        out.add("  %s", attributes->getAttributeName(i));
        out.add(" %s", value.empty() ? "-" : value.c_str());
        out.end();
    }
    attributes->drop();
}

class LevelTraceGameTest : public GameFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(LevelTraceGameTest, PlaysAsRecorded) {
    useSteadyFrames();
    const std::string level = GetParam();
    const std::string path = "Content/Levels/" + level + ".irr";
    int loadedAt = -1;
    u64 engineMicroseconds = 0;
    Record out;
    std::size_t nextKey = 0;

    waitFor("load " + level, titleShown, [&] {
        // As a level change does: the title's background level leaves first.
        screenManager->closeAllScreens();
        levelManager->unloadLevel();
        seedRandom(20261208u);
        ITimer* timer = gameDevice->getTimer();
        timer->setSpeed(0.0f);
        engineMicroseconds = u64(startTimeMs) * 1000;
        timer->setTime(startTimeMs);
        ASSERT_TRUE(levelManager->loadLevel(path.c_str()));
        loadedAt = frame;
    });
    everyFrame = [&] {
        if (loadedAt < 0)
            return;
        const int played = frame - loadedAt;
        // The first frame after the load, then every few frames.
        if (played == 1 || (played % sampleEvery == 0 && played <= playFrames)) {
            out.add("frame %d\n", played);
            writeLevel(out);
            const std::vector<scene::ISceneNode*> nodes = levelNodes();
            // What rarely changes (extents, masses, every attribute) at the first and last.
            const bool full = played == 1 || played == playFrames;
            for (scene::ISceneNode* node : nodes)
                writeNode(out, node, full);
            if (played == playFrames)
                for (scene::ISceneNode* node : nodes)
                    writeAttributes(out, node);
        }
        if (played == playFrames) {
            // The level as a checkpoint keeps it: written, then loaded again as a restart from
            // the checkpoint does it.
            ASSERT_TRUE(levelManager->saveCheckpoint());
            const io::path checkpoint = levelManager->getCheckpointPath(levelManager->isStoryRun());
            levelManager->unloadLevel();
            ASSERT_TRUE(levelManager->loadLevel(checkpoint));
        }
        if (played == playFrames + restoredFrames) {
            out.add("restored %d\n", restoredFrames);
            writeLevel(out);
            for (scene::ISceneNode* node : levelNodes())
                writeNode(out, node, true);
        }
        for (; nextKey < std::size(script) && script[nextKey].frame <= played; ++nextKey)
            postKey(script[nextKey].key, script[nextKey].down);
    };
    // The engine time moves by one frame target per frame, whatever the wall clock did.
    betweenFrames = [&] {
        if (loadedAt < 0)
            return;
        engineMicroseconds += frameMicroseconds;
        gameDevice->getTimer()->setTime(static_cast<u32>(engineMicroseconds / 1000));
    };
    waitFor("played", [&] { return loadedAt >= 0 && frame - loadedAt >= playFrames + restoredFrames; });

    ASSERT_NO_FATAL_FAILURE(playGame());
    test::expectMatchesRecord("game/records/traces/" + level + ".txt", out.text, {1e-3, 1e-4});
}

INSTANTIATE_TEST_SUITE_P(ShippedLevels, LevelTraceGameTest, ::testing::ValuesIn(shippedLevels),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// The list above names every level the game ships, so none goes unrecorded.
using LevelTraceListTest = GameFixture;

TEST_F(LevelTraceListTest, NamesEveryShippedLevel) {
    std::vector<std::string> shipped;
    for (const auto& entry : std::filesystem::directory_iterator("Content/Levels"))
        if (entry.path().extension() == ".irr")
            shipped.push_back(entry.path().stem().string());
    std::sort(shipped.begin(), shipped.end());
    std::vector<std::string> listed(std::begin(shippedLevels), std::end(shippedLevels));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, shipped);
}

} // namespace
