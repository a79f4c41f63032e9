#include "level/LoadingOverlay.h"

#include "level/LevelHooks.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace irr;

const char* const LoadingOverlay::transitionTypeNames[transitionTypeCount] = {
    "Circle Wipe Image", "Circle Wipe Black", "Fade to Black", "Fade to White", "None"};

namespace {

f32 clamp01(f32 value) {
    return std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
}

} // namespace

void LoadingOverlay::startIntro() {
    // The bar of the load this cover comes for starts empty, not where the last load left it.
    progress = 0.0f;
    fadeValue = 0.0f;
    introRunning = true;
    outroRunning = false;
    loadingScreen = false;
    awaitingView = false;
}

void LoadingOverlay::beginLoad() {
    progress = 0.0f;
    if (!isOpaque())
        return;
    loadingScreen = true;
    awaitingView = true;
}

void LoadingOverlay::startOutro() {
    fadeValue = 1.0f;
    holdRemaining = std::max(hold, 0.0f);
    introRunning = false;
    outroRunning = true;
}

bool LoadingOverlay::update(f32 seconds) {
    // A speed of 0 or less would never end a transition: it then ends at once, hold and all.
    f32 step = fadeSpeed > 0.0f ? std::max(seconds, 0.0f) * fadeSpeed
                                : std::numeric_limits<f32>::infinity();
    if (outroRunning) {
        if (awaitingView)
            return false;
        if (holdRemaining > 0.0f) {
            holdRemaining -= step;
            if (holdRemaining > 0.0f)
                return false;
            step = -holdRemaining; // what the hold left of this step fades
            holdRemaining = 0.0f;
        }
        fadeValue = clamp01(fadeValue - step);
        if (fadeValue > 0.0f)
            return false;
        outroRunning = false;
        loadingScreen = false;
        return true;
    }
    if (introRunning) {
        if (fadeValue >= 1.0f)
            return true;
        fadeValue = clamp01(fadeValue + step);
        return fadeValue >= 1.0f;
    }
    return true;
}

bool LoadingOverlay::isOpaque() const {
    return kind == 2 && std::fabs(fadeValue - 1.0f) < 1e-6f;
}

f32 LoadingOverlay::getTransitionValue() const {
    return isBusy() ? clamp01(fadeValue) : 0.0f;
}

f32 LoadingOverlay::getProgress() const {
    return clamp01(progress);
}

void LoadingOverlay::draw() const {
    if (const auto& drawOverlay = levelHooks().gui.drawLoadingOverlay)
        drawOverlay(*this);
}
