#pragma once

#include "triggers/TriggerAction.h"

#include <string>

namespace irr::gui {
class IGUIElement;
}

// The name a notification goes by when only its layout file is given: the file name without
// its folder (up to the last '/' or '\') and without its extension (from the last '.').
std::string notificationNameFromPath(const std::string& path);

// "Pop-up Screen": prepares a notification when it is read (from its layout file, else from
// the notification table by name) and shows it for a number of seconds when the trigger
// fires; cancelling it dismisses the notification. It cannot undo.
class PopupScreenAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 25;
    static const char* const horizontalAlignNames[4];
    static const char* const verticalAlignNames[4];

    explicit PopupScreenAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void cancel() override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    // The prepared notification while the screen manager still has it, else null.
    irr::gui::IGUIElement* getNotification() const;

    std::string NotificationName;
    std::string NotificationPath;
    irr::f32 NotificationDuration = 5.0f;
    irr::s32 StartHorizAlign = 0;
    irr::s32 StartVertAlign = 0;
    irr::s32 EndHorizAlign = 0;
    irr::s32 EndVertAlign = 0;

private:
    void prepareNotification();

    // Not owned: the screen manager's notification layer holds it until the level unloads.
    irr::gui::IGUIElement* notification = nullptr;
};

// "Remove Pop-up": dismisses the notifications of a name (or the next one of that name to
// be shown). It cannot undo.
class RemovePopupAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 26;

    explicit RemovePopupAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    std::string NotificationName;
    std::string NotificationPath; // read only to name a notification that has no name
};
