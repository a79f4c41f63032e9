#pragma once

#include <irrlicht.h>

// Walks and tests over the scene graph that every subsystem uses. The type tests go
// through the type table (SceneNodeTypes.h): "kind" accepts the type and every type that
// is a kind of it, "type" compares exactly.

class SubLevelObject;

// The node when its type is the wanted one or a kind of it, else null (null for null).
irr::scene::ISceneNode* asType(irr::scene::ISceneNode* node, irr::scene::ESCENE_NODE_TYPE kind);

// The nearest node, the node itself first and then its parents, whose type is the kind or
// a kind of it; null for a null node or on reaching the scene root.
irr::scene::ISceneNode* findAncestorOfKind(irr::scene::ISceneNode* node,
                                           irr::scene::ESCENE_NODE_TYPE kind);
// The same walk starting with the node's parent.
irr::scene::ISceneNode* findAncestorOfKindUp(irr::scene::ISceneNode* node,
                                             irr::scene::ESCENE_NODE_TYPE kind);
// The nearest node, the node itself first, whose type equals the type exactly; null on
// reaching the scene root.
irr::scene::ISceneNode* findAncestorOfType(irr::scene::ISceneNode* node,
                                           irr::scene::ESCENE_NODE_TYPE type);
// The nearest sublevel ('slvl'), the node itself first, below the scene root; or null.
SubLevelObject* findSublevelAncestor(irr::scene::ISceneNode* node);

// Runs OnAnimate on each child of the node that is still its child when its turn comes (an
// animation may remove children). The children are held (grabbed) meanwhile on one stack
// that every level of the walk shares and that only grows: a steady frame allocates nothing.
void animateChildren(irr::scene::ISceneNode* node, irr::u32 timeMs);

// True when the node and all its ancestors are visible (false for null).
bool isVisibleInHierarchy(irr::scene::ISceneNode* node);
// Updates the node's absolute transformation, then every child's, depth first.
void updateTransformsRecursive(irr::scene::ISceneNode* node);

// 'phsx', 'apsx', 'ties', 'crct', 'arms', 'legs' or 'plr1'.
bool isPhysicalNode(irr::scene::ISceneNode* node);
// 'arms', 'legs' or 'plr1'.
bool isPlayerBodyPart(irr::scene::ISceneNode* node);

// The node's name; for a node without a name the factory type name of its type followed
// by its object ID in parentheses, e.g. "PhysicsObject (12)". Never fails.
irr::core::stringc getNodeDisplayName(irr::scene::ISceneNode* node);

// While the simulation is active (always in play) this changes nothing and answers 0, so
// copies made in play carry ID 0. Otherwise a node whose ID is neither 0 nor -1 gets the
// first ID at or above its own that the level's ID map does not hold, the ID map is
// rebuilt from the scene, and the node's ID is answered.
irr::s32 assignUniqueObjectID(irr::scene::ISceneNode* node);

// The level object of the ID when its type is the wanted one or a kind of it, else null
// (the lookup logs an unknown ID like LevelManager::getSceneNodeFromID).
irr::scene::ISceneNode* findLevelObjectOfType(irr::s32 id, irr::scene::ESCENE_NODE_TYPE kind);
