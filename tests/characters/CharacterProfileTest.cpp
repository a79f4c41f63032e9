#include "CharacterFixture.h"

#include "characters/CharacterProfile.h"
#include "characters/CharacterRegistration.h"
#include "characters/SuspicionRules.h"
#include "core/Globals.h"
#include "level/MeshGate.h"
#include "level/ResourceCaches.h"

#include <IMeshCache.h>
#include <ISceneManager.h>
#include <ISkinnedMesh.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace irr;

namespace {

using CharacterProfileTest = test::CharacterFixture;

std::vector<std::string> profileNames(const CharacterProfile& profile) {
    std::vector<std::string> names;
    const char* const* list = profile.getNameList();
    for (std::size_t i = 0; list[i]; ++i)
        names.emplace_back(list[i]);
    return names;
}

const char* const profileText = R"(<?xml version="1.0"?>
<Profile>
  <Suspicion characterType="Chef"/>
  <Animations>
    <Animation name="Walk" state="Walking" startFrame="0" endFrame="30" blendTime="0.5" foley="Step" sound="Hum"
               nextAnimation="Stand" resetAnimation="Walk" useNeckAnimation="TRUE" overrideFPS="24"/>
    <Animation name="Stand" state="Stopped" startFrame="31" endFrame="60" useNeckAnimation="tRuE"/>
    <Animation name="Shrug" state="Idle" startFrame="61" endFrame="70" blendTime="0" useNeckAnimation="yes"/>
    <Animation name="Stand" state="Stopped" startFrame="40" endFrame="50"></Animation>
  </Animations>
  <BaseAnimation path=""/>
  <Sound name="Greeting" path="Audio/Hello" behavior="Queue" startFrameOffset="3" repeatFrameOffset="12" subtitleID="7" frequentness="0.5"/>
  <Sound name="Greeting" path="Audio/HelloKitchen" level="Kitchen.irr" frequentness="-2"/>
  <Sound name="Wave" path="Audio/Wave" frequentness="0"/>
  <Sound name="Nod" path="Audio/Nod"/>
</Profile>
)";

TEST_F(CharacterProfileTest, AnimationRecordsReadAsWritten) {
    CharacterProfile profile;
    ASSERT_EQ(profile.load(writeTemp("Profile.xml", profileText)), 0);
    EXPECT_TRUE(profile.loaded);
    EXPECT_EQ(profile.characterType, SCT_Chef);
    // Every element joins the name list, a repeated name twice; the map keeps the later.
    EXPECT_EQ(profileNames(profile), (std::vector<std::string>{"", "Walk", "Stand", "Shrug", "Stand"}));
    EXPECT_EQ(profile.getNameList()[5], nullptr);
    EXPECT_EQ(profile.getNameCount(), 4u);
    EXPECT_EQ(profile.animations.size(), 3u);

    struct Row {
        const char* name;
        const char* state;
        s32 start;
        s32 end;
        f32 blend;
        f32 fps;
        bool overrideFps;
        bool neck;
    };
    const Row rows[] = {
        {"Walk", "Walking", 0, 30, 0.501f, 24.0f, true, true},
        {"Stand", "Stopped", 40, 50, 0.25f, 30.0f, false, false},
        {"Shrug", "Idle", 61, 70, 0.001f, 30.0f, false, false},
    };
    for (const Row& row : rows) {
        const CharacterAnimation* record = profile.findAnimationRecord(row.name);
        ASSERT_NE(record, nullptr) << row.name;
        EXPECT_EQ(record->state, row.state) << row.name;
        EXPECT_EQ(profile.findAnimation(row.name), std::make_pair(row.start, row.end)) << row.name;
        EXPECT_EQ(record->readStartFrame, row.start) << row.name;
        EXPECT_EQ(record->readEndFrame, row.end) << row.name;
        EXPECT_FLOAT_EQ(record->blendTime, row.blend) << row.name;
        EXPECT_EQ(record->fps, row.fps) << row.name;
        EXPECT_EQ(record->overrideFps, row.overrideFps) << row.name;
        EXPECT_EQ(record->useNeckAnimation, row.neck) << row.name;
    }
    const CharacterAnimation* walk = profile.findAnimationRecord("Walk");
    EXPECT_EQ(walk->foley, "Step");
    EXPECT_EQ(walk->sound, "Hum");
    EXPECT_EQ(walk->resetAnimation, "Walk");
    EXPECT_EQ(profile.getNextAnimation("Walk"), "Stand");
    EXPECT_EQ(profile.getNextAnimation("Stand"), "");
    EXPECT_EQ(profile.getNextAnimation("Jump"), "");
    EXPECT_EQ(profile.findAnimationRecord("walk"), nullptr); // exact names
    EXPECT_EQ(profile.findAnimation("Jump"), std::make_pair(0, 0));

    // An empty base path stands for the default one; no talking element, no path.
    EXPECT_EQ(profile.baseAnimationPath, CharacterProfile::defaultBaseAnimation);
    EXPECT_EQ(profile.talkingAnimationPath, "");
}

TEST_F(CharacterProfileTest, SoundsAreFoundByNameAndLevel) {
    CharacterProfile profile;
    ASSERT_EQ(profile.load(writeTemp("Profile.xml", profileText)), 0);
    const CharacterSound anywhere = profile.findSound("Greeting", "Garden.irr");
    EXPECT_EQ(anywhere.path, L"Audio/Hello");
    EXPECT_EQ(anywhere.behavior, "Queue");
    EXPECT_EQ(anywhere.startFrameOffset, 3);
    EXPECT_EQ(anywhere.repeatFrameOffset, 12);
    EXPECT_EQ(anywhere.subtitleID, 7);
    EXPECT_EQ(anywhere.frequentness, 0.5f);
    const CharacterSound kitchen = profile.findSound("Greeting", "Kitchen.irr");
    EXPECT_EQ(kitchen.path, L"Audio/HelloKitchen");
    EXPECT_EQ(kitchen.frequentness, 1.0f); // only a value above 0 replaces the default
    EXPECT_EQ(kitchen.subtitleID, 0);
    const CharacterSound none = profile.findSound("Farewell", "Kitchen.irr");
    EXPECT_TRUE(none.path.empty());
    EXPECT_EQ(none.frequentness, 1.0f);
    for (const char* name : {"Wave", "Nod"}) // zero or left out keeps the default
        EXPECT_EQ(profile.findSound(name, "Kitchen.irr").frequentness, 1.0f) << name;
}

TEST_F(CharacterProfileTest, TypesNamesAndEmptyFiles) {
    CharacterProfile profile;
    EXPECT_EQ(profile.characterType, SCT_Stranger);
    EXPECT_EQ(profileNames(profile), std::vector<std::string>{""});

    ASSERT_EQ(profile.load(writeTemp("Bad.xml", "<P><Suspicion characterType=\"Pirate\"/></P>")), 0);
    EXPECT_EQ(profile.characterType, -1);
    EXPECT_TRUE(log.contains("Warning: Character type: Pirate is not a valid type."));

    // No animation elements: the name list is just the empty name; an empty type keeps
    // Stranger; a reload starts afresh.
    ASSERT_EQ(profile.load(writeTemp("Empty.xml", "<P><Suspicion characterType=\"\"/><TalkingAnimation/></P>")), 0);
    EXPECT_EQ(profile.characterType, SCT_Stranger);
    EXPECT_EQ(profileNames(profile), std::vector<std::string>{""});
    EXPECT_EQ(profile.getNameCount(), 0u);
    EXPECT_EQ(profile.talkingAnimationPath, CharacterProfile::defaultTalkingAnimation);

    EXPECT_EQ(profile.load(temp.file("Missing.xml")), -1);
    EXPECT_FALSE(profile.loaded);
    EXPECT_EQ(log.countStartingWith("Warning: Could not read the character profile"), 1u);
}

TEST_F(CharacterProfileTest, TheShippedProfilesDescribeTheFigure) {
    for (const char* file : {"Content/Models/Characters/EverymanProfile.xml", CharacterProfile::defaultFile}) {
        CharacterProfile profile;
        ASSERT_EQ(profile.load(file), 0) << file;
        profile.finishLoad();
        EXPECT_EQ(profile.characterType, SCT_Stranger) << file;
        EXPECT_EQ(profileNames(profile),
                  (std::vector<std::string>{"", "WalkingDefault", "StoppedDefault", "IdleLookAround", "TurnAround",
                                            "ReactingDefault", "NoticingDefault", "DiscoveredDefault"}))
            << file;
        ASSERT_NE(profile.baseMesh, nullptr) << file;
        ASSERT_EQ(profile.baseMesh->getMeshType(), scene::EAMT_SKINNED) << file;
        const s32 frames = static_cast<s32>(profile.baseMesh->getFrameCount());
        for (const auto& [name, record] : profile.animations) {
            EXPECT_GE(record->startFrame, 0) << name;
            EXPECT_LT(record->startFrame, record->endFrame) << name;
            EXPECT_LE(record->endFrame, frames) << name;
        }
        EXPECT_EQ(profile.findAnimation("WalkingDefault"), std::make_pair(0, 30));
        EXPECT_EQ(profile.findAnimationRecord("ReactingDefault")->state, "Reacting");
        EXPECT_EQ(profile.getNextAnimation("ReactingDefault"), "StoppedDefault");
    }
    EXPECT_EQ(log.countStartingWith("Warning: "), 0u);
    EXPECT_EQ(log.countStartingWith("ERROR: "), 0u);
}

TEST_F(CharacterProfileTest, AnimationsFromOtherMeshesAreAppendedInNameOrder) {
    const std::string file = writeTemp("Custom.xml", R"(<P>
  <BaseAnimation path="Content/Models/Characters/AniEveryBody.b3d"/>
  <Animation name="Wave" state="Idle" startFrame="5" endFrame="15" customPath="Content/Models/Characters/Everyman1.b3d"/>
  <Animation name="Bow" state="Idle" startFrame="0" endFrame="20" customPath="Content/Models/Characters/Everyman1.b3d"/>
  <Animation name="Flee" state="Idle" startFrame="0" endFrame="20" customPath="Content/Models/Characters/Missing.b3d"/>
  <Animation name="Spin" state="Idle" startFrame="0" endFrame="20" customPath="Content/Models/Props/Crate.obj"/>
</P>)");
    auto* base = static_cast<scene::ISkinnedMesh*>(getGameMesh(smgr(), "Content/Models/Characters/AniEveryBody.b3d"));
    ASSERT_NE(base, nullptr);
    const s32 frames = static_cast<s32>(base->getFrameCount());
    const s32 head = base->getJointNumber("headBaseJt");
    ASSERT_GE(head, 0);
    const u32 keysBefore = base->getAllJoints()[static_cast<u32>(head)]->RotationKeys.size();
    const f32 lastBefore = base->getAllJoints()[static_cast<u32>(head)]->RotationKeys.getLast().frame;

    CharacterProfile profile;
    ASSERT_EQ(profile.load(file), 0);
    profile.finishLoad();
    // Bow (0..20) comes before Wave (5..15) by name.
    EXPECT_EQ(profile.findAnimation("Bow"), std::make_pair(frames + 1, frames + 20));
    EXPECT_EQ(profile.findAnimation("Wave"), std::make_pair(frames + 22, frames + 31));
    EXPECT_EQ(profile.findAnimationRecord("Wave")->readStartFrame, 5);
    EXPECT_EQ(profile.appendedAnimations, (std::vector<std::string>{"Bow", "Wave"}));
    // A custom mesh that is missing or not skinned leaves its animation as read.
    EXPECT_EQ(profile.findAnimation("Flee"), std::make_pair(0, 20));
    EXPECT_EQ(profile.findAnimation("Spin"), std::make_pair(0, 20));
    // Each joint got the keys of frames 0..20 and 5..15, numbered on from its last key.
    EXPECT_EQ(base->getJointCount(), 9u);
    const scene::ISkinnedMesh::SJoint* joint = base->getAllJoints()[static_cast<u32>(head)];
    EXPECT_EQ(joint->RotationKeys.size(), keysBefore + 21 + 11);
    EXPECT_EQ(joint->RotationKeys.getLast().frame, lastBefore + 32.0f);
    EXPECT_EQ(static_cast<s32>(base->getFrameCount()), frames + 32);
}

// A custom animation brings every kind of key its joints have within its frames: moves and
// scales as well as turns.
TEST_F(CharacterProfileTest, ACustomAnimationBringsPositionRotationAndScaleKeysOfItsFrames) {
    scene::ISkinnedMesh* custom = smgr()->createSkinnedMesh();
    custom->addMeshBuffer(); // a mesh with nothing to draw counts as refused
    scene::ISkinnedMesh::SJoint* source = custom->addJoint();
    source->Name = "headBaseJt";
    for (const f32 frame : {0.0f, 10.0f, 30.0f}) { // the last lies past the animation's end
        custom->addPositionKey(source)->frame = frame;
        source->PositionKeys.getLast().position = core::vector3df(frame, 0, 0);
        custom->addRotationKey(source)->frame = frame;
        source->RotationKeys.getLast().rotation = core::quaternion(0, frame / 100.0f, 0);
        custom->addScaleKey(source)->frame = frame;
        source->ScaleKeys.getLast().scale = core::vector3df(1.0f + frame);
    }
    custom->finalize();
    smgr()->getMeshCache()->addMesh("Custom/Nodding.b3d", custom);
    custom->drop();
    const std::string file = writeTemp("Nod.xml", R"(<P>
  <BaseAnimation path="Content/Models/Characters/AniEveryBody.b3d"/>
  <Animation name="Nod" state="Idle" startFrame="0" endFrame="20" customPath="Custom/Nodding.b3d"/>
</P>)");
    auto* base = static_cast<scene::ISkinnedMesh*>(getGameMesh(smgr(), "Content/Models/Characters/AniEveryBody.b3d"));
    ASSERT_NE(base, nullptr);
    const s32 head = base->getJointNumber("headBaseJt");
    ASSERT_GE(head, 0);
    const scene::ISkinnedMesh::SJoint* joint = base->getAllJoints()[static_cast<u32>(head)];
    const u32 positionsBefore = joint->PositionKeys.size();
    const u32 rotationsBefore = joint->RotationKeys.size();
    const u32 scalesBefore = joint->ScaleKeys.size();

    CharacterProfile profile;
    ASSERT_EQ(profile.load(file), 0);
    profile.finishLoad();
    ASSERT_EQ(profile.appendedAnimations, (std::vector<std::string>{"Nod"}));
    ASSERT_EQ(joint->PositionKeys.size(), positionsBefore + 2);
    EXPECT_EQ(joint->PositionKeys.getLast().position, core::vector3df(10, 0, 0));
    EXPECT_EQ(joint->RotationKeys.size(), rotationsBefore + 2);
    ASSERT_EQ(joint->ScaleKeys.size(), scalesBefore + 2);
    EXPECT_EQ(joint->ScaleKeys[scalesBefore].scale, core::vector3df(1));
    EXPECT_EQ(joint->ScaleKeys.getLast().scale, core::vector3df(11));
}

TEST_F(CharacterProfileTest, TheCacheLoadsEachFileOnceAndFallsBackToItsDefault) {
    registerCharacters();
    CharacterProfileCache cache;
    CharacterProfile* standard = cache.get("");
    ASSERT_NE(standard, nullptr);
    EXPECT_NE(standard, cache.getDefault());
    EXPECT_TRUE(standard->loaded);
    EXPECT_EQ(standard->fileName, CharacterProfile::defaultFile);
    ASSERT_NE(standard->baseMesh, nullptr);
    EXPECT_EQ(cache.get(CharacterProfile::defaultFile), standard);
    EXPECT_EQ(cache.get("Content/Models/Characters/EverymanProfile.xml")->findAnimation("StoppedDefault"),
              std::make_pair(31, 60));
    EXPECT_EQ(cache.size(), 2u);

    CharacterProfile* missing = cache.get("Content/Models/Characters/NobodyProfile.xml");
    EXPECT_EQ(missing, cache.getDefault());
    EXPECT_EQ(missing->characterType, SCT_Stranger);
    EXPECT_EQ(missing->getNameCount(), 0u);
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_TRUE(log.contains(
        "Warning: Could not read the character profile \"Content/Models/Characters/NobodyProfile.xml\"."));
}

} // namespace
