#pragma once

namespace irr {
namespace gui {
class IGUIElement;
}
namespace io {
class IAttributes;
struct SAttributeReadWriteOptions;
} // namespace io
} // namespace irr

// Reads the engine element's own keys (name, id, caption, rectangle, alignment, flags) from a
// layout's attribute set. An alignment that is missing or not one of the engine's names (a
// layout cut short or edited by hand) reads as upper-left instead of an invalid value.
void readElementAttributes(irr::gui::IGUIElement* element, irr::io::IAttributes* in,
                           irr::io::SAttributeReadWriteOptions* options);
