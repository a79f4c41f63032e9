#include "level/MarkerObject.h"

using namespace irr;

const c8* const MarkerObject::segmentNames[] = {
    "Head",  "Head Collider", "Torso", "Hips",  "LArm1", "LArm2", "LArm3", "LArm4", "LArm5",
    "LArm6", "LLeg1",         "LLeg2", "LLeg3", "LFoot", "RArm1", "RArm2", "RArm3", "RArm4",
    "RArm5", "RArm6",         "RLeg1", "RLeg2", "RLeg3", "RFoot", nullptr};

void MarkerObject::serializeAttributes(io::IAttributes* out,
                                       io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    if (SegmentID >= 0 && SegmentID < segmentCount)
        out->addEnum("SegmentID", segmentNames[SegmentID], segmentNames);
    else
        out->addInt("SegmentID", SegmentID);
}

void MarkerObject::deserializeAttributes(io::IAttributes* in,
                                         io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    const s32 found = in ? in->findAttribute("SegmentID") : -1;
    if (found < 0)
        return;
    if (in->getAttributeType(found) == io::EAT_INT) {
        SegmentID = in->getAttributeAsInt(found);
        return;
    }
    const s32 index = in->getAttributeAsEnumeration(found, segmentNames);
    if (index >= 0)
        SegmentID = index;
}

scene::ISceneNode* MarkerObject::clone(scene::ISceneNode* newParent,
                                       scene::ISceneManager* newManager) {
    return cloneAs<MarkerObject>(newParent, newManager);
}

MarkerPose MarkerObject::getPoseRelativeTo(const MarkerObject* marker) {
    MarkerPose pose;
    scene::ISceneNode* parent = marker ? marker->getParent() : nullptr;
    if (!parent || !isTypeOf(parent->getType(), typeId("phsx")))
        return pose;
    pose.rotation = core::quaternion(marker->getRotation() * 0.01745f);
    pose.position = marker->getPosition() * parent->getScale();
    return pose;
}
