#pragma once

#include "gui/GUIOptionsList.h"

#include <vector>

namespace irr::video {
class ITexture;
}

class GUIDeleteRow;

// The menu of the user levels in the Workshop folder: one row per level with its title and
// a delete button. Focusing a row shows the level's picture on the board of the Workshop
// backdrop, choosing it starts the level, and the delete button removes the level's archive
// after a question. While the menu shows it looks at the folder once a second and rebuilds
// itself when the folder changed.
class GUILevelSelectScreen : public GUIOptionsList {
public:
    static constexpr irr::s32 boardNodeId = 15010;
    static constexpr const char* missingPicture = "Content/Models/Editor/White.png";

    explicit GUILevelSelectScreen(irr::gui::IGUIEnvironment* environment);

    const irr::c8* getTypeName() const override { return "GUILevelSelectScreen"; }
    void OnPostRender(irr::u32 timeMs) override;
    void refreshFocus() override;
    void onFadeOutDone() override;
    void buildScreen() override;
    void buildItems() override;
    void onBack(GUIButton* element) override;

    GUIDeleteRow* addDeleteRow(const wchar_t* text);
    void onLevelFocused(GUIButton* row);
    void onLevelClicked(GUIButton* row);
    void onDeleteRequested(GUIButton* row);
    void deleteWorkshopLevel(irr::s32& choice);

    const std::vector<GUIButton*>& getRows() const { return Rows; }
    irr::video::ITexture* getPreviewTexture() const { return PreviewTexture; }
    irr::s32 getPendingDeleteIndex() const { return PendingDeleteIndex; }

private:
    void releasePreview();
    void startLevel();

    std::vector<GUIButton*> Rows;
    GUIButton* ChosenItem = nullptr;
    GUIButton* FocusedItem = nullptr;
    irr::video::ITexture* PreviewTexture = nullptr;
    irr::f32 RescanTimer = 1.0f;
    irr::s32 PendingDeleteIndex = -1;
};
