#include "gui/GUISubElement.h"

#include "core/Globals.h"
#include "gui/GuiAttributes.h"
#include "gui/GuiCommon.h"
#include "gui/GuiLayout.h"

#include <IAttributes.h>

#include <algorithm>

using namespace irr;

namespace {

// Marks the subtree below the element as sub-elements and finds the largest width and height
// among it and its descendants; a GUIScreen among them makes it screen-sized.
void markAndMeasure(gui::IGUIElement* element, s32& width, s32& height, bool& hasScreen) {
    const core::recti& rect = element->getAbsolutePosition();
    width = std::max(width, rect.getWidth());
    height = std::max(height, rect.getHeight());
    if (static_cast<s32>(element->getType()) == GuiType::Screen)
        hasScreen = true;
    for (gui::IGUIElement* child : element->getChildren()) {
        child->setSubElement(true);
        markAndMeasure(child, width, height, hasScreen);
    }
}

} // namespace

GUISubElement::GUISubElement(gui::IGUIEnvironment* environment, gui::IGUIElement* parent,
                             const core::rect<s32>& rectangle)
    : gui::IGUIElement(toElementType(GuiType::SubElement), environment, parent, -1, rectangle) {}

void GUISubElement::loadGUIFile(const core::stringc& path) {
    if (path.size() < 2)
        return;
    GUIPath = path;
    while (!Children.empty())
        removeChild(*Children.begin());
    loadGuiLayout(Environment, io::path(path.c_str()), this);

    const core::dimension2di size = measureLayout();
    const core::position2di corner = RelativeRect.UpperLeftCorner;
    setRelativePosition(core::recti(corner.X, corner.Y, corner.X + size.Width, corner.Y + size.Height));
    setVisible(true);
}

core::dimension2di GUISubElement::measureLayout() {
    s32 width = 0;
    s32 height = 0;
    bool hasScreen = false;
    markAndMeasure(this, width, height, hasScreen);
    if (hasScreen)
        return core::dimension2di(screenWidth, screenHeight);
    return core::dimension2di(width, height);
}

void GUISubElement::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    gui::IGUIElement::serializeAttributes(out, options);
    out->addString("GUIPath", GUIPath.c_str());
}

void GUISubElement::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    readElementAttributes(this, in, options);
    if (!in->existsAttribute("GUIPath"))
        return;
    const core::stringc path = in->getAttributeAsString("GUIPath");
    if (path != GUIPath)
        loadGUIFile(path);
}
