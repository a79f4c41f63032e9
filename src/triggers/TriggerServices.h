#pragma once

#include <irrlicht.h>

#include <functional>

class GUINotification;
class GUIObjectiveCenter;

// What triggers and their actions ask of the screens, which stand above them: the screens'
// registration fills these slots (connectGameObjectsToScreens). Each slot is tested for
// emptiness where it is used: an empty slot answers the default written beside it, which is
// what a game without a screen manager answers. Tests that make a screen manager fill the
// slots the same way and call resetTriggerServices() afterwards.
struct TriggerServiceTable {
    struct Screens {
        // Neither the game's update nor its input is allowed: a menu holds the game (empty:
        // false).
        std::function<bool()> isGameHeld;
        // The HUD's objective panel (empty: null).
        std::function<GUIObjectiveCenter*()> objectiveCenter;
        // Whether the HUD shows the level timer (empty: nothing).
        std::function<void(bool shown)> setLevelTimerShown;
        // The layer that holds the notifications; it drops them when a level unloads (empty:
        // null).
        std::function<irr::gui::IGUIElement*()> notificationLayer;
        // The notification of that table name or layout path, made hidden and off screen when
        // the layer has none yet (empty: null).
        std::function<GUINotification*(const char* name)> notificationByName;
        std::function<GUINotification*(const irr::core::stringc& path)> notificationByPath;
        // Queues the notification for the seconds (0: until dismissed).
        std::function<void(GUINotification* notification, irr::f32 seconds)> showNotification;
        // Dismisses every notification of the name.
        std::function<void(const char* name, bool immediately)> dismissNotification;
        // The level file is one of the level catalogue's listed levels (empty: false).
        std::function<bool(const irr::core::stringc& path)> isListedLevel;
    } screens;
};

TriggerServiceTable& triggerServices();
void resetTriggerServices();
