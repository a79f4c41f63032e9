#pragma once

#include <irrlicht.h>

// Opening the engine device on a display that may be busy.
namespace deviceAttempts {

using Creator = irr::IrrlichtDevice* (*)(const irr::SIrrlichtCreationParameters& params);

// Creates the device with `create`; a window the display refused is asked for again a
// little later, up to `attempts` times in all (the null driver once). The engine's log lines
// of an attempt that is asked again are not passed on: the refusal of a busy X server is no
// error of the game's. Those of the last attempt reach params.EventReceiver, which the device
// made receives its events from.
irr::IrrlichtDevice* create(irr::SIrrlichtCreationParameters params, int attempts,
                            Creator create = irr::createDeviceEx);

} // namespace deviceAttempts
