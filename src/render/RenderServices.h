#pragma once

#include "core/SlotCalls.h"

#include <irrlicht.h>

#include <functional>

// What the rendering asks of the subsystems that stand above it: the cameras (the camera a
// viewport shows), the screens (the loading frame) and the GUI's TrueType fonts (the world
// text's glyphs). Their registrations fill these slots; an empty slot does nothing or
// answers the default written beside it. Tests fill them with recorders, or the game's way,
// and call resetRenderServices() afterwards.
struct RenderServices {
    struct Cameras {
        // The camera a viewport's camera manager shows: its debug camera while its free-camera
        // mode is on and one exists, else its main camera; null when it has neither or there
        // is no camera manager for the viewport. Empty: null.
        std::function<irr::scene::ICameraSceneNode*(irr::s32 viewport)> viewportCamera;
    } cameras;

    struct Screens {
        // The screen manager redraws its loading overlay when one is showing.
        std::function<void()> renderLoadingFrame;
    } screens;

    struct Fonts {
        // The world text's glyphs: one mesh scene node per glyph of the text in the TrueType
        // font of the file and pixel size, under the parent, in the colour; `textSize` gets
        // the text's size in pixels. `chargedGlyphs` counts the glyph nodes the text was
        // charged to the level for before (a text made again is charged only for nodes beyond
        // them) and is raised by what this one is charged. False when the font cannot be read
        // (empty: false).
        std::function<bool(const irr::io::path& fontFile, irr::s32 pixelSize, const wchar_t* text,
                           irr::scene::ISceneNode* parent, irr::video::SColor colour,
                           irr::core::array<irr::scene::ISceneNode*>& glyphs, irr::core::dimension2du& textSize,
                           irr::u32& chargedGlyphs)>
            addTrueTypeText;
    } fonts;
};

RenderServices& renderServices();
void resetRenderServices();
