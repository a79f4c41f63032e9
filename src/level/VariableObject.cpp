#include "level/VariableObject.h"

#include "level/AttributeExtras.h"

using namespace irr;

void VariableObject::serializeAttributes(io::IAttributes* out,
                                         io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    out->addFloat("Value", Value);
}

void VariableObject::deserializeAttributes(io::IAttributes* in,
                                           io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    readIfPresent(in, "Value", Value);
}

scene::ISceneNode* VariableObject::clone(scene::ISceneNode* newParent,
                                         scene::ISceneManager* newManager) {
    return cloneAs<VariableObject>(newParent, newManager);
}
