#include "gui/GUIDebugStats.h"

#include "core/Globals.h"
#include "core/ProfilerManager.h"
#include "core/Stopwatch.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "phys/Geometry.h"
#include "phys/Scene.h"
#include "phys/Visualization.h"
#include "physics/world/PhysicsManager.h"
#include "player/InputManager.h"
#include "player/devices/MouseDevice.h"

#include <IGUIEnvironment.h>
#include <IGUIFont.h>
#include <IGUISkin.h>
#include <IGUIListBox.h>
#include <IGUIStaticText.h>
#include <IVideoDriver.h>

#include <algorithm>
#include <cstdio>
#include <string>

using namespace irr;

namespace {

// The key code of F6 and the "pressed this frame" key state.
constexpr s32 debugStatsKey = 0x75;
constexpr s32 debugStatsKeyPressed = 2;
// White on a dark, mostly opaque box: readable over any picture.
const video::SColor lineText(0xFFFFFFFF);
const video::SColor lineBox(0xD0141820);

std::wstring statsFormat(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

std::wstring statsNumber(u32 value) { return std::to_wstring(value); }

} // namespace

GUIDebugStats::GUIDebugStats(gui::IGUIEnvironment* environment)
    : gui::IGUIElement(toElementType(GuiType::DebugStats), environment, environment->getRootGUIElement(), elementId,
                       core::recti(core::position2di(0, 0), core::dimension2di(environment->getVideoDriver()->getScreenSize()))) {
    const s32 width = static_cast<s32>(environment->getVideoDriver()->getScreenSize().Width);
    LeftX = width - columnWidth;
    RightX = width;
    setVisible(false);
    // The box stands behind the column of lines (moved there with them).
    ListBox = environment->addListBox(core::recti(LeftX, 0, RightX, 100), this, -1, true);
    ListBox->setAutoScrollEnabled(true);
    ListBox->setSubElement(true);

    for (const wchar_t* label :
         {L"Driver", L"FPS", L"Triangles", L"Mouse", L"Physics Stats", L"numActiveConstraints", L"numActiveDynamicBodies",
          L"numActiveKinematicBodies", L"numStaticBodies", L"numShapes", L"numAxisSolverConstraints",
          L"getNumBroadPhaseAdds", L"getNumBroadPhaseRemoves"})
        addLine(label);
    TotalStopwatch = std::make_unique<Stopwatch>(L"Total", frameTargetInterval,
                                                 profilerManager ? profilerManager->clock() : StopwatchClock::system());
    Stopwatches.push_back(TotalStopwatch.get());
    addLine(L"Total");
    if (profilerManager)
        for (int i = 0; i < ProfilerManager::stopwatchCount; ++i)
            if (Stopwatch* watch = profilerManager->getStopwatch(i)) {
                Stopwatches.push_back(watch);
                addLine(watch->name().c_str());
            }
    TimedSums.assign(Stopwatches.size(), 0.0);
    layoutLines();
}

GUIDebugStats::~GUIDebugStats() = default;

void GUIDebugStats::addLine(const wchar_t* label) {
    const s32 y = lineHeight * static_cast<s32>(Lines.size());
    gui::IGUIStaticText* line =
        Environment->addStaticText(label, core::recti(LeftX, y, RightX, y + lineHeight), false, false, this, -1, true);
    line->setSubElement(true);
    line->setOverrideColor(lineText);
    line->setBackgroundColor(lineBox);
    if (gui::IGUIFont* font = getCachedFont(fontPath, fontPixels))
        line->setOverrideFont(font);
    Lines.push_back(line);
}

void GUIDebugStats::layoutLines() {
    // The lines' font decides the room a line needs: the column widens to its longest line
    // and the lines stand one font height apart, so none runs off the screen or over another.
    gui::IGUIFont* font = Lines.empty() ? nullptr : Lines.front()->getActiveFont();
    const s32 screenW = static_cast<s32>(Environment->getVideoDriver()->getScreenSize().Width);
    s32 height = lineHeight;
    s32 width = columnWidth;
    if (font) {
        height = std::max(height, static_cast<s32>(font->getDimension(L"Ag").Height) + 2);
        for (gui::IGUIStaticText* line : Lines)
            width = std::max(width, static_cast<s32>(font->getDimension(line->getText()).Width) + textMargin);
    }
    width = std::min(width, screenW);
    LeftX = screenW - width;
    RightX = screenW;
    for (std::size_t i = 0; i < Lines.size(); ++i) {
        const s32 y = height * static_cast<s32>(i);
        Lines[i]->setRelativePosition(core::recti(LeftX, y, RightX, y + height));
    }
    ListBox->setRelativePosition(core::recti(LeftX, 0, RightX, height * static_cast<s32>(Lines.size())));
}

void GUIDebugStats::update() {
    // In front of every screen, also those opened after it was made.
    if (Parent)
        Parent->bringToFront(this);
    // The frame since the last beginFrameTiming.
    TotalStopwatch->tick();
    video::IVideoDriver* driver = Environment->getVideoDriver();
    Lines[0]->setText((L" Driver: " + std::wstring(driver->getName())).c_str());

    const u32 fps = static_cast<u32>(std::max(driver->getFPS(), 0));
    ++FrameCount;
    FpsSum += fps;
    BestFps = std::max(BestFps, fps);
    Lines[1]->setText((L" FPS: " + statsNumber(fps) + L" Best: " + statsNumber(BestFps) + L" Average: " +
                       statsNumber(FpsSum / FrameCount))
                          .c_str());
    Lines[2]->setText((L" Triangles: " + statsNumber(driver->getPrimitiveCountDrawn(0))).c_str());

    if (inputManager && inputManager->getMouse()) {
        const MouseState& mouse = inputManager->getMouse()->systemMouse();
        Lines[3]->setText((L" Mouse X:" + std::to_wstring(mouse.x) + L" Y:" + std::to_wstring(mouse.y) +
                           statsFormat(" DX:%.0f", mouse.deltaX) + statsFormat(" DY:%.0f", mouse.deltaY))
                              .c_str());
    }
    Lines[4]->setText(L" Physics Stats:");
    if (physicsManager && physicsManager->getScene()) {
        phys::SimulationStatistics stats;
        physicsManager->getScene()->getSimulationStatistics(stats);
        const auto shapes = [&stats](phys::GeometryType type) { return statsNumber(stats.nbShapes[static_cast<int>(type)]); };
        Lines[5]->setText((L"   Active Constraints: " + statsNumber(stats.nbActiveConstraints)).c_str());
        Lines[6]->setText((L"   Active Dynamic Bodies: " + statsNumber(stats.nbActiveDynamicBodies)).c_str());
        Lines[7]->setText((L"   Active Kinematic Bodies: " + statsNumber(stats.nbActiveKinematicBodies)).c_str());
        Lines[8]->setText((L"   Static Bodies: " + statsNumber(stats.nbStaticBodies)).c_str());
        Lines[9]->setText((L"   B:" + shapes(phys::GeometryType::Box) + L" C:" + shapes(phys::GeometryType::Capsule) +
                           L" M:" + shapes(phys::GeometryType::ConvexMesh) + L" S:" +
                           shapes(phys::GeometryType::Sphere) + L" T:" + shapes(phys::GeometryType::TriangleMesh))
                              .c_str());
        Lines[10]->setText((L"   Axis Solver Constraints: " + statsNumber(stats.nbAxisSolverConstraints)).c_str());
        Lines[11]->setText((L"   Broad Phase Adds: " + statsNumber(stats.nbBroadPhaseAdds)).c_str());
        Lines[12]->setText((L"   Broad Phase Removes: " + statsNumber(stats.nbBroadPhaseRemoves)).c_str());
    }
    writeTimeLines();
    layoutLines();
}

void GUIDebugStats::writeTimeLines() {
    const bool timed = FrameBegun;
    FrameBegun = false;
    if (timed)
        ++TimedFrames;
    for (std::size_t i = 0; i < Stopwatches.size() && 13 + i < Lines.size(); ++i) {
        const Stopwatch& watch = *Stopwatches[i];
        if (timed) {
            TimedSums[i] += watch.delta();
            Lines[13 + i]->setText((L" " + watch.name() + statsFormat(": %.2f ms", watch.delta() * 1000.0) +
                                    statsFormat(" Avg: %.2f ms", TimedSums[i] / TimedFrames * 1000.0))
                                       .c_str());
        } else if (TimedFrames == 0) {
            // The stopwatches hold time from before the profiler ran: no figure yet.
            Lines[13 + i]->setText((L" " + watch.name()).c_str());
        }
    }
}

void GUIDebugStats::beginFrameTiming() {
    // The parts start from nothing, so a part that does not run this frame (no physics step,
    // no level update) shows nothing for it. No physics step is in flight here: the frame's
    // update has fetched it before the overlay's.
    for (Stopwatch* watch : Stopwatches)
        watch->restart();
    FrameBegun = !profilerManager || profilerManager->isEnabled();
}

void GUIDebugStats::restartTiming() {
    for (Stopwatch* watch : Stopwatches) {
        watch->restart();
        watch->clearAverages();
    }
    TimedSums.assign(Stopwatches.size(), 0.0);
    TimedFrames = 0;
    FrameBegun = false;
}

void GUIDebugStats::toggleOnKey() {
    if (!debugMode || keyboardKeyState(debugStatsKey) != debugStatsKeyPressed)
        return;
    setVisible(!isVisible());
    restartTiming();
}

void GUIDebugStats::OnPostRender(u32 timeMs) {
    if (profilerManager)
        profilerManager->setEnabled(isVisible());
    // The profiler stops with the overlay: the frame begun is not timed whole.
    if (!isVisible())
        FrameBegun = false;
    if (isVisible())
        gui::IGUIElement::OnPostRender(timeMs);
}
