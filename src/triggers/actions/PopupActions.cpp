#include "triggers/actions/PopupActions.h"

#include "core/Globals.h"
#include "gui/GuiCommon.h"
#include "gui/hud/GUINotification.h"
#include "level/AttributeExtras.h"
#include "triggers/TriggerServices.h"
#include "triggers/actions/ActionSupport.h"

using namespace irr;

const char* const PopupScreenAction::horizontalAlignNames[4] = {"Left", "Center", "Right", nullptr};
const char* const PopupScreenAction::verticalAlignNames[4] = {"Top", "Center", "Bottom", nullptr};

std::string notificationNameFromPath(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

namespace {

// Reads the two texts of a pop-up action and names it by its file when it has no name.
void readPopupNames(io::IAttributes* in, std::string& name, std::string& path) {
    if (in->existsAttribute("NotificationPath"))
        path = in->getAttributeAsString("NotificationPath").c_str();
    if (in->existsAttribute("NotificationName"))
        name = in->getAttributeAsString("NotificationName").c_str();
    if (name.empty())
        name = notificationNameFromPath(path);
}

// Left/Top, Center and Right/Bottom as the engine's edge alignments.
gui::EGUI_ALIGNMENT popupEdgeAlignment(s32 value) {
    switch (value) {
    case 1:
        return gui::EGUIA_CENTER;
    case 2:
        return gui::EGUIA_LOWERRIGHT;
    default:
        return gui::EGUIA_UPPERLEFT;
    }
}

} // namespace

// --- Pop-up Screen ----------------------------------------------------------------------------------

gui::IGUIElement* PopupScreenAction::getNotification() const {
    // The layer drops its notifications when a level unloads: only one it still holds is used.
    const auto& notificationLayer = triggerServices().screens.notificationLayer;
    gui::IGUIElement* layer = notification && notificationLayer ? notificationLayer() : nullptr;
    if (!layer)
        return nullptr;
    for (gui::IGUIElement* child : layer->getChildren())
        if (child == notification)
            return notification;
    return nullptr;
}

void PopupScreenAction::prepareNotification() {
    const TriggerServiceTable::Screens& screens = triggerServices().screens;
    if (NotificationPath.size() < 2)
        notification = screens.notificationByName ? screens.notificationByName(NotificationName.c_str()) : nullptr;
    else
        notification = screens.notificationByPath ? screens.notificationByPath(NotificationPath.c_str()) : nullptr;
    if (!notification)
        return;
    notification->OnPostRender(gameDevice ? gameDevice->getTimer()->getTime() : 0);
    notification->draw();
    if (static_cast<s32>(notification->getType()) == GuiType::Notification) {
        notification->setAlignment(popupEdgeAlignment(StartHorizAlign), popupEdgeAlignment(EndHorizAlign),
                                   popupEdgeAlignment(StartVertAlign), popupEdgeAlignment(EndVertAlign));
        static_cast<GUINotification*>(notification)->setNotificationName(NotificationName.c_str());
    }
}

void PopupScreenAction::execute(TriggerEventInfo&) {
    gui::IGUIElement* element = getNotification();
    if (!element || static_cast<s32>(element->getType()) != GuiType::Notification)
        return;
    logStep(NotificationPath.c_str());
    if (const auto& show = triggerServices().screens.showNotification)
        show(static_cast<GUINotification*>(element), NotificationDuration);
}

void PopupScreenAction::cancel() {
    if (const auto& dismiss = triggerServices().screens.dismissNotification)
        dismiss(NotificationName.c_str(), true);
}

void PopupScreenAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    out->addString("NotificationName", NotificationName.c_str());
    addFilePath(out, "NotificationPath", NotificationPath.c_str());
    out->addFloat("NotificationDuration", NotificationDuration);
    triggerActions::addEnumByIndex(out, "StartHorizAlign", StartHorizAlign, horizontalAlignNames);
    triggerActions::addEnumByIndex(out, "StartVertAlign", StartVertAlign, verticalAlignNames);
    triggerActions::addEnumByIndex(out, "EndHorizAlign", EndHorizAlign, horizontalAlignNames);
    triggerActions::addEnumByIndex(out, "EndVertAlign", EndVertAlign, verticalAlignNames);
}

void PopupScreenAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    readPopupNames(in, NotificationName, NotificationPath);
    readIfPresent(in, "NotificationDuration", NotificationDuration);
    triggerActions::readKnownEnum(in, "StartHorizAlign", horizontalAlignNames, StartHorizAlign);
    triggerActions::readKnownEnum(in, "StartVertAlign", verticalAlignNames, StartVertAlign);
    triggerActions::readKnownEnum(in, "EndHorizAlign", horizontalAlignNames, EndHorizAlign);
    triggerActions::readKnownEnum(in, "EndVertAlign", verticalAlignNames, EndVertAlign);
    prepareNotification();
}

TriggerAction* PopupScreenAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new PopupScreenAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}

// --- Remove Pop-up ----------------------------------------------------------------------------------

void RemovePopupAction::execute(TriggerEventInfo&) {
    if (NotificationName.empty())
        return;
    logStep(NotificationName.c_str());
    if (const auto& dismiss = triggerServices().screens.dismissNotification)
        dismiss(NotificationName.c_str(), false);
}

void RemovePopupAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    addFilePath(out, "NotificationName", NotificationName.c_str());
}

void RemovePopupAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    readPopupNames(in, NotificationName, NotificationPath);
}

TriggerAction* RemovePopupAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new RemovePopupAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
