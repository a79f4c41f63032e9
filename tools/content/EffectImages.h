#pragma once

#include <string>

namespace irr::video {
class IVideoDriver;
}

// The particle sprite ("Content/Models/Editor/Blue.png"), the editor's test sprite sheet
// ("TestAtlas.png", described by the hand-written TestAtlas.xml beside it) and the water
// textures (WaterBump.png, and ZeroAlpha.dds: PNG bytes under the name the levels use), and
// the 32 caustics frames (Caustics/test_001.jpg to test_032.jpg).
bool writeEffectImages(irr::video::IVideoDriver* driver, const std::string& root);
