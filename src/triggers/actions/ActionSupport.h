#pragma once

#include <irrlicht.h>

#include <vector>

class PhysicsObject;
class TriggerAction;

// Small helpers the trigger actions share.
namespace triggerActions {

// The level object of the ID through the level manager (null without one, and for 0 and
// -1; an ID nobody has is logged by the lookup).
irr::scene::ISceneNode* findObjectByID(irr::s32 id);
// The object as a physics object when it is one of the physics kinds ('phsx', 'apsx',
// 'ties', 'crct'), else null.
PhysicsObject* physicsKind(irr::scene::ISceneNode* node);
// The type id of the trigger the action acts for, 0 without one.
irr::scene::ESCENE_NODE_TYPE ownerType(const TriggerAction& action);

// An enumeration written by its name (a value outside the table writes the first name).
void addEnumByIndex(irr::io::IAttributes* out, const char* key, irr::s32 value, const char* const* names);
// An enumeration read by its name when present: the index of the name, -1 for a name
// outside the table. False (value unchanged) when the key is absent.
bool readEnumByName(irr::io::IAttributes* in, const char* key, const char* const* names, irr::s32& value);
// The same, but a name outside the table leaves the value as it is; true when it was read.
inline bool readKnownEnum(irr::io::IAttributes* in, const char* key, const char* const* names, irr::s32& value) {
    irr::s32 read = -1;
    if (!in || !readEnumByName(in, key, names, read) || read < 0)
        return false;
    value = read;
    return true;
}

// Appends the objects an object-ID expression names (nothing for an empty text).
void appendExpressionTargets(const irr::core::stringc& expression, std::vector<irr::scene::ISceneNode*>& targets);

// Euler angles in degrees of a rotation quaternion (the engine's conversion).
irr::core::vector3df quaternionToDegrees(const irr::core::quaternion& rotation, irr::f32 factor);

} // namespace triggerActions
