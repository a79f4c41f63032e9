#include "LevelMenuFixture.h"

#include "core/Globals.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "level/SceneNodeFactory.h"
#include "screens/levels/LevelCatalogue.h"

#include <filesystem>

using namespace irr;

namespace screenstest {

namespace {

// (Any flag value but 0 sets the flag: B's is -1.)
constexpr const char* catalogue = R"(<?xml version="1.0"?>
<Levels>
  <Level path="Content/Levels/A.irr" menuPreview="Content/Levels/PreviewA.irr" title="A" description="Alpha" devBestTime="60" isFirstLevel="1"/>
  <Level path="Content/Levels/B.irr" menuPreview="Content/Levels/PreviewB.irr" title="B" isHidden="-1"/>
  <Level path="Content/Levels/C.irr" menuPreview="Content/Levels/PreviewC.irr" title="C" devBestTime="30" isHidden="0" isFirstLevel="0"/>
  <Level path="Content/Levels/D.irr" title="D" isShorts="1"/>
  <Level path="Content/Levels/E.irr" menuPreview="Content/Levels/PreviewE.irr" title="E" devBestTime="45" isShorts="0"/>
</Levels>
)";

constexpr const char* texts = R"(<?xml version="1.0"?>
<Levels>
  <Level path="content/levels/a.irr" title="Alpha Title" description="Alpha Text"/>
  <Level path="Content/Levels/E.irr" title="E1" description="First"/>
  <Level path="Content/Levels/E.irr" title="E2" description="Second"/>
  <Level path="Content/Levels/Z.irr" title="Zed" description="Nowhere"/>
</Levels>
)";

constexpr const char* previewScene = R"(<?xml version="1.0"?>
<irr_scene>
  <node type="empty">
    <attributes>
      <string name="Name" value="Stage" />
      <bool name="Visible" value="true" />
    </attributes>
  </node>
</irr_scene>
)";

void writeContent(const std::filesystem::path& root) {
    std::filesystem::create_directories(root / "Content/Config");
    std::filesystem::create_directories(root / "Content/Language/English");
    std::filesystem::create_directories(root / "Content/Levels");
    test::writeFileBytes((root / "Content/Config/DemoLevels.xml").string(), catalogue);
    test::writeFileBytes((root / "Content/Language/English/Levels.xml").string(), texts);
    test::writeFileBytes((root / "Content/Language/English/BuildNotes.txt").string(), "Paddlestone notes\n");
    // The menus' pictures and fonts are the game's own.
    for (const char* folder : {"Content/Screens", "Content/Font"})
        std::filesystem::create_directory_symlink(test::sourceDir() / folder, root / folder);
    for (const char* scene : {"PreviewA", "PreviewB", "PreviewC", "PreviewE", "Menu_Locked", "CalibrationLevel",
                              "WorkshopPreview"})
        test::writeFileBytes((root / "Content/Levels" / (std::string(scene) + ".irr")).string(), previewScene);
}

} // namespace

void LevelMenuFixture::SetUp() {
    guitest::GuiFixture::SetUp();
    writeContent(content.path());
    contentDir = std::make_unique<test::ScopedWorkingDir>(content.path());
    ASSERT_TRUE(level->init());
    registerSceneNodeFactory(device->getSceneManager());
    save = std::make_unique<SaveManager>(device->getFileSystem(), content.file("save"));
    saveManager = save.get();
    save->load();
    save->addUnlockedLevel(L"content/LEVELS/e.irr");
    LevelLockActive = true;
}

void LevelMenuFixture::TearDown() {
    forgetMenuPreviews();
    AllLevels.clear();
    MenuLevels.clear();
    LevelTexts.clear();
    LevelLockActive = true;
    device->getSceneManager()->clear();
    saveManager = nullptr;
    save.reset();
    contentDir.reset();
    guitest::GuiFixture::TearDown();
}

scene::ISceneNode* LevelMenuFixture::previewNode(s32 index) const {
    return device->getSceneManager()->getSceneNodeFromId(firstLevelPreviewId + index);
}

} // namespace screenstest
