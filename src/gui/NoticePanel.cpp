#include "gui/NoticePanel.h"

#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/GuiCommon.h"

#include <IVideoDriver.h>

using namespace irr;

namespace {

constexpr const char* panelTexture = "Content/Screens/Objects/NotificationPanel.png";
constexpr const char* colourTexture = "Content/Screens/Objects/NotificationColor.png";

// A picture stretched over the rectangle (none: an empty holder), a part of the notice.
GUIImage* addPicture(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const core::recti& rect,
                     const char* texture, video::SColor colour) {
    auto* picture = new GUIImage(environment, parent, -1, rect);
    if (texture)
        picture->setImage(environment->getVideoDriver()->getTexture(texture));
    picture->setUseAlphaChannel(true);
    picture->setScaleImage(true);
    picture->setColor(colour);
    picture->setSubElement(true);
    picture->drop();
    return picture;
}

void addText(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const core::recti& rect,
             const wchar_t* text, s32 size, video::SColor colour) {
    auto* line = new GUIFreeTypeText(text, environment, parent, -1, rect);
    line->setFont(GUIFreeTypeText::defaultFontPath, size);
    line->setOverrideColor(colour);
    line->setWordWrap(true);
    line->setTextAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_UPPERLEFT);
    line->setSubElement(true);
    line->setEnabled(false);
    line->drop();
}

} // namespace

GUIImage* addNoticePanel(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const core::recti& rect,
                         const wchar_t* title, const wchar_t* text) {
    const s32 width = rect.getWidth(), height = rect.getHeight();
    // The panel's picture is darkest at its top and clear from half-way down: drawn four times
    // the notice's height, the notice stands on its dark top quarter and the panel fades out
    // under it, as a notification's runs down the screen.
    GUIImage* panel = addPicture(environment, parent, rect, nullptr, video::SColor(0xffffffff));
    addPicture(environment, panel, core::recti(0, 0, width, 4 * height), panelTexture, video::SColor(0xffffffff))
        ->setNotClipped(true);
    addPicture(environment, panel, core::recti(0, 0, width, guiUnits(6)), colourTexture, video::SColor(0xffffffff));
    const s32 margin = guiUnits(16);
    const s32 titleBottom = guiUnits(44);
    addPicture(environment, panel, core::recti(0, guiUnits(10), width, titleBottom + guiUnits(4)), colourTexture,
               video::SColor(0x59ffffff));
    addText(environment, panel, core::recti(margin, guiUnits(12), width - margin, titleBottom), title, guiUnits(22),
            video::SColor(0xffffffff));
    addText(environment, panel, core::recti(margin, titleBottom + guiUnits(8), width - margin, height), text,
            guiUnits(18), video::SColor(0xffebebe6));
    return panel;
}
