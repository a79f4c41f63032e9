#pragma once

#include <irrlicht.h>

// The numbers that tune how the player's body moves, and the world's gravity. They come from
// the tuning file "Content/Config/Movement.xml" (an engine attribute file whose element is
// "Game"); a key the file lacks keeps its default here. Only Gravity is read outside the
// player's body (the physics scene takes it).
struct MovementTuning {
    static constexpr const char* filePath = "Content/Config/Movement.xml";
    static constexpr int keyCount = 38;

    irr::f32 ArmSpeed = 3.5f;
    irr::f32 ArmSpeedMax = 5.0f;
    irr::f32 ArmSpeedMin = 0.4f;
    irr::f32 GrabSpeed = 6.0f;
    irr::f32 MaxTipRaiseAmount = 1.0f;
    irr::f32 MinTipRaiseAmount = -0.5f;
    irr::f32 TipRaiseAmountMult = 4.0f;
    irr::f32 ThrowThreshold = 0.05f;
    irr::f32 ThrowForce = 130.0f;
    irr::f32 MaxThrowForce = 180.0f;
    irr::f32 ArmDamping = 0.2f;
    irr::f32 LegFallSpeed = 3.85f;
    irr::f32 LegDeceleration = 0.2f;
    irr::f32 LegExtensionFalloff = 0.5f;
    irr::f32 LegRaisingSpeed = 25.0f;
    irr::f32 LegHorizontalSpeed = 10.5f;
    irr::f32 LegSpeedMax = 5.0f;
    irr::f32 LegDamping = 0.0f;
    irr::f32 TorsoUpwardForce = 5.9f;
    irr::f32 MinTorsoUpwardForce = 4.5f;
    irr::f32 TorsoDamping = 0.4f;
    irr::f32 SuspicionJetDecrementAmount = 2.0f;
    irr::f32 JetImpulseUpwardForce = 8000.0f;
    irr::f32 JetImpulseForwardForce = 4500.0f;
    irr::f32 JetContinuedUpwardForce = 2500.0f;
    irr::f32 JetContinuedForwardForce = 3000.0f;
    irr::f32 SlipPhase1Time = 0.05f;
    irr::f32 SlipPhase1HorizontalSpeed = 12605.0f;
    irr::f32 SlipPhase2Time = 0.05f;
    irr::f32 SlipPhase2TripHazardSlowPercentage = 1.75f;
    irr::f32 SlipPhase2FeetSlowPercentage = 0.25f;
    irr::f32 SlipPhase3Time = 0.05f;
    irr::core::vector3df SlipPhase3TripHazardImpulseForce{0.0f, 625.0f, 0.0f};
    irr::core::vector3df SlipPhase3FeetImpulseForce{0.0f, 1950.0f, 0.0f};
    irr::core::vector3df SlipPhase3TorsoImpulseForce{0.0f, -350.0f, 0.0f};
    irr::f32 SlipPhase4Time = 0.35f;
    irr::core::vector3df SlipPhase4TorsoForce{0.0f, 6650.0f, 0.0f};
    irr::core::vector3df Gravity{0.0f, -55.0f, 0.0f};

    // For every key in order: a key the set holds is read into its field; a key it lacks is
    // added with the field's value. Afterwards the set holds all 38 keys.
    void exchangeTuning(irr::io::IAttributes* attributes);

    // The key names in exchange order.
    static const char* keyName(int index);
};

// Reads the tuning file into a new attribute set (the caller drops it) and exchanges the
// values with it. A missing, unreadable or malformed file is no error: nothing is logged and
// every default stays.
irr::io::IAttributes* loadMovementTuning(irr::io::IFileSystem* fileSystem, MovementTuning& tuning,
                                         const char* path = MovementTuning::filePath);
