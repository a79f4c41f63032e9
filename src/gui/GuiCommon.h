#pragma once

#include "core/Globals.h"

#include <EGUIElementTypes.h>
#include <IEventReceiver.h>
#include <IGUIElement.h>
#include <irrTypes.h>

#include <cstring>
#include <initializer_list>

// What every game GUI class shares: type ids, GUI units, the menu navigation codes and the
// button states.

// Type ids: 1000 + the class's index in the element factory's name table.
namespace GuiType {
inline constexpr irr::s32 Editor = 1000;
inline constexpr irr::s32 EditWindow = 1001;
inline constexpr irr::s32 Image = 1002;
inline constexpr irr::s32 SubElement = 1003;
inline constexpr irr::s32 StaticText = 1004;
inline constexpr irr::s32 FreeTypeText = 1005;
inline constexpr irr::s32 Notification = 1006;
inline constexpr irr::s32 Screen = 1007;
inline constexpr irr::s32 ObjectiveCenter = 1008;
inline constexpr irr::s32 Hud = 1009;
inline constexpr irr::s32 Button = 1010;
inline constexpr irr::s32 PauseScreen = 1011;
inline constexpr irr::s32 MainScreen = 1012;
inline constexpr irr::s32 SubtitleManager = 1013;
inline constexpr irr::s32 Cutscene = 1014;
inline constexpr irr::s32 OptionCycle = 1015;
inline constexpr irr::s32 OptionMeter = 1016;
inline constexpr irr::s32 OptionRemap = 1017;
inline constexpr irr::s32 DebugStats = 1018;
inline constexpr irr::s32 TextButton = 1019;
inline constexpr irr::s32 ChargeMeter = 1020;
inline constexpr irr::s32 Objective = 1021;
inline constexpr irr::s32 OptionsList = 1022;
inline constexpr irr::s32 LevelCycle = 1023;
inline constexpr irr::s32 ScrollList = 1024;
// The menu item row shares the option cycle's id.
inline constexpr irr::s32 MenuItem = 1015;
} // namespace GuiType

// Element ids of the screens the toolkit makes itself; the screen manager finds them by these.
namespace ScreenId {
inline constexpr irr::s32 Menu = 11;
inline constexpr irr::s32 Hud = 1235;
inline constexpr irr::s32 Subtitles = 1236;
} // namespace ScreenId

inline irr::gui::EGUI_ELEMENT_TYPE toElementType(irr::s32 typeId) {
    return static_cast<irr::gui::EGUI_ELEMENT_TYPE>(typeId);
}

// GUI units: L units of a 720-line screen are (int)(L x screenHeight / 720 + 0.5) pixels.
inline irr::s32 guiUnits(irr::f32 units) {
    const irr::f32 scale = static_cast<irr::f32>(screenHeight) / referenceHeight;
    return static_cast<irr::s32>(units * scale + 0.5f);
}
// A fraction of the screen width or height, truncated toward zero.
inline irr::s32 screenWidthPart(irr::f32 fraction) {
    return static_cast<irr::s32>(static_cast<irr::f32>(screenWidth) * fraction);
}
inline irr::s32 screenHeightPart(irr::f32 fraction) {
    return static_cast<irr::s32>(static_cast<irr::f32>(screenHeight) * fraction);
}

// Moves the element to the rectangle (relative to its parent); the element and its children
// are laid out again only when the rectangle is not the one it has.
inline void placeElement(irr::gui::IGUIElement* element, const irr::core::recti& rect) {
    if (element->getRelativePosition() != rect)
        element->setRelativePosition(rect);
}

// Puts the elements, in this order, in front of their siblings (the last on top). When they
// are there already nothing moves: the engine's bringToFront makes the parent's list entry
// anew every time.
inline void keepInFront(std::initializer_list<irr::gui::IGUIElement*> elements) {
    bool inPlace = true;
    for (auto at = elements.begin(); at != elements.end() && inPlace; ++at) {
        irr::gui::IGUIElement* parent = *at ? (*at)->getParent() : nullptr;
        if (!parent)
            continue;
        // Behind the later elements of the same parent, which end its list.
        auto child = parent->getChildren().getLast();
        for (auto later = at + 1; later != elements.end(); ++later)
            if (*later && (*later)->getParent() == parent)
                --child;
        inPlace = *child == *at;
    }
    if (inPlace)
        return;
    for (irr::gui::IGUIElement* element : elements)
        if (element && element->getParent())
            element->getParent()->bringToFront(element);
}

// Menu navigation codes: the input manager sends menu actions to the focused element of the
// top screen as key-down events with these key codes.
namespace MenuKey {
inline constexpr irr::s32 Left = 1000;
inline constexpr irr::s32 Right = 1001;
inline constexpr irr::s32 Down = 1002;
inline constexpr irr::s32 Up = 1003;
inline constexpr irr::s32 Accept = 1004;
inline constexpr irr::s32 Back = 1005;
inline bool isNavigation(irr::s32 code) { return code >= Left && code <= Back; }
} // namespace MenuKey

// The key code of a key event as a plain number. The navigation codes lie outside the
// engine's key enumeration, so the field is read as bytes rather than as the enumeration.
inline irr::s32 eventKeyCode(const irr::SEvent& event) {
    static_assert(sizeof(event.KeyInput.Key) == sizeof(irr::s32));
    irr::s32 code = 0;
    std::memcpy(&code, &event.KeyInput.Key, sizeof(code));
    return code;
}

// A key event of the engine carrying a key code (a navigation code or an engine key).
inline irr::SEvent makeKeyEvent(irr::s32 code, bool pressedDown) {
    irr::SEvent event;
    std::memset(static_cast<void*>(&event), 0, sizeof(event));
    event.EventType = irr::EET_KEY_INPUT_EVENT;
    std::memcpy(&event.KeyInput.Key, &code, sizeof(code));
    event.KeyInput.PressedDown = pressedDown;
    return event;
}

// True for a key-down event whose code is a navigation code.
inline bool isMenuKeyDown(const irr::SEvent& event) {
    return event.EventType == irr::EET_KEY_INPUT_EVENT && event.KeyInput.PressedDown &&
           MenuKey::isNavigation(eventKeyCode(event));
}

// Button states.
namespace ButtonState {
inline constexpr irr::s32 Normal = 0;
inline constexpr irr::s32 Focused = 1;
inline constexpr irr::s32 Pressed = 2;
inline constexpr irr::s32 Released = 3;
inline constexpr irr::s32 Disabled = 4;
} // namespace ButtonState
