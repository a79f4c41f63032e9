#pragma once

#include "gui/GUIButton.h"

class GUIOptionsList;

// The full-screen invisible button that parents the rows of a menu screen and lays them out
// every frame: at most 12 rows at a time, scrolled with two arrow buttons, the mouse wheel
// and the focus, sliding in from the panel's side when the screen comes up. Focusing the
// list sends the focus on to the row that had it last. Reports itself as "GUIButton".
class GUIScrollList : public GUIButton {
public:
    static constexpr const char* upTexture = "Content/Screens/Objects/ListUpButton.png";
    static constexpr const char* downTexture = "Content/Screens/Objects/ListDownButton.png";
    static constexpr irr::s32 visibleRows = 12;

    GUIScrollList(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent,
                  const irr::core::rect<irr::s32>& rectangle);

    bool OnEvent(const irr::SEvent& event) override;
    void OnPostRender(irr::u32 timeMs) override;

    void onScrollButton(GUIButton* button);
    // The row's index in the owning list (0 when it is not there).
    irr::s32 getItemIndex(const irr::gui::IGUIElement* element);
    // Hides, disables and removes the row; the focus goes to the next enabled row or the list.
    void removeItem(GUIButton* row);
    // The screen that holds this list, when it is a menu screen.
    GUIOptionsList* getOwningList() const;

    GUIButton* getUpButton() const { return UpButton; }
    GUIButton* getDownButton() const { return DownButton; }
    irr::s32 getFirstVisible() const { return FirstVisible; }
    void setFirstVisible(irr::s32 first) { FirstVisible = first; }
    irr::s32 getItemCount() const { return ItemCount; }
    irr::s32 getFocusedIndex() const { return FocusedIndex; }
    irr::f32 getAppear() const { return Appear; }
    void setAppear(irr::f32 appear) { Appear = appear; }
    void setVisibleCount(irr::s32 count) { VisibleCount = count; }
    irr::s32 getVisibleCount() const { return VisibleCount; }

private:
    GUIButton* createArrowButton(const char* texturePath);
    void clampFirstVisible();

    GUIButton* UpButton = nullptr;
    GUIButton* DownButton = nullptr;
    irr::s32 ItemCount = 0;
    irr::s32 VisibleCount = visibleRows;
    irr::s32 FirstVisible = 0;
    irr::s32 FocusedIndex = 0;
    irr::f32 Appear = 0.0f;
};
