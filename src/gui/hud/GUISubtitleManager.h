#pragma once

#include "core/FloatTween.h"
#include "gui/GUIScreen.h"

#include <irrString.h>
#include <path.h>

#include <vector>

class GUIFreeTypeText;

// One spoken line of a subtitle collection.
struct SubtitleRecord {
    irr::core::stringw text;
    irr::f32 duration = 0.0f;
    irr::s32 id = 0;
    irr::s32 nextId = 0; // the line shown after this one; 0: none
};

// The subtitles of spoken lines: a white line with a black shadow (optionally on a black
// box), centred near the top of the screen for the line's duration, then the chained next
// line if it has one. The lines come from the shared collection and the level's own
// (a level's line replaces a shared line of the same id). A standing screen of the HUD's
// type, so it never blocks game input; while a menu holds the input the lines wait.
//
// Collection "Content/Language/<language>/Subtitles/<name>.xml":
//   <SubtitleCollection>
//     <Subtitle id="101" text="Who left this here?" duration="2.5" nextSubtitle="102"/>
//   </SubtitleCollection>
// A file that cannot be read adds nothing (logged); one cut short adds what it holds whole.
class GUISubtitleManager : public GUIScreen {
public:
    static constexpr const char* folder = "Content/Language/English/Subtitles/";
    static constexpr const char* persistentFile = "Content/Language/English/Subtitles/Persistent.xml";
    static constexpr std::size_t maxRecordsPerFile = 10000;

    GUISubtitleManager(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent);
    ~GUISubtitleManager() override;

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    const irr::c8* getTypeName() const override { return "GUIHud"; }
    virtual irr::s32 getElementTypeId() const;

    // The level-load entry: the language's subtitle font, then the shared collection and the
    // given one (both through the language's folder) replace the records.
    void loadPersistentSubtitles(const irr::io::path& path);
    // Appends one file's records; false when the file cannot be read.
    bool loadSubtitleCollection(const irr::io::path& path);
    // Shows the line of that id (the last record of that id wins); nothing for an unknown id.
    void playSubtitle(irr::s32 id);
    // The line's time is up: hide it, and play the chained line.
    void onSubtitleFinished();
    // Hides the line and forgets the current and the chained id.
    void clear();
    void setBlackBox(bool on);

    const std::vector<SubtitleRecord>& getRecords() const { return Records; }
    irr::s32 getCurrentId() const { return CurrentId; }
    irr::s32 getNextId() const { return NextId; }
    GUIFreeTypeText* getTextLine() const { return Text; }
    GUIFreeTypeText* getShadowLine() const { return Shadow; }
    const FloatTween& getTimer() const { return Timer; }
    bool isBlackBox() const { return BlackBox; }

    // Drawn only while set; the lines still time out and chain.
    bool SubtitlesOn = false;

private:
    irr::core::recti wideRect() const;

    std::vector<SubtitleRecord> Records;
    FloatTween Timer;
    irr::s32 CurrentId = 0;
    irr::s32 NextId = 0;
    GUIFreeTypeText* Text = nullptr;
    GUIFreeTypeText* Shadow = nullptr;
    bool BlackBox = false;
};
