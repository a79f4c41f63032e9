#pragma once

#include <irrlicht.h>

// The scale effect of a respawn: a spline through scale keys (Catmull-Rom with a
// tightness), run once from its elapsed time 0 at a number of keys per second, then
// disabled. Only the scale is animated. A disabled effect does nothing; disabling it while
// running puts the node back to its last key when its reset-on-disable switch is on.
//
// A level or checkpoint written while a reset runs holds the effect (always as disabled,
// without its keys); the game's animator factory reads it back by its type name, and the
// object's next reset takes it up again.
class RespawnScaleAnimator : public irr::scene::ISceneNodeAnimator {
public:
    // The identifier that marks the effect among a node's animators.
    static constexpr irr::s32 effectID = 99999999;
    static constexpr const char* typeName = "respawnScale";
    static irr::scene::ESCENE_NODE_ANIMATOR_TYPE typeCode();

    RespawnScaleAnimator(irr::f32 speed, irr::f32 tightness) : speed(speed), tightness(tightness) {}

    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode*, irr::scene::ISceneManager*) override {
        return nullptr; // a copy makes its own effect when it first respawns
    }
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override { return typeCode(); }
    bool hasFinished() const override { return !enabled; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    void clearKeys() { keys.clear(); }
    void addKey(const irr::core::vector3df& scale) { keys.push_back(scale); }
    const irr::core::array<irr::core::vector3df>& getKeys() const { return keys; }
    void setEnabled(bool on, irr::scene::ISceneNode* node = nullptr);
    bool isEnabled() const { return enabled; }
    void setElapsedTime(irr::f32 seconds) { elapsed = seconds; lastTimeMs = 0; started = false; }
    irr::f32 getElapsedTime() const { return elapsed; }
    // The scale at an elapsed time (the last key once the run is over).
    irr::core::vector3df scaleAt(irr::f32 seconds) const;

    irr::s32 id = 0;
    bool animateScale = true, animatePosition = false, animateRotation = false;
    bool resetOnDisable = true, disableAtEnd = true, saveDisabled = true;

private:
    irr::core::array<irr::core::vector3df> keys;
    irr::f32 speed;
    irr::f32 tightness;
    irr::f32 elapsed = 0.0f;
    irr::u32 lastTimeMs = 0;
    bool started = false;
    bool enabled = false;
};
