#pragma once

#include "gui/GUIScreen.h"

#include <map>
#include <vector>

class GUIButton;
class GUIFreeTypeText;
class GUIImage;
class GUIMenuItem;
class GUIScrollList;

namespace irr {
namespace gui {
class IGUIFont;
}
namespace scene {
class ISceneNode;
}
} // namespace irr

// The base of every menu screen: a tall decorated side panel at the left or right screen
// edge, a title over a coloured bar, a list of rows inside a scroll list, a back row above
// the title, a tooltip line at the bottom, navigation between the rows, and the slide of
// the whole screen with its fade. Derived screens build their rows and say what back does.
// Reports itself as "GUIScreen" and is saved as one.
class GUIOptionsList : public GUIScreen {
public:
    static constexpr const char* objectsFolder = "Content/Screens/Objects/";
    static constexpr irr::s32 backTextId = 105;

    GUIOptionsList(irr::gui::IGUIEnvironment* environment, bool openedFromMainMenu, bool panelOnRight);
    ~GUIOptionsList() override;

    bool OnEvent(const irr::SEvent& event) override;
    void OnPostRender(irr::u32 timeMs) override;
    void onShow() override;
    void startFadeOut(irr::f32 seconds) override;

    virtual irr::s32 getPanelType() const { return PanelType; }
    virtual bool isPanelOnRight() const { return PanelOnRight; }
    virtual void buildScreen() = 0;
    virtual void addItem(GUIButton* element) { Items.push_back(element); }
    virtual void insertItem(GUIButton* element, irr::u32 index);
    virtual void removeItem(GUIButton* element);
    virtual void linkItemNeighbours();
    virtual void setItemsEnabled(bool enabled);
    virtual void buildItems();
    // The back action: the back row when it was clicked, null for the back key.
    virtual void onBack(GUIButton* element) = 0;

    GUIMenuItem* addMenuItem(const wchar_t* text);
    void createPanel(irr::s32 panelType);
    void createTitle(const wchar_t* text, irr::gui::IGUIFont* font);
    void createBackButton();
    irr::core::position2di getItemPosition(irr::u32 index) const;
    void updatePanelSlide();
    void onLanguageChanged();
    // A panel screen stacked over this one has come in: this screen's title, rows, back row
    // and tooltip stop drawing (its panel stays), so they do not show through the upper
    // panel; the screen stays open beneath and draws them again once uncovered.
    void setCoveredByPanel(bool covered) { CoveredByPanel = covered; }
    bool isCoveredByPanel() const { return CoveredByPanel; }
    bool drawsChild(const irr::gui::IGUIElement* child) const override;

    const std::vector<GUIButton*>& getItems() const { return Items; }
    GUIScrollList* getScrollList() const { return ScrollList; }
    GUIFreeTypeText* getTitleText() const { return TitleText; }
    GUIImage* getTitleBar() const { return TitleBar; }
    GUIMenuItem* getBackButton() const { return BackButton; }
    GUIFreeTypeText* getTooltipText() const { return TooltipText; }
    GUIImage* getTooltipBar() const { return TooltipBar; }
    GUIImage* getPanel() const { return Panel; }
    irr::scene::ISceneNode* getMenuCamera() const { return MenuCamera; }
    irr::gui::IGUIFont* getItemFont() const { return ItemFont; }
    irr::s32 getPanelWidth() const { return PanelWidth; }
    irr::s32 getItemWidth() const { return ItemWidth; }
    irr::s32 getItemHeight() const { return ItemHeight; }
    irr::s32 getPanelX() const { return PanelX; }
    irr::s32 getMargin() const { return Margin; }
    bool isOpenedFromMainMenu() const { return OpenedFromMainMenu; }

protected:
    void onBackClicked(GUIButton* row);

    GUIScrollList* ScrollList = nullptr;
    std::vector<GUIButton*> Items;
    irr::gui::IGUIFont* ItemFont = nullptr;
    irr::s32 Margin;
    irr::s32 PanelX;
    irr::s32 ItemOffsetX;
    irr::s32 PanelType = 0;
    irr::s32 PanelWidth;
    irr::s32 ItemWidth;
    irr::s32 ItemHeight;
    irr::s32 ItemSpacing = 0;
    irr::s32 ListHeight;
    std::map<irr::u32, irr::s32> ItemGaps;
    GUIFreeTypeText* TitleText = nullptr;
    GUIImage* TitleBar = nullptr;
    GUIMenuItem* BackButton = nullptr;
    irr::scene::ISceneNode* MenuCamera = nullptr;
    GUIFreeTypeText* TooltipText = nullptr;
    GUIImage* TooltipBar = nullptr;
    GUIImage* Panel = nullptr;
    bool OpenedFromMainMenu;
    bool PanelOnRight;
    bool CoveredByPanel = false;
    // How far the panel stands slid out besides its fades, 0..1 (the pause menu tucks its
    // panel away under the screens stacked over it).
    irr::f32 PanelTuck = 0.0f;
};
