#pragma once

#include <IGUIElement.h>

#include <memory>
#include <vector>

namespace irr::gui {
class IGUIListBox;
class IGUIStaticText;
} // namespace irr::gui

class Stopwatch;

// The debug statistics overlay: a column of lines at the right edge of the screen with the
// video driver, the frame rates, the triangles drawn, the mouse, the physics scene's
// statistics and the profiler's stopwatches. Hidden at creation; in debug mode F6 shows and
// hides it. While it shows it is rebuilt every frame, drawn in front of every screen, and
// the profiler runs. Its lines are small white text on a dark box behind the column.
//
// The time lines show only frames timed whole: the Total from one update to the next (the
// whole frame), each profiler part what it measured in between, and the average of each over
// the frames timed since the overlay was shown. Until the first such frame they show their
// names.
class GUIDebugStats : public irr::gui::IGUIElement {
public:
    static constexpr irr::s32 elementId = -11;
    static constexpr irr::s32 lineHeight = 20;
    static constexpr irr::s32 columnWidth = 400;
    // Room left of a line's text inside its column.
    static constexpr irr::s32 textMargin = 8;
    // The lines' own font and its size in pixels (the skin's font is the large debug font).
    static constexpr const char* fontPath = "Content/Font/NoMove.ttf";
    static constexpr irr::s32 fontPixels = 14;

    explicit GUIDebugStats(irr::gui::IGUIEnvironment* environment);
    ~GUIDebugStats() override;

    void OnPostRender(irr::u32 timeMs) override;
    const irr::c8* getTypeName() const override { return "GUIDebugStats"; }

    // Rewrites every line (each frame while the overlay shows).
    void update();
    // Starts timing a frame: the Total and the profiler's parts from nothing; the next
    // update counts the frame when the profiler ran for it.
    void beginFrameTiming();
    // F6 in debug mode shows or hides the overlay and restarts the averages.
    void toggleOnKey();

    const std::vector<irr::gui::IGUIStaticText*>& getLines() const { return Lines; }
    irr::gui::IGUIListBox* getListBox() const { return ListBox; }
    Stopwatch& getTotalStopwatch() { return *TotalStopwatch; }
    // Frames timed whole since the overlay was last shown.
    irr::u32 getTimedFrames() const { return TimedFrames; }

private:
    void addLine(const wchar_t* label);
    // Places the lines in a column at the right edge as wide as the longest line.
    void layoutLines();
    // Forgets the frames timed so far: a new showing times afresh.
    void restartTiming();
    // The time lines: each stopwatch's frame and average, or its name before a timed frame.
    void writeTimeLines();

    irr::s32 LeftX;
    irr::s32 RightX;
    irr::u32 BestFps = 0;
    irr::u32 FpsSum = 0;
    irr::u32 FrameCount = 0;
    std::vector<irr::gui::IGUIStaticText*> Lines;
    std::vector<Stopwatch*> Stopwatches;
    // Each stopwatch's seconds over the frames timed (a profiler part may tick several times
    // a frame, or not at all: its own average is not one of frames).
    std::vector<double> TimedSums;
    irr::u32 TimedFrames = 0;
    // beginFrameTiming ran with the profiler on and no update has counted the frame yet.
    bool FrameBegun = false;
    std::unique_ptr<Stopwatch> TotalStopwatch;
    irr::gui::IGUIListBox* ListBox = nullptr;
};
