#pragma once

#include <path.h>

namespace irr::gui {
class IGUIElement;
class IGUIEnvironment;
} // namespace irr::gui

// GUI layout files: the engine's GUI XML, each element stored under its type name with its
// attribute set, read through the engine's loadGUI with the game's element factory
// registered.
//
// A layout that cannot be opened, is cut short, is not a GUI layout or names element types
// that no factory can create is reported in the log; the elements that could be read are
// kept. An element of an unknown type is left out together with everything inside it
// (the engine would otherwise put its children at the root of the GUI).

// Reads the layout into the parent (the GUI root when null). False when the file cannot be
// read at all or layouts nest too deep.
bool loadGuiLayout(irr::gui::IGUIEnvironment* environment, const irr::io::path& path,
                   irr::gui::IGUIElement* parent);

// Writes the element and everything below it that is not a sub-element.
bool saveGuiLayout(irr::gui::IGUIEnvironment* environment, const irr::io::path& path,
                   irr::gui::IGUIElement* start);
