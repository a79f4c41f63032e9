#pragma once

#include "core/ShellHooks.h"

#include <irrlicht.h>

#include <functional>
#include <vector>

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
        // The skinning constants of the object owning the drawn node (joint rows sent under
        // "mJointTransform"); answers whether it sent them. Empty: false.
        std::function<bool(irr::video::IMaterialRendererServices* services, irr::scene::ISceneNode* drawn)>
            sendJointTransforms;
    } physics;

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
        // The post-processing set-up run once after start-up (initPostProcessing).
        std::function<void()> initPostProcessing;
    } effects;
};

RenderServices& renderServices();
void resetRenderServices();
