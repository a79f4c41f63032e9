#include "characters/CharacterProfile.h"

#include "characters/SuspicionRules.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "core/XmlFile.h"
#include "level/MeshGate.h"

#include <algorithm>
#include <cwchar>

using namespace irr;

namespace {

std::string profileText(io::IXMLReader* reader, const wchar_t* attribute) {
    const wchar_t* value = reader->getAttributeValue(attribute);
    return value ? toUtf8(value) : std::string();
}

bool isNamed(io::IXMLReader* reader, const wchar_t* name) {
    return std::wcscmp(reader->getNodeName(), name) == 0;
}

// Appends the keys of one kind whose frame lies in first..last to the base joint's keys,
// numbered on from the base joint's last key of that kind.
template <class Key>
void appendProfileKeys(core::array<Key>& base, const core::array<Key>& custom, s32 first, s32 last) {
    // A copy: the custom mesh may be the base mesh itself.
    const core::array<Key> source = custom;
    for (u32 i = 0; i < source.size(); ++i) {
        const Key& key = source[i];
        if (key.frame < static_cast<f32>(first) || key.frame > static_cast<f32>(last))
            continue;
        Key appended = key;
        appended.frame = (base.empty() ? -1.0f : base.getLast().frame) + 1.0f;
        base.push_back(appended);
    }
}

} // namespace

CharacterProfile::CharacterProfile() {
    resetNameList();
}

CharacterProfile::~CharacterProfile() {
    clear();
}

void CharacterProfile::resetNameList() {
    names.clear();
    nameList.clear();
    names.emplace_back();
    nameList.push_back(names.back().c_str());
    nameList.push_back(nullptr);
}

void CharacterProfile::clear() {
    characterType = 1;
    baseAnimationPath.clear();
    talkingAnimationPath.clear();
    if (baseMesh)
        baseMesh->drop();
    baseMesh = nullptr;
    loaded = false;
    resetNameList();
    appendedAnimations.clear();
    animations.clear();
    sounds.clear();
}

int CharacterProfile::load(const std::string& file) {
    clear();
    const std::string path = file.empty() ? std::string(defaultFile) : file;
    io::IXMLReader* reader = gameDevice ? createGuardedContentXMLReader(gameDevice->getFileSystem(), path) : nullptr;
    if (!reader) {
        // Each character of the profile asks: counted.
        logRepeatable(std::string(logWarningPrefix) + "Could not read the character profile \"" + path + "\".");
        return -1;
    }
    while (reader->read()) {
        // Closing tags carry no attributes: only elements are read.
        if (reader->getNodeType() != io::EXN_ELEMENT)
            continue;
        if (isNamed(reader, L"Animation")) {
            readAnimation(reader);
        } else if (isNamed(reader, L"Suspicion")) {
            const std::string type = profileText(reader, L"characterType");
            if (!type.empty()) {
                characterType = findSuspicionCharacterType(type);
                if (characterType < 0)
                    logMessagef("Warning: Character type: %s is not a valid type.", type.c_str());
            }
        } else if (isNamed(reader, L"BaseAnimation")) {
            baseAnimationPath = profileText(reader, L"path");
            if (baseAnimationPath.empty())
                baseAnimationPath = defaultBaseAnimation;
        } else if (isNamed(reader, L"TalkingAnimation")) {
            talkingAnimationPath = profileText(reader, L"path");
            if (talkingAnimationPath.empty())
                talkingAnimationPath = defaultTalkingAnimation;
        } else if (isNamed(reader, L"Sound")) {
            readSound(reader);
        }
    }
    reader->drop();
    loaded = true;
    return 0;
}

void CharacterProfile::readAnimation(io::IXMLReader* reader) {
    auto record = std::make_unique<CharacterAnimation>();
    record->name = profileText(reader, L"name");
    record->state = profileText(reader, L"state");
    record->startFrame = record->readStartFrame = reader->getAttributeValueAsInt(L"startFrame");
    record->endFrame = record->readEndFrame = reader->getAttributeValueAsInt(L"endFrame");
    if (reader->getAttributeValue(L"blendTime"))
        record->blendTime = reader->getAttributeValueAsFloat(L"blendTime") + 0.001f;
    record->foley = profileText(reader, L"foley");
    record->sound = profileText(reader, L"sound");
    record->nextAnimation = profileText(reader, L"nextAnimation");
    record->resetAnimation = profileText(reader, L"resetAnimation");
    record->customPath = profileText(reader, L"customPath");
    if (reader->getAttributeValue(L"overrideFPS")) {
        record->overrideFps = true;
        record->fps = reader->getAttributeValueAsFloat(L"overrideFPS");
    }
    if (const wchar_t* neck = reader->getAttributeValue(L"useNeckAnimation"))
        record->useNeckAnimation = equalsIgnoringAsciiCase(std::wstring_view(neck), L"true");

    names.push_back(record->name);
    nameList.back() = names.back().c_str();
    nameList.push_back(nullptr);
    const std::string name = record->name;
    animations[name] = std::move(record);
}

void CharacterProfile::readSound(io::IXMLReader* reader) {
    CharacterSound sound;
    sound.name = profileText(reader, L"name");
    if (const wchar_t* path = reader->getAttributeValue(L"path"))
        sound.path = path;
    sound.behavior = profileText(reader, L"behavior");
    sound.startFrameOffset = reader->getAttributeValueAsInt(L"startFrameOffset");
    sound.repeatFrameOffset = reader->getAttributeValueAsInt(L"repeatFrameOffset");
    sound.subtitleID = reader->getAttributeValueAsInt(L"subtitleID");
    const f32 frequentness = reader->getAttributeValueAsFloat(L"frequentness");
    if (frequentness > 0.0f)
        sound.frequentness = frequentness;
    sounds[sound.name][profileText(reader, L"level")] = sound;
}

void CharacterProfile::finishLoad() {
    if (!gameDevice || baseAnimationPath.empty())
        return;
    scene::ISceneManager* scene = gameDevice->getSceneManager();
    if (baseMesh)
        baseMesh->drop();
    baseMesh = getGameMesh(scene, baseAnimationPath.c_str());
    if (!baseMesh)
        return;
    baseMesh->grab();
    if (baseMesh->getMeshType() != scene::EAMT_SKINNED)
        return;
    auto* base = static_cast<scene::ISkinnedMesh*>(baseMesh);
    s32 frames = static_cast<s32>(base->getFrameCount());
    for (auto& entry : animations) {
        CharacterAnimation& animation = *entry.second;
        if (animation.customPath.empty() ||
            std::find(appendedAnimations.begin(), appendedAnimations.end(), animation.name) !=
                appendedAnimations.end())
            continue;
        scene::IAnimatedMesh* custom = getGameMesh(scene, animation.customPath.c_str());
        if (!custom || custom->getMeshType() != scene::EAMT_SKINNED)
            continue;
        appendFrames(animation, static_cast<scene::ISkinnedMesh*>(custom), frames);
    }
    // The engine's finalize may run only once per mesh (again, it drops every joint but the
    // roots); linking the mesh's animation to itself recounts its frames with the new keys.
    if (!appendedAnimations.empty())
        base->useAnimationFrom(base);
}

void CharacterProfile::appendFrames(CharacterAnimation& animation, scene::ISkinnedMesh* custom, s32& frames) {
    auto* base = static_cast<scene::ISkinnedMesh*>(baseMesh);
    appendedAnimations.push_back(animation.name);
    const s32 first = animation.readStartFrame;
    const s32 last = animation.readEndFrame;
    animation.startFrame = frames + 1;
    animation.endFrame = frames + (last - first);
    frames = animation.endFrame + 1;
    core::array<scene::ISkinnedMesh::SJoint*>& baseJoints = base->getAllJoints();
    for (u32 j = 0; j < baseJoints.size(); ++j) {
        scene::ISkinnedMesh::SJoint* joint = baseJoints[j];
        const s32 index = custom->getJointNumber(joint->Name.c_str());
        if (index < 0)
            continue;
        const scene::ISkinnedMesh::SJoint* source = custom->getAllJoints()[static_cast<u32>(index)];
        appendProfileKeys(joint->PositionKeys, source->PositionKeys, first, last);
        appendProfileKeys(joint->RotationKeys, source->RotationKeys, first, last);
        appendProfileKeys(joint->ScaleKeys, source->ScaleKeys, first, last);
    }
}

std::pair<s32, s32> CharacterProfile::findAnimation(const std::string& name) const {
    if (const CharacterAnimation* record = findAnimationRecord(name))
        return {record->startFrame, record->endFrame};
    return {0, 0};
}

const CharacterAnimation* CharacterProfile::findAnimationRecord(const std::string& name) const {
    const auto found = animations.find(name);
    return found == animations.end() ? nullptr : found->second.get();
}

std::string CharacterProfile::getNextAnimation(const std::string& name) const {
    const CharacterAnimation* record = findAnimationRecord(name);
    return record ? record->nextAnimation : std::string();
}

CharacterSound CharacterProfile::findSound(const std::string& name, const std::string& level) const {
    const auto byName = sounds.find(name);
    if (byName != sounds.end()) {
        if (const auto atLevel = byName->second.find(level); atLevel != byName->second.end())
            return atLevel->second;
        if (const auto anyLevel = byName->second.find(std::string()); anyLevel != byName->second.end())
            return anyLevel->second;
    }
    return CharacterSound();
}
