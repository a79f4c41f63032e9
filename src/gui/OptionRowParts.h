#pragma once

#include "core/Globals.h"
#include "gui/GUIButton.h"
#include "gui/GuiCommon.h"

#include <IGUIEnvironment.h>
#include <ITimer.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

// Pieces the option rows (cycle and meter) share.

// The colour of a row's value: dark grey, readable on the panel and on the lit bar.
constexpr irr::u32 optionValueColour = 0xFF3C3C3C;

// The engine timer's time, 0 without a device.
inline irr::u32 optionRowTime() {
    return gameDevice && gameDevice->getTimer() ? gameDevice->getTimer()->getTime() : 0;
}

// Moves the element to (x, y) relative to its parent, keeping its size.
inline void placeOptionPart(irr::gui::IGUIElement* element, irr::s32 x, irr::s32 y) {
    element->setRelativePosition(
        irr::core::recti(irr::core::position2di(x, y), element->getRelativePosition().getSize()));
}

// A child button of an option row: alpha channel on, not clipped, no click sound; the
// picture (none for an empty path) scaled to the rectangle.
inline GUIButton* addOptionPart(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent,
                                const irr::core::recti& rectangle, const char* picture) {
    auto* part = new GUIButton(environment, parent, 0, rectangle);
    if (picture)
        part->setImage(environment->getVideoDriver()->getTexture(picture));
    part->setScaleImage(true);
    part->setUseAlphaChannel(true);
    part->setNotClipped(true);
    part->setClickSound(false);
    part->drop();
    return part;
}

// The bar that lights up behind a focused option row: (0, 0)-(400 units, row height) at
// (-26 units, 0), tiled, showing the row's state.
inline GUIButton* addOptionHighlight(irr::gui::IGUIEnvironment* environment, GUIButton* row, irr::s32 rowHeight,
                                     const char* picture) {
    auto* bar = new GUIButton(environment, row, 0, irr::core::recti(0, 0, guiUnits(400), rowHeight));
    placeOptionPart(bar, -guiUnits(26), 0);
    irr::video::ITexture* lit = environment->getVideoDriver()->getTexture(picture);
    bar->setStateImages(nullptr, lit, lit, lit, nullptr);
    bar->setTileImage(true);
    bar->setUseAlphaChannel(true);
    bar->setNotClipped(true);
    bar->setStateSource(row);
    bar->setClickSound(false);
    bar->drop();
    return bar;
}
