#pragma once

#include "physics/world/PhysicsManager.h"

#include "core/Stopwatch.h"
#include "level/LevelManager.h"

#include <irrlicht.h>

#include <memory>

// A level on the OpenGL driver (single-buffered, so that screenshots read what was drawn)
// with the level manager, the factories, a physics manager and a frame stopwatch the stage
// drives: play(n) runs n frames of the game's loop, 17 ms each.
class PhysicsGlStage {
public:
    PhysicsGlStage(irr::u32 width, irr::u32 height);
    ~PhysicsGlStage();
    bool ready() const { return physics != nullptr; }
    bool load(const char* levelFile);
    void play(int frames);
    // Draws the scene over the background and returns the front buffer (the caller drops it).
    irr::video::IImage* drawAndShoot(irr::video::SColor background);

    irr::IrrlichtDevice* device = nullptr;
    irr::scene::ISceneManager* smgr = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    irr::u32 timeMs = 0;

private:
    std::unique_ptr<LevelManager> levels;
    std::unique_ptr<Stopwatch> stopwatch;
    std::unique_ptr<PhysicsManager> physics;
};
