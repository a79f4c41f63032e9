#pragma once

#include <IGUIElement.h>
#include <irrString.h>

// An element that shows another layout file as its children (notifications are built on
// it). The embedded elements are sub-elements: saving the layout that holds this element
// writes only its path.
class GUISubElement : public irr::gui::IGUIElement {
public:
    GUISubElement(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent,
                  const irr::core::rect<irr::s32>& rectangle);

    const irr::c8* getTypeName() const override { return "GUISubElement"; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // Replaces the children by the layout file's elements and takes their size.
    virtual void loadGUIFile(const irr::core::stringc& path);

    const irr::core::stringc& getGUIPath() const { return GUIPath; }
    void setGUIPath(const irr::core::stringc& path) { GUIPath = path; }

protected:
    // Marks every element below this one as a sub-element and measures the layout: the
    // largest width and height among this element and its descendants, or the screen's size
    // when one of them is a screen.
    irr::core::dimension2di measureLayout();

private:
    irr::core::stringc GUIPath;
};
