#pragma once

#include <irrTypes.h>

namespace irr {
class IrrlichtDevice;
}

class EffectHandler;

// The render managers' making and ending where more than a constructor and a delete is due:
// the shell runs them at their places in its start-up and shutdown orders.

// What start-up sets on the effect handler right after creating it, in this order, before
// EffectHandler::initPostProcessing.
struct EffectHandlerSetup {
    irr::u32 clearColour = 0xFFC8C8C8;
    bool shadowsEnabled = false; // kept off where the driver lacks the shader effects
    irr::s32 shadowDistanceMode = 0;
    bool renderCallbacksEnabled = false;
    bool ssaoEnabled = false;
};

// EffectHandler(device, screen render-target size (0, 0)), the setup, the headset output and
// initPostProcessing; the handler is the program's effectHandler from before its post
// processing starts.
EffectHandler* createEffectHandler(irr::IrrlichtDevice* device, const EffectHandlerSetup& setup);
// Leaves the level manager's level-unloaded list, ends the headset output and deletes the
// handler; effectHandler is null afterwards (level objects that outlive it must not reach it).
void destroyEffectHandler();
// Leaves the level manager's level-unloaded list and the scene manager, and drops the light
// manager; lightManager is null afterwards.
void destroyLightManager();
