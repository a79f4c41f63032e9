// Content files (fonts, images, meshes, sounds) that a hostile user level can name or that a
// player can damage: each is checked before the engine reads it.
#include "LevelTestSupport.h"

#include "core/FileChecks.h"

#include <irrlicht.h>

#include <filesystem>
#include <string>

using namespace irr;

namespace {

class HostileContentTest : public test::LevelFixture {
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
