#pragma once

#include "gui/GUIImage.h"
#include "level/ObjectiveList.h"
#include "render/SpriteAnimation.h"

#include <vector>

class GUIFreeTypeText;

// The objective panel of the HUD: the level's objectives as rows (an icon, a title with a
// shadow, the marks of a completed objective) centred at the bottom of the screen, with the
// suspicion meter drawn over it. It lays itself out every frame, moves up and aside while
// the pause menu dims in so the objectives stay readable beside it, and is the level's
// objective list's display. Its visible flag is raised only while it draws itself, so the
// input gate never counts it.
class GUIObjectiveCenter : public GUIImage, public ObjectiveDisplay {
public:
    static constexpr const char* defaultTaskIcons = "Content/Screens/HUD/TaskIcons.xml";
    static constexpr const char* lineTexture = "Content/Models/Editor/White.png";
    static constexpr const char* highlightTexture = "Content/Screens/Objects/OptionColor.png";
    static constexpr const char* barTexture = "Content/Screens/Objects/NotificationColor.png";
    static constexpr irr::f32 highlightSeconds = 2.0f;

    // One objective's row; its elements are children of the row element.
    struct Row {
        irr::gui::IGUIElement* element = nullptr;
        GUIFreeTypeText* title = nullptr;
        GUIFreeTypeText* shadow = nullptr;
        GUIImage* icon = nullptr;
        GUIImage* openMarker = nullptr;
        GUIImage* decorations[3] = {}; // [0] the strike line
        GUIImage* highlight = nullptr;
        irr::s32 iconFrame = 0;
        irr::f32 highlightTimer = 0.0f;
        bool highlighted = false;
    };

    GUIObjectiveCenter(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, irr::s32 id,
                       const irr::core::recti& rectangle);
    ~GUIObjectiveCenter() override;

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    const irr::c8* getTypeName() const override { return "GUIObjectiveCenter"; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // --- ObjectiveDisplay (a row is made when first named) ---
    void setRowText(int row, const wchar_t* text) override;
    void setRowOpenLook(int row, irr::s32 iconFrame, bool visible) override;
    void showCompletionHighlight(int row) override;
    void setRowCompletedLook(int row, irr::s32 iconFrame) override;
    void hideAll() override;

    // The icon animation of every row (through the sprite-animation cache).
    void setTaskIconAnimation(const irr::io::path& path);
    int countVisibleRows() const;
    void onLanguageChanged();
    // Shows the panel again after a level ended (the screen manager's level reset).
    void resetForLevel();
    // The flag setVisible keeps (the drawn flag is raised only while drawing).
    bool isShownByOwner() const { return StoredVisible; }

    const std::vector<Row>& getRows() const { return Rows; }
    irr::gui::IGUIElement* getHeader() const { return Header; }
    irr::gui::IGUIElement* getEmptyListElement() const { return EmptyList; }

private:
    Row& rowAt(int index);
    void setIconFrame(Row& row, irr::s32 frame);
    void layoutRows();
    void applyFont(GUIFreeTypeText* text);

    std::vector<Row> Rows;
    GUIImage* Header = nullptr;
    GUIImage* EmptyList = nullptr;
    SpriteAnimation IconTemplate;
    bool IconTemplateLoaded = false;
};
