// Level files a hostile user level can hand the game: each must load what it can, or be
// refused with its log line, without a crash, a hang or work beyond a stated bound.
#include "LevelTestSupport.h"

#include "core/FileChecks.h"
#include "level/LevelFile.h"

#include <irrlicht.h>

#include <filesystem>
#include <string>

using namespace irr;

namespace {

class HostileLevelsTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        workingDir = std::make_unique<test::ScopedWorkingDir>(temp.path());
        forgetFileRefusals();
    }
    void write(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(temp.file(name)).parent_path());
        ASSERT_TRUE(test::writeFileBytes(temp.file(name), bytes));
    }
    std::size_t linesContaining(const std::string& part) const {
        std::size_t count = 0;
        for (const std::string& line : log.lines)
            count += line.find(part) != std::string::npos ? 1 : 0;
        return count;
    }
};

} // namespace
