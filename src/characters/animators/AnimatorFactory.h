#pragma once

#include <irrlicht.h>

// The engine animator factory of the game's fifteen animator types and of the physics
// objects' respawn effect ("respawnScale", which a level saved during a reset holds): the
// scene loader asks it (before the engine's default factory) for each animator a level file
// names, by type name; code may ask by type id. One instance lives from start-up to shutdown
// behind the global `animatorFactory`; its constructor registers it with the scene manager.
class AnimatorFactory : public irr::scene::ISceneNodeAnimatorFactory {
public:
    explicit AnimatorFactory(irr::scene::ISceneManager* manager);

    // By name: the type of the name (exact, case-sensitive), else null.
    irr::scene::ISceneNodeAnimator* createSceneNodeAnimator(const irr::c8* typeName,
                                                            irr::scene::ISceneNode* target) override;
    // A new animator of the type with its defaults (null outside 1000..1014 and the respawn
    // effect's type), added to the target when there is one. The caller owns the reference
    // of its creation.
    irr::scene::ISceneNodeAnimator* createSceneNodeAnimator(irr::scene::ESCENE_NODE_ANIMATOR_TYPE type,
                                                            irr::scene::ISceneNode* target) override;
    irr::u32 getCreatableSceneNodeAnimatorTypeCount() const override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getCreateableSceneNodeAnimatorType(irr::u32 index) const override;
    irr::scene::ISceneNodeAnimator* createSceneNodeAnimator(irr::s32 type, irr::scene::ISceneNode* target) {
        return createSceneNodeAnimator(static_cast<irr::scene::ESCENE_NODE_ANIMATOR_TYPE>(type), target);
    }
    // The name at the index (the caller keeps the index below the count).
    const irr::c8* getCreateableSceneNodeAnimatorTypeName(irr::u32 index) const override;
    // The respawn effect's name; types from 1000 from the table (null beyond it); lower ones
    // from the engine's default factory.
    const irr::c8* getCreateableSceneNodeAnimatorTypeName(irr::scene::ESCENE_NODE_ANIMATOR_TYPE type) const override;

private:
    irr::scene::ISceneManager* manager; // not held
};
