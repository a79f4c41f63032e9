// The collectible tie: its burst, its ghost look, the collection by grabbing (save record,
// sound, cutscene, display, counters) and the hide two seconds later.
#include "physics/special/TieObject.h"

#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsManager.h"

#include "core/Delegate.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/SoundManager.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/SaveManager.h"
#include "level/SceneNodeTypes.h"
#include "player/PlayerObject.h"
#include "render/ParticleObject.h"
#include "render/TextObject.h"

#include <algorithm>

using namespace irr;

namespace {

constexpr const char* ghostTieTexture = "Content/Models/Ties/GhostTie.dds";
constexpr const char* tieBurstTexture = "Content/Particles/Tie.png";

std::vector<TieObject*>& tieRegistry() {
    static std::vector<TieObject*> ties;
    return ties;
}

scene::ISceneNode* reservedNode(s32 id) { return levelManager ? levelManager->getSceneNodeFromID(id) : nullptr; }

// The listeners a cutscene object calls when it finishes; null for any other node.
DelegateList* cutsceneListeners(scene::ISceneNode* cutscene) {
    const auto& listeners = physicsHooks().cameras.cutsceneFinishedListeners;
    return cutscene && cutscene->getType() == typeId("cuts") && listeners ? listeners(cutscene) : nullptr;
}

} // namespace

const std::vector<TieObject*>& TieObject::liveTies() { return tieRegistry(); }

TieObject::TieObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : PhysicsObject(parent, manager, id) {
    tieRegistry().push_back(this);
    if (!manager)
        return;
    video::IVideoDriver* driver = manager->getVideoDriver();
    // The burst shown when the tie goes: a short puff of tie-coloured sparks.
    particles = new ParticleObject(manager->getRootSceneNode(), manager, -1);
    io::IAttributes* a = manager->getFileSystem()->createEmptyAttributes(driver);
    particles->serializeAttributes(a);
    a->setAttribute("Direction", core::vector3df(0.0f, 0.01f, 0.0f));
    a->setAttribute("MinStartColor", video::SColor(0xFFFFFFFF));
    a->setAttribute("MaxStartColor", video::SColor(0xFFFFFFFF));
    a->setAttribute("MinLifeTime", 400);
    a->setAttribute("MaxLifeTime", 500);
    a->setAttribute("MaxAngleDegrees", 80);
    a->setAttribute("BlendType", 1);
    a->setAttribute("MinStartSize", core::dimension2df(1.0f, 1.0f));
    a->setAttribute("MaxStartSize", core::dimension2df(1.0f, 1.0f));
    a->setAttribute("FadeOut", true);
    a->setAttribute("FadeOutColor", video::SColor(0xFF000000));
    a->setAttribute("FadeInTime", 50);
    a->setAttribute("GlobalParticles", true);
    a->setAttribute("Gravity", core::vector3df(0.0f, -0.02f, 0.0f));
    a->setAttribute("GravityFullEffectMS", 1000);
    a->setAttribute("RotationSpeed", 20.0f);
    a->setAttribute("DurationTimer", 0.3f);
    video::ITexture* burst = driver ? driver->getTexture(tieBurstTexture) : nullptr;
    for (u32 i = 0; i < particles->getMaterialCount(); ++i)
        particles->getMaterial(i).setTexture(0, burst);
    particles->deserializeAttributes(a);
    particles->setVisible(false);
    for (u32 i = 0; i < particles->getMaterialCount(); ++i) {
        particles->getMaterial(i).setFlag(video::EMF_LIGHTING, false);
        particles->getMaterial(i).setFlag(video::EMF_ZWRITE_ENABLE, false);
    }
    particles->setIsDebugObject(true);
    a->drop();
    ghostTexture = driver ? driver->getTexture(ghostTieTexture) : nullptr;
}

TieObject::~TieObject() {
    if (animationMirrored)
        restorePlayerAnimation();
    // A cutscene that outlives the tie must not call it back.
    scene::ISceneNode* cutscene = levelManager && levelManager->holdsID(cutsceneID) ? reservedNode(cutsceneID) : nullptr;
    if (DelegateList* listeners = cutsceneListeners(cutscene))
        listeners->removeMember(this, &TieObject::onCutsceneFinished);
    auto& ties = tieRegistry();
    ties.erase(std::remove(ties.begin(), ties.end(), this), ties.end());
    if (particles)
        particles->drop();
    particles = nullptr;
}

void TieObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    if (!out)
        return;
    PhysicsObject::serializeAttributes(out, options);
    out->addInt("TieIndex", TieIndex);
    out->addBool("IsCollected", IsCollected);
}

void TieObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    PhysicsObject::deserializeAttributes(in, options);
    if (in->existsAttribute("TieIndex"))
        TieIndex = in->getAttributeAsInt("TieIndex");
    if (saveManager && saveManager->isTieCollected(TieIndex))
        IsCollected = true;
    if (in->existsAttribute("IsCollected"))
        IsCollected = in->getAttributeAsBool("IsCollected");
}

scene::ISceneNode* TieObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new TieObject(newParent, newManager, ID);
    const s32 newID = assignUniqueObjectID(copy);
    LevelObject::cloneMembers(copy, this, newManager);
    PhysicsObject::findHelperNodes(this, copy);
    copy->setID(newID);
    copy->drop();
    return copy;
}

void TieObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return; // a draw pass of a frame already animated
    if (IsVisible && particles)
        particles->setPosition(getAbsolutePosition());
    if (collectTimer >= 0.0f) {
        collectTimer += objectFrameSeconds();
        if (collectTimer > 2.0f) {
            collectTimer = -1.0f;
            setVisible(false);
            if (particles)
                particles->setVisible(true);
        }
    }
    if (firstFrame) {
        if (getMeshNode() && levelManager && physicsManager && physicsManager->isSimulationActive()) {
            video::IVideoDriver* driver = SceneManager ? SceneManager->getVideoDriver() : nullptr;
            const io::path path = levelManager->tieTable.getTiePath(TieIndex);
            tieTexture = driver && !path.empty() ? driver->getTexture(path) : nullptr;
            if (getMeshNode()->getMaterialCount() > 0)
                getMeshNode()->getMaterial(0).setTexture(0, ghostTexture);
            HasTransparency = true;
        }
        firstFrame = false;
    }
    PhysicsObject::OnAnimate(timeMs);
}

void TieObject::setVisible(bool visible) {
    // A collected tie is never shown again.
    if (visible && saveManager && saveManager->isTieCollected(TieIndex))
        return;
    PhysicsObject::setVisible(visible);
}

bool TieObject::checkPhysicsDetail() const {
    if (levelManager && levelManager->PlayMode == LevelManager::playModeWorkshop && !isMenuOpen())
        return false;
    return PhysicsObject::checkPhysicsDetail();
}

void TieObject::notifyGrab(bool grabbed, core::vector3df grabPoint) {
    if (grabbed) {
        if (soundManager)
            soundManager->playEffect(collectSoundEffect);
        if (!IsCollected && saveManager)
            saveManager->saveTieCollected(TieIndex);
        scene::ISceneNode* cutscene = reservedNode(cutsceneID);
        if (cutscene && cutscene->getType() == typeId("cuts")) {
            if (const auto& start = physicsHooks().cameras.startCutscene)
                start(cutscene);
            IsCollected = true;
            u32 collected = 0;
            for (TieObject* tie : tieRegistry())
                collected += tie->IsCollected ? 1u : 0u;
            const core::stringw counter =
                core::stringw(collected) + L"/" + core::stringw(static_cast<u32>(tieRegistry().size()));
            PhysicsObject* display = asPhysicsObject(reservedNode(displayID));
            if (display && getMaterialCount() > 0)
                for (u32 i = 0; i < display->getMaterialCount(); ++i)
                    display->getMaterial(i).setTexture(0, tieTexture);
            PhysicsObject* figure = asPhysicsObject(reservedNode(figureID));
            if (figure && playerCount() > 0 && getPlayer(0) && levelManager && levelManager->currentLevelInfo)
                mirrorPlayerOnto(figure, cutscene);
            for (s32 id : counterIDs) {
                scene::ISceneNode* text = reservedNode(id);
                if (text && text->getType() == typeId("text"))
                    static_cast<TextObject*>(text)->rebuildMesh(counter.c_str());
            }
        }
        collectTimer = 0.0f;
    }
    PhysicsObject::notifyGrab(grabbed, grabPoint);
}

void TieObject::mirrorPlayerOnto(PhysicsObject* figure, scene::ISceneNode* cutscene) {
    if (DelegateList* listeners = cutsceneListeners(cutscene))
        listeners->addMember(this, &TieObject::onCutsceneFinished);
    animationMirrored = true;
    PlayerObject* player = getPlayer(0);
    scene::IAnimatedMeshSceneNode* playerMesh = player->getMeshNode();
    scene::IAnimatedMeshSceneNode* figureMesh = figure->getMeshNode();
    if (playerMesh) {
        savedStartFrame = playerMesh->getStartFrame();
        savedEndFrame = playerMesh->getEndFrame();
    }
    const s32 figureStart = figureMesh ? figureMesh->getStartFrame() : 0;
    const s32 figureEnd = figureMesh ? figureMesh->getEndFrame() : 0;
    const io::path& look = levelManager->currentLevelInfo->settings.TentaroMeshPath;
    if (look.size() >= 2)
        figure->reloadMesh(core::stringc(look.c_str()));
    figureMesh = figure->getMeshNode();
    if (!figureMesh)
        return;
    if (playerMesh && figureMesh->getMaterialCount() > 0 && playerMesh->getMaterialCount() > 0) {
        video::SMaterial copy = figureMesh->getMaterial(0);
        copy.setTexture(0, playerMesh->getMaterial(0).getTexture(0));
        copy.setTexture(2, playerMesh->getMaterial(0).getTexture(2));
        figureMesh->getMaterial(0) = copy;
    }
    const u32 now = SceneManager && gameDevice ? gameDevice->getTimer()->getTime() : 0;
    figureMesh->OnAnimate(now);
    figureMesh->setTransitionTime(0.0f);
    figureMesh->setAnimationSpeed(30.0f);
    figureMesh->setFrameLoop(figureStart, figureEnd);
    figureMesh->setCurrentFrame(static_cast<f32>(figureStart));
}

void TieObject::onCutsceneFinished() {
    if (animationMirrored)
        restorePlayerAnimation();
}

void TieObject::restorePlayerAnimation() {
    PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr;
    if (!player) {
        animationMirrored = false;
        return;
    }
    player->endTieDisplay();
    if (scene::IAnimatedMeshSceneNode* mesh = player->getMeshNode()) {
        mesh->OnAnimate(gameDevice ? gameDevice->getTimer()->getTime() : 0);
        mesh->setAnimationSpeed(30.0f);
        mesh->setFrameLoop(savedStartFrame, savedEndFrame);
        mesh->setLoopMode(true);
        mesh->setCurrentFrame(static_cast<f32>(savedStartFrame));
    }
    animationMirrored = false;
}

void registerTieObjectType() { registerSceneNodeType(levelObjectRow<TieObject>(typeId("ties"), "TieObject")); }
