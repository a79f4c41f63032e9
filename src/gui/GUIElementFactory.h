#pragma once

#include <IGUIElementFactory.h>

namespace irr::gui {
class IGUIEnvironment;
}

// The factory through which the engine's GUI environment creates the game's element classes
// by their type names when it reads a layout file. Type ids are 1000 + the index of the name
// in its table; id 1024 (the scroll list) has no name. It registers itself with the
// environment it is given.
class GUIElementFactory : public irr::gui::IGUIElementFactory {
public:
    static constexpr irr::s32 firstTypeId = 1000;
    static constexpr irr::s32 namedTypeCount = 24;
    static constexpr irr::s32 creatableTypeCount = 25;

    explicit GUIElementFactory(irr::gui::IGUIEnvironment* environment);
    ~GUIElementFactory() override;

    irr::gui::IGUIElement* addGUIElement(const irr::c8* typeName, irr::gui::IGUIElement* parent = nullptr) override;
    irr::gui::IGUIElement* addGUIElement(irr::gui::EGUI_ELEMENT_TYPE type,
                                         irr::gui::IGUIElement* parent = nullptr) override;
    irr::s32 getCreatableGUIElementTypeCount() const override { return creatableTypeCount; }
    irr::gui::EGUI_ELEMENT_TYPE getCreateableGUIElementType(irr::s32 index) const override;
    const irr::c8* getCreateableGUIElementTypeName(irr::s32 index) const override;
    const irr::c8* getCreateableGUIElementTypeName(irr::gui::EGUI_ELEMENT_TYPE type) const override;

    // A class of that name can be made by a factory of this kind (the table lists names of
    // classes that are only ever made by code).
    static bool canCreate(const irr::c8* typeName);
    // The factory is one of this kind.
    static bool isGameFactory(const irr::gui::IGUIElementFactory* factory);

private:
    irr::gui::IGUIEnvironment* Environment;
};
