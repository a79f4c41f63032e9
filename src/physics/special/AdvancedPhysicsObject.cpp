// The advanced physics object: its attributes (with the door's saved poses), its clone,
// its filter words and the release of its hinge.
#include "physics/special/AdvancedPhysicsObject.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

using namespace irr;

const char* const AdvancedPhysicsObject::advancedTypeNames[] = {"Door", "TargetBlocker", nullptr};

AdvancedPhysicsObject::AdvancedPhysicsObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : PhysicsObject(parent, manager, id) {
    setPhysicsState(PhysicsState::Dynamic);
    ClipObject = false;
}

AdvancedPhysicsObject::~AdvancedPhysicsObject() { releaseHinge(); }

void AdvancedPhysicsObject::releaseHinge() {
    if (physicsManager) {
        physicsManager->releaseJoint(doorJoint, false);
        physicsManager->releaseActor(box1Actor, false);
        physicsManager->releaseActor(box2Actor, false);
    }
    doorJoint = nullptr;
    box1Actor = nullptr;
    box2Actor = nullptr;
}

void AdvancedPhysicsObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    if (!out)
        return;
    PhysicsObject::serializeAttributes(out, options);
    out->addEnum("AdvancedType", core::clamp(AdvancedType, 0, 1), advancedTypeNames);
    if (AdvancedType == Door) {
        out->addBool("DoorOpensLeft", DoorOpensLeft);
        out->addBool("DoorOpensBothWays", DoorOpensBothWays);
        if (!DoorOpensBothWays)
            out->addBool("DoorOpensIn", DoorOpensIn);
        if (!physicsManager)
            return;
        // The poses below are those of the last build: a save restores the door as it stood.
        out->addBool("UseCheckpointPos", true);
    }
    if (!physicsManager)
        return;
    out->addVector3d("Box1Position", Box1Position);
    out->addVector3d("Box1Rotation", Box1Rotation);
    out->addVector3d("Box2Position", Box2Position);
    out->addVector3d("Box2Rotation", Box2Rotation);
    out->addVector3d("JointPosition", JointPosition);
    out->addQuaternion("JointRotation", JointRotation);
}

void AdvancedPhysicsObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    // The kind first: the body build below takes its filter words from it.
    if (in->existsAttribute("AdvancedType")) {
        const s32 kind = in->getAttributeAsEnumeration("AdvancedType", advancedTypeNames);
        if (kind >= 0)
            AdvancedType = kind;
    }
    PhysicsObject::deserializeAttributes(in, options);
    if (in->existsAttribute("DoorOpensLeft"))
        DoorOpensLeft = in->getAttributeAsBool("DoorOpensLeft");
    if (in->existsAttribute("DoorOpensBothWays"))
        DoorOpensBothWays = in->getAttributeAsBool("DoorOpensBothWays");
    if (in->existsAttribute("DoorOpensIn"))
        DoorOpensIn = in->getAttributeAsBool("DoorOpensIn");
    // Doors and blockers hide what is behind them unless the level says otherwise.
    if (!ChangeBlocksVision)
        BlocksVision = true;
    if (in->existsAttribute("UseCheckpointPos"))
        UseCheckpointPos = in->getAttributeAsBool("UseCheckpointPos");
    if (UseCheckpointPos) {
        Box1Position = in->getAttributeAsVector3d("Box1Position");
        Box1Rotation = in->getAttributeAsVector3d("Box1Rotation");
        Box2Position = in->getAttributeAsVector3d("Box2Position");
        Box2Rotation = in->getAttributeAsVector3d("Box2Rotation");
        JointPosition = in->getAttributeAsVector3d("JointPosition");
        JointRotation = in->getAttributeAsQuaternion("JointRotation");
    }
    if (AdvancedType == Door)
        createDoor();
}

void AdvancedPhysicsObject::updateCollisionFilter(phys::RigidActor* target) {
    if (!target)
        return;
    const PhysicsBodySettings& b = body();
    if (getPhysicsState() == PhysicsState::Static)
        setActorFilterData(target, 0x2, 0x0FFFFF9D);
    else if (AdvancedType == Door)
        setActorFilterData(target, 0x4, 0x0FFFFFBF);
    else
        setActorFilterData(target, 0x4, 0x0FFFFF8F);
    if (b.OverrideCollisionGroup >= 1 && b.OverrideCollisionGroup <= 4)
        setActorFilterData(target, 0x10000000u << (b.OverrideCollisionGroup - 1), 0);
    if (!b.CollideWithCollisionGroups.empty()) {
        u32 bits = 0;
        for (u32 group = 1; group <= 4; ++group)
            if (b.CollideWithCollisionGroups.findFirst(static_cast<c8>('0' + group)) >= 0)
                bits |= 0x10000000u << (group - 1);
        if (bits)
            addActorFilterBits(target, bits);
    }
    if (!b.NoCollideIDs.empty())
        addActorFilterBits(target, filterUseCallback);
    target->userData = getUserData();
}

scene::ISceneNode* AdvancedPhysicsObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new AdvancedPhysicsObject(newParent, newManager, ID);
    const s32 newID = assignUniqueObjectID(copy);
    LevelObject::cloneMembers(copy, this, newManager);
    // A copy is a whole object like the physics object's copy: body settings and kind too.
    copy->AdvancedType = AdvancedType;
    copy->copyPhysicsSettings(*this);
    copy->replaceMeshNode("");
    copy->loadMesh();
    copy->DoorOpensBothWays = DoorOpensBothWays;
    copy->DoorOpensIn = DoorOpensIn;
    copy->DoorOpensLeft = DoorOpensLeft;
    PhysicsObject::findHelperNodes(this, copy);
    copy->setID(newID);
    copy->drop();
    return copy;
}

void registerAdvancedPhysicsObjectType() {
    registerSceneNodeType(levelObjectRow<AdvancedPhysicsObject>(typeId("apsx"), "AdvancedPhysicsObject"));
}
