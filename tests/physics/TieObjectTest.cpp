// The collectible tie: collection by a grab (save record, cutscene, counters), the hide two
// seconds later, and a collected tie staying hidden.
#include "PhysicsObjectFixture.h"

#include "physics/special/TieObject.h"

#include "camera/CutsceneObject.h"
#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "render/ParticleObject.h"
#include "render/TextObject.h"
#include "support/StubPlayer.h"

using namespace irr;

namespace {

using Attributes = io::IAttributes;

class TieObjectTest : public PhysicsObjectFixture {
protected:
    void SetUp() override {
        PhysicsObjectFixture::SetUp();
        save = std::make_unique<SaveManager>(device->get()->getFileSystem(), temp.file("save"));
        save->automaticWriting = false;
        saveManager = save.get();
        // The cameras' registration lets the tie start its cutscene and hear it end.
        registerCutsceneObjectType();
    }
    void TearDown() override {
        smgr()->clear();
        saveManager = nullptr;
        save.reset();
        PhysicsObjectFixture::TearDown();
    }
    TieObject* tie(s32 index, const core::vector3df& at) {
        auto* object = new TieObject(root(), smgr(), -1);
        object->drop();
        Attributes* a = newAttributes();
        a->addString("Name", "Tie");
        a->addVector3d("Position", at);
        a->addString("MeshFileName", "Content/Models/Props/Pill.obj");
        a->addEnum("BoundType", "Sphere", boundTypeNames);
        a->addFloat("Radius", 0.5f);
        a->addEnum("PhysicsState", "Static", physicsStateNames);
        a->addInt("TieIndex", index);
        object->deserializeAttributes(a);
        a->drop();
        return object;
    }
    CutsceneObject* cutscene() {
        auto* object = new CutsceneObject(root(), smgr(), TieObject::cutsceneID);
        object->CutsceneDuration = 3.0f;
        object->drop();
        return object;
    }
    TextObject* counter(s32 id) {
        auto* text = new TextObject(root(), smgr(), id);
        text->drop();
        return text;
    }
    std::unique_ptr<SaveManager> save;
};

TEST_F(TieObjectTest, AGrabCollectsTheTieOnceAndRunsTheCutscene) {
    CutsceneObject* scene = cutscene();
    TextObject* text = counter(TieObject::counterIDs[0]);
    TieObject* first = tie(7, core::vector3df(0, 1, 0));
    tie(8, core::vector3df(3, 1, 0));
    tie(9, core::vector3df(6, 1, 0));
    manager->rebuildNodeIDs();
    frame();
    EXPECT_TRUE(first->HasTransparency) << "drawn as a ghost";
    first->notifyGrab(true, core::vector3df());
    EXPECT_TRUE(save->isTieCollected(7));
    EXPECT_TRUE(first->IsCollected);
    EXPECT_TRUE(scene->isRunning());
    EXPECT_EQ(text->getText(), core::stringw(L"1/3"));
    // Two seconds later (frames of 1/60 s, each drawn) it hides and its burst shows; a
    // collected tie is never shown again.
    frames(117);
    EXPECT_TRUE(first->isVisible()) << "shown until two seconds have passed";
    EXPECT_FALSE(first->getParticles()->DesiredVisible) << "no burst yet";
    frames(6);
    EXPECT_FALSE(first->isVisible());
    EXPECT_TRUE(first->getParticles()->isVisible());
    EXPECT_TRUE(first->getParticles()->DesiredVisible) << "the burst";
    first->setVisible(true);
    EXPECT_FALSE(first->isVisible());
    // Grabbed again: no second record, the counter still reads one.
    first->notifyGrab(true, core::vector3df());
    EXPECT_EQ(save->getGroup(SaveManager::Ties)->getAttributeCount(), 1u);
    EXPECT_EQ(text->getText(), core::stringw(L"1/3"));
}

// The cutscene's display wears the collected tie's own texture, found by its index in the
// tie table.
TEST_F(TieObjectTest, TheDisplayWearsTheCollectedTiesOwnTexture) {
    manager->tieTable.clear();
    manager->tieTable.add({7, "Content/Models/Editor/White.png", L"Level.irr"});
    manager->tieTable.add({8, "Content/Models/Editor/Gradient.png", L"Level.irr"});
    cutscene();
    PhysicsObject* display = makeObject([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
        a->addEnum("BoundType", "None", boundTypeNames);
    });
    display->setID(TieObject::displayID);
    TieObject* collected = tie(8, core::vector3df(0, 1, 0));
    manager->rebuildNodeIDs();
    frame();
    video::ITexture* own = device->get()->getVideoDriver()->getTexture("Content/Models/Editor/Gradient.png");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(collected->getTieTexture(), own);
    collected->notifyGrab(true, core::vector3df());
    ASSERT_GT(display->getMaterialCount(), 0u);
    for (u32 i = 0; i < display->getMaterialCount(); ++i)
        EXPECT_EQ(display->getMaterial(i).getTexture(0), own) << i;
    manager->tieTable.clear();
}

TEST_F(TieObjectTest, WithoutTheCutsceneTheTieIsRecordedButNotCounted) {
    TieObject* lone = tie(11, core::vector3df());
    manager->rebuildNodeIDs();
    lone->notifyGrab(true, core::vector3df());
    EXPECT_TRUE(save->isTieCollected(11));
    EXPECT_FALSE(lone->IsCollected);
    EXPECT_FLOAT_EQ(lone->collectTimer, 0.0f);
    Attributes* written = newAttributes();
    lone->serializeAttributes(written);
    EXPECT_EQ(written->getAttributeAsInt("TieIndex"), 11);
    EXPECT_TRUE(written->existsAttribute("IsCollected"));
    written->drop();
    // Read again from the level, the save marks it collected; the attribute wins when present.
    Attributes* a = newAttributes();
    a->addInt("TieIndex", 11);
    TieObject* again = tie(12, core::vector3df());
    again->deserializeAttributes(a);
    EXPECT_TRUE(again->IsCollected);
    a->addBool("IsCollected", false);
    again->deserializeAttributes(a);
    EXPECT_FALSE(again->IsCollected);
    a->drop();
    // A level played from the workshop's level select builds no ties.
    manager->PlayMode = LevelManager::playModeWorkshop;
    EXPECT_FALSE(again->checkPhysicsDetail());
    manager->PlayMode = 0;
}

// A copied tie is a tie under the source's parent (or the one given) with an ID of its own;
// in a running level the copy takes no ID.
TEST_F(TieObjectTest, ACopiedTieIsATieUnderAnIDOfItsOwn) {
    scene::ISceneNode* group = smgr()->addEmptySceneNode(root());
    TieObject* source = tie(5, core::vector3df(1, 2, 3));
    source->setParent(group);
    source->setID(40);
    manager->rebuildNodeIDs();
    auto* copy = dynamic_cast<TieObject*>(source->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getParent(), group);
    EXPECT_NE(copy->getID(), 40);
    EXPECT_GT(copy->getID(), 0);
    coreSlots().physics.isSimulationActive = [] { return true; };
    auto* played = dynamic_cast<TieObject*>(source->clone(root(), smgr()));
    ASSERT_NE(played, nullptr);
    EXPECT_EQ(played->getParent(), root());
    EXPECT_EQ(played->getID(), 0);
}

// A player body drawn by an animated mesh, counting the ends of its tie display.
class MeshedPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    scene::IAnimatedMeshSceneNode* getMeshNode() override { return mesh; }
    void endTieDisplay() override { ++tieDisplaysEnded; }
    scene::IAnimatedMeshSceneNode* mesh = nullptr;
    int tieDisplaysEnded = 0;
};

// Collecting a tie shows the player's figure in the cutscene: the figure takes the level's
// player look (when the level names one) and the player's textures, and plays its own frame
// loop from its start; when the cutscene ends the player's animation gets its loop back.
TEST_F(TieObjectTest, TheCutscenesFigureWearsThePlayersLookAndThePlayersLoopComesBack) {
    const char* look = "Content/Models/Characters/Mannequin.b3d";
    for (const char* levelLook : {"", look}) {
        CutsceneObject* scene = cutscene();
        PhysicsObject* figure = makeObject([](Attributes* a) {
            a->addString("MeshFileName", "Content/Models/Characters/Everyman1.b3d");
            a->addEnum("BoundType", "None", boundTypeNames);
            a->addInt("StartFrame", 10);
            a->addInt("EndFrame", 20);
        });
        figure->setID(TieObject::figureID);
        auto* info = new LevelInfo(root(), smgr(), -1);
        info->drop();
        info->settings.TentaroMeshPath = levelLook;
        manager->currentLevelInfo = info;
        auto* player = new MeshedPlayer(root(), smgr(), -1);
        player->drop();
        player->mesh = smgr()->addAnimatedMeshSceneNode(smgr()->getMesh(look), player);
        ASSERT_NE(player->mesh, nullptr);
        player->mesh->setFrameLoop(20, 30);
        video::ITexture* skin = device->get()->getVideoDriver()->addTexture(core::dimension2du(4, 4), "PlayerSkin");
        player->mesh->getMaterial(0).setTexture(0, skin);
        setPlayer(0, player);
        TieObject* collected = tie(*levelLook ? 8 : 7, core::vector3df(0, 1, 0)); // not yet collected
        manager->rebuildNodeIDs();
        frame();

        collected->notifyGrab(true, core::vector3df());
        ASSERT_TRUE(scene->isRunning());
        scene::IAnimatedMeshSceneNode* shown = figure->getMeshNode();
        ASSERT_NE(shown, nullptr);
        EXPECT_STREQ(figure->mesh().MeshFileName.c_str(),
                     *levelLook ? look : "Content/Models/Characters/Everyman1.b3d");
        EXPECT_EQ(shown->getMaterial(0).getTexture(0), skin) << "the player's texture";
        EXPECT_EQ(shown->getStartFrame(), 10);
        EXPECT_EQ(shown->getEndFrame(), 20);
        EXPECT_EQ(shown->getFrameNr(), 10.0f);
        EXPECT_NEAR(shown->getAnimationSpeed(), 30.0f, 1e-3f);

        // The display plays its own loop on the player; the cutscene's end gives it back.
        player->mesh->setFrameLoop(31, 35);
        player->mesh->setLoopMode(false);
        player->mesh->setAnimationSpeed(10.0f);
        scene->finishCutscene();
        EXPECT_EQ(player->tieDisplaysEnded, 1);
        EXPECT_EQ(player->mesh->getStartFrame(), 20);
        EXPECT_EQ(player->mesh->getEndFrame(), 30);
        EXPECT_EQ(player->mesh->getFrameNr(), 20.0f);
        EXPECT_TRUE(player->mesh->getLoopMode());
        EXPECT_NEAR(player->mesh->getAnimationSpeed(), 30.0f, 1e-3f);
        // A later run of the same cutscene leaves the player's animation alone.
        scene->startCutscene();
        scene->finishCutscene();
        EXPECT_EQ(player->tieDisplaysEnded, 1);
        clearPlayers();
        manager->currentLevelInfo = nullptr;
        smgr()->clear();
    }
}

TEST_F(TieObjectTest, ATieRemovedDuringItsCutsceneIsNotCalledBackWhenItEnds) {
    const char* look = "Content/Models/Characters/Mannequin.b3d";
    CutsceneObject* scene = cutscene();
    PhysicsObject* figure = makeObject([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Characters/Everyman1.b3d");
        a->addEnum("BoundType", "None", boundTypeNames);
    });
    figure->setID(TieObject::figureID);
    auto* info = new LevelInfo(root(), smgr(), -1);
    info->drop();
    manager->currentLevelInfo = info;
    auto* player = new MeshedPlayer(root(), smgr(), -1);
    player->drop();
    player->mesh = smgr()->addAnimatedMeshSceneNode(smgr()->getMesh(look), player);
    ASSERT_NE(player->mesh, nullptr);
    setPlayer(0, player);
    TieObject* collected = tie(7, core::vector3df(0, 1, 0));
    manager->rebuildNodeIDs();
    frame();
    const std::size_t before = scene->finishedListeners.size();
    collected->notifyGrab(true, core::vector3df());
    ASSERT_TRUE(scene->isRunning());
    EXPECT_EQ(scene->finishedListeners.size(), before + 1) << "the tie waits for the end";
    collected->remove();
    EXPECT_EQ(scene->finishedListeners.size(), before) << "a tie that goes stops listening";
    scene->finishCutscene();
    clearPlayers();
    manager->currentLevelInfo = nullptr;
}

// A tie not yet collected is drawn in the ghost texture from its first simulated frame on.
TEST_F(TieObjectTest, ATieIsDrawnInTheGhostTextureFromItsFirstFrame) {
    video::ITexture* ghost = device->get()->getVideoDriver()->getTexture("Content/Models/Ties/GhostTie.dds");
    ASSERT_NE(ghost, nullptr);
    TieObject* object = tie(7, core::vector3df(0, 1, 0));
    ASSERT_NE(object->getMeshNode(), nullptr);
    ASSERT_EQ(object->getMeshNode()->getMaterialCount(), 1u);
    EXPECT_NE(object->getMeshNode()->getMaterial(0).getTexture(0), ghost) << "before its first frame";
    frame();
    EXPECT_EQ(object->getMeshNode()->getMaterial(0).getTexture(0), ghost);
}

} // namespace
