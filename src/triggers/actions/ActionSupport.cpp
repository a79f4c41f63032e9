#include "triggers/actions/ActionSupport.h"

#include "core/Globals.h"
#include "level/LevelManager.h"
#include "physics/objects/PhysicsObject.h"
#include "triggers/ObjectIDExpression.h"
#include "triggers/TriggerAction.h"
#include "triggers/TriggerObject.h"

using namespace irr;

namespace triggerActions {

scene::ISceneNode* findObjectByID(s32 id) { return levelManager ? levelManager->getSceneNodeFromID(id) : nullptr; }

PhysicsObject* physicsKind(scene::ISceneNode* node) {
    return isHoldableKind(node) ? static_cast<PhysicsObject*>(node) : nullptr;
}

scene::ESCENE_NODE_TYPE ownerType(const TriggerAction& action) {
    return action.trigger ? action.trigger->getType() : static_cast<scene::ESCENE_NODE_TYPE>(0);
}

void addEnumByIndex(io::IAttributes* out, const char* key, s32 value, const char* const* names) {
    s32 count = 0;
    while (names[count])
        ++count;
    out->addEnum(key, names[value >= 0 && value < count ? value : 0], names);
}

bool readEnumByName(io::IAttributes* in, const char* key, const char* const* names, s32& value) {
    if (!in->existsAttribute(key))
        return false;
    const core::stringc name = in->getAttributeAsString(key);
    value = -1;
    for (s32 i = 0; names[i]; ++i)
        if (name == names[i]) {
            value = i;
            break;
        }
    return true;
}

void appendExpressionTargets(const core::stringc& expression, std::vector<scene::ISceneNode*>& targets) {
    if (expression.empty())
        return;
    if (std::unique_ptr<ExpressionNode> tree = parseObjectIDExpression(expression))
        collectExpressionNodes(tree.get(), targets);
}

core::vector3df quaternionToDegrees(const core::quaternion& rotation, f32 factor) {
    core::vector3df euler;
    rotation.toEuler(euler);
    return euler * factor;
}

} // namespace triggerActions
