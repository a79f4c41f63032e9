#include "level/DataBinding.h"

#include "level/LevelHooks.h"

#include <irrlicht.h>

#include <cstring>

using namespace irr;

bool applyBoundValue(scene::ISceneNode* target, const char* property, const wchar_t* value) {
    const auto& rebuildMesh = levelHooks().render.rebuildTextMesh;
    if (!target || !property || !value || !rebuildMesh)
        return false;
    if (std::strcmp(property, "Text") != 0 ||
        target->getType() != static_cast<scene::ESCENE_NODE_TYPE>(MAKE_IRR_ID('t', 'e', 'x', 't')))
        return false;
    rebuildMesh(target, value);
    return true;
}
