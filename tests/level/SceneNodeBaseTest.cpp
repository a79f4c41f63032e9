#include "LevelTestSupport.h"

#include "core/LoadBudget.h"
#include "level/AttributeExtras.h"
#include "level/DrawnTriangles.h"
#include "level/LevelObject.h"
#include "level/SceneNodeBase.h"
#include "level/TransformNode.h"

#include <cmath>

using namespace irr;
using scene::ISceneNode;

namespace {

class SceneNodeBaseTest : public test::LevelFixture {
protected:
    LevelObject* make(ISceneNode* parent, s32 id = -1) {
        auto* node = new LevelObject(parent, smgr(), id);
        node->drop();
        return node;
    }
    io::IAttributes* attributes() {
        return device->get()->getFileSystem()->createEmptyAttributes();
    }
};

// Counts its animate passes.
class CountingObject : public LevelObject {
public:
    using LevelObject::LevelObject;
    void OnAnimate(u32 timeMs) override {
        if (animatedThisFrame())
            return;
        ++passes;
        LevelObject::OnAnimate(timeMs);
    }
    int passes = 0;
};

TEST_F(SceneNodeBaseTest, LevelObjectStartsAtTheOriginWithCullingOff) {
    LevelObject* node = make(root(), 4);
    EXPECT_EQ(node->getType(), typeId("emty"));
    EXPECT_EQ(node->getPosition(), core::vector3df(0, 0, 0));
    EXPECT_EQ(node->getScale(), core::vector3df(1, 1, 1));
    EXPECT_EQ(node->getAutomaticCulling(), static_cast<u32>(scene::EAC_OFF));
    EXPECT_TRUE(node->isVisibleInEditor());
    EXPECT_TRUE(node->isPickable());
}

TEST_F(SceneNodeBaseTest, EngineNodesThatShareATypeIdAreNotTakenForOurs) {
    ISceneNode* engineEmpty = smgr()->addEmptySceneNode(root());
    ASSERT_EQ(engineEmpty->getType(), typeId("emty"));
    EXPECT_EQ(extrasOf(engineEmpty), nullptr);
    EXPECT_TRUE(isPickable(engineEmpty));
    EXPECT_TRUE(isVisibleInEditor(engineEmpty));
    LevelObject* ours = make(root());
    ASSERT_NE(extrasOf(ours), nullptr);
    ours->setPickable(false);
    EXPECT_FALSE(isPickable(ours));
}

TEST_F(SceneNodeBaseTest, FullKeySetIsWrittenInOrderWhateverTheValues) {
    TransformNode* node = new TransformNode(root(), smgr(), 9);
    node->drop();
    node->setPickable(false);
    node->setAutomaticCulling(scene::EAC_FRUSTUM_SPHERE);
    io::IAttributes* out = attributes();
    node->serializeAttributes(out);
    const char* expected[] = {"Name",
                              "Id",
                              "Position",
                              "Rotation",
                              "Scale",
                              "Visible",
                              "VisibleInEditor",
                              "AutomaticCulling",
                              "DebugDataVisible",
                              "IsDebugObject",
                              "Pickable"};
    ASSERT_EQ(out->getAttributeCount(), 11u);
    for (u32 i = 0; i < 11; ++i)
        EXPECT_STREQ(out->getAttributeName(static_cast<s32>(i)), expected[i]);
    EXPECT_EQ(out->getAttributeType("AutomaticCulling"), io::EAT_ENUM);
    EXPECT_STREQ(out->getAttributeAsEnumeration("AutomaticCulling"), "frustum_sphere");
    EXPECT_FALSE(out->getAttributeAsBool("Pickable"));
    out->drop();
}

TEST_F(SceneNodeBaseTest, ReadersLeaveAbsentKeysAlone) {
    LevelObject* node = make(root(), 3);
    node->setScale(core::vector3df(2, 2, 2));
    io::IAttributes* in = attributes();
    in->addString("Name", "Moved");
    in->addVector3d("Position", core::vector3df(1, 2, 3));
    node->deserializeAttributes(in);
    EXPECT_STREQ(node->getName(), "Moved");
    EXPECT_EQ(node->getID(), 3);
    EXPECT_EQ(node->getScale(),
              core::vector3df(2, 2, 2)); // the engine's reader would make it 0,0,0
    EXPECT_TRUE(node->isVisible());      // and this false
    EXPECT_EQ(node->getPosition(), core::vector3df(1, 2, 3));
    in->drop();
}

// Every key the full writer writes is read back into its own member, each flag both ways; a
// key that is absent leaves its member as it was.
TEST_F(SceneNodeBaseTest, FullKeySetIsReadBackIntoItsOwnMembers) {
    for (const bool on : {false, true}) {
        TransformNode* source = new TransformNode(root(), smgr(), 12);
        source->drop();
        source->setName("Helper");
        source->setPosition(core::vector3df(1, 2, 3));
        source->setRotation(core::vector3df(0, 45, 0));
        source->setScale(core::vector3df(2, 3, 4));
        source->setVisible(on);
        source->setVisibleInEditor(on);
        source->setAutomaticCulling(on ? scene::EAC_FRUSTUM_BOX : scene::EAC_OFF);
        source->setDebugDataVisible(on ? scene::EDS_BBOX | scene::EDS_NORMALS : scene::EDS_OFF);
        source->setIsDebugObject(on);
        source->setPickable(!on); // unlike the debug flag, so that neither is read for the other
        io::IAttributes* keys = attributes();
        source->serializeAttributes(keys);

        TransformNode* copy = new TransformNode(root(), smgr());
        copy->drop();
        copy->setVisible(!on);
        copy->setVisibleInEditor(!on);
        copy->setAutomaticCulling(on ? scene::EAC_OFF : scene::EAC_BOX);
        copy->setDebugDataVisible(on ? scene::EDS_OFF : scene::EDS_MESH_WIRE_OVERLAY);
        copy->setIsDebugObject(!on);
        copy->setPickable(on);
        copy->deserializeAttributes(keys);
        EXPECT_STREQ(copy->getName(), "Helper");
        EXPECT_EQ(copy->getID(), 12);
        EXPECT_EQ(copy->getPosition(), core::vector3df(1, 2, 3));
        EXPECT_EQ(copy->getRotation(), core::vector3df(0, 45, 0));
        EXPECT_EQ(copy->getScale(), core::vector3df(2, 3, 4));
        EXPECT_EQ(copy->isVisible(), on);
        EXPECT_EQ(copy->isVisibleInEditor(), on) << on;
        EXPECT_EQ(copy->getAutomaticCulling(), static_cast<u32>(on ? scene::EAC_FRUSTUM_BOX : scene::EAC_OFF));
        EXPECT_EQ(copy->isDebugDataVisible(), static_cast<u32>(on ? scene::EDS_BBOX | scene::EDS_NORMALS : 0));
        EXPECT_EQ(copy->isDebugObject(), on);
        EXPECT_EQ(copy->isPickable(), !on);

        // Absent keys: nothing changes.
        keys->clear();
        copy->deserializeAttributes(keys);
        EXPECT_EQ(copy->isVisibleInEditor(), on);
        EXPECT_EQ(copy->getAutomaticCulling(), static_cast<u32>(on ? scene::EAC_FRUSTUM_BOX : scene::EAC_OFF));
        EXPECT_EQ(copy->isDebugDataVisible(), static_cast<u32>(on ? scene::EDS_BBOX | scene::EDS_NORMALS : 0));
        EXPECT_EQ(copy->isDebugObject(), on);
        EXPECT_EQ(copy->isPickable(), !on);
        keys->drop();
    }
    // An engine node answers its parent's transformation, or the identity without a parent.
    ISceneNode* parent = smgr()->addEmptySceneNode(root());
    parent->setPosition(core::vector3df(5, 0, 0));
    parent->updateAbsolutePosition();
    ISceneNode* engineChild = smgr()->addEmptySceneNode(parent);
    EXPECT_EQ(parentTransformOf(engineChild).getTranslation(), core::vector3df(5, 0, 0));
    EXPECT_TRUE(isExactlyIdentity(parentTransformOf(root())));
    EXPECT_TRUE(isExactlyIdentity(parentTransformOf(nullptr)));
}

// Paths and object-ID lists are written as text, a null one as empty text; the readers
// change the value only for a key that is there (an enumeration only for one of its names).
TEST_F(SceneNodeBaseTest, AttributeHelpersWriteTextAndReadOnlyWhatIsThere) {
    io::IAttributes* out = attributes();
    addFilePath(out, "Wide", L"Content/A.wav");
    addFilePath(out, "WideNone", static_cast<const wchar_t*>(nullptr));
    addObjectIDList(out, "Ids", L"3,4");
    addObjectIDList(out, "IdsNone", static_cast<const wchar_t*>(nullptr));
    addObjectIDList(out, "Narrow", "5");
    static const c8* const modes[] = {"Off", "On", nullptr};
    out->addEnum("Mode", "On", modes);
    out->addString("Unknown", "Sideways");
    EXPECT_EQ(out->getAttributeAsStringW("Wide"), L"Content/A.wav");
    EXPECT_EQ(out->getAttributeAsStringW("WideNone"), L"");
    EXPECT_EQ(out->getAttributeAsStringW("Ids"), L"3,4");
    EXPECT_EQ(out->getAttributeAsStringW("IdsNone"), L"");
    EXPECT_EQ(out->getAttributeType("IdsNone"), io::EAT_STRING);
    EXPECT_EQ(out->getAttributeAsStringW("Narrow"), L"5");

    s32 mode = 7;
    EXPECT_TRUE(readEnumIfPresent(out, "Mode", modes, mode));
    EXPECT_EQ(mode, 1);
    mode = 7;
    EXPECT_FALSE(readEnumIfPresent(out, "Missing", modes, mode));
    EXPECT_FALSE(readEnumIfPresent(out, "Unknown", modes, mode));
    EXPECT_FALSE(readEnumIfPresent(nullptr, "Mode", modes, mode));
    EXPECT_EQ(mode, 7);
    s32 number = 7;
    EXPECT_FALSE(readIfPresent(nullptr, "Mode", number));
    EXPECT_EQ(number, 7);
    addFilePath(nullptr, "Wide", L"x"); // nothing to write into
    addObjectIDList(nullptr, "Ids", L"x");
    out->drop();
}

TEST_F(SceneNodeBaseTest, CullingIsReadAsANameOrANumber) {
    LevelObject* node = make(root());
    io::IAttributes* in = attributes();
    in->addEnum("AutomaticCulling", "frustum_sphere", scene::AutomaticCullingNames);
    node->deserializeAttributes(in);
    EXPECT_EQ(node->getAutomaticCulling(), static_cast<u32>(scene::EAC_FRUSTUM_SPHERE));
    in->clear();
    in->addInt("AutomaticCulling", scene::EAC_BOX);
    node->deserializeAttributes(in);
    EXPECT_EQ(node->getAutomaticCulling(), static_cast<u32>(scene::EAC_BOX));
    in->drop();
}

TEST_F(SceneNodeBaseTest, LevelObjectWriterLeavesDefaultsOutUnlessForTheEditor) {
    LevelObject* node = make(root());
    io::IAttributes* out = attributes();
    node->serializeAttributes(out);
    EXPECT_EQ(out->getAttributeCount(), 0u);

    node->setName("Crate");
    node->setID(7);
    node->setVisible(false);
    node->serializeAttributes(out);
    EXPECT_EQ(out->getAttributeCount(), 3u);
    EXPECT_FALSE(out->existsAttribute("Scale"));

    out->clear();
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    node->serializeAttributes(out, &editor);
    const char* expected[] = {"Name",  "Id",      "Position",        "Rotation",
                              "Scale", "Visible", "AutomaticCulling"};
    ASSERT_EQ(out->getAttributeCount(), 7u);
    for (u32 i = 0; i < 7; ++i)
        EXPECT_STREQ(out->getAttributeName(static_cast<s32>(i)), expected[i]);
    out->drop();
}

TEST_F(SceneNodeBaseTest, ExactIdentityAcceptsNegativeZeroAndNothingElse) {
    core::matrix4 m;
    m.setRotationDegrees(core::vector3df(0, 0, 0)); // leaves -0.0 in some elements
    EXPECT_TRUE(isExactlyIdentity(m));
    m[13] = 1e-7f;
    EXPECT_FALSE(isExactlyIdentity(m));

    LevelObject* node = make(root());
    node->updateAbsolutePosition();
    EXPECT_TRUE(node->isAbsoluteTransformationExactlyIdentity());
    node->setPosition(core::vector3df(0, 0.001f, 0));
    node->updateAbsolutePosition();
    EXPECT_FALSE(node->isAbsoluteTransformationExactlyIdentity());
}

TEST_F(SceneNodeBaseTest, ChildrenAreInsertedAtTheirIndex) {
    LevelObject* parent = make(root());
    LevelObject* a = make(parent);
    LevelObject* b = make(parent);
    LevelObject* c = make(root());
    parent->addChild(c, 1);
    std::vector<ISceneNode*> order;
    for (ISceneNode* child : parent->getChildren())
        order.push_back(child);
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[0], a);
    EXPECT_EQ(order[1], c);
    EXPECT_EQ(order[2], b);
    EXPECT_EQ(c->getParent(), parent);
    for (ISceneNode* child : root()->getChildren())
        EXPECT_NE(child, c);

    LevelObject* d = make(root());
    parent->addChild(d, -1);
    EXPECT_EQ(*parent->getChildren().getLast(), d);
    LevelObject* e = make(root());
    parent->addChild(e, 99);
    EXPECT_EQ(*parent->getChildren().getLast(), e);
}

// A copied child draws its mesh again: charged to the level's triangles, on the bound it is
// copied, one past it is left out.
TEST_F(SceneNodeBaseTest, ACopiedChildMeshIsLeftOutPastTheLevelsTriangles) {
    LevelObject* source = make(root());
    scene::IMesh* cube = smgr()->getGeometryCreator()->createCubeMesh();
    const std::uint64_t triangles = meshTriangles(cube);
    smgr()->addMeshSceneNode(cube, source);
    cube->drop();
    for (const bool fits : {true, false}) {
        SCOPED_TRACE(fits ? "on the bound" : "one past");
        const LoadBudgetScope load("Level.irr", true);
        loadBudget().setLimit(LoadBudget::Triangles, fits ? triangles : triangles - 1);
        LevelObject* copy = make(root());
        cloneSceneNodeMembers(copy, source, smgr());
        EXPECT_EQ(copy->getChildren().size(), fits ? 1u : 0u);
    }
    loadBudget().setLimit(LoadBudget::Triangles, LoadBudget::gameLimits[LoadBudget::Triangles]);
}

TEST_F(SceneNodeBaseTest, IgnoringTheParentTransformPlacesTheNodeInWorldSpace) {
    LevelObject* parent = make(root());
    parent->setPosition(core::vector3df(50, 0, 0));
    parent->updateAbsolutePosition();
    auto* helper = new TransformNode(parent, smgr());
    helper->drop();
    helper->setPosition(core::vector3df(1, 0, 0));
    helper->updateAbsolutePosition();
    EXPECT_EQ(helper->getAbsolutePosition(), core::vector3df(51, 0, 0));
    helper->setIgnoreParentTransform(true);
    helper->updateAbsolutePosition();
    EXPECT_EQ(helper->getAbsolutePosition(), core::vector3df(1, 0, 0));
    EXPECT_TRUE(isExactlyIdentity(helper->getParentAbsoluteTransformation()));
}

TEST_F(SceneNodeBaseTest, EachNodeAnimatesOncePerLevelFrame) {
    auto* group = new CountingObject(root(), smgr());
    group->drop();
    auto* child = new CountingObject(group, smgr());
    child->drop();
    manager->update();
    root()->OnAnimate(0); // a second draw pass in the same frame
    smgr()->drawAll();
    EXPECT_EQ(group->passes, 1);
    EXPECT_EQ(child->passes, 1);
    manager->update();
    EXPECT_EQ(group->passes, 2);
    EXPECT_EQ(child->passes, 2);
}

TEST_F(SceneNodeBaseTest, AChildThatLeavesDuringTheAnimatePassEndsNothingBadly) {
    // The child removes a later sibling while the parent walks its children.
    class Remover : public LevelObject {
    public:
        using LevelObject::LevelObject;
        void OnAnimate(u32 timeMs) override {
            if (victim) {
                victim->remove();
                victim = nullptr;
            }
            LevelObject::OnAnimate(timeMs);
        }
        ISceneNode* victim = nullptr;
    };
    LevelObject* parent = make(root());
    auto* remover = new Remover(parent, smgr());
    remover->drop();
    remover->victim = make(parent);
    manager->update();
    EXPECT_EQ(parent->getChildren().size(), 1u);
}

TEST_F(SceneNodeBaseTest, DebugChildrenAreDetachedWithoutBeingDropped) {
    LevelObject* parent = make(root());
    LevelObject* keep = make(parent);
    LevelObject* helper = make(parent);
    helper->setIsDebugObject(true);
    helper->grab(); // the reference an owner would keep
    parent->removeDebugChildren();
    ASSERT_EQ(parent->getChildren().size(), 1u);
    EXPECT_EQ(*parent->getChildren().begin(), keep);
    EXPECT_EQ(helper->getParent(), nullptr);
    EXPECT_EQ(helper->getReferenceCount(), 2); // the list's reference passed to the owner
    helper->drop();
    helper->drop();
}

TEST_F(SceneNodeBaseTest, ClonesCopyMembersButNotDebugChildrenAndTakeAUniqueID) {
    LevelObject* source = make(root(), 20);
    source->setName("Source");
    source->setPosition(core::vector3df(1, 2, 3));
    source->setPickable(false);
    make(source, 21);
    LevelObject* helper = make(source, 22);
    helper->setIsDebugObject(true);
    scene::ISceneNodeAnimator* spin = smgr()->createRotationAnimator(core::vector3df(0, 1, 0));
    source->addAnimator(spin);
    spin->drop();
    manager->rebuildNodeIDs();

    ISceneNode* copy = source->clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getParent(), root());
    EXPECT_STREQ(copy->getName(), "Source");
    EXPECT_EQ(copy->getPosition(), core::vector3df(1, 2, 3));
    EXPECT_FALSE(static_cast<LevelObject*>(copy)->isPickable());
    EXPECT_EQ(copy->getChildren().size(), 1u);
    EXPECT_EQ(copy->getAnimators().size(), 1u);
    // 20 to 22 are taken by the source and its children, 23 by the copy of the child.
    EXPECT_EQ(copy->getID(), 24);
    EXPECT_EQ(manager->getSceneNodeFromID(20), source);
}

TEST_F(SceneNodeBaseTest, NodesThatGoAwayLeaveTheIDMap) {
    LevelObject* node = make(root(), 44);
    manager->rebuildNodeIDs();
    ASSERT_EQ(manager->getSceneNodeFromID(44), node);
    node->remove();
    EXPECT_FALSE(manager->holdsID(44));

    LevelObject* renamed = make(root(), 45);
    manager->rebuildNodeIDs();
    renamed->setID(46);
    EXPECT_FALSE(manager->holdsID(45));
}

} // namespace
