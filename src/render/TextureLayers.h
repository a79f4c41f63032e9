#pragma once

#include <irrTypes.h>

// Texture layers of the game's lit materials. The layer numbers the game's materials were
// designed with go up to 7; this engine has four layers per material (0 to 3), so the
// layers that do not fit share the ones that do:
//
//   layer 0  diffuse texture
//   layer 1  light map (light-mapped variants) or normal map; no variant needs both
//   layer 2  the shadow atlas: the shadow maps of cascades 0, 1 and 2 side by side in one
//            render target, each cascade a third of its width (shadowAtlasOffset)
//   layer 3  highlight texture, or the reflection target, or the caustics frame: the
//            highlight variants never reflect and the reflective ones never highlight, and
//            reflection and caustics take turns in the same layer
//
// The design's numbers stay as named constants; textureLayerFor maps one to this engine's.
namespace designLayer {
constexpr irr::u32 diffuse = 0;
constexpr irr::u32 normalMap = 1;
constexpr irr::u32 specularMap = 2;
constexpr irr::u32 lightMap = 3;
constexpr irr::u32 shadowMap0 = 4;
constexpr irr::u32 reflection = 5; // also the caustics frame
constexpr irr::u32 shadowMap1 = 6;
constexpr irr::u32 shadowMap2 = 7;
constexpr irr::u32 highlight = 8; // the fixed-function highlight's own texture
} // namespace designLayer

namespace textureLayer {
constexpr irr::u32 diffuse = 0;
constexpr irr::u32 lightMap = 1;
constexpr irr::u32 normalMap = 1;
constexpr irr::u32 shadowAtlas = 2;
constexpr irr::u32 highlight = 3;
constexpr irr::u32 reflection = 3;
constexpr irr::u32 caustics = 3;
constexpr irr::u32 none = 0xFFFFFFFFu; // the specular map has no place in this engine
} // namespace textureLayer

// This engine's layer for a design layer number; textureLayer::none for the specular map
// and for numbers the design does not use.
constexpr irr::u32 textureLayerFor(irr::u32 design) {
    switch (design) {
    case designLayer::diffuse: return textureLayer::diffuse;
    case designLayer::normalMap: return textureLayer::normalMap;
    case designLayer::lightMap: return textureLayer::lightMap;
    case designLayer::shadowMap0:
    case designLayer::shadowMap1:
    case designLayer::shadowMap2: return textureLayer::shadowAtlas;
    case designLayer::reflection: return textureLayer::reflection;
    case designLayer::highlight: return textureLayer::highlight;
    default: return textureLayer::none;
    }
}

// The shadow atlas holds three cascades side by side: cascade i covers u in [i/3, (i+1)/3].
// A shader maps a cascade's own coordinate u to u * shadowAtlasScale + shadowAtlasOffset(i).
constexpr irr::u32 shadowAtlasCascades = 3;
constexpr irr::f32 shadowAtlasScale = 1.0f / 3.0f;
constexpr irr::f32 shadowAtlasOffset(irr::u32 cascade) { return static_cast<irr::f32>(cascade) / 3.0f; }
