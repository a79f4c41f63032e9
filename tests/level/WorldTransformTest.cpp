#include "LevelTestSupport.h"

#include "level/LevelObject.h"
#include "level/SceneNodeTypes.h"
#include "level/WorldTransform.h"

using namespace irr;
using scene::ISceneNode;

namespace {

using test::expectNear;

// A level object that can ignore its parent's transformation, as physics objects do.
class DetachedObject : public LevelObject {
public:
    using LevelObject::LevelObject;
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("tdet"); }
    core::matrix4 getParentAbsoluteTransformation() const override {
        return ignoreParent ? core::IdentityMatrix : LevelObject::getParentAbsoluteTransformation();
    }
    bool ignoreParent = false;
};

class WorldTransformTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        registerSceneNodeType(levelObjectRow<DetachedObject>(typeId("tdet"), "DetachedObject"));
        // A parent turned, stretched and moved, under a turned grandparent.
        grand = new LevelObject(root(), smgr());
        grand->drop();
        grand->setRotation(core::vector3df(0, 0, 30));
        grand->setPosition(core::vector3df(-5, 3, 0));
        parent = new LevelObject(grand, smgr());
        parent->drop();
        parent->setPosition(core::vector3df(10, 0, 0));
        parent->setRotation(core::vector3df(0, 90, 0));
        parent->setScale(core::vector3df(2, 2, 2));
        child = new DetachedObject(parent, smgr());
        child->drop();
        grand->updateAbsolutePosition();
        parent->updateAbsolutePosition();
    }

    // The test's own type leaves the program's type table with the test.
    void TearDown() override {
        registerSceneNodeType(SceneNodeTypeRow{typeId("tdet"), "", nullptr});
        LevelFixture::TearDown();
    }

    LevelObject* grand = nullptr;
    LevelObject* parent = nullptr;
    DetachedObject* child = nullptr;
};

TEST_F(WorldTransformTest, WorldPositionLandsWhereAskedUnderARotatedScaledParent) {
    setNodeWorldPosition(child, core::vector3df(0, 0, 5));
    expectNear(child->getAbsolutePosition(), core::vector3df(0, 0, 5));
    // The relative position is in the parent's stretched space: half the distance.
    EXPECT_NEAR(child->getPosition().getLength() * 2.0f,
                (core::vector3df(0, 0, 5) - parent->getAbsolutePosition()).getLength(), 1e-3f);
}

TEST_F(WorldTransformTest, WorldRotationIsTheGivenOneAfterTheParentsTurns) {
    setNodeWorldRotation(child, core::vector3df(0, 45, 0));
    core::matrix4 expected;
    expected.setRotationDegrees(core::vector3df(0, 45, 0));
    const core::matrix4& actual = child->getAbsoluteTransformation();
    for (const core::vector3df& axis :
         {core::vector3df(1, 0, 0), core::vector3df(0, 1, 0), core::vector3df(0, 0, 1)}) {
        core::vector3df want = axis, got = axis;
        expected.rotateVect(want);
        actual.rotateVect(got);
        got.normalize(); // the parent's scale stretches the axes
        expectNear(got, want);
    }
}

TEST_F(WorldTransformTest, WorldRotationUnderAnUnevenlyStretchedParentIgnoresTheStretch) {
    // Only the parent's turn is undone: its stretch along one axis must not bend the angle.
    parent->setRotation(core::vector3df(0, 0, 0));
    parent->setScale(core::vector3df(4, 1, 1));
    parent->updateAbsolutePosition();
    setNodeWorldRotation(child, core::vector3df(0, 45, 0));
    core::matrix4 world, grandTurn, grandTurnInverse, actual;
    world.setRotationDegrees(core::vector3df(0, 45, 0));
    grandTurn.setRotationDegrees(grand->getRotation());
    ASSERT_TRUE(grandTurn.getInverse(grandTurnInverse));
    const core::matrix4 expected = grandTurnInverse * world;
    actual.setRotationDegrees(child->getRotation());
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-3f) << "element " << i;
}

TEST_F(WorldTransformTest, WorldTransformBecomesTheAbsoluteTransformation) {
    core::matrix4 target;
    target.setRotationDegrees(core::vector3df(10, 20, 30));
    target.setTranslation(core::vector3df(7, -8, 9));
    core::matrix4 scale;
    scale.setScale(core::vector3df(3, 3, 3));
    target *= scale;
    setNodeWorldTransform(child, target);
    const core::matrix4& actual = child->getAbsoluteTransformation();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual[i], target[i], 2e-3f) << "element " << i;
}

// Under a parent scaled to nothing no relative position reaches the point: the node keeps
// the offset from the parent's place instead.
TEST_F(WorldTransformTest, UnderAParentScaledToNothingTheOffsetIsKept) {
    grand->setRotation(core::vector3df(0, 0, 0));
    grand->updateAbsolutePosition();
    parent->setScale(core::vector3df(0, 0, 0));
    parent->updateAbsolutePosition();
    setNodeWorldPosition(child, core::vector3df(8, 1, 2));
    expectNear(child->getPosition(), core::vector3df(8, 1, 2) - parent->getAbsolutePosition());
    expectNear(child->getPosition(), core::vector3df(3, -2, 2));
}

TEST_F(WorldTransformTest, ANodeIgnoringItsParentIsPlacedDirectly) {
    child->ignoreParent = true;
    setNodeWorldPosition(child, core::vector3df(4, 5, 6));
    EXPECT_EQ(child->getPosition(), core::vector3df(4, 5, 6));
    expectNear(child->getAbsolutePosition(), core::vector3df(4, 5, 6));
}

} // namespace
