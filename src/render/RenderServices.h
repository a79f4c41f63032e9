#pragma once

#include "core/SlotCalls.h"

#include <irrlicht.h>

#include <functional>
#include <vector>

class CharacterTextureSource;

// What the shader constants read of the physics object (or player object) behind a drawn
// node; the defaults are those of a node without such an object.
struct ShadedObjectState {
    irr::f32 alpha = 1.0f;              // AlphaOverride x run-time fade
    irr::f32 pulsePhase = 0.0f;         // 0..1, run down and wrapped by the object
    irr::s32 highlightMode = 0;         // 0 none, 1..6
    irr::f32 highlightFlashTime = 0.0f; // seconds left (mode 5)
    bool receiveShadow = true;
    bool rimShading = false;
    bool hasReflectionView = false; // reflective objects only
    irr::core::matrix4 reflectionView;
};

// Calls from the rendering subsystem into subsystems that are built after it (cameras,
// physics objects, the screen manager) and into the later shares of rendering itself. Each
// one fills its slots in its registration function at start-up; an empty slot does nothing
// or answers the default written beside it. Tests fill them with recorders and call
// resetRenderServices() afterwards.
struct RenderServices {
    struct Cameras {
        // The camera a viewport's camera manager shows: its debug camera while its free-camera
        // mode is on and one exists, else its main camera; null when it has neither or there
        // is no camera manager for the viewport. Empty: null.
        std::function<irr::scene::ICameraSceneNode*(irr::s32 viewport)> viewportCamera;
    } cameras;

    struct Physics {
        // A physics object ('phsx', 'apsx', 'ties', 'crct') whose physics state is not
        // Static. Empty: false.
        std::function<bool(irr::scene::ISceneNode* object)> isMoving;
        // The point of the object's instance record while it is drawn instanced (its instance
        // count is not 0). Empty: false.
        std::function<bool(irr::scene::ISceneNode* object, irr::core::vector3df& point)> instancePoint;
        // The object tracks its skinning joints (joint-tracking flag set and more than one
        // skinning joint). Empty: false.
        std::function<bool(irr::scene::ISceneNode* object)> tracksJoints;
        // The listener list of a physics or player object after its animated mesh was drawn.
        std::function<void(irr::scene::ISceneNode* object)> meshRendered;
        // The instance transforms of the object owning a drawn node: the mesh node's absolute
        // transformation first, then one per registered instance (zero for an invisible one).
        // Answers false when the node has no owning object or the object no instance.
        std::function<bool(irr::scene::ISceneNode* drawn, std::vector<irr::core::matrix4>& out)>
            instanceTransforms;
        // The joint rows (75 slots of three float4 rows) of a physics or player object after
        // its forced animation update, and its hardware joint count; null when it keeps none.
        // Empty: null (the drawn node's own mesh is asked instead).
        std::function<const irr::f32*(irr::scene::ISceneNode* object, irr::u32& hardwareJoints)> jointRows;
        // What the shader constants read of a physics or player object. Empty: false (the
        // defaults of ShadedObjectState).
        std::function<bool(irr::scene::ISceneNode* object, ShadedObjectState& state)> shadingState;
        // The object is drawn as an instance of another physics object (its own mesh node is
        // drawn by the other's instanced node). Empty: false.
        std::function<bool(irr::scene::ISceneNode* object)> isDrawnAsInstance;
    } physics;

    struct Players {
        // The textures of the first local player's character for the compositing. Empty (the
        // player list is never filled here): null, nothing is composed.
        std::function<CharacterTextureSource*()> firstPlayer;
        // The colour of the controls steering a limb (0 right arm, 1 left leg, 2 right leg,
        // 3 left arm); false when no controls steer it. Empty: false.
        std::function<bool(irr::s32 limb, irr::video::SColor& colour)> limbControlsColour;
    } players;

    struct Screens {
        // The screen manager redraws its loading overlay when one is showing.
        std::function<void()> renderLoadingFrame;
    } screens;

    struct Effects {
        // The depth pass and the post-processing chain of the frame (the later shares of
        // rendering). The chain gets the number of effects and the final output.
        std::function<void()> renderDepthPass;
        std::function<void(irr::u32 effects, irr::video::ITexture* output)> renderPostProcessChain;
        // The thumbnail writer, with the folder and the name.
        std::function<void(const irr::io::path& folder, const irr::io::path& name)> writeThumbnail;
        // The Phong shadow constants of the scene pass (updateShadowConstants).
        std::function<void()> updateShadowConstants;
        // The head-mounted-display pass draws both eyes with the active camera when its output
        // exists; answers whether it did. Empty: false (the scene pass draws).
        std::function<bool()> renderHmdEyes;
    } effects;
};

RenderServices& renderServices();
void resetRenderServices();
