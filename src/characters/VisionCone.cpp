#include "characters/VisionCone.h"

#include "characters/CharacterQueryFilters.h"

#include "characters/CharacterServices.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionMeter.h"
#include "characters/SuspicionRules.h"
#include "characters/animators/BoneAnimators.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProgramQueries.h"
#include "core/Random.h"
#include "core/Stopwatch.h"
#include "characters/animators/AnimatorBase.h"
#include "level/LevelManager.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"
#include "player/PlayerObject.h"
#include "render/ParticleObject.h"
#include "render/ParticleSystemNode.h"
#include "triggers/TriggerObject.h"

#include <cmath>

using namespace irr;

namespace {

// Parked particles sit far out of sight.
const core::vector3df parkedParticle(0.0f, 300000.0f, 0.0f);
constexpr u32 neverExpires = 1000000000u;

SuspicionRule taroSeenRule(VisionConeOwner* owner) {
    return owner ? getSuspicionValues(owner->getVisionSuspicionType(), ST_TaroSeen) : SuspicionRule();
}


} // namespace

// Lays the particles out as dots from the eye to the player, coloured by how far the
// notice has come.
class VisionSightLineAffector : public scene::IParticleAffector {
public:
    explicit VisionSightLineAffector(VisionCone* c) : cone(c) {}
    scene::E_PARTICLE_AFFECTOR_TYPE getType() const override { return scene::EPAT_NONE; }
    void affect(u32 now, scene::SParticle* particles, u32 count) override;
    VisionCone* cone;
};

void VisionSightLineAffector::affect(u32 now, scene::SParticle* particles, u32 count) {
    if (!cone)
        return;
    cone->particleCount = count;
    if (count == 0)
        return;
    ParticleObject* owner = cone->getSightParticles();
    scene::IParticleEmitter* emitter = owner && owner->getParticleNode() ? owner->getParticleNode()->getEmitter() : nullptr;
    if (count > 40 && emitter) {
        emitter->setMinParticlesPerSecond(1);
        emitter->setMaxParticlesPerSecond(1);
    }
    f32 dotSize = 1.0f;
    PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr;
    if (player) {
        scene::ICameraSceneNode* camera = cone->getSceneManager() ? cone->getSceneManager()->getActiveCamera() : nullptr;
        const f32 away = camera ? camera->getAbsolutePosition().getDistanceFrom(player->getAbsolutePosition()) : 0.0f;
        dotSize = core::clamp(away / 20.0f, 0.1f, 1.0f) + 0.2f;
    }
    dotSize = core::clamp(dotSize, 0.3f, 0.7f);
    const core::vector3df line = cone->playerPoint - cone->eyePoint;
    const core::vector3df step = core::vector3df(line).normalize() * 2.0f;
    const f32 n = (line.getLength() - 1.0f) / 2.0f;

    video::SColor base(static_cast<u32>(cone->intensity * 255.0f), 255, 255, 255);
    video::SColor filledColour = base;
    f32 filled = 0.0f;
    if (cone->enabled) {
        base.set(255, 255, 255, 255);
        if (!cone->noticed && cone->inSight) {
            if (cone->noticeDelay != 0.0f)
                filled = n * core::clamp(cone->seenTime / cone->noticeDelay, 0.0f, 1.0f);
            filledColour.set(255, 170, 150, 255);
        } else if (cone->noticed) {
            filled = n;
            filledColour.set(255, 150, 75, 255);
        }
        if (gameDifficulty == 0)
            base = filledColour = video::SColor(255, 255, 255, 255);
    }
    for (u32 i = 0; i < count; ++i) {
        scene::SParticle& p = particles[i];
        const f32 index = static_cast<f32>(i);
        p.pos = (i == 0 || index >= n) ? parkedParticle : cone->eyePoint + step * index;
        p.size.set(dotSize, dotSize);
        p.color = index < filled ? filledColour : base;
        if (index >= n - 0.5f && index <= n)
            p.color.setAlpha(static_cast<u32>(p.color.getAlpha() * core::clamp((n - index) * 2.0f, 0.0f, 1.0f)));
        p.endTime = i <= 40 ? neverExpires : now;
    }
}

VisionCone::VisionCone(VisionConeOwner* coneOwner, scene::ISceneNode* parent, scene::ISceneManager* manager,
                       f32 coneDistance)
    : SceneNodeBase<scene::ISceneNode>(parent, manager, -1), owner(coneOwner), distance(coneDistance) {
    scene::ISceneNode* ownerNode = owner ? owner->getVisionNode() : nullptr;
    if (ownerNode && ownerNode->getSceneManager())
        SceneManager = ownerNode->getSceneManager();
    const f32 radius = std::sin(60.0f * core::DEGTORAD) * distance;

    jointParent = SceneManager->addEmptySceneNode(parent);
    jointParent->grab(); // kept until the cone has taken it out of the scene
    jointParent->setName("CharacterSupsicionEmptyParent");
    boneAnimator = new AttachToMeshBoneAnimator(SceneManager);
    if (io::IFileSystem* files = SceneManager->getFileSystem()) {
        io::IAttributes* in = files->createEmptyAttributes(nullptr);
        in->addBool("Enabled", true);
        in->addInt("ParentID", ownerNode ? ownerNode->getID() : 0);
        in->addString("JointName", owner ? owner->getConeBoneName().c_str() : "");
        boneAnimator->deserializeAttributes(in);
        in->drop();
    }
    if (ownerNode)
        boneAnimator->setCharacterID(ownerNode->getID());
    jointParent->addAnimator(boneAnimator);
    boneAnimator->drop();
    if (scene::IAnimatedMeshSceneNode* mesh = ownerMeshNode(ownerNode)) {
        scene::IAnimatedMesh* animated = mesh->getMesh();
        const bool found = animated && animated->getMeshType() == scene::EAMT_SKINNED &&
                           static_cast<scene::ISkinnedMesh*>(animated)->getJointNumber(
                               owner->getConeBoneName().c_str()) >= 0;
        if (!found)
            logMessage((core::stringc("ERROR: Cannot find vision m_coneMesh bone for CharacterObject: ") +
                        ownerNode->getName())
                           .c_str());
    }

    eye = SceneManager->addEmptySceneNode(jointParent);
    eye->setPosition(core::vector3df(0.5f, 0.0f, 0.0f));
    eye->setName("CharacterSupsicionConeEyeOffset");

    scene::IMesh* coneMesh = SceneManager->getGeometryCreator()->createConeMesh(
        radius, distance, 4, video::SColor(255, 255, 255, 255), video::SColor(255, 255, 255, 255), 0.0f);
    coneTrigger = new TriggerObject(eye, SceneManager, -1);
    coneTrigger->setRotation(core::vector3df(90.0f, 0.0f, 0.0f));
    coneTrigger->setPosition(core::vector3df(0.0f, 0.0f, -distance));
    coneTrigger->TriggerConditionIndex = static_cast<s32>(TriggerCondition::OnPlayerCollide);
    coneTrigger->OnArmsCollision = TriggerSide::Either;
    coneTrigger->OnLegsCollision = TriggerSide::Either;
    coneTrigger->setConvexMeshBound(coneMesh);
    coneTrigger->updateAbsolutePosition();
    coneTrigger->rebuildVolume();
    coneTrigger->setName("CharacterSupsicionCone");
    coneTrigger->setVisible(false);
    coneTrigger->drop();
    coneMesh->drop();

    sightParticles = new ParticleObject(eye, SceneManager, -1);
    if (io::IFileSystem* files = SceneManager->getFileSystem()) {
        io::IAttributes* in = files->createEmptyAttributes(nullptr);
        in->addString("EmitterType", "Point");
        in->addVector3d("Direction", core::vector3df(0, 0, 0));
        in->addColor("MinStartColor", video::SColor(255, 255, 255, 255));
        in->addColor("MaxStartColor", video::SColor(255, 255, 255, 255));
        in->addInt("MinLifeTime", 1);
        in->addInt("MaxLifeTime", 0);
        in->addString("BlendType", "Alpha Blend");
        in->addVector2d("MinStartSize", core::vector2df(0.5f, 0.5f));
        in->addVector2d("MaxStartSize", core::vector2df(0.5f, 0.5f));
        in->addBool("FadeOut", false);
        in->addBool("GlobalParticles", true);
        in->addPosition2d("ParticlesPerSecond", core::position2di(100, 100));
        in->addBool("Visible", true);
        sightParticles->deserializeAttributes(in);
        in->drop();
    }
    video::ITexture* dots = SceneManager->getVideoDriver() ? SceneManager->getVideoDriver()->getTexture(sightTexture)
                                                           : nullptr;
    for (u32 i = 0; i < sightParticles->getMaterialCount(); ++i) {
        video::SMaterial& material = sightParticles->getMaterial(i);
        material.setTexture(0, dots);
        material.Lighting = false;
        material.ZWriteEnable = false;
    }
    sightParticles->setVisible(true);
    sightAffector = new VisionSightLineAffector(this);
    if (ParticleSystemNode* node = sightParticles->getParticleNode())
        node->addAffector(sightAffector);
    sightParticles->drop();
}

VisionCone::~VisionCone() {
    if (sightAffector) {
        sightAffector->cone = nullptr;
        sightAffector->drop();
    }
    // The joint parent holds the eye, the trigger and the particles.
    if (jointParent) {
        if (jointParent->getParent())
            jointParent->remove();
        jointParent->drop();
    }
}

void VisionCone::setVisible(bool visible) { ISceneNode::setVisible(visible); }

void VisionCone::setVisionConeID(s32 id) {
    coneID = id;
    if (!coneTrigger)
        return;
    if (coneTrigger->getID() != id) {
        coneTrigger->setID(id);
        if (levelManager)
            levelManager->giveUniqueID(coneTrigger);
        if (coneTrigger->getID() != id) {
            logMessage((core::stringc("ERROR: Requested VisionConeID taken, incrementing to next available ID: ") +
                        core::stringc(coneTrigger->getID()))
                           .c_str());
            coneID = coneTrigger->getID();
        }
    }
}

void VisionCone::configureForType(s32 suspicionType) {
    enabled = suspicionType == SCT_Scientist || suspicionType == SCT_Exposed || suspicionType == SCT_ExposedLogManiac ||
              suspicionType == SCT_Chef;
    noticeDelay = getSuspicionValues(suspicionType, ST_TaroSeen).speedThreshold;
}

SuspicionMeter* VisionCone::meter() const { return levelManager ? levelManager->getPlayerSuspicion(0) : nullptr; }

bool VisionCone::castSightRay() {
    phys::Scene* scene = physicsManager ? physicsManager->getScene() : nullptr;
    const core::vector3df line = playerPoint - eyePoint;
    const f32 length = line.getLength();
    lastHitShape = nullptr;
    lastHitFace = -1;
    if (!scene || length <= 0.0f)
        return true;
    const core::vector3df unit = core::vector3df(line).normalize();
    // The one vision filter of every cone (characters/CharacterQueryFilters.h).
    VisionQueryFilter& filter = visionQueryFilter();
    phys::RaycastHit hit;
    const phys::QueryFilterData query(phys::QueryStatic | phys::QueryDynamic | phys::QueryPrefilter);
    const bool blocked = scene->raycastSingle(phys::Vec3(eyePoint.X, eyePoint.Y, eyePoint.Z),
                                              phys::Vec3(unit.X, unit.Y, unit.Z), length, phys::HitDefault, hit, query,
                                              &filter);
    if (blocked) {
        lastHitShape = hit.shape;
        lastHitFace = static_cast<s32>(hit.faceIndex);
    }
    return !blocked;
}

void VisionCone::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return; // a draw pass of a frame already animated
    markAnimatedThisFrame();
    scene::ISceneNode* ownerNode = owner ? owner->getVisionNode() : nullptr;
    if (ownerNode && ownerNode->getID() != 0 && ownerNode->getID() != -1 && boneAnimator)
        boneAnimator->setCharacterID(ownerNode->getID());
    if (physicsManager && isSimulationRunning() && coneTrigger && ownerNode)
        coneTrigger->setVisible(ownerNode->isVisible());

    const f32 dt = frameStopwatch ? frameStopwatch->delta() : 0.0f;
    SuspicionMeter* record = meter();
    if (watcherRemovalTimer >= 0.0f && watcherRegistered) {
        watcherRemovalTimer += dt;
        if (watcherRemovalTimer > 0.0f) {
            if (record && owner)
                removeSuspicionWatcher(*record, owner->getVisionWatcher());
            watcherRegistered = false;
            watcherRemovalTimer = -1.0f;
        }
    }
    sightTestTimer = core::clamp(sightTestTimer + dt, -0.1f, 0.5f);

    PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr;
    const bool blind = !player || !coneTrigger || !coneTrigger->ConditionMet || !coneTrigger->isVisible() || !record ||
                       record->zoneCount > 0 || isGameplaySuspended();
    if (blind) {
        setInSight(false);
        setSeesPlayer(false);
    } else {
        if (sightTestTimer >= 0.5f) {
            eyePoint = eye->getAbsolutePosition();
            playerPoint = player->getAbsolutePosition();
            const f32 reach = distance - 1.5f;
            if (inSight || eyePoint.getDistanceFromSQ(playerPoint) <= reach * reach) {
                setInSight(castSightRay());
                sightTestTimer = 0.1f * randomFloat() - 0.1f;
            }
        }
        if (inSight) {
            seenTime += dt;
            if (seenTime >= noticeDelay)
                setSeesPlayer(true);
        }
        const SuspicionRule rule = taroSeenRule(owner);
        if (noticed && rule.repeatInterval != 0.0f) {
            repeatTimer += dt;
            if (repeatTimer > rule.repeatInterval) {
                repeatTimer -= rule.repeatInterval;
                if (ownerNode && rule.amount > 0.0f && gameDifficulty != 0)
                    addSuspicion(ownerNode->getAbsolutePosition(), *record, rule.amount, ST_IgnoreRadius);
            }
        }
    }
    updateSightLine();
    if (pendingCalmNotice && player) {
        SuspicionMeter* playerMeter = record;
        if (playerMeter && playerMeter->value == playerMeter->pendingValue && playerMeter->value < 100.0f) {
            player->notify(15);
            pendingCalmNotice = false;
        }
    }
    ISceneNode::OnAnimate(timeMs);
}

void VisionCone::updateSightLine() {
    const f32 dt = frameStopwatch ? frameStopwatch->delta() : 0.0f;
    targetIntensity = inSight ? 1.0f : 0.0f;
    if (targetIntensity == 0.0f) {
        intensity -= 5.0f * dt;
    } else {
        intensity += 5.0f * dt;
        if (particleCount > 0)
            intensity = 1.0f;
    }
    intensity = core::clamp(intensity, 0.0f, 1.0f);
    if (!sightParticles)
        return;
    const auto& drawsGuiQuery = characterServices().screens.drawsGui;
    const bool drawsGui = !drawsGuiQuery || drawsGuiQuery();
    const bool shown = (inSight || intensity != 0.0f) && drawsGui && !isGameplaySuspended();
    sightParticles->setVisible(shown);
    ParticleSystemNode* node = sightParticles->getParticleNode();
    if (!shown) {
        if (node)
            node->clearParticles();
        particleCount = 0;
        return;
    }
    if (node && particleCount == 0)
        if (scene::IParticleEmitter* emitter = node->getEmitter()) {
            emitter->setMinParticlesPerSecond(100);
            emitter->setMaxParticlesPerSecond(100);
        }
    if (PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr) {
        eyePoint = eye->getAbsolutePosition();
        playerPoint = player->getAbsolutePosition();
    }
}

void VisionCone::setInSight(bool sees) {
    const SuspicionRule rule = taroSeenRule(owner);
    if (sees) {
        if (inSight)
            return;
        inSight = true;
        if (!watcherRegistered) {
            if (SuspicionMeter* record = meter(); record && owner)
                addSuspicionWatcher(*record, owner->getVisionWatcher());
            if (rule.repeatInterval != 0.0f && owner)
                owner->lookAtPlayer();
            watcherRegistered = true;
            watcherRemovalTimer = -1.0f;
        }
        return;
    }
    if (!inSight)
        return;
    seenTime = 0.0f;
    inSight = false;
    if (rule.repeatInterval != 0.0f && owner)
        owner->restoreLookTarget();
    if (watcherRegistered && watcherRemovalTimer < 0.0f)
        watcherRemovalTimer = 0.0f;
}

void VisionCone::setSeesPlayer(bool sees) {
    PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr;
    scene::ISceneNode* ownerNode = owner ? owner->getVisionNode() : nullptr;
    const SuspicionRule rule = taroSeenRule(owner);
    if (sees) {
        if (noticed)
            return;
        repeatTimer = 0.0f;
        noticed = true;
        if (!player || !ownerNode)
            return;
        if (rule.amount == 0.0f && !quietNoticeGiven) {
            player->notify(18);
            quietNoticeGiven = true;
        }
        if (rule.amount > 0.0f && gameDifficulty != 0)
            if (SuspicionMeter* record = meter())
                if (addSuspicion(ownerNode->getAbsolutePosition(), *record, rule.amount, ST_IgnoreRadius))
                    owner->changeVisionState(CharacterStateId::Noticing);
        return;
    }
    if (!noticed)
        return;
    if (ownerNode && rule.amount > 0.0f) {
        pendingCalmNotice = true;
        owner->changeVisionState(owner->getVisionGlobalState() == CharacterStateId::Walking
                                     ? CharacterStateId::Walking
                                     : CharacterStateId::Stopped);
    }
    noticed = false;
    repeatTimer = 0.0f;
}
