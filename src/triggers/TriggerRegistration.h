#pragma once

// Registers the trigger types with the scene-node factory's type table ("TriggerObject"
// 'trgr', "TriggerEventObject" 'trge', "ConditionalTrigger" 'cond', "CheckpointObject"
// 'chck'), fills the level table's trigger slots (registerTriggerLevelSlots), and the
// contact slots through which the physics dispatch reports shapes entering and leaving
// trigger volumes. Called once in the program's entry, before the level manager's init.
void registerTriggerSubsystem();
// The level table's trigger slots alone: the level information's child events start, and the
// level's checkpoint saves mark checkpoints active and read their spawn settings.
void registerTriggerLevelSlots();
// The type rows alone (tests).
void registerTriggerTypes();
