#pragma once

#include <irrlicht.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// One animation of a character profile: a named frame range of the skinned mesh and the
// behaviour state it belongs to ("Walking", "Stopped", "Idle", "Reacting", "Noticing",
// "Discovered"), with its blend time, follow-up animations and cues.
struct CharacterAnimation {
    std::string name;
    std::string state;
    // Frames to play; an animation taken from another mesh points into the frames appended
    // to the base mesh once the profile is finished.
    irr::s32 startFrame = 0;
    irr::s32 endFrame = 0;
    // The range as the file gave it.
    irr::s32 readStartFrame = 0;
    irr::s32 readEndFrame = 0;
    std::string foley;
    std::string sound;
    std::string nextAnimation;
    std::string resetAnimation;
    // A mesh whose frames readStartFrame..readEndFrame are appended to the base mesh.
    std::string customPath;
    // Seconds; a value from the file gets 0.001 added, so that 0 still blends.
    irr::f32 blendTime = 0.25f;
    irr::f32 fps = 30.0f;
    bool overrideFps = false;
    bool useNeckAnimation = false;
};

// One sound cue of a profile, filed under its name and a level name ("" for every level).
struct CharacterSound {
    std::string name;
    // The audio event.
    std::wstring path;
    // Voice mode: "Interrupt", "InterruptAndQueue", "Queue" or anything else.
    std::string behavior;
    irr::s32 startFrameOffset = 0;
    irr::s32 repeatFrameOffset = 0;
    // Chance of playing when due (1 and above: always).
    irr::f32 frequentness = 1.0f;
    irr::s32 subtitleID = 0;
};

// The animations and sounds of one kind of character, read from an XML file once and shared
// through the level manager's profile cache by every character and animator that names it;
// read-only once finished. Only these elements of the file matter (any root, any nesting):
//   <Animation name="WalkingDefault" state="Walking" startFrame="0" endFrame="30"
//              blendTime="0.2" nextAnimation="" resetAnimation="" foley="" sound=""
//              useNeckAnimation="false" customPath="" overrideFPS="24"/>
//   <Suspicion characterType="Stranger"/>
//   <BaseAnimation path="Content/Models/Characters/AniEveryBody.b3d"/>
//   <TalkingAnimation path="Content/Models/Characters/AniEveryBodyLipLoop.b3d"/>
//   <Sound name="Greeting" path="event" behavior="Queue" startFrameOffset="0"
//          repeatFrameOffset="0" subtitleID="0" frequentness="1" level=""/>
// Missing numbers read as 0, missing texts as empty.
//
// A struct, since other headers declare it so.
struct CharacterProfile {
    static constexpr const char* defaultFile = "Content/Models/Characters/CharacterDefaultProfile.xml";
    static constexpr const char* defaultBaseAnimation = "Content/Models/Characters/AniEveryBody.b3d";
    static constexpr const char* defaultTalkingAnimation =
        "Content/Models/Characters/AniEveryBodyLipLoop.b3d";

    CharacterProfile();
    ~CharacterProfile();
    CharacterProfile(const CharacterProfile&) = delete;
    CharacterProfile& operator=(const CharacterProfile&) = delete;

    // Clears the profile and reads the file (empty: defaultFile) through the engine
    // device's file system. 0 on success; -1, with a log line, when it cannot be read.
    int load(const std::string& file);
    // Takes the base mesh and appends to it the frames of every animation that names its
    // own mesh (in name order), pointing those animations at the appended frames; then
    // rebuilds the base mesh. A base or custom mesh that is missing or not skinned is
    // skipped. Runs once, after a successful load.
    void finishLoad();
    // Releases the base mesh, empties every record and list and forgets the type and paths.
    void clear();

    // (startFrame, endFrame) of the animation, (0, 0) when there is none.
    std::pair<irr::s32, irr::s32> findAnimation(const std::string& name) const;
    const CharacterAnimation* findAnimationRecord(const std::string& name) const;
    // The animation's nextAnimation, empty when there is none.
    std::string getNextAnimation(const std::string& name) const;
    // The sound filed under (name, level), else under (name, ""), else an empty record.
    CharacterSound findSound(const std::string& name, const std::string& level) const;

    // Enumeration literals of a character's animation-name keys: "", then every animation
    // name in file order, then null.
    const char* const* getNameList() const { return nameList.data(); }
    // Animation names in file order (the name list without its first and last entries).
    std::size_t getNameCount() const { return nameList.size() - 2; }

    // The file the profile was read from; empty for the cache's default profile.
    std::string fileName;
    // A SuspicionCharacterType: Stranger until the file says otherwise, -1 for a name that
    // is not a type.
    irr::s32 characterType = 1;
    std::map<std::string, std::unique_ptr<CharacterAnimation>> animations;
    std::map<std::string, std::map<std::string, CharacterSound>> sounds;
    std::string baseAnimationPath;
    std::string talkingAnimationPath;
    // Animations whose frames were appended to the base mesh.
    std::vector<std::string> appendedAnimations;
    // Held while the profile lives.
    irr::scene::IAnimatedMesh* baseMesh = nullptr;
    bool loaded = false;

private:
    void resetNameList();
    void readAnimation(irr::io::IXMLReader* reader);
    void readSound(irr::io::IXMLReader* reader);
    void appendFrames(CharacterAnimation& animation, irr::scene::ISkinnedMesh* custom, irr::s32& frames);

    // Storage of the names that nameList points into (a deque never moves its elements).
    std::deque<std::string> names;
    std::vector<const char*> nameList;
};
