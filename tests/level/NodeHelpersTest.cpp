#include "LevelTestSupport.h"
#include "core/Globals.h"

#include "level/LevelHooks.h"
#include "level/LevelObject.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "level/SubLevelObject.h"

#include <climits>

using namespace irr;
using scene::ISceneNode;

namespace {

// A level object that reports any type, for walks over kinds that have no class yet.
class TypedObject : public LevelObject {
public:
    TypedObject(ISceneNode* parent, scene::ISceneManager* manager, scene::ESCENE_NODE_TYPE type,
                s32 id = -1)
        : LevelObject(parent, manager, id), type(type) {}
    scene::ESCENE_NODE_TYPE getType() const override { return type; }

private:
    scene::ESCENE_NODE_TYPE type;
};

class NodeHelpersTest : public test::LevelFixture {
protected:
    TypedObject* make(ISceneNode* parent, const char (&type)[5], s32 id = -1) {
        auto* node = new TypedObject(parent, smgr(), typeId(type), id);
        node->drop();
        return node;
    }
};

TEST_F(NodeHelpersTest, KinshipRowsFollowTheTypeTable) {
    EXPECT_TRUE(isTypeOf(typeId("phsx"), typeId("phsx")));
    for (const char* member : {"apsx", "ties", "crct"}) {
        const char id[5] = {member[0], member[1], member[2], member[3], 0};
        EXPECT_TRUE(isTypeOf(typeId(id), typeId("phsx"))) << member;
        EXPECT_TRUE(isTypeOf(typeId(id), typeId("dyno"))) << member;
    }
    EXPECT_TRUE(isTypeOf(typeId("plr1"), typeId("dyno")));
    EXPECT_TRUE(isTypeOf(typeId("phsx"), typeId("dyno")));
    EXPECT_FALSE(isTypeOf(typeId("plr1"), typeId("phsx")));
    EXPECT_FALSE(isTypeOf(typeId("phsx"), typeId("apsx"))); // a kind is not a member of its member
    EXPECT_FALSE(isTypeOf(typeId("arms"), typeId("dyno")));

    EXPECT_TRUE(isTypeOf(typeId("wayp"), typeId("slne")));
    EXPECT_TRUE(isTypeOf(typeId("mcmr"), typeId("cmro")));
    for (const char* member : {"cmrv", "cond", "frce", "chck"}) {
        const char id[5] = {member[0], member[1], member[2], member[3], 0};
        EXPECT_TRUE(isTypeOf(typeId(id), typeId("trgr"))) << member;
    }
    EXPECT_FALSE(isTypeOf(typeId("trge"), typeId("trgr")));
    EXPECT_FALSE(isTypeOf(typeId("slne"), typeId("wayp")));
}

// Kinship is followed up to sixteen rows deep, so that rows that make a cycle end the walk.
TEST_F(NodeHelpersTest, KinshipIsFollowedSixteenRowsDeepAndACycleEnds) {
    const auto chainType = [](int i) {
        const char id[5] = {'q', 'k', static_cast<char>('a' + i / 10), static_cast<char>('0' + i % 10), 0};
        return typeId(id);
    };
    for (int i = 0; i < 17; ++i)
        registerTypeKinship(chainType(i + 1), chainType(i));
    EXPECT_TRUE(isTypeOf(chainType(0), chainType(1)));
    EXPECT_TRUE(isTypeOf(chainType(0), chainType(16)));
    EXPECT_FALSE(isTypeOf(chainType(0), chainType(17)));
    EXPECT_TRUE(isTypeOf(chainType(1), chainType(17)));
    registerTypeKinship(typeId("qcya"), typeId("qcyb"));
    registerTypeKinship(typeId("qcyb"), typeId("qcya"));
    EXPECT_FALSE(isTypeOf(typeId("qcya"), typeId("qcyc")));
    EXPECT_TRUE(isTypeOf(typeId("qcya"), typeId("qcyb")));
}

TEST_F(NodeHelpersTest, TypeIdPacksLikeTheEngine) {
    EXPECT_EQ(static_cast<u32>(typeId("lght")), static_cast<u32>(scene::ESNT_LIGHT));
    EXPECT_EQ(static_cast<u32>(typeId("cam_")), static_cast<u32>(scene::ESNT_CAMERA));
    EXPECT_EQ(static_cast<u32>(typeId("unkn")), static_cast<u32>(scene::ESNT_UNKNOWN));
    EXPECT_EQ(typeIdText(typeId("phsx")), "phsx");
}

TEST_F(NodeHelpersTest, AsTypeAcceptsKindsAndRejectsNull) {
    ISceneNode* door = make(root(), "apsx");
    EXPECT_EQ(asType(door, typeId("phsx")), door);
    EXPECT_EQ(asType(door, typeId("apsx")), door);
    EXPECT_EQ(asType(door, typeId("trgr")), nullptr);
    EXPECT_EQ(asType(nullptr, typeId("phsx")), nullptr);
}

TEST_F(NodeHelpersTest, AncestorWalksStartWhereTheyShouldAndStopAtTheRoot) {
    ISceneNode* path = make(root(), "wayp");
    ISceneNode* group = make(path, "emty");
    ISceneNode* leaf = make(group, "phsx");

    // Kind walks accept a waypoint for 'slne'; the exact walk does not.
    EXPECT_EQ(findAncestorOfKind(leaf, typeId("slne")), path);
    EXPECT_EQ(findAncestorOfType(leaf, typeId("slne")), nullptr);
    EXPECT_EQ(findAncestorOfType(leaf, typeId("wayp")), path);

    // The node itself comes first, except for the Up variant.
    EXPECT_EQ(findAncestorOfKind(leaf, typeId("dyno")), leaf);
    EXPECT_EQ(findAncestorOfKindUp(leaf, typeId("dyno")), nullptr);
    EXPECT_EQ(findAncestorOfKindUp(leaf, typeId("emty")), group);
    EXPECT_EQ(findAncestorOfType(group, typeId("emty")), group);

    // Null nodes and the root answer null; the root itself is never a match.
    EXPECT_EQ(findAncestorOfKind(nullptr, typeId("emty")), nullptr);
    EXPECT_EQ(findAncestorOfKindUp(nullptr, typeId("emty")), nullptr);
    EXPECT_EQ(findAncestorOfType(nullptr, typeId("emty")), nullptr);
    EXPECT_EQ(findAncestorOfType(root(), root()->getType()), nullptr);
    EXPECT_EQ(findAncestorOfKindUp(path, root()->getType()), nullptr);

    // A node detached from the scene ends its walk at the end of the chain.
    ISceneNode* loose = new TypedObject(nullptr, smgr(), typeId("emty"));
    EXPECT_EQ(findAncestorOfKind(loose, typeId("emty")), loose);
    EXPECT_EQ(findAncestorOfKindUp(loose, typeId("emty")), nullptr);
    loose->drop();
}

TEST_F(NodeHelpersTest, SublevelAncestorIsTheNearestSublevelBelowTheRoot) {
    auto* outer = new SubLevelObject(root(), smgr(), 1);
    outer->drop();
    auto* inner = new SubLevelObject(outer, smgr(), 2);
    inner->drop();
    ISceneNode* leaf = make(inner, "emty");
    EXPECT_EQ(findSublevelAncestor(leaf), inner);
    EXPECT_EQ(findSublevelAncestor(inner), inner);
    EXPECT_EQ(findSublevelAncestor(make(root(), "emty")), nullptr);
}

TEST_F(NodeHelpersTest, VisibilityCountsEveryAncestor) {
    ISceneNode* group = make(root(), "emty");
    ISceneNode* leaf = make(group, "emty");
    EXPECT_TRUE(isVisibleInHierarchy(leaf));
    group->setVisible(false);
    EXPECT_FALSE(isVisibleInHierarchy(leaf));
    EXPECT_TRUE(leaf->isVisible());
    EXPECT_FALSE(isVisibleInHierarchy(nullptr));
}

TEST_F(NodeHelpersTest, TransformsUpdateDepthFirstFromTheGivenNode) {
    ISceneNode* group = make(root(), "emty");
    ISceneNode* leaf = make(group, "emty");
    group->setPosition(core::vector3df(10, 0, 0));
    leaf->setPosition(core::vector3df(0, 5, 0));
    updateTransformsRecursive(group);
    EXPECT_EQ(leaf->getAbsolutePosition(), core::vector3df(10, 5, 0));
}

TEST_F(NodeHelpersTest, PhysicalAndBodyPartTypesAreExact) {
    // The player's own body counts as a body part beside its limbs, never as a plain object.
    const struct Row {
        const char* type;
        bool physical;
        bool bodyPart;
    } rows[] = {{"phsx", true, false}, {"apsx", true, false}, {"ties", true, false}, {"crct", true, false},
                {"arms", true, true},  {"legs", true, true},  {"plr1", true, true},  {"dyno", false, false}};
    for (const Row& row : rows) {
        const char id[5] = {row.type[0], row.type[1], row.type[2], row.type[3], 0};
        ISceneNode* node = make(root(), id);
        EXPECT_EQ(isPhysicalNode(node), row.physical) << row.type;
        EXPECT_EQ(isPlayerBodyPart(node), row.bodyPart) << row.type;
    }
    EXPECT_FALSE(isPhysicalNode(nullptr));
}

TEST_F(NodeHelpersTest, DisplayNameFallsBackToTheTypeNameAndID) {
    auto* named = new LevelObject(root(), smgr(), 3);
    named->drop();
    named->setName("Door");
    EXPECT_EQ(getNodeDisplayName(named), "Door");
    auto* unnamed = new LevelObject(root(), smgr(), 12);
    unnamed->drop();
    EXPECT_EQ(getNodeDisplayName(unnamed), "LevelObject (12)");
    ISceneNode* engineNode = smgr()->addCubeSceneNode(10.0f, root(), 7);
    EXPECT_EQ(getNodeDisplayName(engineNode), "cube (7)");
    EXPECT_FALSE(getNodeDisplayName(nullptr).empty());

    // A type the game does not make takes the engine's name, else its four characters.
    ISceneNode* board = smgr()->addBillboardSceneNode(root(), core::dimension2df(1, 1), core::vector3df(), 8);
    EXPECT_EQ(getNodeDisplayName(board), "billBoard (8)");
    class Foreign : public ISceneNode {
    public:
        Foreign(scene::ISceneManager* manager, s32 id) : ISceneNode(nullptr, manager, id) {}
        void render() override {}
        const core::aabbox3df& getBoundingBox() const override { return box; }
        scene::ESCENE_NODE_TYPE getType() const override { return typeId("zqxw"); }
        core::aabbox3df box;
    };
    Foreign* managed = new Foreign(smgr(), 9);
    EXPECT_EQ(getNodeDisplayName(managed), "zqxw (9)");
    managed->drop();
    Foreign* alone = new Foreign(nullptr, 10);
    EXPECT_EQ(getNodeDisplayName(alone), "zqxw (10)");
    alone->drop();
}

TEST_F(NodeHelpersTest, UniqueIDsChangeNothingWhileTheSimulationRuns) {
    make(root(), "emty", 5);
    ISceneNode* copy = make(root(), "emty", 5);
    simulateRunningPhysics();
    EXPECT_EQ(assignUniqueObjectID(copy), 0);
    EXPECT_EQ(copy->getID(), 5);
}

TEST_F(NodeHelpersTest, UniqueIDsTakeTheFirstFreeIDAtOrAboveAndRebuildTheMap) {
    ISceneNode* original = make(root(), "emty", 5);
    make(root(), "emty", 6);
    manager->rebuildNodeIDs();
    ISceneNode* copy = make(root(), "emty", 5);
    EXPECT_EQ(assignUniqueObjectID(copy), 7);
    EXPECT_EQ(copy->getID(), 7);
    EXPECT_EQ(manager->getSceneNodeFromID(7), copy);
    EXPECT_EQ(manager->getSceneNodeFromID(5), original);

    ISceneNode* none = make(root(), "emty", 0);
    ISceneNode* minusOne = make(root(), "emty", -1);
    EXPECT_EQ(assignUniqueObjectID(none), 0);
    EXPECT_EQ(assignUniqueObjectID(minusOne), -1);
    EXPECT_EQ(assignUniqueObjectID(nullptr), 0);

    // Nothing free above: the node keeps the ID it has.
    make(root(), "emty", INT_MAX);
    manager->rebuildNodeIDs();
    ISceneNode* last = make(root(), "emty", INT_MAX);
    EXPECT_EQ(assignUniqueObjectID(last), INT_MAX);
    EXPECT_NE(manager->getSceneNodeFromID(INT_MAX), last);
}

TEST_F(NodeHelpersTest, LevelObjectsOfATypeAreFoundByKind) {
    ISceneNode* tie = make(root(), "ties", 8);
    manager->rebuildNodeIDs();
    EXPECT_EQ(findLevelObjectOfType(8, typeId("phsx")), tie);
    EXPECT_EQ(findLevelObjectOfType(8, typeId("vble")), nullptr);
    EXPECT_EQ(findLevelObjectOfType(0, typeId("phsx")), nullptr);
    LevelManager* current = levelManager;
    levelManager = nullptr;
    EXPECT_EQ(findLevelObjectOfType(8, typeId("phsx")), nullptr) << "no level manager";
    levelManager = current;
}

} // namespace
