// 10,000 live particles in one particle node: the node's own update per frame (the fade and
// rotation affectors, movement, expiry test and box) and its draw per frame (turned,
// camera-facing quads in one draw call) on the OpenGL driver. Needs an X display (Xvfb);
// run from the repository root: xvfb-run -a build/test/bench/particle_bench.
#include "render/ParticleAffectors.h"
#include "render/ParticleSystemNode.h"

#include "../support/BenchDevice.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

using namespace irr;

namespace {

constexpr u32 liveParticles = 10000;

struct ParticleStage {
    IrrlichtDevice* device = nullptr;
    ParticleSystemNode* node = nullptr;
};

ParticleStage& particleStage() {
    static ParticleStage s;
    return s;
}

// Particles that live far longer than the run, spread over a 100-unit cube, half of them
// turned, the whole sprite sheet on every quad.
void fillParticles(ParticleSystemNode* node) {
    core::array<scene::SParticle>& particles = node->getParticles();
    core::array<ParticleSystemNode::ParticleExtra>& extras = node->getParticleExtras();
    particles.set_used(0);
    extras.set_used(0);
    for (u32 i = 0; i < liveParticles; ++i) {
        scene::SParticle p;
        p.pos.set(static_cast<f32>(i % 100) - 50.0f, static_cast<f32>((i / 100) % 100) - 50.0f,
                  static_cast<f32>(i % 37));
        p.vector.set(0.0f, 0.0f, 0.0f);
        p.startVector = p.vector;
        p.startTime = 1;
        p.endTime = 0xFFFFFFF0u;
        p.color = p.startColor = video::SColor(255, 200, 220, 255);
        p.size = p.startSize = core::dimension2df(2.0f, 2.0f);
        particles.push_back(p);
        ParticleSystemNode::ParticleExtra extra;
        extra.rotation = (i % 2) ? 0.7f : 0.0f;
        extras.push_back(extra);
    }
}

bool setUpParticleStage() {
    ParticleStage& s = particleStage();
    if (s.device)
        return s.node != nullptr;
    s.device = bench::createBenchOpenGLDevice();
    if (!s.device)
        return false;
    scene::ISceneManager* scene = s.device->getSceneManager();
    scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, -150), core::vector3df(0, 0, 0));
    s.node = new ParticleSystemNode(scene->getRootSceneNode(), scene);
    s.node->drop();
    video::SMaterial& material = s.node->getMaterial(0);
    material.Lighting = false;
    material.ZWriteEnable = false;
    material.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    material.setTexture(0, s.device->getVideoDriver()->getTexture("Content/Models/Editor/Blue.png"));
    auto* fade = new ParticleFadeInOutAffector(100, 500, video::SColor(0, 255, 255, 255));
    s.node->addAffector(fade);
    fade->drop();
    auto* rate = new ParticleRateAffector(1.0f);
    s.node->addAffector(rate);
    rate->drop();
    fillParticles(s.node);
    s.node->LastEmitTime = 1000;
    return true;
}

void BM_ParticleUpdate(benchmark::State& state) {
    if (!setUpParticleStage()) {
        state.SkipWithError("no OpenGL device (run under Xvfb)");
        return;
    }
    ParticleSystemNode* node = particleStage().node;
    u32 now = node->LastEmitTime;
    for (auto _ : state) {
        now += 16;
        node->doParticleSystem(now);
        benchmark::DoNotOptimize(node->getBoundingBox());
    }
    state.counters["particles"] = static_cast<double>(node->getParticleCount());
}
BENCHMARK(BM_ParticleUpdate)->Unit(benchmark::kMicrosecond);

void BM_ParticleDraw(benchmark::State& state) {
    if (!setUpParticleStage()) {
        state.SkipWithError("no OpenGL device (run under Xvfb)");
        return;
    }
    ParticleStage& s = particleStage();
    video::IVideoDriver* driver = s.device->getVideoDriver();
    scene::ICameraSceneNode* camera = s.device->getSceneManager()->getActiveCamera();
    for (auto _ : state) {
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        camera->OnAnimate(0);
        camera->render();
        s.node->render();
        driver->endScene();
    }
    state.counters["particles"] = static_cast<double>(s.node->getParticleCount());
}
BENCHMARK(BM_ParticleDraw)->Unit(benchmark::kMicrosecond);

} // namespace
