#include "level/SceneNodeTypes.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

using namespace irr;
using scene::ESCENE_NODE_TYPE;

namespace {

struct TypeTable {
    std::unordered_map<u32, std::unique_ptr<SceneNodeTypeRow>> rows;
    std::vector<const SceneNodeTypeRow*> factoryRows;  // registration order
    std::unordered_map<u32, std::vector<u32>> kindsOf; // type -> the kinds it directly belongs to
    std::unordered_map<std::string, u32> aliases;
};

TypeTable& table() {
    static TypeTable instance;
    return instance;
}

void rebuildFactoryRows(TypeTable& t, const SceneNodeTypeRow* replaced,
                        const SceneNodeTypeRow* added) {
    for (auto it = t.factoryRows.begin(); it != t.factoryRows.end(); ++it) {
        if (*it == replaced) {
            t.factoryRows.erase(it);
            break;
        }
    }
    if (added->create && !added->typeName.empty())
        t.factoryRows.push_back(added);
}

// Kinship chains are a handful of rows deep; the limit only guards against a cycle that a
// careless registration could make.
constexpr int maxKinshipDepth = 16;

bool isKindOf(const TypeTable& t, u32 type, u32 kind, int depth) {
    if (type == kind)
        return true;
    if (depth >= maxKinshipDepth)
        return false;
    auto it = t.kindsOf.find(type);
    if (it == t.kindsOf.end())
        return false;
    for (u32 parent : it->second) {
        if (isKindOf(t, parent, kind, depth + 1))
            return true;
    }
    return false;
}

} // namespace

core::stringc typeIdText(ESCENE_NODE_TYPE type) {
    const u32 value = static_cast<u32>(type);
    char text[5];
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((value >> (8 * i)) & 0xFF);
        text[i] = (c >= 32 && c < 127) ? c : '?';
    }
    text[4] = 0;
    return text;
}

void registerSceneNodeType(const SceneNodeTypeRow& row) {
    TypeTable& t = table();
    auto& slot = t.rows[static_cast<u32>(row.type)];
    const SceneNodeTypeRow* old = slot.get();
    auto fresh = std::make_unique<SceneNodeTypeRow>(row);
    const SceneNodeTypeRow* added = fresh.get();
    std::unique_ptr<SceneNodeTypeRow> keepAlive = std::move(slot);
    slot = std::move(fresh);
    rebuildFactoryRows(t, old, added);
}

void registerTypeKinship(ESCENE_NODE_TYPE kind, ESCENE_NODE_TYPE member) {
    if (kind == member)
        return;
    auto& kinds = table().kindsOf[static_cast<u32>(member)];
    for (u32 existing : kinds) {
        if (existing == static_cast<u32>(kind))
            return;
    }
    kinds.push_back(static_cast<u32>(kind));
}

const SceneNodeTypeRow* findSceneNodeType(ESCENE_NODE_TYPE type) {
    const TypeTable& t = table();
    auto it = t.rows.find(static_cast<u32>(type));
    return it == t.rows.end() ? nullptr : it->second.get();
}

const SceneNodeTypeRow* findSceneNodeType(const char* typeName) {
    if (!typeName || !*typeName)
        return nullptr;
    for (const SceneNodeTypeRow* row : table().factoryRows) {
        if (row->typeName == typeName)
            return row;
    }
    auto alias = table().aliases.find(typeName);
    if (alias != table().aliases.end()) {
        const SceneNodeTypeRow* row =
            findSceneNodeType(static_cast<ESCENE_NODE_TYPE>(alias->second));
        if (row && row->create)
            return row;
    }
    // A file may name a type by its four characters instead of its type name.
    if (std::char_traits<char>::length(typeName) == 4) {
        const char id[5] = {typeName[0], typeName[1], typeName[2], typeName[3], 0};
        const SceneNodeTypeRow* row = findSceneNodeType(typeId(id));
        if (row && row->create)
            return row;
    }
    return nullptr;
}

const std::vector<const SceneNodeTypeRow*>& factorySceneNodeTypes() {
    return table().factoryRows;
}

bool isTypeOf(ESCENE_NODE_TYPE type, ESCENE_NODE_TYPE kind) {
    return isKindOf(table(), static_cast<u32>(type), static_cast<u32>(kind), 0);
}

void registerSceneNodeTypeAlias(const char* alias, ESCENE_NODE_TYPE type) {
    if (alias && *alias)
        table().aliases[alias] = static_cast<u32>(type);
}

void registerStandardKinship() {
    // The physics kinds: advanced physics objects, ties and characters are physics objects.
    for (ESCENE_NODE_TYPE member : {typeId("apsx"), typeId("ties"), typeId("crct")})
        registerTypeKinship(typeId("phsx"), member);
    // 'dyno' covers the player and every physics kind.
    registerTypeKinship(typeId("dyno"), typeId("plr1"));
    for (ESCENE_NODE_TYPE member : {typeId("phsx"), typeId("apsx"), typeId("ties"), typeId("crct")})
        registerTypeKinship(typeId("dyno"), member);
    // Waypoints are splines; the game camera is a camera object.
    registerTypeKinship(typeId("slne"), typeId("wayp"));
    registerTypeKinship(typeId("cmro"), typeId("mcmr"));
    // Camera volumes, conditional triggers, force volumes and checkpoints are triggers.
    for (ESCENE_NODE_TYPE member : {typeId("cmrv"), typeId("cond"), typeId("frce"), typeId("chck")})
        registerTypeKinship(typeId("trgr"), member);
}
