#include "level/NodeHelpers.h"

#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "level/SceneNodeTypes.h"
#include "level/SubLevelObject.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"

using namespace irr;
using scene::ESCENE_NODE_TYPE;
using scene::ISceneNode;

namespace {

ISceneNode* sceneRootOf(ISceneNode* node) {
    scene::ISceneManager* manager = node ? node->getSceneManager() : nullptr;
    return manager ? manager->getRootSceneNode() : nullptr;
}

template <class Match> ISceneNode* walkUp(ISceneNode* node, Match match) {
    ISceneNode* root = sceneRootOf(node);
    for (ISceneNode* current = node; current && current != root; current = current->getParent()) {
        if (match(current))
            return current;
    }
    return nullptr;
}

bool hasTypeIn(ISceneNode* node, std::initializer_list<ESCENE_NODE_TYPE> types) {
    if (!node)
        return false;
    const ESCENE_NODE_TYPE type = node->getType();
    for (ESCENE_NODE_TYPE t : types) {
        if (t == type)
            return true;
    }
    return false;
}

} // namespace

ISceneNode* asType(ISceneNode* node, ESCENE_NODE_TYPE kind) {
    return (node && isTypeOf(node->getType(), kind)) ? node : nullptr;
}

ISceneNode* findAncestorOfKind(ISceneNode* node, ESCENE_NODE_TYPE kind) {
    return walkUp(node, [kind](ISceneNode* n) { return isTypeOf(n->getType(), kind); });
}

ISceneNode* findAncestorOfKindUp(ISceneNode* node, ESCENE_NODE_TYPE kind) {
    if (!node)
        return nullptr;
    ISceneNode* root = sceneRootOf(node);
    for (ISceneNode* current = node->getParent(); current && current != root;
         current = current->getParent()) {
        if (isTypeOf(current->getType(), kind))
            return current;
    }
    return nullptr;
}

ISceneNode* findAncestorOfType(ISceneNode* node, ESCENE_NODE_TYPE type) {
    return walkUp(node, [type](ISceneNode* n) { return n->getType() == type; });
}

SubLevelObject* findSublevelAncestor(ISceneNode* node) {
    return static_cast<SubLevelObject*>(findAncestorOfType(node, typeId("slvl")));
}

void animateChildren(ISceneNode* node, u32 timeMs) {
    if (!node || node->getChildren().empty())
        return;
    // Main thread only; a child's walk pushes its own children above these.
    thread_local std::vector<ISceneNode*> held;
    const std::size_t first = held.size();
    for (ISceneNode* child : node->getChildren()) {
        child->grab();
        held.push_back(child);
    }
    const std::size_t end = held.size();
    for (std::size_t i = first; i < end; ++i) {
        ISceneNode* child = held[i];
        if (child->getParent() == node)
            child->OnAnimate(timeMs);
        child->drop();
    }
    held.resize(first);
}

bool isVisibleInHierarchy(ISceneNode* node) {
    if (!node)
        return false;
    for (ISceneNode* current = node; current; current = current->getParent()) {
        if (!current->isVisible())
            return false;
    }
    return true;
}

void updateTransformsRecursive(ISceneNode* node) {
    if (!node)
        return;
    node->updateAbsolutePosition();
    for (ISceneNode* child : node->getChildren())
        updateTransformsRecursive(child);
}

bool isPhysicalNode(ISceneNode* node) {
    return hasTypeIn(node, {typeId("phsx"), typeId("apsx"), typeId("ties"), typeId("crct"),
                            typeId("arms"), typeId("legs"), typeId("plr1")});
}

bool isPlayerBodyPart(ISceneNode* node) {
    return hasTypeIn(node, {typeId("arms"), typeId("legs"), typeId("plr1")});
}

core::stringc getNodeDisplayName(ISceneNode* node) {
    if (!node)
        return "(no node)";
    if (node->getName()[0] != 0)
        return node->getName();
    core::stringc name;
    const ESCENE_NODE_TYPE type = node->getType();
    const SceneNodeTypeRow* row = findSceneNodeType(type);
    if (row && !row->typeName.empty()) {
        name = row->typeName;
    } else if (scene::ISceneManager* manager = node->getSceneManager()) {
        const c8* engineName = manager->getSceneNodeTypeName(type);
        name = engineName ? engineName : typeIdText(type).c_str();
    } else {
        name = typeIdText(type);
    }
    name += " (";
    name += node->getID();
    name += ")";
    return name;
}

s32 assignUniqueObjectID(ISceneNode* node) {
    if (!node)
        return 0;
    if (isSimulationActive())
        return 0;
    const s32 id = node->getID();
    if (id == 0 || id == -1 || !levelManager)
        return id;
    levelManager->giveUniqueID(node);
    return node->getID();
}

ISceneNode* findLevelObjectOfType(s32 id, ESCENE_NODE_TYPE kind) {
    if (!levelManager)
        return nullptr;
    return asType(levelManager->getSceneNodeFromID(id), kind);
}
