#include "level/SceneNodeBase.h"

#include "level/AttributeExtras.h"
#include "level/DrawnTriangles.h"

#include <unordered_map>

using namespace irr;

u32 levelAnimateFrame = 0;

namespace {

std::unordered_map<const scene::ISceneNode*, SceneNodeExtras*>& extrasRegistry() {
    static std::unordered_map<const scene::ISceneNode*, SceneNodeExtras*> registry;
    return registry;
}

} // namespace

SceneNodeExtras* extrasOf(scene::ISceneNode* node) {
    if (!node)
        return nullptr;
    const auto& registry = extrasRegistry();
    auto it = registry.find(node);
    return it == registry.end() ? nullptr : it->second;
}

void registerSceneNodeExtras(scene::ISceneNode* node, SceneNodeExtras* extras) {
    extrasRegistry()[node] = extras;
}

void unregisterSceneNodeExtras(scene::ISceneNode* node) {
    extrasRegistry().erase(node);
}

bool isExactlyIdentity(const core::matrix4& m) {
    for (int i = 0; i < 16; ++i) {
        const f32 expected = (i % 5 == 0) ? 1.0f : 0.0f;
        if (!(m[i] == expected))
            return false;
    }
    return true;
}

core::matrix4 parentTransformOf(scene::ISceneNode* node) {
    if (!node)
        return core::IdentityMatrix;
    if (SceneNodeExtras* extras = extrasOf(node))
        return extras->getParentAbsoluteTransformation();
    scene::ISceneNode* parent = node->getParent();
    return parent ? parent->getAbsoluteTransformation() : core::IdentityMatrix;
}

bool isVisibleInEditor(scene::ISceneNode* node) {
    SceneNodeExtras* extras = extrasOf(node);
    return extras ? extras->isVisibleInEditor() : true;
}

bool isPickable(scene::ISceneNode* node) {
    SceneNodeExtras* extras = extrasOf(node);
    return extras ? extras->isPickable() : true;
}

namespace {

// Index of a single culling flag in the engine's name table (0 is "false").
int cullingNameIndex(u32 culling) {
    if (culling == 0)
        return 0;
    for (int i = 0; i < 4; ++i) {
        if (culling == (1u << i))
            return i + 1;
    }
    return -1;
}

} // namespace

void addCullingAttribute(io::IAttributes* out, const char* name, u32 culling) {
    const int index = cullingNameIndex(culling);
    if (index >= 0)
        out->addEnum(name, scene::AutomaticCullingNames[index], scene::AutomaticCullingNames);
    else
        out->addInt(name, static_cast<s32>(culling));
}

bool readCullingAttribute(io::IAttributes* in, const char* name, u32& culling) {
    const s32 found = in->findAttribute(name);
    if (found < 0)
        return false;
    if (in->getAttributeType(found) == io::EAT_INT) {
        culling = static_cast<u32>(in->getAttributeAsInt(found));
        return true;
    }
    const s32 index = in->getAttributeAsEnumeration(found, scene::AutomaticCullingNames);
    if (index < 0)
        return false;
    culling = index == 0 ? 0u : (1u << (index - 1));
    return true;
}

void writeSceneNodeKeys(const scene::ISceneNode* node, const SceneNodeExtras* extras,
                        io::IAttributes* out) {
    if (!node || !out)
        return;
    out->addString("Name", node->getName());
    out->addInt("Id", node->getID());
    out->addVector3d("Position", node->getPosition());
    out->addVector3d("Rotation", node->getRotation());
    out->addVector3d("Scale", node->getScale());
    out->addBool("Visible", node->isVisible());
    out->addBool("VisibleInEditor", extras ? extras->isVisibleInEditor() : true);
    addCullingAttribute(out, "AutomaticCulling", node->getAutomaticCulling());
    out->addInt("DebugDataVisible", static_cast<s32>(node->isDebugDataVisible()));
    out->addBool("IsDebugObject", node->isDebugObject());
    out->addBool("Pickable", extras ? extras->isPickable() : true);
}

void readSceneNodeKeys(scene::ISceneNode* node, SceneNodeExtras* extras, io::IAttributes* in) {
    if (!node || !in)
        return;
    readNodeTransformKeys(node, in);
    bool flag = false;
    if (extras && readIfPresent(in, "VisibleInEditor", flag))
        extras->setVisibleInEditor(flag);
    u32 culling = 0;
    if (readCullingAttribute(in, "AutomaticCulling", culling))
        node->setAutomaticCulling(culling);
    s32 debugData = 0;
    if (readIfPresent(in, "DebugDataVisible", debugData))
        node->setDebugDataVisible(static_cast<u32>(debugData));
    if (readIfPresent(in, "IsDebugObject", flag))
        node->setIsDebugObject(flag);
    if (extras && readIfPresent(in, "Pickable", flag))
        extras->setPickable(flag);
}

void readNodeTransformKeys(scene::ISceneNode* node, io::IAttributes* in) {
    core::stringc name;
    if (readIfPresent(in, "Name", name))
        node->setName(name);
    s32 id = 0;
    if (readIfPresent(in, "Id", id))
        node->setID(id);
    core::vector3df v;
    if (readIfPresent(in, "Position", v))
        node->setPosition(v);
    if (readIfPresent(in, "Rotation", v))
        node->setRotation(v);
    if (readIfPresent(in, "Scale", v))
        node->setScale(v);
    bool visible = true;
    if (readIfPresent(in, "Visible", visible))
        node->setVisible(visible);
}

void cloneSceneNodeMembers(scene::ISceneNode* copy, scene::ISceneNode* source,
                           scene::ISceneManager* manager) {
    if (!copy || !source || copy == source)
        return;
    if (!manager)
        manager = source->getSceneManager();
    copy->setName(source->getName());
    copy->setPosition(source->getPosition());
    copy->setRotation(source->getRotation());
    copy->setScale(source->getScale());
    copy->setVisible(source->isVisible());
    copy->setIsDebugObject(source->isDebugObject());
    copy->setDebugDataVisible(source->isDebugDataVisible());
    copy->setAutomaticCulling(source->getAutomaticCulling());
    copy->setID(source->getID());
    SceneNodeExtras* from = extrasOf(source);
    SceneNodeExtras* to = extrasOf(copy);
    if (from && to) {
        to->setVisibleInEditor(from->isVisibleInEditor());
        to->setPickable(from->isPickable());
    }
    copy->updateAbsolutePosition();

    // A child may be cloned into the copy while we walk; walk a snapshot.
    std::vector<scene::ISceneNode*> children;
    for (scene::ISceneNode* child : source->getChildren())
        children.push_back(child);
    for (scene::ISceneNode* child : children) {
        if (child->isDebugObject())
            continue;
        // A copied mesh draws its triangles again: past the level's it is left out.
        scene::ISceneNode* cloned = child->clone(copy, manager);
        if (cloned && !chargeDrawnTriangles(cloned))
            cloned->remove();
    }
    for (scene::ISceneNodeAnimator* animator : source->getAnimators()) {
        scene::ISceneNodeAnimator* clone = animator->createClone(copy, manager);
        if (clone) {
            copy->addAnimator(clone);
            clone->drop();
        }
    }
}
