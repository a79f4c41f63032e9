#include "physics/objects/RespawnScaleAnimator.h"

#include "level/SceneNodeTypes.h"

using namespace irr;

scene::ESCENE_NODE_ANIMATOR_TYPE RespawnScaleAnimator::typeCode() {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(MAKE_IRR_ID('r', 's', 'c', 'l'));
}

core::vector3df RespawnScaleAnimator::scaleAt(f32 seconds) const {
    const s32 count = static_cast<s32>(keys.size());
    if (count == 0)
        return core::vector3df(1.0f, 1.0f, 1.0f);
    const f32 position = seconds * speed;
    const s32 index = static_cast<s32>(position);
    if (index >= count - 1)
        return keys[count - 1];
    auto key = [&](s32 i) { return keys[core::clamp(i, 0, count - 1)]; };
    const f32 u = position - static_cast<f32>(index);
    const core::vector3df p0 = key(index - 1), p1 = key(index), p2 = key(index + 1), p3 = key(index + 2);
    const core::vector3df t1 = (p2 - p0) * tightness, t2 = (p3 - p1) * tightness;
    const f32 u2 = u * u, u3 = u2 * u;
    const f32 h1 = 2.0f * u3 - 3.0f * u2 + 1.0f, h2 = -2.0f * u3 + 3.0f * u2, h3 = u3 - 2.0f * u2 + u, h4 = u3 - u2;
    return p1 * h1 + p2 * h2 + t1 * h3 + t2 * h4;
}

void RespawnScaleAnimator::animateNode(scene::ISceneNode* node, u32 timeMs) {
    if (!enabled || !node || keys.empty())
        return;
    if (started && timeMs > lastTimeMs)
        elapsed += static_cast<f32>(timeMs - lastTimeMs) * 0.001f;
    started = true;
    lastTimeMs = timeMs;
    if (animateScale)
        node->setScale(scaleAt(elapsed));
    if (disableAtEnd && elapsed * speed >= static_cast<f32>(keys.size() - 1))
        enabled = false;
}

void RespawnScaleAnimator::setEnabled(bool on, scene::ISceneNode* node) {
    if (enabled && !on && resetOnDisable && node && !keys.empty() && animateScale)
        node->setScale(keys[keys.size() - 1]);
    enabled = on;
}

void RespawnScaleAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    out->addInt("ID", id);
    out->addBool("Enabled", saveDisabled ? false : enabled);
    out->addFloat("Speed", speed);
    out->addFloat("Tightness", tightness);
}

void RespawnScaleAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    id = in->getAttributeAsInt("ID");
    enabled = in->getAttributeAsBool("Enabled");
    if (in->existsAttribute("Speed"))
        speed = in->getAttributeAsFloat("Speed");
    if (in->existsAttribute("Tightness"))
        tightness = in->getAttributeAsFloat("Tightness");
}
