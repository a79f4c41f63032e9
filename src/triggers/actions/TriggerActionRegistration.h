#pragma once

// Registers the trigger actions built so far with the action factory (Set Object Property,
// Play Sound, Move Object, Spawn Object, Add Force, Set Camera; Run, Reset and Cancel
// Trigger, Run Fake Transition, Add Suspicion, Tentaro Controls and Limp, Change Animation,
// Change Character State, End Level, Level CheckPoint), the camera volume
// ("CameraTriggerVolume", 'cmrv') and the force volume ("ForceVolume", 'frce') with the
// scene-node factory, and answers the camera managers' questions to camera volumes. Called
// once by the game's registration, after the trigger subsystem's.
void registerTriggerActions();
// Takes the action classes out of the factory again (tests).
void unregisterTriggerActions();
