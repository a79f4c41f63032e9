#pragma once

#include "physics/objects/PhysicsObject.h"

#include <vector>

class ParticleObject;

// The collectible tie ('ties', "TieObject"): a physics object the player collects by
// grabbing it. Collecting records "TieIndex" in the save file's ties, plays the collect
// sound, starts the level's tie cutscene (object 99990000), shows the tie's own texture on
// the display object (99990003), mirrors the player onto the cutscene's figure (99990002),
// writes "collected/total" into the counter texts (99990007, 99990008), and two seconds
// later hides the tie for good and shows a small burst. In the level every tie wears the
// shared ghost texture.
class TieObject : public PhysicsObject {
public:
    static constexpr irr::s32 cutsceneID = 99990000;
    static constexpr irr::s32 figureID = 99990002;
    static constexpr irr::s32 displayID = 99990003;
    static constexpr irr::s32 counterIDs[2] = {99990007, 99990008};
    static constexpr int collectSoundEffect = 33;

    TieObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~TieObject() override;

    void OnAnimate(irr::u32 timeMs) override;
    void setVisible(bool visible) override;
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("ties"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    void notifyGrab(bool grabbed, irr::core::vector3df grabPoint) override;
    bool checkPhysicsDetail() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // The cutscene has finished: the player's own animation comes back.
    void restorePlayerAnimation();
    // Every tie that exists, in construction order.
    static const std::vector<TieObject*>& liveTies();

    ParticleObject* getParticles() const { return particles; }
    irr::video::ITexture* getTieTexture() const { return tieTexture; }

    irr::s32 TieIndex = -1;
    irr::f32 collectTimer = -1.0f;
    bool IsCollected = false;

private:
    void onCutsceneFinished();
    void mirrorPlayerOnto(PhysicsObject* figure, irr::scene::ISceneNode* cutscene);

    ParticleObject* particles = nullptr;
    irr::video::ITexture* tieTexture = nullptr;
    irr::video::ITexture* ghostTexture = nullptr;
    bool animationMirrored = false;
    bool firstFrame = true;
    irr::s32 savedStartFrame = 0, savedEndFrame = 0;
};

// Registers the "TieObject" row of the scene-node factory.
void registerTieObjectType();
