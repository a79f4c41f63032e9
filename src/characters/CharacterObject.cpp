// The character: construction, attributes, cloning, destruction, the controller body and
// its query filter, visibility.
#include "characters/CharacterObject.h"

#include "characters/CharacterProfile.h"
#include "characters/CharacterQueryFilters.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionRules.h"
#include "characters/WaypointObject.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProgramQueries.h"
#include "level/AttributeExtras.h"
#include "level/LevelManager.h"
#include "level/MeshGate.h"
#include "level/NodeHelpers.h"
#include "level/SoundObject.h"
#include "level/TransformNode.h"
#include "level/WorldTransform.h"
#include "player/PlayerObject.h"
#include "triggers/ObjectIDExpression.h"

#include <algorithm>

using namespace irr;

const char* const characterStateNames[] = {"Walking", "Stopped",    "Idle",      "Reacting",
                                           "Noticing", "Discovered", "No Change", nullptr};
const char* const characterPathBehaviorNames[] = {"One Way", "Loop", "Back Forth", "Protect", "No Change", nullptr};

namespace {

// Capsule of a character that walks waypoints.
constexpr f32 characterRadius = 1.5f;
constexpr f32 characterHeight = 3.0f;

bool isWatcherType(s32 type) {
    return type == SCT_Scientist || type == SCT_Exposed || type == SCT_ExposedLogManiac || type == SCT_Chef;
}

// The profile every character falls back to when no level manager (and so no cache)
// exists: empty, never freed before the program ends.
CharacterProfile* characterFallbackProfile() {
    static CharacterProfile fallback;
    return &fallback;
}

CharacterProfile* fetchCharacterProfile(const std::string& file) {
    if (levelManager)
        return levelManager->profileCache.get(file);
    return characterFallbackProfile();
}

} // namespace

CharacterObject* asCharacter(scene::ISceneNode* node) {
    return node && node->getType() == typeId("crct") ? static_cast<CharacterObject*>(node) : nullptr;
}

CharacterObject::CharacterObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : PhysicsObject(parent, manager, id) {
    if (userData->state == PhysicsState::Static)
        userData->state = PhysicsState::Kinematic;
    userData->character = this;
    bodySettings->boundType = BoundType::Capsule;
    bodySettings->Radius = characterRadius;
    bodySettings->Height = characterHeight;
    setKinematic(true);

    setScale(core::vector3df(1.1f, 1.1f, 1.1f));
    updateAbsolutePosition();
    meshSettings->MeshFileName = defaultMeshFile;
    meshSettings->UseAnimationFrom = defaultAnimationFile;
    replaceMeshNode("");
    loadMesh();
    takeJointControl();

    transformChild = new TransformNode(this, manager, -1);
    transformChild->setIsDebugObject(true);
    transformChild->drop();

    machine = std::make_unique<CharacterStateMachine>(*this);
    makeVisionCone(ConeDistance);
    profile = fetchCharacterProfile("");

    if (SceneManager) {
        if (scene::IAnimatedMesh* lipMesh = getGameMesh(SceneManager, lipLoopMeshFile)) {
            lipLoopNode = SceneManager->addAnimatedMeshSceneNode(lipMesh, this, -1, core::vector3df(0, 100000, 10000));
            if (lipLoopNode)
                lipLoopNode->setIsDebugObject(true);
        }
    }
    setUpLipLoopNode();

    voice = new SoundObject(this, manager);
    voice->setIsDebugObject(true);
    voice->drop();

    if (levelManager)
        constructionLevelName = core::stringc(levelManager->getLevelName()).c_str();
}

CharacterObject::~CharacterObject() {
    if (controller)
        controller->release();
    controller = nullptr;
    actor = nullptr;
}

void CharacterObject::OnRegisterSceneNode() { PhysicsObject::OnRegisterSceneNode(); }

void CharacterObject::rebuildReactingBackwardName() {
    // A reaction named "...Forward..." has its mirror "...Backward...".
    reactingBackwardName = ReactingAnimName;
    for (std::size_t at = reactingBackwardName.find("Forward"); at != std::string::npos;
         at = reactingBackwardName.find("Forward", at + 8))
        reactingBackwardName.replace(at, 7, "Backward");
}

void CharacterObject::takeJointControl() {
    // The character animates the joints itself each frame (blends, head turning, lip sync).
    if (meshNode && hardwareJointCount > 1)
        meshNode->setJointMode(scene::EJUOR_CONTROL);
}

void CharacterObject::setUpLipLoopNode() {
    if (!lipLoopNode)
        return;
    lipLoopNode->setVisible(talkingCount > 0);
    if (profile && !profile->talkingAnimationPath.empty() && SceneManager)
        if (scene::IAnimatedMesh* mesh = getGameMesh(SceneManager, profile->talkingAnimationPath.c_str()))
            lipLoopNode->setMesh(mesh);
    lipLoopNode->setFrameLoop(0, 30);
    lipLoopNode->setLoopMode(true);
    lipLoopNode->setAnimationSpeed(30.0f);
}

void CharacterObject::makeVisionCone(f32 distance) {
    visionCone = new VisionCone(this, transformChild, SceneManager, distance);
    visionCone->drop(); // the transform child holds it
}

void CharacterObject::applyVisionSettings() {
    if (!visionCone)
        return;
    visionCone->setEnabled(visionConeEnabled);
    visionCone->setNoticeDelay(visionNoticeDelay);
}

const std::vector<const CharacterAnimation*>& CharacterObject::stateAnimations(s32 state) const {
    switch (state) {
    case CharacterStateId::Idle: return idleAnimations;
    case CharacterStateId::Noticing: return noticingAnimations;
    default: return discoveredAnimations;
    }
}

void CharacterObject::fillStateAnimationLists() {
    if (!profile)
        return;
    const char* const* names = profile->getNameList();
    for (std::size_t i = 1; names[i]; ++i) {
        const CharacterAnimation* record = profile->findAnimationRecord(names[i]);
        if (!record)
            continue;
        // A follow-up of another animation is never picked on its own.
        bool followUp = false;
        for (const auto& entry : profile->animations)
            if (entry.second->nextAnimation == record->name)
                followUp = true;
        if (followUp)
            continue;
        if (record->state == "Idle")
            idleAnimations.push_back(record);
        else if (record->state == "Noticing")
            noticingAnimations.push_back(record);
        else if (record->state == "Discovered")
            discoveredAnimations.push_back(record);
    }
}

void CharacterObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    // The writer never changes the object, but the bound is put right and the controller
    // lift measured first.
    auto* self = const_cast<CharacterObject*>(this);
    if (UseWaypoints && bodySettings->boundType != BoundType::Capsule) {
        self->bodySettings->boundType = BoundType::Capsule;
        self->bodySettings->Radius = characterRadius;
        self->bodySettings->Height = characterHeight;
    }
    if (!UseWaypoints)
        self->bodySettings->DisableGravity = true;
    f32 lift = 0.0f;
    if (controller) {
        const phys::ExtVec3 before = controller->getPosition();
        self->moveController(core::vector3df(0.0f, 0.5f, 0.0f));
        const phys::ExtVec3 after = controller->getPosition();
        controller->setPosition(before);
        lift = static_cast<f32>(after.y - before.y);
    }

    PhysicsObject::serializeAttributes(out, options);
    out->addEnum("StartState", StartState, characterStateNames);
    const bool lookWritten = StartState == CharacterStateId::Stopped;
    if (lookWritten)
        addObjectReference(out, "LookTargetID", LookTargetID);
    out->addFloat("RotateSpeed", RotateSpeed);
    out->addFloat("WalkSpeed", WalkSpeed);
    addObjectReference(out, "ParentWaypointID", ParentWaypointID);
    out->addEnum("PathBehavior", static_cast<s32>(pathBehavior), characterPathBehaviorNames);
    if (visionCone)
        out->addInt("VisionConeID", visionCone->getVisionConeID());
    out->addVector3d("MeshOffset", MeshOffset);
    addFilePath(out, "ProfileName", ProfileName.c_str());
    static const char* const noNames[] = {nullptr};
    const char* const* names = profile ? profile->getNameList() : noNames;
    out->addEnum("WalkingAnimName", WalkingAnimName.c_str(), names);
    out->addEnum("StoppedAnimName", StoppedAnimName.c_str(), names);
    out->addEnum("ReactingAnimName", ReactingAnimName.c_str(), names);
    out->addString("ConeBoneName", ConeBoneName.c_str());
    out->addFloat("ConeDistance", ConeDistance);
    out->addBool("ApplyGravityToAnimators", ApplyGravityToAnimators);
    out->addString("NoCollideKinematicIDs", NoCollideKinematicIDs.c_str());
    out->addBool("StopForTentaro", StopForTentaro);
    out->addBool("UseWaypoints", UseWaypoints && bodySettings->boundType == BoundType::Capsule);
    if (isSimulationRunning()) {
        out->addInt("WaypointIndex", WaypointIndex);
        const auto writeState = [&](const char* key, s32 id) {
            if (id == CharacterStateId::Walking || id == CharacterStateId::Stopped)
                out->addEnum(key, id, characterStateNames);
        };
        writeState("CurrentState", machine->currentID());
        writeState("GlobalState", machine->globalID());
        writeState("PreviousState", machine->previousID());
        if (!lookWritten)
            addObjectReference(out, "LookTargetID", LookTargetID);
        out->addBool("IsGoingBack", IsGoingBack);
        out->addVector3d("Direction", Direction);
        // The running position is where the controller stands, lifted clear of the floor.
        const core::vector3df position = RelativeTranslation + core::vector3df(0.0f, lift, 0.0f);
        if (out->existsAttribute("Position"))
            out->setAttribute("Position", position);
        else
            out->addVector3d("Position", position);
        out->addFloat("TargetSplineTime", TargetSplineTime);
    }
    out->addEnum("CharacterSuspicionType", CharacterSuspicionType, suspicionCharacterTypeNames);
}

void CharacterObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    readIfPresent(in, "UseWaypoints", UseWaypoints);
    PhysicsObject::deserializeAttributes(in, options);

    readIfPresent(in, "ParentWaypointID", ParentWaypointID);
    readIfPresent(in, "LookTargetID", LookTargetID);
    readIfPresent(in, "RotateSpeed", RotateSpeed);
    readIfPresent(in, "IsGoingBack", IsGoingBack);
    s32 behavior = static_cast<s32>(pathBehavior);
    if (in->existsAttribute("PathBehavior")) {
        behavior = in->getAttributeAsEnumeration("PathBehavior", characterPathBehaviorNames);
        pathBehavior = static_cast<PathBehavior>(behavior);
    }
    readIfPresent(in, "WalkSpeed", WalkSpeed);
    for (const char* key : {"SuspicionConeID", "VisionConeID"}) {
        s32 coneID = 0;
        if (visionCone && readIfPresent(in, key, coneID))
            visionCone->setVisionConeID(coneID);
    }
    readIfPresent(in, "MeshOffset", MeshOffset);
    readIfPresent(in, "WaypointIndex", WaypointIndex);
    core::stringc noCollide;
    if (readIfPresent(in, "NoCollideKinematicIDs", noCollide)) {
        NoCollideKinematicIDs = noCollide.c_str();
        noCollideChanged = true;
    }
    readIfPresent(in, "StopForTentaro", StopForTentaro);

    if (ID > 1 && voice)
        voice->setOwnerName(std::to_string(ID));

    // The figure stands on the capsule's foot, whatever the node's scale.
    core::vector3df meshPosition(0.0f, -(bodySettings->Height * 0.5f + bodySettings->Radius), 0.0f);
    if (RelativeScale.Y > 0.0f)
        meshPosition.Y /= RelativeScale.Y;
    meshPosition += MeshOffset;

    const auto readAnimationName = [&](const char* key, std::string& name) {
        if (!in->existsAttribute(key))
            return;
        const core::stringc text = in->getAttributeAsString(key);
        if (!text.empty())
            name = text.c_str();
    };
    readAnimationName("WalkingAnimName", WalkingAnimName);
    readAnimationName("StoppedAnimName", StoppedAnimName);
    readAnimationName("ReactingAnimName", ReactingAnimName);
    rebuildReactingBackwardName();

    if (in->existsAttribute("ConeBoneName"))
        ConeBoneName = in->getAttributeAsString("ConeBoneName").c_str();
    readIfPresent(in, "Direction", Direction);
    readIfPresent(in, "TargetSplineTime", TargetSplineTime);

    core::stringc profileName;
    if (readIfPresent(in, "ProfileName", profileName) && !profileName.empty()) {
        ProfileName = profileName.c_str();
    } else {
        // No profile named: the one beside the mesh ("Figure.b3d" -> "FigureProfile.xml")
        // when there is one, else the name held (the everyday character's by default); the
        // one taken is the name written back.
        std::string derived = meshSettings->MeshFileName.c_str();
        const std::size_t dot = derived.rfind('.');
        if (dot != std::string::npos)
            derived.erase(dot);
        derived += "Profile.xml";
        io::IFileSystem* files = SceneManager ? SceneManager->getFileSystem() : nullptr;
        if (files && files->existFile(derived.c_str()))
            ProfileName = derived;
    }
    profile = fetchCharacterProfile(ProfileName);
    fillStateAnimationLists();

    s32 suspicionType = CharacterSuspicionType;
    if (readEnumIfPresent(in, "CharacterSuspicionType", suspicionCharacterTypeNames, suspicionType))
        CharacterSuspicionType = suspicionType;
    if (CharacterSuspicionType == SCT_None && profile && profile->characterType >= 0)
        CharacterSuspicionType = profile->characterType;

    setUpLipLoopNode();

    if (in->existsAttribute("ConeDistance")) {
        ConeDistance = in->getAttributeAsFloat("ConeDistance");
        if (visionCone)
            visionCone->remove();
        visionCone = nullptr;
        makeVisionCone(ConeDistance);
        if (isWatcherType(CharacterSuspicionType)) {
            visionConeEnabled = true;
            visionNoticeDelay = getSuspicionValues(CharacterSuspicionType, ST_TaroSeen).speedThreshold;
        }
        applyVisionSettings();
    }

    readIfPresent(in, "ApplyGravityToAnimators", ApplyGravityToAnimators);
    takeJointControl();
    if (meshNode) {
        meshNode->setPosition(meshPosition);
        meshNode->setRotation(core::vector3df());
    }

    readStates(in);
    if (!ChangeBlocksVision)
        BlocksVision = false;
    if (machine->current)
        machine->current->enter(*this);
}

void CharacterObject::readStates(io::IAttributes* in) {
    readEnumIfPresent(in, "StartState", characterStateNames, StartState);
    // Only the states a character can be saved or started in are taken from a file.
    const auto stateOf = [](s32 id) -> CharacterBehaviourState* {
        switch (id) {
        case CharacterStateId::Walking:
        case CharacterStateId::Stopped:
        case CharacterStateId::Reacting:
        case CharacterStateId::Noticing: return characterState(id);
        default: return nullptr;
        }
    };
    const auto readState = [&](const char* key, CharacterBehaviourState*& slot) {
        s32 id = -1;
        if (readEnumIfPresent(in, key, characterStateNames, id))
            if (CharacterBehaviourState* state = stateOf(id))
                slot = state;
    };
    readState("PreviousState", machine->previous);
    readState("GlobalState", machine->global);
    if (in->existsAttribute("CurrentState")) {
        readState("CurrentState", machine->current);
        return;
    }
    CharacterBehaviourState* walking = walkingState();
    if (StartState == CharacterStateId::Walking && ParentWaypointID > 0) {
        machine->previous = machine->global = machine->current = walking;
    } else if (StartState == CharacterStateId::Reacting || StartState == CharacterStateId::Noticing) {
        machine->previous = machine->global = walking;
        machine->current = characterState(StartState);
    } else {
        machine->previous = machine->global = machine->current = stoppedState();
    }
}

void CharacterObject::createCollisionBody(BoundType boundType, const phys::Quat& rotation) {
    if (!UseWaypoints || boundType != BoundType::Capsule) {
        PhysicsObject::createCollisionBody(boundType, rotation);
        return;
    }
    if (controller)
        controller->release();
    controller = nullptr;
    if (!physicsManager)
        return;
    updateAbsolutePosition();
    controller = physicsManager->createCharacterController(getAbsolutePosition(), this, bodySettings->Height,
                                                           bodySettings->Radius);
    if (!controller)
        return;
    // The controller's actor carries the character's record; the character reaches it
    // through the controller only.
    if (phys::RigidDynamic* body = controller->getActor()) {
        std::vector<phys::Shape*> shapes(body->getNbShapes());
        body->getShapes(shapes.data(), static_cast<u32>(shapes.size()));
        for (phys::Shape* shape : shapes)
            shape->userData = userData.get();
        body->userData = userData.get();
    }
    actor = nullptr;
}

core::vector3df CharacterObject::getControllerPosition() const {
    if (!controller)
        return getAbsolutePosition();
    const phys::ExtVec3 p = controller->getPosition();
    return {static_cast<f32>(p.x), static_cast<f32>(p.y), static_cast<f32>(p.z)};
}

core::vector3df CharacterObject::getControllerFootPosition() const {
    if (!controller)
        return getAbsolutePosition();
    const phys::ExtVec3 p = controller->getFootPosition();
    return {static_cast<f32>(p.x), static_cast<f32>(p.y), static_cast<f32>(p.z)};
}

void CharacterObject::moveController(const core::vector3df& displacement) {
    if (!controller || !IsVisible)
        return;
    CharacterQueryFilter filter(noCollideExpression.get());
    phys::FilterData words;
    words.word0 = 0x0fffc007;
    phys::ControllerFilters filters;
    filters.filterData = &words;
    filters.filterCallback = &filter;
    filters.filterFlags = phys::QueryStatic | phys::QueryDynamic | phys::QueryPrefilter | phys::QueryPostfilter;
    filters.activeGroups = 0xffffffff;
    controller->move(toPhys(displacement), 0.00001f, 1.0f, filters);
}

void CharacterObject::teleport(const core::vector3df& position, const core::vector3df& rotation) {
    if (controller) {
        controller->setPosition(phys::ExtVec3(position.X, position.Y, position.Z));
        return;
    }
    setNodeWorldPosition(this, position);
    setNodeWorldRotation(this, rotation);
    if (actor)
        actor->setGlobalPose(phys::Transform(toPhys(position), eulerDegreesToQuat(rotation)));
}

void CharacterObject::setBodyPosition(const core::vector3df& position, const core::vector3df& rotation) {
    if (controller) {
        setNodeWorldRotation(this, rotation);
        return;
    }
    teleport(position, rotation);
}

void CharacterObject::setCollisionEnabled(bool on) {
    if (!controller) {
        if (actor)
            setActorShapeFlag(actor, phys::ShapeSimulation, on);
        return;
    }
    phys::RigidDynamic* body = controller->getActor();
    if (!body || isActorSimulationShape(body) == on)
        return;
    setActorShapeFlag(body, phys::ShapeSimulation, on);
    setActorShapeFlag(body, phys::ShapeSceneQuery, on);
    if (!on)
        body->putToSleep();
    controller->setInteraction(on ? phys::InteractionMode::Include : phys::InteractionMode::Exclude);
}

bool CharacterObject::isCollisionEnabled() const {
    if (controller)
        return controller->getActor() && isActorSimulationShape(controller->getActor());
    return actor && isActorSimulationShape(actor);
}

void CharacterObject::setVisible(bool visible) {
    const bool wasVisible = IsVisible;
    PhysicsObject::setVisible(visible);
    if (visionCone)
        visionCone->setVisible(visible);
    if (controller) {
        if (holdCount != 0 && playerCount() > 0)
            if (PlayerObject* player = getPlayer(0))
                player->releaseObject(this, 4, false);
        setCollisionEnabled(visible);
    }
    if (!wasVisible && visible && gameDevice)
        OnAnimate(gameDevice->getTimer()->getTime());
}

scene::ISceneNode* CharacterObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new CharacterObject(newParent, newManager, ID);
    const s32 newID = assignUniqueObjectID(copy);
    if (isSimulationRunning()) {
        LevelObject::cloneMembers(copy, this, newManager);
    } else {
        for (scene::ISceneNode* child : Children)
            if (!child->isDebugObject())
                if (scene::ISceneNode* childCopy = child->clone(copy, newManager))
                    childCopy->setDebugDataVisible(scene::EDS_OFF);
        for (scene::ISceneNodeAnimator* animator : Animators)
            if (scene::ISceneNodeAnimator* animatorCopy = animator->createClone(copy, newManager)) {
                copy->addAnimator(animatorCopy);
                animatorCopy->drop();
            }
    }
    // A copy made in play as well keeps the character's own settings (path, speeds,
    // profile, animations, states): they travel through an attribute container.
    io::IAttributes* attributes = newManager->getFileSystem()->createEmptyAttributes(newManager->getVideoDriver());
    serializeAttributes(attributes);
    copy->deserializeAttributes(attributes);
    attributes->drop();
    const u32 materials = std::min<u32>({getMaterialCount(), copy->getMaterialCount(), 4u});
    for (u32 i = 0; i < materials; ++i)
        copy->getMaterial(i) = getMaterial(i);
    copy->copyPhysicsSettings(*this);
    copy->setID(newID);
    copy->drop();
    return copy;
}
