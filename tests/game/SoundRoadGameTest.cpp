// The sound of the running game, heard through OpenAL Soft's wave-file writer (named by an
// alsoft configuration through ALSOFT_CONF): the menu music under the title screen, and
// with the music muted, the effects of each story level, are in the written samples, louder
// than the music; no sound file is missing.
#include "GameFixture.h"

#include "core/Globals.h"
#include "core/SoundManager.h"
#include "level/LevelManager.h"
#include "platform/audio/EventSystem.h"
#include "screens/ScreenManager.h"

#include "support/WaveRecording.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using test::readRecording;
using test::Recording;

class SoundRoadGameTest : public GameFixture {
protected:
    SoundRoadGameTest() {
        std::ofstream conf(dir.file("alsoft.conf"));
        conf << "[general]\ndrivers = wave\nchannels = stereo\nsample-type = int16\nfrequency = 44100\n"
             << "[wave]\nfile = " << dir.file("out.wav") << "\n";
    }
    static double played() { return soundManager->getEventSystem()->output()->playedSeconds(); }

    // OpenAL Soft reads its configuration once a process: the first test that opens it names it.
    test::ScopedEnv configuration{"ALSOFT_CONF", dir.file("alsoft.conf")};
    test::ScopedEnv output{"PADDLESTONE_AUDIO_OUTPUT", "openal"};
};

TEST_F(SoundRoadGameTest, TheMenuMusicAndEveryStoryLevelsEffectsAreHeard) {
    // The levels' sounds come at their times in the game: a busy machine runs the same frames
    // later and plays them further apart. Each level is heard for its seconds of play (in
    // frames) and of sound, and its loudest second is measured.
    useSteadyFrames();
    struct Window {
        std::string what;
        double from = 0.0, to = 0.0;
        int fromFrame = 0;
    };
    std::vector<Window> windows;
    // Seconds heard of the menu and of each level (the potting shed's first thing falls
    // about six seconds in).
    double listenSeconds = 2.0;
    auto listen = [&](std::string what) {
        windows.push_back({std::move(what), played(), 0.0, frame});
    };
    auto heardLongEnough = [&] {
        return played() >= windows.back().from + listenSeconds &&
               (frame - windows.back().fromFrame) * frameTargetInterval >= listenSeconds;
    };

    waitFor("the title", titleShown, [&] {
        ASSERT_FALSE(soundManager->getEventSystem()->output()->isNull());
        listen("the menu music");
    });
    for (const char* level : {"Content/Levels/Story_Garden.irr", "Content/Levels/Story_Greenhouse.irr",
                              "Content/Levels/Story_Shed.irr"}) {
        waitFor(std::string("heard before ") + level, heardLongEnough, [&windows, &listenSeconds, level] {
            windows.back().to = played();
            listenSeconds = 8.0;
            screenManager->closeAllScreens();
            levelManager->unloadLevel();
            ASSERT_TRUE(levelManager->loadLevel(level));
            // Only the level's own sounds from here on.
            soundManager->musicVolume = 0.0f;
            soundManager->applyCategoryVolumes();
        });
        waitFor(std::string("playing ") + level, [] { return screenManager->isInputAllowed(); },
                [&listen, level] { listen(level); });
    }
    waitFor("the last level heard", heardLongEnough, [&] { windows.back().to = played(); });
    ASSERT_NO_FATAL_FAILURE(playGame());

    const Recording recording = readRecording(dir.file("out.wav"));
    ASSERT_GT(recording.rate, 0);
    for (const Window& window : windows)
        EXPECT_GT(recording.loudest(window.from, window.to, 1.0), 0.003) << window.what;
    // The mix: at the default volumes each level's effects stand well out over the music,
    // and nothing reaches full scale.
    const double music = recording.rms(windows.front().from, windows.front().to);
    for (std::size_t i = 1; i < windows.size(); ++i)
        EXPECT_GT(recording.loudest(windows[i].from, windows[i].to, 0.25), 2.0 * music) << windows[i].what;
    float loudestSample = 0.0f;
    for (float sample : recording.samples)
        loudestSample = std::max(loudestSample, std::fabs(sample));
    EXPECT_LT(loudestSample, 0.999f);
    for (const std::string& line : logLines())
        EXPECT_EQ(line.find("File not found"), std::string::npos) << line;
}

} // namespace
