#pragma once

#include "gui/GUIImage.h"

// A place in the GUI's drawing order where the level manager's loading overlay (fades,
// transitions, the loading picture) draws itself: the screen manager keeps two, view 1 and
// view 2, and the overlay names the view it draws in.
class GUILevelElement : public GUIImage {
public:
    GUILevelElement(irr::s32 viewId, irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent);

    void draw() override;
    irr::s32 getViewId() const { return ViewId; }

private:
    irr::s32 ViewId;
};
