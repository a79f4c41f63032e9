#pragma once

#include "core/GameSettings.h"
#include "core/Globals.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace bench {

// A working folder of its own for a benchmark that plays the whole game (settings, log,
// lock, player files), linking the repository's content; the player's folder lies inside
// it too. Made from the repository root; removed, and the root made current again, at the end.
class GameBenchFolder {
public:
    explicit GameBenchFolder(const char* name) : root(std::filesystem::current_path()) {
        folder = std::filesystem::temp_directory_path() /
                 ("paddlestone-" + std::string(name) + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder / "data");
        std::error_code ignored;
        std::filesystem::create_directory_symlink(root / "Content", folder / "Content", ignored);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    }
    ~GameBenchFolder() {
        std::error_code ignored;
        std::filesystem::current_path(root, ignored);
        std::filesystem::remove_all(folder, ignored);
    }
    GameBenchFolder(const GameBenchFolder&) = delete;
    GameBenchFolder& operator=(const GameBenchFolder&) = delete;

    // The game's default settings on the OpenGL driver in a 1280 x 720 window, without vsync
    // (under Xvfb vsync ends the process with an X error) and without antialiasing.
    void writeSettings() const {
        GameSettings settings((folder / "PaddlestoneConfig.xml").string().c_str());
        settings.load(true);
        GameSettings* previous = gameSettings;
        gameSettings = &settings;
        setSettingString("Graphics_Driver", "OpenGL");
        setSettingBool("Graphics_Vsync", false);
        setSettingInt("Graphics_Antialiasing", 0);
        setSettingInt("Graphics_ScreenWidth", 1280);
        setSettingInt("Graphics_ScreenHeight", 720);
        settings.save();
        gameSettings = previous;
    }

    std::filesystem::path root;
    std::filesystem::path folder;
};

} // namespace bench
