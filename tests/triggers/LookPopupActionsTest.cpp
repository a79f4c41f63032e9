// Change Material, Change Mesh, Change Music Param, Pop-up Screen and Remove Pop-up.
#include "ActionTestSupport.h"
#include "support/ScreenConnections.h"

#include "core/Globals.h"
#include "gui/GUIElementFactory.h"
#include "gui/hud/GUINotification.h"
#include "screens/ScreenManager.h"
#include "triggers/actions/ChangeMaterialMeshActions.h"
#include "triggers/actions/ChangeMusicParamAction.h"
#include "triggers/actions/PopupActions.h"

using namespace irr;

namespace {

class LookPopupActionsTest : public test::ActionFixture {
protected:
    void TearDown() override {
        connections.reset();
        if (screenManager) {
            delete screenManager;
            screenManager = nullptr;
        }
        test::ActionFixture::TearDown();
    }
    template <class Action> Action* action(const std::function<void(io::IAttributes*)>& keys, s32 id = 50) {
        return static_cast<Action*>(addActionTrigger(id, Action::actionType, keys)->getAction());
    }
    // A node of three materials, lit and writing depth, with the ID.
    scene::IMeshSceneNode* addThreeMaterialNode(s32 id) {
        auto* mesh = new scene::SMesh();
        for (int i = 0; i < 3; ++i) {
            auto* buffer = new scene::SMeshBuffer();
            mesh->addMeshBuffer(buffer);
            buffer->drop();
        }
        scene::IMeshSceneNode* node = smgr()->addMeshSceneNode(mesh, root(), id);
        mesh->drop();
        manager->registerNodeIDs(node);
        return node;
    }
    void useScreens() {
        (new GUIElementFactory(device->get()->getGUIEnvironment()))->drop();
        screenManager = new ScreenManager(device->get()->getGUIEnvironment());
        screenManager->createScreens();
        connections = std::make_unique<test::ScreenConnections>();
    }
    // The actions reach the screens the game's way while the test uses them.
    std::unique_ptr<test::ScreenConnections> connections;
    TriggerEventInfo event;
};

TEST_F(LookPopupActionsTest, ChangeMaterialSetsOneOrAllMaterialsOfItsObjectAndItsList) {
    scene::IMeshSceneNode* single = addThreeMaterialNode(20);
    scene::IMeshSceneNode* listed = addThreeMaterialNode(21);
    auto* change = action<ChangeMaterialAction>([](io::IAttributes* keys) {
        keys->addInt("ObjectID", 20);
        keys->addString("ObjectIDs", "21");
        keys->addBool("ApplyToAllMaterials", false);
        keys->addInt("MaterialIndex", 2);
        keys->addString("MaterialAction", "Toggle Lighting");
        keys->addBool("NewValue", false);
    });
    change->update();
    ASSERT_EQ(change->getTargets().size(), 1u);
    change->execute(event);
    for (scene::IMeshSceneNode* node : {single, listed}) {
        EXPECT_TRUE(node->getMaterial(0).Lighting);
        EXPECT_TRUE(node->getMaterial(1).Lighting);
        EXPECT_FALSE(node->getMaterial(2).Lighting) << "only material 2";
    }
    change->MaterialIndex = 7; // beyond the materials: nothing
    change->NewValue = true;
    change->execute(event);
    EXPECT_FALSE(single->getMaterial(2).Lighting);

    change->ApplyToAllMaterials = true;
    change->MaterialAction = ChangeMaterialAction::SetEmissiveColor;
    change->NewColor = video::SColor(255, 10, 20, 30);
    change->execute(event);
    for (u32 i = 0; i < 3; ++i)
        EXPECT_EQ(listed->getMaterial(i).EmissiveColor, video::SColor(255, 10, 20, 30));
    change->MaterialAction = ChangeMaterialAction::ToggleZWrite;
    change->NewValue = false;
    change->execute(event);
    for (scene::IMeshSceneNode* node : {single, listed})
        for (u32 i = 0; i < 3; ++i) {
            EXPECT_FALSE(node->getMaterial(i).ZWriteEnable) << i;
            EXPECT_EQ(node->getMaterial(i).Lighting, i != 2) << "the depth switch leaves the lighting";
        }
    change->MaterialAction = ChangeMaterialAction::SetEmissiveColor;
    EXPECT_EQ(keysOf(*change), "ObjectID=20;ObjectIDs=21;ApplyToAllMaterials=true;MaterialAction=Set Emissive Color;"
                               "NewColor=10, 20, 30, 255;");
    std::unique_ptr<TriggerAction> copy(change->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), keysOf(*change));
}

TEST_F(LookPopupActionsTest, ACausingObjectTakesTheObjectsPlaceAndAMissingTextureClearsTheLayer) {
    scene::IMeshSceneNode* named = addThreeMaterialNode(20);
    scene::IMeshSceneNode* causing = addThreeMaterialNode(22);
    video::ITexture* white = device->get()->getVideoDriver()->getTexture("Content/Models/Editor/White.png");
    ASSERT_NE(white, nullptr);
    named->getMaterial(0).setTexture(0, white);
    causing->getMaterial(0).setTexture(0, white);
    auto* change = action<ChangeMaterialAction>([](io::IAttributes* keys) {
        keys->addInt("ObjectID", 20);
        keys->addString("MaterialAction", "Set Texture");
        keys->addString("NewTextureFileName", "Content/Models/Editor/Missing.png");
    });
    EXPECT_EQ(change->getTexture(), nullptr);
    event.object = causing;
    change->execute(event);
    EXPECT_EQ(causing->getMaterial(0).getTexture(0), nullptr);
    EXPECT_EQ(named->getMaterial(0).getTexture(0), white) << "the causing object stands in for ObjectID";
    EXPECT_EQ(keysOf(*change), "ObjectID=20;ApplyToAllMaterials=true;MaterialAction=Set Texture;"
                               "NewTextureFileName=Content/Models/Editor/Missing.png;");
    io::IAttributes* editor = attributes();
    io::SAttributeReadWriteOptions options;
    options.Flags = io::EARWF_FOR_EDITOR;
    change->serializeAttributes(editor, &options);
    EXPECT_TRUE(editor->existsAttribute("ObjectIDs")) << "an empty list is written for the editor only";

    auto* nothing = action<ChangeMaterialAction>({});
    event.object = nullptr;
    nothing->execute(event); // no object, no list: nothing to do
}

TEST_F(LookPopupActionsTest, ChangeMeshGivesAPhysicsObjectItsNewMeshAndLeavesOtherKindsAlone) {
    PhysicsObject* crate = addCrate(20, {0, 1, 0});
    test::FakeObject* marker = addObject(21, "emty");
    auto* change = action<ChangeMeshAction>([](io::IAttributes* keys) {
        keys->addInt("ObjectID", 20);
        keys->addString("NewMeshFileName", "Content/Models/Props/Barrel.obj");
    });
    EXPECT_NE(smgr()->getMeshCache()->getMeshByName("Content/Models/Props/Barrel.obj"), nullptr)
        << "loaded when read";
    change->execute(event);
    ASSERT_NE(crate->getMeshNode(), nullptr);
    EXPECT_EQ(crate->getMeshNode()->getMesh(), smgr()->getMeshCache()->getMeshByName("Content/Models/Props/Barrel.obj"));
    EXPECT_EQ(keysOf(*change), "NewMeshFileName=Content/Models/Props/Barrel.obj;ObjectID=20;");
    std::unique_ptr<TriggerAction> copy(change->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), keysOf(*change));
    change->ObjectID = 21;
    change->execute(event);
    EXPECT_EQ(marker->getChildren().size(), 0u);
}

TEST_F(LookPopupActionsTest, ChangeMusicSwitchesTheSongAndSetsAParameterOfTheMusicPlaying) {
    auto* song = action<ChangeMusicParamAction>([](io::IAttributes* keys) {
        keys->addString("MusicEventName", "GameAudio/Audio/Collisions/Wicker");
        keys->addFloat("TransitionTime", 2.0f);
    });
    auto* parameter = action<ChangeMusicParamAction>([](io::IAttributes* keys) {
        keys->addString("MusicParameterName", "Velocity");
        keys->addFloat("MusicParameterValue", 42.0f);
    });
    EXPECT_EQ(parameter->MusicAction, ChangeMusicParamAction::SetParameter) << "a name without an action";
    auto* named = action<ChangeMusicParamAction>([](io::IAttributes* keys) {
        keys->addString("MusicAction", "Change Music");
        keys->addString("MusicParameterName", "Velocity");
    });
    EXPECT_EQ(named->MusicAction, ChangeMusicParamAction::ChangeMusic) << "the action named wins";
    parameter->execute(event); // no music: nothing
    song->execute(event);
    EXPECT_EQ(sound->getCurrentSong(), "GameAudio/Audio/Collisions/Wicker");
    ASSERT_NE(sound->getCurrentMusic(), nullptr);
    parameter->execute(event);
    audio::EventParameter* velocity = nullptr;
    ASSERT_EQ(sound->getCurrentMusic()->getParameter("Velocity", &velocity), audio::Result::Ok);
    f32 value = 0.0f;
    velocity->getValue(&value);
    EXPECT_FLOAT_EQ(value, 42.0f);
    parameter->MusicParameterName = "Tempo"; // the song has none: nothing, and no error line
    parameter->execute(event);
    EXPECT_EQ(log.countStartingWith("FMOD ERROR"), 0u);

    auto* one = action<ChangeMusicParamAction>([](io::IAttributes* keys) { keys->addString("MusicEventName", "X"); });
    one->execute(event);
    EXPECT_EQ(sound->getCurrentSong(), "GameAudio/Audio/Collisions/Wicker") << "a one-letter name is no name";

    EXPECT_EQ(keysOf(*song), "MusicAction=Change Music;MusicEventName=GameAudio/Audio/Collisions/Wicker;"
                             "TransitionTime=2.000000;IsOneShot=false;");
    EXPECT_EQ(keysOf(*parameter), "MusicAction=Set Parameter;MusicParameterName=Tempo;MusicParameterValue=42.000000;");
    std::unique_ptr<TriggerAction> copy(parameter->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), keysOf(*parameter));
}

TEST_F(LookPopupActionsTest, TheOlderFallbackKeyReadsInvertedAndTheNewKeyWins) {
    struct Case {
        int fallback; // -1 absent
        int oneShot;
        bool expected;
    };
    for (const Case& c : {Case{1, -1, false}, Case{0, -1, true}, Case{1, 1, true}, Case{0, 0, false}}) {
        auto* music = action<ChangeMusicParamAction>([&](io::IAttributes* keys) {
            if (c.fallback >= 0)
                keys->addBool("SetAsFallback", c.fallback == 1);
            if (c.oneShot >= 0)
                keys->addBool("IsOneShot", c.oneShot == 1);
        });
        EXPECT_EQ(music->IsOneShot, c.expected) << c.fallback << " " << c.oneShot;
    }
}

TEST_F(LookPopupActionsTest, APopUpIsNamedByItsFileWhenItHasNoName) {
    const std::pair<const char*, const char*> cases[] = {{"Content/Language/English/Notifications/Jump.xml", "Jump"},
                                                         {"Some\\Folder\\Jump.xml", "Jump"},
                                                         {"Jump.xml", "Jump"},
                                                         {"Folder.v2/Jump", "Jump"},
                                                         {"", ""}};
    for (const auto& [path, name] : cases)
        EXPECT_EQ(notificationNameFromPath(path), name) << path;
    auto* remove = action<RemovePopupAction>([](io::IAttributes* keys) {
        keys->addString("NotificationPath", "Content/Notifications/Jump.xml");
    });
    EXPECT_EQ(remove->NotificationName, "Jump");
    EXPECT_EQ(keysOf(*remove), "NotificationName=Jump;");
    std::unique_ptr<TriggerAction> copy(remove->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), "NotificationName=Jump;");
}

TEST_F(LookPopupActionsTest, APopUpShowsItsNotificationAndCancelOrRemoveDismissesIt) {
    useScreens();
    logTriggers = true;
    auto* popup = action<PopupScreenAction>([](io::IAttributes* keys) {
        keys->addString("NotificationName", "Grab");
        keys->addFloat("NotificationDuration", 8.0f);
        keys->addString("EndHorizAlign", "Right");
        keys->addString("StartVertAlign", "Bottom");
    });
    auto* element = static_cast<GUINotification*>(popup->getNotification());
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element, screenManager->getNotificationByName("Grab"));
    EXPECT_FALSE(element->isVisible()) << "prepared hidden";
    // A path of one character is no path: the name still finds the notification.
    auto* oneCharacter = action<PopupScreenAction>([](io::IAttributes* keys) {
        keys->addString("NotificationName", "Grab");
        keys->addString("NotificationPath", "x");
    });
    EXPECT_EQ(oneCharacter->getNotification(), element);
    popup->execute(event);
    ASSERT_EQ(screenManager->getActiveNotifications().size(), 1u);
    EXPECT_FLOAT_EQ(element->getDuration(), 8.0f);
    EXPECT_TRUE(log.contains("[Trigger] _50 - Pop-up Screen - "));
    popup->cancel();
    EXPECT_TRUE(element->isDismissed());
    EXPECT_EQ(keysOf(*popup), "NotificationName=Grab;NotificationPath=;NotificationDuration=8.000000;"
                              "StartHorizAlign=Left;StartVertAlign=Bottom;EndHorizAlign=Right;EndVertAlign=Top;");
    std::unique_ptr<TriggerAction> copy(popup->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), keysOf(*popup));

    auto* remove = action<RemovePopupAction>([](io::IAttributes* keys) { keys->addString("NotificationName", "Later"); });
    remove->execute(event);
    EXPECT_EQ(screenManager->getPendingDismissals(), std::vector<std::string>{"Later"}) << "waits for one to show";
    const std::size_t lines = log.lines.size();
    action<RemovePopupAction>({})->execute(event);
    EXPECT_EQ(log.lines.size(), lines) << "an empty name does nothing";

    screenManager->resetNotifications(); // a level unloads: the prepared element is gone
    EXPECT_EQ(popup->getNotification(), nullptr);
    popup->execute(event);
    EXPECT_EQ(log.lines.size(), lines) << "without an element nothing is shown or logged";
    popup->cancel();

    // A pop-up with a layout file shows the notification made from that file.
    auto* byFile = action<PopupScreenAction>([](io::IAttributes* keys) {
        keys->addString("NotificationPath", "Notifications/NotificationBlank.xml");
        keys->addString("StartHorizAlign", "Center");
    });
    auto* fromFile = static_cast<GUINotification*>(byFile->getNotification());
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromFile->getGUIPath(), "Notifications/NotificationBlank.xml");
    EXPECT_EQ(fromFile, screenManager->getNotificationByPath("Notifications/NotificationBlank.xml"));

    logTriggers = false;
}

} // namespace
