#pragma once

#include <IGUIElement.h>
#include <IGUIEnvironment.h>

class GUIImage;

// A notice drawn as the game's notifications are: their dark panel, its coloured bar along the
// top and its band behind the texts, a white title in the game's TrueType font and a lighter
// body text under it. `rect` is the notice's place and size under `parent` (in pixels); the
// panel is returned (the parent owns it) and moves with its texts.
GUIImage* addNoticePanel(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent,
                         const irr::core::recti& rect, const wchar_t* title, const wchar_t* text);
