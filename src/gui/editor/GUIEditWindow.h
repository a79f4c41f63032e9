#pragma once

#include <IGUIWindow.h>

// The GUI editor's tool window: a draggable window titled "GUI Editor" with one "Tools" tab,
// without close, minimise or maximise buttons.
class GUIEditWindow : public irr::gui::IGUIWindow {
public:
    GUIEditWindow(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent,
                  const irr::core::rect<irr::s32>& rectangle);

    bool OnEvent(const irr::SEvent& event) override;
    void draw() override;
    const irr::c8* getTypeName() const override { return "GUIEditWindow"; }
    void deserializeAttributes(irr::io::IAttributes* in, irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    irr::gui::IGUIButton* getCloseButton() const override { return nullptr; }
    irr::gui::IGUIButton* getMinimizeButton() const override { return nullptr; }
    irr::gui::IGUIButton* getMaximizeButton() const override { return nullptr; }
    bool isDraggable() const override { return Draggable; }
    void setDraggable(bool draggable) override;
    void setDrawBackground(bool) override {}
    bool getDrawBackground() const override { return true; }
    void setDrawTitlebar(bool) override {}
    bool getDrawTitlebar() const override { return true; }
    irr::core::rect<irr::s32> getClientRect() const override { return {}; }

    bool isDragging() const { return Dragging; }

private:
    irr::core::position2di DragStart;
    bool Dragging = false;
    bool Draggable = true;
};
