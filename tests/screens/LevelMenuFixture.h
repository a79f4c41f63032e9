#pragma once

#include "../gui/GuiFixture.h"

#include "level/LevelManager.h"
#include "level/SaveManager.h"

#include <memory>

namespace screenstest {

// A GUI with a level manager (initialised) and a save in a folder of the test's own: a level catalogue of
// five levels (A story, first; B story, hidden; C story; D shorts; E story, unlocked in the
// save under another case), the language's texts for them, and small preview scenes.
class LevelMenuFixture : public guitest::GuiFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // The scene node of a level preview (null when there is none).
    irr::scene::ISceneNode* previewNode(irr::s32 index) const;

    test::TempDir content;
    std::unique_ptr<test::ScopedWorkingDir> contentDir;
    std::unique_ptr<SaveManager> save;
};

} // namespace screenstest
