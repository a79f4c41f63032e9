// Hostile values for every settings key, as a damaged or hand-edited settings file holds
// them: out of range, of the wrong type, huge, negative, not numbers. Each is read as a value
// of its key's type and range (or its default) with at most one log line naming the key, and
// the file saved after it reads back clean. Then the game starts with random mixes of them,
// runs a few frames and shuts down, for PADDLESTONE_FUZZ_SECONDS (default 10 s) under the
// sanitizers; PADDLESTONE_FUZZ_SEED changes the mixes. Each input's limit is judged by the
// time the machine gave it (support/GivenTime.h).
#include "app/ShellFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/SettingsTable.h"
#include "core/app/GameApplication.h"
#include "support/FuzzOptions.h"
#include "support/FuzzWatch.h"
#include "support/GivenTime.h"

#include <irrlicht.h>

#include <chrono>
#include <cmath>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace {

// The values each key is given (the texts between the quotes of value="...").
const std::vector<std::string>& hostileValues() {
    static const std::vector<std::string> values = {
        "",        " ",           "-1",          "0",     "2147483647", "2147483648", "-2147483649",
        "1e39",    "-1e39",       "3.4e38",      "1e-45", "nan",        "NaN",        "inf",
        "-inf",    "0x10",        "12abc",       "yes",   "TRUE",       "\t7\n",      "&amp;&lt;&quot;",
        "\xC3\xB6", std::string(100000, '9'), std::string(100000, 'A'),
    };
    return values;
}

const char* elementOf(SettingType type) {
    switch (type) {
    case SettingType::Int:
        return "int";
    case SettingType::Float:
        return "float";
    case SettingType::Bool:
        return "bool";
    case SettingType::Text:
        break;
    }
    return "string";
}

std::string settingsFileWith(const std::vector<std::pair<const SettingDefinition*, std::string>>& entries) {
    std::string text = "<?xml version=\"1.0\"?>\n<Game>\n";
    for (const auto& [definition, value] : entries)
        text += std::string("<") + elementOf(definition->type) + " name=\"" + definition->key + "\" value=\"" +
                value + "\" />\n";
    return text + "</Game>\n";
}

// What the program reads for the key lies in its type and range.
void expectValueInRange(const SettingDefinition& definition, const std::string& given) {
    switch (definition.type) {
    case SettingType::Int:
        if (definition.ranged) {
            EXPECT_GE(getSettingInt(definition.key), definition.minimum) << definition.key << " = " << given;
            EXPECT_LE(getSettingInt(definition.key), definition.maximum) << definition.key << " = " << given;
        }
        break;
    case SettingType::Float: {
        const float value = getSettingFloat(definition.key);
        EXPECT_TRUE(std::isfinite(value)) << definition.key << " = " << given;
        if (definition.ranged) {
            EXPECT_GE(value, definition.minimum) << definition.key << " = " << given;
            EXPECT_LE(value, definition.maximum) << definition.key << " = " << given;
        }
        break;
    }
    case SettingType::Bool:
        break;
    case SettingType::Text:
        if (!definition.choices.empty()) {
            const std::string value = getSettingString(definition.key);
            bool known = false;
            for (const char* choice : definition.choices)
                known |= value == choice;
            EXPECT_TRUE(known) << definition.key << " = " << value;
        }
        break;
    }
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

class SettingsFuzzTest : public ShellFixture {
protected:
    // Loads the file through a settings object of its own; answers the lines it logged.
    std::vector<std::string> load(GameSettings& settings) {
        gameSettings = &settings;
        ::testing::internal::CaptureStdout();
        settings.load(false);
        return linesOf(::testing::internal::GetCapturedStdout());
    }
};

// Every key at once given the same value, value after value: every line logged names a key,
// each read value lies in its key's range, and the file saved then reads back clean.
TEST_F(SettingsFuzzTest, EveryKeyTakesEveryHostileValueInItsRange) {
    const std::string path = dir.file("Fuzz.xml");
    const std::span<const SettingDefinition> table = settingDefinitions();
    test::FuzzWatch watch;
    for (const std::string& value : hostileValues()) {
        const std::string shown = value.substr(0, 20);
        watch.begin("every key = \"" + shown + "\"");
        std::vector<std::pair<const SettingDefinition*, std::string>> entries;
        for (const SettingDefinition& definition : table)
            entries.emplace_back(&definition, value);
        ASSERT_TRUE(test::writeFileBytes(path, settingsFileWith(entries)));
        {
            GameSettings settings(path);
            const std::vector<std::string> lines = load(settings);
            // One warning a key at most, and one line for all the values of the wrong type.
            EXPECT_LE(lines.size(), table.size() + 1) << shown;
            for (const std::string& line : lines) {
                // A value of megabytes is not written out whole.
                EXPECT_LT(line.size(), 4096u) << line.substr(0, 200);
                bool namesAKey = false;
                for (const SettingDefinition& definition : table)
                    namesAKey |= line.find(definition.key) != std::string::npos;
                EXPECT_TRUE(namesAKey) << line;
            }
            for (const SettingDefinition& definition : table)
                expectValueInRange(definition, shown);
            settings.save();
        }
        GameSettings again(path);
        EXPECT_TRUE(load(again).empty()) << shown;
        gameSettings = nullptr;
        watch.end();
    }
}

TEST_F(SettingsFuzzTest, TheGameRunsWithRandomMixesOfHostileValues) {
    std::mt19937 random(test::fuzzSeed());
    const auto pick = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    const std::span<const SettingDefinition> table = settingDefinitions();
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(test::fuzzSeconds(10.0));
    int runs = 0;
    // One input is a whole game started, run for five frames and shut down: three times the
    // time of a file. (The slowest mix, a screen 16,384 pixels high, takes about 6 s.)
    test::FuzzWatch watch(3 * test::fuzzInputSeconds());
    while (runs == 0 || std::chrono::steady_clock::now() < end) {
        std::vector<std::pair<const SettingDefinition*, std::string>> entries;
        std::string mix;
        for (std::size_t n = 1 + pick(6); n > 0; --n) {
            const SettingDefinition& definition = table[pick(table.size())];
            const std::string& value = hostileValues()[pick(hostileValues().size())];
            entries.emplace_back(&definition, value);
            mix += std::string(definition.key) + "=" + value.substr(0, 20) + " ";
        }
        // The headless game: the driver and its vsync stay as the fixture wrote them.
        entries.emplace_back(findSettingDefinition("Graphics_Driver"), "Null");
        entries.emplace_back(findSettingDefinition("Graphics_Vsync"), "false");
        ASSERT_TRUE(test::writeFileBytes("PaddlestoneConfig.xml", settingsFileWith(entries)));
        ++runs;
        watch.begin("the game with " + mix);

        GameApplication game;
        ASSERT_TRUE(game.startUp()) << mix;
        ASSERT_NO_FATAL_FAILURE(attachProbe());
        probe = FrameProbe();
        const test::GivenTime run;
        probe.onUpdate = [this] {
            if (probe.updates == 5)
                QuitRequested = true;
        };
        probe.onDraw = [&run] {
            if (run.seconds() > 30.0)
                QuitRequested = true; // the updates stopped: the check below fails
        };
        game.runFrames();
        for (const SettingDefinition& definition : table)
            expectValueInRange(definition, mix);
        game.shutdownGame();
        EXPECT_EQ(probe.updates, 5) << mix;
        EXPECT_EQ(logLines().back(), "Shutting down.") << mix;
        resetProgramFlags();
        watch.end();
    }
    RecordProperty("runs", runs);
}

} // namespace
