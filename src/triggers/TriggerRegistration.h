#pragma once

// Registers the trigger types with the scene-node factory's type table ("TriggerObject"
// 'trgr', "TriggerEventObject" 'trge', "ConditionalTrigger" 'cond', "CheckpointObject"
// 'chck'), fills the level table's slot that starts the level information's child events,
// and the contact slots through which the physics dispatch reports shapes entering and
// leaving trigger volumes. Called once in the program's entry, before the level manager's
// init (which registers its stand-in checkpoint only when nothing claimed 'chck').
void registerTriggerSubsystem();
// The type rows alone (tests).
void registerTriggerTypes();
