// Set Object Property and Spawn Object.
#include "ActionTestSupport.h"

#include "core/FileChecks.h"
#include "core/LoadBudget.h"
#include "core/Globals.h"
#include "triggers/CameraTriggerVolume.h"
#include "triggers/TriggerEventObject.h"
#include "level/InstancedObject.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "phys/Material.h"
#include "phys/RigidBody.h"
#include "physics/joints/JointObject.h"
#include "support/StubPlayer.h"
#include "triggers/actions/SetCameraAction.h"
#include "triggers/actions/SetObjectPropertyAction.h"
#include "triggers/actions/SpawnObjectAction.h"

#include <algorithm>
#include <limits>
#include <numeric>

using namespace irr;

namespace {

class PropertySpawnActionsTest : public test::ActionFixture {
protected:
    SetObjectPropertyAction* setProperty(const std::function<void(io::IAttributes*)>& keys) {
        TriggerObject* trigger = addActionTrigger(50 + triggers++, SetObjectPropertyAction::actionType, keys);
        return static_cast<SetObjectPropertyAction*>(trigger->getAction());
    }
    SpawnObjectAction* spawner(const std::function<void(io::IAttributes*)>& keys) {
        TriggerObject* trigger = addActionTrigger(80, SpawnObjectAction::actionType, keys);
        return static_cast<SpawnObjectAction*>(trigger->getAction());
    }
    // A pool of `size` copies of a crate (ID 30) with BaseID 100, placed at (3, 2, 1).
    SpawnObjectAction* crateSpawner(s32 size) {
        addCrate(30, {0, 50, 0}, "Kinematic");
        return spawner([size](io::IAttributes* k) {
            k->addInt("PoolSize", size);
            k->addInt("BaseID", 100);
            k->addInt("ObjectID", 30);
            k->addString("SpawnMode", "Manual");
            k->addVector3d("TargetPosition", {3, 2, 1});
        });
    }
    // A template (ID 30) of the mesh and bound, as the level reader makes one.
    PhysicsObject* addTemplate(const char* mesh, const char* bound) {
        auto* object = new PhysicsObject(root(), smgr(), 30);
        object->drop();
        io::IAttributes* keys = attributes();
        keys->addInt("Id", 30);
        keys->addVector3d("Position", {0, 5, 0});
        keys->addString("MeshFileName", mesh);
        keys->addEnum("BoundType", bound, boundTypeNames);
        keys->addEnum("PhysicsState", "Dynamic", physicsStateNames);
        object->deserializeAttributes(keys);
        manager->registerNodeIDs(object);
        return object;
    }
    // A manual pool of `size` copies of ID 30.
    SpawnObjectAction* pool(s32 size, s32 baseID = 0) {
        return spawner([=](io::IAttributes* k) {
            k->addInt("PoolSize", size);
            k->addInt("BaseID", baseID);
            k->addInt("ObjectID", 30);
            k->addString("SpawnMode", "Manual");
        });
    }
    static InstancedObject* holderOf(scene::ISceneNode* copy) {
        scene::ISceneNode* parent = copy ? copy->getParent() : nullptr;
        return parent && parent->getType() == typeId("inst") ? static_cast<InstancedObject*>(parent) : nullptr;
    }
    TriggerEventInfo event;
    int triggers = 0;
};

// A physics object of one material with a BaseID is copied by instancing; another template
// (two materials, no BaseID) gets plain copies.
TEST_F(PropertySpawnActionsTest, OnlyAPlainObjectOfOneMaterialWithIDsIsInstanced) {
    const struct {
        const char* name;
        s32 baseID;
        bool twoMaterials;
        bool instanced;
    } rows[] = {{"one material", 100, false, true}, {"no BaseID", 0, false, false}, {"two materials", 100, true, false}};
    for (s32 r = 0; r < 3; ++r) {
        const auto& row = rows[r];
        PhysicsObject* crate = addCrate(30 + r, {0, 50, 0}, "Kinematic");
        if (row.twoMaterials) {
            auto* mesh = new scene::SMesh();
            for (int b = 0; b < 2; ++b) {
                auto* buffer = new scene::SMeshBuffer();
                mesh->addMeshBuffer(buffer);
                buffer->drop();
            }
            auto* animated = new scene::SAnimatedMesh(mesh);
            mesh->drop();
            crate->getMeshNode()->setMesh(animated);
            animated->drop();
        }
        const s32 baseID = row.baseID ? row.baseID + 10 * r : 0;
        TriggerObject* trigger = addActionTrigger(80 + r, SpawnObjectAction::actionType, [baseID, r](io::IAttributes* k) {
            k->addInt("PoolSize", 2);
            k->addInt("BaseID", baseID);
            k->addInt("ObjectID", 30 + r);
        });
        auto* spawn = static_cast<SpawnObjectAction*>(trigger->getAction());
        step();
        ASSERT_EQ(spawn->getPool().size(), 2u) << row.name;
        EXPECT_EQ(spawn->getInstancingSource() != nullptr, row.instanced) << row.name;
        EXPECT_EQ(holderOf(spawn->getPool().back()) != nullptr, row.instanced) << row.name;
        EXPECT_EQ(holderOf(spawn->getLeftoverCopy()) != nullptr, row.instanced) << row.name;
    }
}

TEST_F(PropertySpawnActionsTest, InstancedCopiesWaitInHiddenInstancesAndMergeIntoTheSourcesMesh) {
    levelHooks().render.isInstancingEnabled = [] { return true; };
    SpawnObjectAction* spawn = crateSpawner(7);
    step();
    levelHooks().render.isInstancingEnabled = nullptr;
    ASSERT_EQ(spawn->getPool().size(), 7u);
    PhysicsObject* source = spawn->getInstancingSource();
    ASSERT_EQ(source, spawn->getPool().front());
    std::vector<scene::ISceneNode*> copies(spawn->getPool().begin(), spawn->getPool().end());
    for (s32 i = 1; i < 7; ++i) {
        PhysicsObject* copy = asPhysicsObject(copies[size_t(i)]);
        InstancedObject* instance = holderOf(copy);
        ASSERT_NE(instance, nullptr) << i;
        EXPECT_EQ(instance->getID(), 100 + i);
        EXPECT_EQ(instance->ObjectID, 100);
        EXPECT_FALSE(instance->isVisible());
        EXPECT_FALSE(instance->isDebugObject()) << "level saves keep the instance";
        EXPECT_TRUE(copy->isDebugObject()) << "its copy is made again on load";
        EXPECT_NE(copy->getBodyActor(), nullptr) << "each copy is a body of its own";
        test::expectNear(copy->getAbsolutePosition(), {0, -200, 0}, 1e-3f);
    }
    PhysicsObject* ghost = asPhysicsObject(spawn->getLeftoverCopy());
    ASSERT_NE(holderOf(ghost), nullptr);
    EXPECT_TRUE(holderOf(ghost)->isDebugObject());
    EXPECT_FALSE(ghost->isVisible());
    EXPECT_NE(source->getInstancedMeshNode(), nullptr) << "six instances and the leftover merge";

    spawn->execute(event);
    spawn->execute(event);
    EXPECT_TRUE(holderOf(copies[1])->isVisible()) << "placing a copy shows its instance";
    EXPECT_FALSE(holderOf(copies[2])->isVisible());
}

// A level saved in play keeps the source and the instances but not their copies; loaded
// again, the action finds them and makes only its leftover copy.
TEST_F(PropertySpawnActionsTest, ASavedInstancedPoolIsFoundAgainWithoutDuplicates) {
    crateSpawner(3)->execute(event);
    step();
    const std::string saved = temp.file("Spawned.irr");
    ASSERT_TRUE(manager->saveLevel(saved.c_str()));
    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel(saved.c_str()));
    cameras->onLevelLoaded();
    step();
    auto* spawn = static_cast<SpawnObjectAction*>(asTrigger(manager->getSceneNodeFromID(80))->getAction());
    ASSERT_EQ(spawn->getPool().size(), 3u);
    EXPECT_EQ(spawn->getInstancingSource(), spawn->getPool().back()) << "the placed copy comes last";
    for (s32 id : {101, 102}) {
        scene::ISceneNode* copy = manager->getSceneNodeFromID(id);
        EXPECT_FALSE(copy->isVisible()) << id;
        test::expectNear(copy->getAbsolutePosition(), {0, -200, 0}, 1e-3f);
    }
    std::map<s32, int> copiesByID;
    std::function<void(scene::ISceneNode*)> walk = [&](scene::ISceneNode* node) {
        if (node->getType() == typeId("phsx"))
            ++copiesByID[node->getID()];
        for (scene::ISceneNode* child : node->getChildren())
            walk(child);
    };
    walk(root());
    EXPECT_EQ(copiesByID, (std::map<s32, int>{{0, 1}, {30, 1}, {100, 1}, {101, 1}, {102, 1}}));
    EXPECT_EQ(log.countStartingWith("ERROR"), 0u);
}

TEST_F(PropertySpawnActionsTest, VisibleGoesToTheCausingObjectAndEveryTargetAndRevertsOnce) {
    PhysicsObject* named = addCrate(2, {0, 1, 0});
    PhysicsObject* causing = addCrate(3, {2, 1, 0});
    PhysicsObject* listed = addCrate(4, {4, 1, 0});
    SetObjectPropertyAction* hide = setProperty([](io::IAttributes* k) {
        k->addInt("ObjectID", 2);
        k->addString("ObjectIDs", "4");
        k->addString("PropertyName", "Visible");
        k->addBool("PropertyValue", false);
        k->addBool("UndoOnTriggerRevert", true);
    });
    event = makeEmptyTriggerEventInfo(causing);
    hide->execute(event);
    EXPECT_TRUE(named->isVisible()) << "the causing object takes precedence over ObjectID";
    EXPECT_FALSE(causing->isVisible());
    EXPECT_FALSE(listed->isVisible());
    hide->revert(event);
    EXPECT_TRUE(causing->isVisible());
    EXPECT_TRUE(listed->isVisible());
    TriggerEventInfo none;
    hide->execute(none);
    EXPECT_FALSE(named->isVisible()) << "without a causing object ObjectID is looked up";
}

// A causing part whose shapes sit on its owner's body stands for the owner: the owner is
// hidden. A part with a body of its own is hidden itself, even under a physics owner.
TEST_F(PropertySpawnActionsTest, VisibleForAPartSharingItsOwnersBodyGoesToTheOwnerAndIsUndoneThere) {
    auto add = [&](scene::ISceneNode* parent, s32 id, const char* bound, const char* state) {
        auto* object = new PhysicsObject(parent, smgr(), id);
        object->drop();
        io::IAttributes* keys = attributes();
        keys->addString("Name", ("Part" + std::to_string(id)).c_str());
        keys->addInt("Id", id);
        keys->addVector3d("Position", {0, 1.5f, 0});
        keys->addEnum("BoundType", bound, boundTypeNames);
        keys->addFloat("Radius", 0.5f);
        keys->addEnum("PhysicsState", state, physicsStateNames);
        object->deserializeAttributes(keys);
        object->updateAbsolutePosition();
        manager->registerNodeIDs(object);
        return object;
    };
    PhysicsObject* owner = addCrate(2, {0, 1, 0});
    PhysicsObject* sharing = add(owner, 3, "Sphere", "Dynamic");
    ASSERT_TRUE(sharing->getUserData()->sharedBody);
    PhysicsObject* bodiless = add(root(), 4, "None", "Kinematic");
    PhysicsObject* own = add(bodiless, 5, "Sphere", "Kinematic");
    root()->OnAnimate(0); // links the records of parts that keep their own bodies
    ASSERT_FALSE(own->getUserData()->sharedBody);
    ASSERT_NE(own->getUserData()->parent, nullptr);

    SetObjectPropertyAction* hide = setProperty([](io::IAttributes* k) {
        k->addString("PropertyName", "Visible");
        k->addBool("PropertyValue", false);
    });
    event = makeEmptyTriggerEventInfo(sharing);
    hide->execute(event);
    EXPECT_FALSE(owner->isVisible());
    EXPECT_TRUE(sharing->isVisible());
    hide->revert(event);
    EXPECT_TRUE(owner->isVisible()) << "undone on the owner it hid";
    event = makeEmptyTriggerEventInfo(own);
    hide->execute(event);
    EXPECT_FALSE(own->isVisible());
    EXPECT_TRUE(bodiless->isVisible());
    hide->revert(event);
    EXPECT_TRUE(own->isVisible());
}

TEST_F(PropertySpawnActionsTest, QuantitiesRevertToTheValueTheLastTargetHad) {
    std::vector<PhysicsObject*> crates = {addCrate(2, {0, 1, 0}), addCrate(3, {2, 1, 0}), addCrate(4, {4, 1, 0})};
    for (size_t i = 0; i < crates.size(); ++i)
        crates[i]->body().Mass = 10.0f + float(i);
    SetObjectPropertyAction* weigh = setProperty([](io::IAttributes* k) {
        k->addString("ObjectIDs", "2-4");
        k->addString("PropertyName", "Physics Property");
        k->addString("PhysicsPropertyName", "Mass");
        k->addFloat("PropertyValue", 3.0f);
        k->addBool("UndoOnTriggerRevert", true);
    });
    weigh->execute(event);
    for (PhysicsObject* crate : crates)
        EXPECT_FLOAT_EQ(crate->body().Mass, 3.0f);
    weigh->revert(event);
    for (PhysicsObject* crate : crates)
        EXPECT_FLOAT_EQ(crate->body().Mass, 12.0f) << "one saved value per action";

    struct Case {
        const char* property;
        bool PhysicsObject::*flag;
    };
    const Case flags[] = {{"Gold", &PhysicsObject::IsGold},
                          {"Grabbable", &PhysicsObject::IsGrabbable},
                          {"Button", &PhysicsObject::IsButton}};
    for (const Case& c : flags) {
        SetObjectPropertyAction* flag = setProperty([&](io::IAttributes* k) {
            k->addInt("ObjectID", 2);
            k->addString("PropertyName", c.property);
            k->addBool("PropertyValue", true);
        });
        crates[0]->*c.flag = false;
        flag->execute(event);
        EXPECT_TRUE(crates[0]->*c.flag) << c.property;
        flag->revert(event);
        EXPECT_FALSE(crates[0]->*c.flag) << c.property;
    }
    SetObjectPropertyAction* suspicious = setProperty([](io::IAttributes* k) {
        k->addInt("ObjectID", 3);
        k->addString("PropertyName", "Suspicious");
        k->addFloat("PropertyValue", 7.0f);
    });
    suspicious->execute(event);
    EXPECT_FLOAT_EQ(crates[1]->suspicion().SuspTouchAmount, 7.0f);
    suspicious->revert(event);
    EXPECT_FLOAT_EQ(crates[1]->suspicion().SuspTouchAmount, 0.0f);

    SetObjectPropertyAction* grab = setProperty([](io::IAttributes* k) {
        k->addInt("ObjectID", 3);
        k->addString("PropertyName", "Left Grab ID");
        k->addInt("LeftGrabObjectID", 4);
    });
    grab->execute(event);
    EXPECT_EQ(crates[1]->body().LeftArmGrabID, 4);
    grab->revert(event);
    EXPECT_EQ(crates[1]->body().LeftArmGrabID, 0);

    // Blocking vision is switched on as a change; a respawn place moves the next respawn too.
    addObject(9)->setPosition({5, 6, 7});
    root()->OnAnimate(0);
    for (const char* quantity : {"Blocks Vision", "Respawn Position"}) {
        setProperty([&](io::IAttributes* k) {
            k->addInt("ObjectID", 4);
            k->addString("PropertyName", "Physics Property");
            k->addString("PhysicsPropertyName", quantity);
            k->addBool("PropertyValue", true);
            k->addInt("RespawnPosObjectID", 9);
        })->execute(event);
    }
    EXPECT_TRUE(crates[2]->ChangeBlocksVision);
    EXPECT_TRUE(crates[2]->BlocksVision);
    test::expectNear(crates[2]->reset().respawnPosition, {5, 6, 7});
    test::expectNear(crates[2]->reset().RespawnOverridePosition, {5, 6, 7});

    SetObjectPropertyAction* bounce = setProperty([](io::IAttributes* k) {
        k->addString("PropertyName", "Physics Property");
        k->addString("PhysicsPropertyName", "Restitution");
        k->addFloat("PropertyValue", 0.5f);
    });
    EXPECT_NE(keysOf(*bounce).find("PropertyValue=0.500000"), std::string::npos) << keysOf(*bounce);
}

// A player that records the objects it is asked to let go of.
class DroppingPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    void releaseGrabbed(scene::ISceneNode* node, s32 side, bool) override {
        released.push_back(node);
        releasedSide = side;
    }
    std::vector<scene::ISceneNode*> released;
    s32 releasedSide = -1;
};

// Friction and restitution reach the body's material and come back on a revert; the switches
// flip and flip back; a clone of velocities copies both and cannot be undone; a held object
// made ungrabbable is dropped from every limb.
TEST_F(PropertySpawnActionsTest, PhysicsQuantitiesReachTheBodyAndRevertWhereTheyCan) {
    PhysicsObject* crate = addCrate(2, {0, 1, 0});
    auto materialOf = [&] {
        phys::Shape* shape = nullptr;
        phys::Material* material = nullptr;
        crate->getBodyActor()->getShapes(&shape, 1);
        shape->getMaterials(&material, 1);
        return material;
    };
    crate->body().Friction = 0.5f;
    crate->body().Restitution = 0.25f;
    const struct {
        const char* quantity;
        f32 PhysicsBodySettings::*field;
        float (phys::Material::*material)() const;
    } quantities[] = {{"Friction", &PhysicsBodySettings::Friction, &phys::Material::getDynamicFriction},
                      {"Restitution", &PhysicsBodySettings::Restitution, &phys::Material::getRestitution}};
    for (const auto& q : quantities) {
        const f32 before = crate->body().*q.field;
        SetObjectPropertyAction* set = setProperty([&](io::IAttributes* k) {
            k->addInt("ObjectID", 2);
            k->addString("PropertyName", "Physics Property");
            k->addString("PhysicsPropertyName", q.quantity);
            k->addFloat("PropertyValue", 0.75f);
        });
        set->execute(event);
        EXPECT_FLOAT_EQ(crate->body().*q.field, 0.75f) << q.quantity;
        EXPECT_FLOAT_EQ((materialOf()->*q.material)(), 0.75f) << q.quantity;
        set->revert(event);
        EXPECT_FLOAT_EQ(crate->body().*q.field, before) << q.quantity;
        EXPECT_FLOAT_EQ((materialOf()->*q.material)(), before) << q.quantity;
    }
    EXPECT_FLOAT_EQ(crate->body().Friction, 0.5f) << "a restitution leaves the friction";

    SetObjectPropertyAction* touchy = setProperty([](io::IAttributes* k) {
        k->addInt("ObjectID", 2);
        k->addString("PropertyName", "Physics Property");
        k->addString("PhysicsPropertyName", "Dynamic on Touch");
        k->addBool("PropertyValue", true);
    });
    crate->TurnDynamicOnTouch = false;
    touchy->execute(event);
    EXPECT_TRUE(crate->TurnDynamicOnTouch);
    touchy->revert(event);
    EXPECT_FALSE(crate->TurnDynamicOnTouch);

    PhysicsObject* source = addCrate(3, {5, 1, 0});
    SetObjectPropertyAction* copyMotion = setProperty([](io::IAttributes* k) {
        k->addInt("ObjectID", 2);
        k->addString("PropertyName", "Physics Property");
        k->addString("PhysicsPropertyName", "Clone Velocity");
        k->addInt("SourceObjectID", 3);
    });
    EXPECT_FALSE(copyMotion->canUndo);
    phys::RigidDynamic* from = source->getBodyActor()->asRigidDynamic();
    phys::RigidDynamic* to = crate->getBodyActor()->asRigidDynamic();
    from->setLinearVelocity(phys::Vec3(1, 2, 3));
    from->setAngularVelocity(phys::Vec3(0, 1, 0));
    copyMotion->execute(event);
    EXPECT_NEAR(to->getLinearVelocity().y, 2.0f, 1e-5f);
    EXPECT_NEAR(to->getLinearVelocity().z, 3.0f, 1e-5f);
    EXPECT_NEAR(to->getAngularVelocity().y, 1.0f, 1e-5f);
    from->setLinearVelocity(phys::Vec3(0, 0, 0));
    copyMotion->revert(event);
    EXPECT_NEAR(to->getLinearVelocity().y, 2.0f, 1e-5f) << "nothing to undo";
    addCrate(4, {9, 1, 0}, "Static");
    copyMotion->SourceObjectID = 4;
    copyMotion->execute(event);
    EXPECT_NEAR(to->getLinearVelocity().y, 2.0f, 1e-5f) << "a source without a moving body gives nothing";

    auto* player = new DroppingPlayer(root(), smgr(), 1);
    player->drop();
    setPlayer(0, player);
    SetObjectPropertyAction* ungrab = setProperty([](io::IAttributes* k) {
        k->addInt("ObjectID", 2);
        k->addString("PropertyName", "Grabbable");
        k->addBool("PropertyValue", false);
    });
    crate->IsGrabbable = true;
    ungrab->execute(event);
    EXPECT_TRUE(player->released.empty()) << "not held: nothing to drop";
    EXPECT_FALSE(crate->IsGrabbable);
    crate->IsGrabbable = true;
    crate->holdCount = 1;
    ungrab->execute(event);
    ASSERT_EQ(player->released.size(), 1u);
    EXPECT_EQ(player->released[0], crate);
    EXPECT_EQ(player->releasedSide, LimbSide::Both);
    ungrab->revert(event);
    EXPECT_EQ(player->released.size(), 1u) << "made grabbable again: nothing dropped";
    EXPECT_TRUE(crate->IsGrabbable);
    crate->holdCount = 0;
    clearPlayers();
}

// The joint switch releases a joint object's joint (and builds it on the revert); other
// objects are left alone. Its keys, like a text's, survive a clone.
TEST_F(PropertySpawnActionsTest, TheJointSwitchReachesOnlyJointObjectsAndClonesKeepTheKeys) {
    auto* joint = new JointObject(root(), smgr(), 40);
    joint->drop();
    manager->registerNodeIDs(joint);
    joint->JointEnabled = true;
    SetObjectPropertyAction* release = setProperty([](io::IAttributes* k) {
        k->addString("ObjectIDs", "40|41");
        k->addString("PropertyName", "Physics Joint");
        k->addBool("PropertyValue", false);
    });
    test::FakeObject* other = addObject(41, "emty");
    release->execute(event);
    EXPECT_FALSE(joint->JointEnabled) << "released";
    EXPECT_TRUE(other->isVisible());

    SetObjectPropertyAction* text = setProperty([](io::IAttributes* k) {
        k->addString("PropertyName", "TextObject");
        k->addString("TextValue", "Hello");
    });
    EXPECT_EQ(text->TextValue, L"Hello");
    for (TriggerAction* action : {static_cast<TriggerAction*>(release), static_cast<TriggerAction*>(text)}) {
        TriggerObject* owner = addTrigger(90 + triggers++);
        std::unique_ptr<TriggerAction> copy(action->clone(owner));
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->getType(), SetObjectPropertyAction::actionType);
        EXPECT_EQ(copy->trigger, owner);
        EXPECT_EQ(keysOf(*copy), keysOf(*action));
    }
}

TEST_F(PropertySpawnActionsTest, SettingsThatCannotBeUndoneClearTheUndoFlagAndKeepTheirKeys) {
    struct Case {
        std::function<void(io::IAttributes*)> keys;
        bool canUndo;
        const char* written;
    };
    const Case cases[] = {
        {[](io::IAttributes* k) { k->addString("PropertyName", "Gold"); }, true,
         "UndoOnTriggerRevert=false;ObjectID=0;ObjectIDs=;PropertyName=Gold;PropertyValue=true;"},
        {[](io::IAttributes* k) {
             k->addString("PropertyName", "Camera Object");
             k->addInt("CameraID", 20);
             k->addInt("CameraTarget", 5);
         },
         false, "ObjectID=5;ObjectIDs=;PropertyName=Camera Object;CameraID=20;CameraTarget=5;"},
        {[](io::IAttributes* k) { k->addString("PropertyName", "Physics Property"); }, true,
         ""},
        {[](io::IAttributes* k) { k->addString("PropertyName", "TextObject"); }, false,
         "ObjectID=0;ObjectIDs=;PropertyName=TextObject;TextValue=;"},
    };
    for (const Case& c : cases) {
        SetObjectPropertyAction action(nullptr);
        io::IAttributes* keys = attributes();
        c.keys(keys);
        action.deserializeAttributes(keys);
        EXPECT_EQ(action.canUndo, c.canUndo);
        if (action.PropertyName == SetObjectPropertyAction::PropPhysics) {
            EXPECT_EQ(action.PhysicsPropertyName, -1);
            EXPECT_EQ(action.SourceObjectID, 0);
            continue; // a name outside the table is written as the first name
        }
        EXPECT_EQ(keysOf(action), c.written);
    }
}

TEST_F(PropertySpawnActionsTest, CameraPropertiesRetargetACameraAndACameraVolume) {
    CameraObject* camera = addCameraObject(20, {0, 5, -10});
    addCameraObject(21, {5, 5, -10});
    auto* volume = new CameraTriggerVolume(root(), smgr(), 60);
    volume->drop();
    manager->registerNodeIDs(volume);
    SetObjectPropertyAction* retarget = setProperty([](io::IAttributes* k) {
        k->addInt("ObjectID", 60);
        k->addString("PropertyName", "Camera Volume");
        k->addInt("CameraID", 21);
        k->addFloat("CamTransitionSpeed", 0.5f);
    });
    retarget->execute(event);
    auto* action = asSetCameraAction(volume->getAction());
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->CameraID, 21);
    ASSERT_NE(action->getCamera(), nullptr);
    EXPECT_EQ(action->getCamera()->getID(), 21);
    EXPECT_FLOAT_EQ(action->CamTransitionSpeed, 0.5f);
    EXPECT_FLOAT_EQ(action->getCamera()->transitionSpeed, 0.5f);
    // Zero is a value like any other: no camera, an instant cut.
    setProperty([](io::IAttributes* k) {
        k->addInt("ObjectID", 60);
        k->addString("PropertyName", "Camera Volume");
        k->addInt("CameraID", 0);
        k->addFloat("CamTransitionSpeed", 0.0f);
    })->execute(event);
    EXPECT_EQ(action->CameraID, 0);
    EXPECT_EQ(action->getCamera(), nullptr);
    EXPECT_FLOAT_EQ(action->CamTransitionSpeed, 0.0f);

    addObject(5); // the camera's new target, also the single target
    SetObjectPropertyAction* look = setProperty([](io::IAttributes* k) {
        k->addString("PropertyName", "Camera Object");
        k->addInt("CameraID", 20);
        k->addInt("CameraTarget", 5);
    });
    look->execute(event);
    ASSERT_NE(camera->targetMode, nullptr);
    EXPECT_EQ(camera->targetMode->objectID, 5);
    // Without a target the camera keeps looking where it looked, whatever object set it off.
    TriggerEventInfo byObject = makeEmptyTriggerEventInfo(addObject(6));
    setProperty([](io::IAttributes* k) {
        k->addString("PropertyName", "Camera Object");
        k->addInt("CameraID", 20);
        k->addInt("CameraTarget", 0);
    })->execute(byObject);
    EXPECT_EQ(camera->targetMode->objectID, 5);
}

TEST_F(PropertySpawnActionsTest, ThePoolIsUsedInTurnAndNeverGrows) {
    PhysicsObject* ball = addCrate(30, {0, 50, 0}, "Kinematic");
    test::FakeObject* spot = addObject(31, "emty");
    spot->setPosition({3, 2, 1});
    spot->updateAbsolutePosition();
    SpawnObjectAction* spawn = spawner([](io::IAttributes* k) {
        k->addInt("PoolSize", 3);
        k->addInt("BaseID", 100);
        k->addInt("ObjectID", 30);
        k->addInt("TargetID", 31);
    });
    ASSERT_TRUE(spawn->isPoolPending());
    step();
    ASSERT_FALSE(spawn->isPoolPending());
    ASSERT_EQ(spawn->getPool().size(), 3u);
    EXPECT_EQ(ball->getID(), 30) << "the template keeps its ID";
    std::vector<scene::ISceneNode*> copies(spawn->getPool().begin(), spawn->getPool().end());
    for (size_t i = 0; i < copies.size(); ++i) {
        EXPECT_EQ(copies[i]->getID(), 100 + s32(i));
        EXPECT_EQ(manager->getSceneNodeFromID(100 + s32(i)), copies[i]);
        EXPECT_FALSE(copies[i]->isVisible());
        scene::ISceneNode* kept = copies[i]->getParent() == root() ? copies[i] : copies[i]->getParent();
        EXPECT_FALSE(kept->isDebugObject()) << "level saves keep copies with IDs (or the instances that hold them)";
    }
    ASSERT_NE(spawn->getLeftoverCopy(), nullptr);
    const u32 nodesBefore = countNodes(root());
    for (int firing = 0; firing < 4; ++firing) {
        spawn->execute(event);
        EXPECT_EQ(spawn->getPool().back(), copies[size_t(firing % 3)]) << firing;
        step();
    }
    EXPECT_EQ(countNodes(root()), nodesBefore) << "firing makes no new objects";
    EXPECT_EQ(spawn->getPool().size(), 3u);
    for (scene::ISceneNode* copy : copies) {
        EXPECT_TRUE(copy->isVisible());
        test::expectNear(copy->getAbsolutePosition(), {3, 2, 1}, 1e-3f);
    }
    io::IAttributes* saved = attributes();
    spawn->serializeAttributes(saved);
    EXPECT_TRUE(saved->getAttributeAsBool("FindExistingNodes")) << "a save made in play holds the copies";
}

// A contact spawn places a copy at the event's point and needs a point or an object; a
// template that is not found is forgotten; a clone keeps the keys.
TEST_F(PropertySpawnActionsTest, AContactSpawnGoesToTheEventsPointAndAMissingTemplateIsForgotten) {
    PhysicsObject* ball = addCrate(30, {0, 50, 0}, "Kinematic");
    SpawnObjectAction* spawn = spawner([](io::IAttributes* k) {
        k->addInt("PoolSize", 2);
        k->addInt("BaseID", 100);
        k->addInt("ObjectID", 30);
        k->addString("SpawnMode", "Contact Point");
    });
    step();
    ASSERT_EQ(spawn->getPool().size(), 2u);
    TriggerEventInfo nowhere;
    spawn->execute(nowhere);
    for (scene::ISceneNode* copy : spawn->getPool())
        EXPECT_FALSE(copy->isVisible()) << "no point and no object: nothing spawned";
    TriggerEventInfo hit = makeTriggerEventInfo(ball, {4, 5, 6});
    spawn->execute(hit);
    scene::ISceneNode* placed = spawn->getPool().back();
    EXPECT_TRUE(placed->isVisible());
    test::expectNear(placed->getAbsolutePosition(), {4, 5, 6}, 1e-3f);

    TriggerObject* owner = addTrigger(91);
    std::unique_ptr<TriggerAction> copy(spawn->clone(owner));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->trigger, owner);
    EXPECT_EQ(keysOf(*copy), keysOf(*spawn));

    TriggerObject* missingOwner = addActionTrigger(81, SpawnObjectAction::actionType, [](io::IAttributes* k) {
        k->addInt("PoolSize", 2);
        k->addInt("ObjectID", 77);
    });
    auto* missing = static_cast<SpawnObjectAction*>(missingOwner->getAction());
    step();
    EXPECT_EQ(missing->ObjectID, 0) << "a template not found is forgotten";
    EXPECT_TRUE(missing->getPool().empty());
}

// Looking for saved copies, the hidden ones found (or made) are used first, newest first.
TEST_F(PropertySpawnActionsTest, APoolThatLooksForSavedCopiesPutsTheHiddenOnesFirst) {
    addCameraObject(30, {0, 5, 0});
    SpawnObjectAction* spawn = spawner([](io::IAttributes* k) {
        k->addInt("PoolSize", 2);
        k->addInt("BaseID", 100);
        k->addInt("ObjectID", 30);
        k->addString("SpawnMode", "Manual");
        k->addVector3d("TargetPosition", {1, 2, 3});
        k->addBool("FindExistingNodes", true);
    });
    step();
    ASSERT_EQ(spawn->getPool().size(), 2u);
    EXPECT_EQ(spawn->getPool().front()->getID(), 101);
    EXPECT_EQ(spawn->getPool().back()->getID(), 100);
    spawn->execute(event);
    scene::ISceneNode* placed = spawn->getPool().back();
    EXPECT_EQ(placed->getID(), 101);
    EXPECT_TRUE(placed->isVisible());
    test::expectNear(placed->getPosition(), {1, 2, 3});
}

// Saved copies are looked for by ID from the BaseID on: a pool without a BaseID makes its own
// copies and takes none of the level's objects, whatever their IDs.
TEST_F(PropertySpawnActionsTest, OnlyAPoolWithABaseIDTakesTheLevelsObjectsAsSavedCopies) {
    addCrate(30, {0, 50, 0}, "Kinematic");
    PhysicsObject* level[2] = {addCrate(1, {0, 1, 0}), addCrate(2, {2, 1, 0})};
    for (const s32 baseID : {0, 1}) {
        SCOPED_TRACE(baseID);
        auto* spawn = static_cast<SpawnObjectAction*>(
            addActionTrigger(80 + baseID, SpawnObjectAction::actionType, [baseID](io::IAttributes* k) {
                k->addInt("PoolSize", 2);
                k->addInt("BaseID", baseID);
                k->addInt("ObjectID", 30);
                k->addString("SpawnMode", "Manual");
                k->addBool("FindExistingNodes", true);
            })->getAction());
        step();
        const auto& pool = spawn->getPool();
        ASSERT_EQ(pool.size(), 2u);
        for (PhysicsObject* object : level)
            EXPECT_EQ(std::count(pool.begin(), pool.end(), object), baseID > 0 ? 1 : 0) << object->getID();
    }
}

// The copies take IDs from BaseID on: a BaseID whose last copy would pass the largest ID is
// held down with one line; one whose last copy takes the largest ID stays.
TEST_F(PropertySpawnActionsTest, ABaseIDNearTheLargestIDIsHeldSoThatEveryCopyHasOne) {
    constexpr s32 largest = std::numeric_limits<s32>::max();
    for (const s32 baseID : {largest - 2, largest - 1}) {
        SCOPED_TRACE(baseID);
        manager->unloadLevel(); // each pool in a level of its own: both number up to the largest
        addCrate(30, {0, 50, 0}, "Kinematic");
        auto* spawn = static_cast<SpawnObjectAction*>(
            addActionTrigger(80 + (baseID & 1), SpawnObjectAction::actionType, [baseID](io::IAttributes* k) {
                k->addInt("PoolSize", 3);
                k->addInt("BaseID", baseID);
                k->addInt("ObjectID", 30);
                k->addString("SpawnMode", "Manual");
            })->getAction());
        const std::size_t lines = log.countStartingWith("Warning: Level object ");
        step();
        ASSERT_EQ(spawn->getPool().size(), 3u);
        EXPECT_EQ(spawn->BaseID, largest - 2);
        std::vector<s32> ids;
        for (scene::ISceneNode* copy : spawn->getPool())
            ids.push_back(copy->getID());
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(ids, (std::vector<s32>{largest - 2, largest - 1, largest}));
        EXPECT_EQ(log.countStartingWith("Warning: Level object "), lines + (baseID == largest - 1 ? 1 : 0));
    }
    EXPECT_EQ(log.countStartingWith("Warning: Level object \"\" (Spawn Object): BaseID 2147483646 clamped to "
                                    "2147483645 (allowed 0 to 2147483645)"),
              1u)
        << (log.lines.empty() ? "" : log.lines.back());
}

TEST_F(PropertySpawnActionsTest, TheLevelsPoolsStopAtItsBudgetOfSceneNodes) {
    // A template of 200 nodes: a hundred copies fill a budget of 20,000 nodes exactly.
    test::FakeObject* group = addObject(30, "emty");
    for (int i = 0; i < 199; ++i)
        (new LevelObject(group, smgr(), -1))->drop();
    const auto pools = [this](std::vector<s32> sizes) {
        std::vector<SpawnObjectAction*> actions;
        for (s32 size : sizes) {
            TriggerObject* trigger = addActionTrigger(500 + triggers++, SpawnObjectAction::actionType, [size](io::IAttributes* k) {
                k->addInt("PoolSize", size);
                k->addInt("ObjectID", 30);
                k->addString("SpawnMode", "Manual");
            });
            actions.push_back(static_cast<SpawnObjectAction*>(trigger->getAction()));
        }
        return actions;
    };
    const struct {
        std::vector<s32> sizes;
        std::size_t copies; // in all pools
    } cases[] = {
        {{100}, 100},
        {{101}, 100},
        {std::vector<s32>(40, 256), 100}, // 40 pools of 256 would clone two million nodes, one line
    };
    for (const auto& c : cases) {
        forgetFileRefusals(); // the budget is the level's: a new level load starts afresh
        { LoadBudgetScope load("Pools.irr"); }
        loadBudget().setLimit(LoadBudget::Nodes, 20000);
        log.lines.clear();
        const std::vector<SpawnObjectAction*> actions = pools(c.sizes);
        step();
        std::size_t copies = 0;
        for (SpawnObjectAction* action : actions) {
            EXPECT_FALSE(action->isPoolPending()) << "a pool cut short is not built again";
            copies += action->getPool().size();
        }
        EXPECT_EQ(copies, c.copies) << c.sizes.size();
        EXPECT_EQ(log.contains("ERROR: The level load reached its budget of 20000 scene nodes at \"Pools.irr\"; the "
                               "Spawn Object pools are cut short."),
                  copies < static_cast<std::size_t>(std::accumulate(c.sizes.begin(), c.sizes.end(), 0)))
            << c.sizes.size();
        loadBudget().setLimit(LoadBudget::Nodes, LoadBudget::gameLimits[LoadBudget::Nodes]);
        for (SpawnObjectAction* action : actions) {
            for (scene::ISceneNode* copy : action->getPool())
                copy->remove();
            action->trigger->remove();
        }
    }
}

TEST_F(PropertySpawnActionsTest, AHeldCopyStaysAndASavedPoolIsFoundAgain) {
    addCrate(30, {0, 50, 0}, "Kinematic");
    PhysicsObject* saved[3] = {addCrate(100, {0, 1, 0}), addCrate(101, {2, 1, 0}), addCrate(102, {4, 1, 0})};
    saved[1]->setVisible(false);
    const u32 nodesBefore = root()->getChildren().size();
    SpawnObjectAction* spawn = spawner([](io::IAttributes* k) {
        k->addInt("PoolSize", 3);
        k->addInt("BaseID", 100);
        k->addInt("ObjectID", 30);
        k->addString("SpawnMode", "Manual");
        k->addVector3d("TargetPosition", {0, 3, 5});
        k->addBool("FindExistingNodes", true);
    });
    step();
    EXPECT_EQ(root()->getChildren().size(), nodesBefore + 2) << "only the trigger and the leftover copy are new";
    ASSERT_EQ(spawn->getPool().size(), 3u);
    EXPECT_EQ(spawn->getPool().front(), saved[1]) << "hidden copies are used first";
    saved[1]->holdCount = 1;
    spawn->execute(event);
    EXPECT_EQ(spawn->getPool().front(), saved[1]) << "the held copy stays first";
    EXPECT_EQ(spawn->getPool().back(), saved[0]);
    saved[1]->holdCount = 0;

    SpawnObjectAction* contact = static_cast<SpawnObjectAction*>(
        addActionTrigger(81, SpawnObjectAction::actionType, [](io::IAttributes* k) {
            k->addInt("PoolSize", 1);
            k->addInt("ObjectID", 30);
            k->addString("SpawnMode", "Contact Point");
        })->getAction());
    step();
    ASSERT_EQ(contact->getPool().size(), 1u);
    EXPECT_EQ(contact->getPool().front()->getID(), 0) << "without a BaseID copies have no ID";
    TriggerEventInfo nowhere;
    contact->execute(nowhere);
    EXPECT_FALSE(contact->getPool().front()->isVisible()) << "a contact at the origin without an object spawns nothing";
}

// Every action of the demonstration level writes the keys it read: saved in play and loaded
// again, each trigger's and event's action has the same keys.
TEST_F(PropertySpawnActionsTest, TheDemonstrationLevelsActionsKeepTheirKeysThroughALevelFile) {
    auto collect = [this] {
        std::map<std::string, std::string> keys;
        std::function<void(scene::ISceneNode*)> walk = [&](scene::ISceneNode* node) {
            TriggerAction* action = nullptr;
            if (TriggerObject* trigger = asTrigger(node))
                action = trigger->getAction();
            else if (node->getType() == typeId("trge"))
                action = static_cast<TriggerEventObject*>(node)->getAction();
            if (action)
                keys[node->getName()] = std::string(action->getName()) + ": " + keysOf(*action);
            for (scene::ISceneNode* child : node->getChildren())
                walk(child);
        };
        walk(root());
        return keys;
    };
    ASSERT_TRUE(manager->loadLevel("Content/Levels/TriggerActionsDemo.irr"));
    step();
    const std::map<std::string, std::string> loaded = collect();
    for (const char* name : {"Start", "PlayFanfare", "RaiseLift", "DropBall", "HideBarrel", "KickCrate", "Pool",
                             "LiftView"})
        EXPECT_EQ(loaded.count(name), 1u) << name;
    EXPECT_EQ(loaded.at("Pool").rfind("Add Force: ", 0), 0u);
    EXPECT_EQ(loaded.at("LiftView").rfind("Set Camera: ", 0), 0u);
    const std::string saved = temp.file("Saved.irr");
    ASSERT_TRUE(manager->saveLevel(saved.c_str()));
    ASSERT_TRUE(manager->loadLevel(saved.c_str()));
    EXPECT_EQ(collect(), loaded);
    EXPECT_EQ(log.countStartingWith("ERROR"), 0u);
    EXPECT_EQ(log.countStartingWith("Warning"), 0u);
}

} // namespace

// The copies of a pool share their template's collision shape: the pool builds none.
TEST_F(PropertySpawnActionsTest, APoolsCopiesShareTheirTemplatesShape) {
    PhysicsObject* rock = addTemplate("Content/Models/Props/Rock.obj", "Convex");
    const auto hullOf = [](scene::ISceneNode* node) -> const phys::ConvexMesh* {
        PhysicsObject* object = asPhysicsObject(node);
        phys::ConvexMeshGeometry hull;
        return object && object->getFirstShape() && object->getFirstShape()->getConvexMeshGeometry(hull) ? hull.convexMesh
                                                                                                          : nullptr;
    };
    ASSERT_NE(hullOf(rock), nullptr);
    const std::uint64_t builds = physics->getShapeCache().buildCount();
    SpawnObjectAction* spawn = pool(5);
    step();
    ASSERT_EQ(spawn->getPool().size(), 5u);
    for (scene::ISceneNode* copy : spawn->getPool())
        EXPECT_EQ(hullOf(copy), hullOf(rock));
    EXPECT_EQ(hullOf(spawn->getLeftoverCopy()), hullOf(rock));
    EXPECT_EQ(physics->getShapeCache().buildCount(), builds);
}

// A pool's build draws a loading frame before each copy and ends at a quit, as the level
// reader does: the copies made stay, no leftover is made, one line says so.
TEST_F(PropertySpawnActionsTest, APoolsBuildDrawsLoadingFramesAndEndsAtAQuit) {
    addCrate(30, {0, 50, 0});
    int frames = 0;
    levelHooks().screens.renderLoadingFrame = [&frames] { QuitRequested = ++frames == 3; };
    SpawnObjectAction* spawn = pool(5);
    log.lines.clear();
    step();
    levelHooks().screens.renderLoadingFrame = nullptr;
    QuitRequested = false;
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(spawn->getPool().size(), 2u);
    EXPECT_EQ(spawn->getLeftoverCopy(), nullptr);
    EXPECT_FALSE(spawn->isPoolPending());
    EXPECT_EQ(log.countStartingWith("Loading stopped, the game is quitting: "), 1u);
    EXPECT_NE(manager->getSceneNodeFromID(30), nullptr) << "the template has its ID back";
}

// A copy a budget cut short (its cloth past the memory, its mesh past the triangles), plain or
// in an instance, is not kept: the pool ends with the whole copies before it.
TEST_F(PropertySpawnActionsTest, ACopyCutShortByABudgetIsNotKept) {
    struct Case {
        LoadBudget::Kind kind;
        const char* mesh;
        const char* bound;
    };
    for (const Case& c : {Case{LoadBudget::Memory, "Content/Models/Props/Cloth.obj", "Cloth"},
                          Case{LoadBudget::Triangles, "Content/Models/Props/Rock.obj", "Convex"}})
        for (s32 baseID : {0, 100}) {
            SCOPED_TRACE(std::string(LoadBudget::unitName(c.kind)) + ", BaseID " + std::to_string(baseID));
            forgetFileRefusals(); // a new level load's budget
            { LoadBudgetScope load("Pool.irr"); }
            log.lines.clear();
            const auto children = [this] {
                std::vector<scene::ISceneNode*> nodes;
                for (scene::ISceneNode* child : root()->getChildren())
                    nodes.push_back(child);
                return nodes;
            };
            const std::vector<scene::ISceneNode*> before = children();
            addTemplate(c.mesh, c.bound);
            const std::uint64_t one = loadBudget().used(c.kind);
            ASSERT_GT(one, 0u);
            loadBudget().setLimit(c.kind, one * 5 / 2); // the template, one copy and half of another
            SpawnObjectAction* spawn = pool(4, baseID);
            step();
            EXPECT_EQ(spawn->getPool().size(), 1u);
            EXPECT_EQ(spawn->getLeftoverCopy(), nullptr);
            core::array<scene::ISceneNode*> nodes;
            smgr()->getSceneNodesFromType(scene::ESNT_ANY, nodes);
            u32 objects = 0, whole = 0;
            for (u32 i = 0; i < nodes.size(); ++i)
                if (PhysicsObject* object = asPhysicsObject(nodes[i])) {
                    ++objects;
                    whole += c.kind == LoadBudget::Memory ? object->body().cloth != nullptr
                                                          : object->getMeshNode() != nullptr;
                }
            EXPECT_EQ(objects, 2u) << "the template and its one whole copy";
            EXPECT_EQ(whole, objects) << "none cut short";
            EXPECT_EQ(log.countStartingWith("ERROR: The level load reached its budget of"), 1u);
            loadBudget().setLimit(c.kind, LoadBudget::gameLimits[c.kind]);
            for (scene::ISceneNode* made : children())
                if (std::find(before.begin(), before.end(), made) == before.end())
                    made->remove();
        }
}
