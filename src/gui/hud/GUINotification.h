#pragma once

#include "gui/GUISubElement.h"

#include <irrString.h>
#include <rect.h>

#include <string>
#include <vector>

// One record of the notification table.
struct NotificationRecord {
    std::string name;
    // "Mouse", "Gamepad", "Joystick", "Multitouch" or "MultitouchSwitchModes".
    std::string device;
    irr::core::stringw title;
    irr::core::stringw text;
    std::string titleFont;
    std::string textFont;
    irr::s32 titleFontSize = 0; // units of a 720-line screen
    irr::s32 textFontSize = 0;
    irr::core::stringw textureAnimPath;
    irr::s32 textureFPS = 0;
    irr::s32 scheme = 0; // the control scheme the record is meant for
    irr::core::recti picture; // x, y in pixels; width, height in units
};

// The pop-up panel that teaches a control or reports an event: a title, a text and an
// optional animated picture, worded for the player's current input device and control
// scheme. It is built from a layout file, or from a record of the notification table by
// name; it slides in from the left, stays for its duration and slides out. The screen
// manager queues the notifications and moves only the head of its queue.
//
// The table "Content/Language/<language>/Notifications.xml":
//   <Notifications>
//     <Notification name="Grab" device="Mouse" scheme="0" title="Grab" text="Hold the left button."
//       titleFont="Content/Font/NoMove.ttf" titleFontSize="26" textFont="..." textFontSize="18"
//       textureAnimPath="..." textureFPS="12" x="0" y="4" width="120" height="60"/>
//   </Notifications>
// Every element named exactly "Notification" is one record; a missing file leaves only the
// blank record, which answers every name nobody has.
class GUINotification : public GUISubElement {
public:
    static constexpr const char* tablePath = "Content/Language/English/Notifications.xml";
    static constexpr const char* blankLayout = "Content/Language/English/Notifications/NotificationBlank.xml";
    static constexpr irr::f32 defaultDuration = 5.0f;
    static constexpr irr::f32 minimumDuration = 3.0f;
    // Element ids in the layout.
    static constexpr irr::s32 titleId = 100;
    static constexpr irr::s32 textId = 200;
    static constexpr irr::s32 pictureId = 300;
    static constexpr irr::s32 decorationId = 400;
    static constexpr irr::s32 frameId = 500;

    GUINotification(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, irr::s32 id = -1);
    ~GUINotification() override;

    void OnPostRender(irr::u32 timeMs) override;
    void draw() override;
    void setVisible(bool visible) override;
    // Made for a level's trigger action: what its texts ask of the fonts as they are built,
    // measured and drawn is the level's (gui/fonts/CGUITTFont.h, LevelText).
    void setLevelsOwn(bool own) { LevelsOwn = own; }
    bool isLevelsOwn() const { return LevelsOwn; }
    const irr::c8* getTypeName() const override { return "GUINotification"; }

    // Builds the element from a layout file (a path of fewer than two characters does nothing).
    void loadGUIFile(const irr::core::stringc& path) override;
    // Builds the element from the table record for the name (device and scheme of now).
    virtual void setNotification(const char* name);
    virtual void setNotificationName(const char* name) { Name = name; }
    virtual const std::string& getNotificationName() const { return Name; }
    virtual void rebuild();
    // The language or the input device changed: the wording follows.
    virtual void onInputChanged();

    // A duration between 0 and 3 seconds becomes 3, with a log line; 0 stays until dismissed.
    void setDuration(irr::f32 seconds);
    // Once in the element's life: not started, it never shows; running, it slides out (at
    // once when immediately).
    void dismiss(bool immediately);

    irr::f32 getDuration() const { return Duration; }
    irr::f32 getElapsed() const { return Elapsed; }
    irr::f32 getSlide() const { return Slide; }
    bool isDismissed() const { return Dismissed; }
    bool isBuiltFromFile() const { return BuiltFromFile; }
    void setDismissed(bool dismissed) { Dismissed = dismissed; }
    void setTiming(irr::f32 duration, irr::f32 elapsed) {
        Duration = duration;
        Elapsed = elapsed;
    }

    // The record for the name: device and scheme, then device, then name, else the blank
    // record. Reads the table on first use.
    static const NotificationRecord& findNotification(const char* name);
    static const NotificationRecord& findNotification(const char* name, const std::string& device, irr::s32 scheme);
    // (Re)reads the table; record 0 is always the blank record.
    static void loadNotificationTable();
    static const std::vector<NotificationRecord>& getTable();
    // The current input device's name in the table and its control scheme.
    static void currentDevice(std::string& device, irr::s32& scheme);

private:
    bool isQueueHead() const;

    std::string Name;
    irr::core::dimension2di ContentSize{0, 0};
    irr::f32 Slide = 0.0f;
    irr::f32 Elapsed = 0.0f;
    irr::f32 Duration = defaultDuration;
    bool Dismissed = false;
    bool BuiltFromFile = false;
    bool LevelsOwn = false;
};
