// The collectible tie: collection by a grab (save record, cutscene, counters), the hide two
// seconds later, and a collected tie staying hidden.
#include "PhysicsObjectFixture.h"

#include "physics/special/TieObject.h"

#include "camera/CutsceneObject.h"
#include "core/Globals.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "render/ParticleObject.h"
#include "render/TextObject.h"

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

} // namespace
