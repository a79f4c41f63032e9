#pragma once

#include <irrlicht.h>

#include <functional>
#include <vector>

// The four-letter type identifiers of scene nodes and the program's type table.
//
// Every level object reports its type as four characters packed into 32 bits in the
// engine's manner ('phsx', 'trgr', ...). The table holds one row per type a subsystem
// registers (its factory type name and how to create it) and the kinship rows that say
// which type is a kind of which ('apsx' is a kind of 'phsx'). Each subsystem registers its
// rows at start-up; nothing here knows their classes.
//
// Some identifiers are the engine's own as well ('emty' is also the engine's empty node,
// 'lght' its light, 'text' its text node): a type identifier alone does not prove that a
// node is one of the program's classes.

// typeId("phsx") packs the four characters like the engine's MAKE_IRR_ID.
constexpr irr::scene::ESCENE_NODE_TYPE typeId(const char (&name)[5]) {
    return static_cast<irr::scene::ESCENE_NODE_TYPE>(
        static_cast<irr::u32>(static_cast<irr::u8>(name[0])) |
        (static_cast<irr::u32>(static_cast<irr::u8>(name[1])) << 8) |
        (static_cast<irr::u32>(static_cast<irr::u8>(name[2])) << 16) |
        (static_cast<irr::u32>(static_cast<irr::u8>(name[3])) << 24));
}

// The four characters of a type identifier, for log lines and file names.
irr::core::stringc typeIdText(irr::scene::ESCENE_NODE_TYPE type);

// Makes a node of the row's type under the parent (never null: the factory passes the
// scene root when a file names no parent). The parent holds the node; the function keeps
// no reference of its own.
using SceneNodeCreateFunction = std::function<irr::scene::ISceneNode*(
    irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager)>;

struct SceneNodeTypeRow {
    irr::scene::ESCENE_NODE_TYPE type = irr::scene::ESNT_UNKNOWN;
    irr::core::stringc typeName;    // factory type name; empty: not made by the factory
    SceneNodeCreateFunction create; // empty: not made by the factory
};

// Adds a row, or replaces the row of the same type.
void registerSceneNodeType(const SceneNodeTypeRow& row);
// Records that `member` is a kind of `kind` ('apsx' is a kind of 'phsx').
void registerTypeKinship(irr::scene::ESCENE_NODE_TYPE kind, irr::scene::ESCENE_NODE_TYPE member);

// The row of a type, or null.
const SceneNodeTypeRow* findSceneNodeType(irr::scene::ESCENE_NODE_TYPE type);
// The row whose factory type name (or alias) is the name, or whose four characters are
// the name.
const SceneNodeTypeRow* findSceneNodeType(const char* typeName);
// Another name under which files may name a registered type (the engine's "empty" for
// 'emty').
void registerSceneNodeTypeAlias(const char* alias, irr::scene::ESCENE_NODE_TYPE type);
// Every row that the factory can make, in registration order.
const std::vector<const SceneNodeTypeRow*>& factorySceneNodeTypes();

// True when `type` equals `kind` or is a kind of it through the kinship rows (the
// relation is transitive: 'apsx' is a kind of 'phsx', which is a kind of 'dyno').
bool isTypeOf(irr::scene::ESCENE_NODE_TYPE type, irr::scene::ESCENE_NODE_TYPE kind);

// The kinship rows every subsystem relies on, registered once at start-up together with
// the level subsystem's own rows (registerLevelObjectTypes).
void registerStandardKinship();

// A row for a level-object class T constructed as T(parent, manager, id): the factory
// makes it with ID -1 and the level file then sets its attributes.
template <class T>
SceneNodeTypeRow levelObjectRow(irr::scene::ESCENE_NODE_TYPE type, const char* typeName) {
    SceneNodeTypeRow row;
    row.type = type;
    row.typeName = typeName;
    row.create = [](irr::scene::ISceneNode* parent,
                    irr::scene::ISceneManager* manager) -> irr::scene::ISceneNode* {
        T* node = new T(parent, manager, -1);
        node->drop();
        return node;
    };
    return row;
}
