#include "screens/levels/GUILevelElement.h"

#include "core/Globals.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"

using namespace irr;

GUILevelElement::GUILevelElement(s32 viewId, gui::IGUIEnvironment* environment, gui::IGUIElement* parent)
    : GUIImage(environment, parent, ScreenManager::overlayId, core::recti(0, 0, 0, 0)), ViewId(viewId) {}

void GUILevelElement::draw() {
    if (!IsVisible)
        return;
    for (gui::IGUIElement* child : Children)
        child->draw();
    if (!levelManager)
        return;
    // The events of level flow leave the view unnamed (0): those transitions draw above every
    // screen, in view 2.
    const LoadingOverlay& overlay = levelManager->loadingOverlay;
    const s32 view = overlay.viewId == 0 ? 2 : overlay.viewId;
    if (view == ViewId)
        overlay.draw();
}
