#include "gui/GuiAttributes.h"

#include <IAttributes.h>
#include <IGUIElement.h>

#include <initializer_list>

using namespace irr;

void readElementAttributes(gui::IGUIElement* element, io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    for (const char* key : {"LeftAlign", "RightAlign", "TopAlign", "BottomAlign"}) {
        if (in->getAttributeAsEnumeration(key, gui::GUIAlignmentNames) >= 0)
            continue;
        if (in->existsAttribute(key))
            in->setAttribute(key, gui::GUIAlignmentNames[gui::EGUIA_UPPERLEFT], gui::GUIAlignmentNames);
        else
            in->addEnum(key, gui::GUIAlignmentNames[gui::EGUIA_UPPERLEFT], gui::GUIAlignmentNames);
    }
    element->gui::IGUIElement::deserializeAttributes(in, options);
}
