// Every shipped level as the game builds it, compared with its recorded copy: each object's
// attributes as the engine's attribute I/O serializes them, the node tree below it (transforms,
// materials, meshes, bounds), the bodies and shapes of its physics set-up, its joints, the
// trigger graph with its actions, a copy of one object of each type beside its original, the
// level after its first frame, and the level as the game's writers write it again and read it
// back.
#include "GameTypesFixture.h"

#include "camera/CameraObject.h"
#include "camera/CameraPoints.h"
#include "camera/CutsceneObject.h"
#include "characters/CharacterObject.h"
#include "characters/CharacterProfile.h"
#include "characters/WaypointObject.h"
#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "level/LevelFile.h"
#include "level/LevelInfo.h"
#include "level/MeshGate.h"
#include "level/ObjectiveList.h"
#include "level/ResourceCaches.h"
#include "level/SceneNodeTypes.h"
#include "level/SplineObject.h"
#include "phys/Phys.h"
#include "physics/joints/JointObject.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsManager.h"
#include "player/ConfigTentMovementObject.h"
#include "render/BillboardObject.h"
#include "render/LightObject.h"
#include "render/ParticleObject.h"
#include "render/WaterObject.h"
#include "render/WorldObjectTypes.h"
#include "triggers/TriggerAction.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"
#include "triggers/TriggerRegistration.h"
#include "triggers/actions/TriggerActionRegistration.h"

#include "support/RecordedResult.h"
#include "support/TempDir.h"

#include <irrlicht.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace irr;

namespace shipped_level_record {

std::vector<std::string> shippedLevels() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(test::sourceDir() / "Content/Levels", error))
        if (entry.path().extension() == ".irr")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string num(double value) {
    if (std::isnan(value))
        return "nan";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", std::fabs(value) < 1e-9 ? 0.0 : value);
    return text;
}

std::string vec(const core::vector3df& v) { return num(v.X) + " " + num(v.Y) + " " + num(v.Z); }
std::string vec(const phys::Vec3& v) { return num(v.x) + " " + num(v.y) + " " + num(v.z); }
std::string quat(const phys::Quat& q) { return num(q.x) + " " + num(q.y) + " " + num(q.z) + " " + num(q.w); }
std::string box(const core::aabbox3df& b) { return vec(b.MinEdge) + "  " + vec(b.MaxEdge); }

// Colours, flag sets and filter words as words, not numbers: the comparer would let a number
// differ in its last digits.
std::string word(const char* prefix, u32 value, bool hex = true) {
    char text[24];
    std::snprintf(text, sizeof text, hex ? "%s%08x" : "%s%u", prefix, value);
    return text;
}

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out += *text < 128 && *text >= 32 ? static_cast<char>(*text) : '?';
    return out;
}

// A value as white-space separated tokens: the engine's commas split, every float printed
// with the record's precision (the engine writes floats with six decimals), an empty value shown.
std::string tokens(const std::string& value) {
    std::string spaced = value;
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    std::istringstream in(spaced);
    std::string token, out;
    while (in >> token) {
        char* end = nullptr;
        const double parsed = std::strtod(token.c_str(), &end);
        // Only the engine's float texts ("1.500000"); integers stay as written, compared
        // exactly up to the record's tolerance.
        const bool number = end && *end == 0 && !token.empty() && token.find('.') != std::string::npos &&
                            (std::isdigit(static_cast<unsigned char>(token[0])) || token[0] == '-' || token[0] == '.');
        out += (out.empty() ? "" : " ") + (number ? num(parsed) : token);
    }
    return out.empty() ? "<empty>" : out;
}


// The node blocks of two scene descriptions that differ, line by line within each block
// (numbers within the record's tolerance): what reading a written level back changed.
std::vector<std::vector<std::string>> nodeBlocks(const std::string& text) {
    std::vector<std::vector<std::string>> blocks;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("node ", 0) == 0 || blocks.empty())
            blocks.emplace_back();
        blocks.back().push_back(line);
    }
    return blocks;
}

bool linesMatch(const std::string& a, const std::string& b) { return a == b || test::describeDifferences(a, b).empty(); }

std::string blockDifferences(const std::string& before, const std::string& after) {
    const auto a = nodeBlocks(before), b = nodeBlocks(after);
    std::string out = "blocks " + std::to_string(a.size()) + " " + std::to_string(b.size()) + "\n";
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] == b[i])
            continue;
        const auto missing = [](const std::vector<std::string>& from, const std::vector<std::string>& in) {
            std::vector<std::string> lines;
            for (const std::string& line : from)
                if (std::none_of(in.begin(), in.end(), [&](const std::string& other) { return linesMatch(line, other); }))
                    lines.push_back(line);
            return lines;
        };
        const auto lost = missing(a[i], b[i]), gained = missing(b[i], a[i]);
        if (lost.empty() && gained.empty())
            continue;
        out += "in " + a[i][0] + "\n";
        for (const std::string& line : lost)
            out += "  lost " + line + "\n";
        for (const std::string& line : gained)
            out += "  gained " + line + "\n";
    }
    return out;
}

class ShippedLevelRecordTest : public test::GameTypesFixture, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        workingDir = std::make_unique<test::ScopedWorkingDir>(test::sourceDir());
        // The manager read its tables from the folder the program started in: the game's
        // own are read here, wherever the tests run from.
        ASSERT_TRUE(manager->tieTable.load(smgr()->getFileSystem()));
        registerMeshGate(smgr());
        clockMicroseconds() = 0;
        // The types every shipped level uses.
        ASSERT_TRUE(startGameTypes(&readClock));
        bases = {(test::sourceDir() / "").string(), test::sourceDir().string(), (temp.path() / "").string(),
                 temp.path().string()};
        log.lines.clear();
    }

    // The frame stopwatch's clock, moved by the test only (a frame is its fixed length).
    static std::int64_t& clockMicroseconds() {
        static std::int64_t micros = 0;
        return micros;
    }
    static std::int64_t readClock() { return clockMicroseconds(); }

    // One frame of the game's loop at its fixed length: the physics step, the level's
    // animation pass, the draw (on the null driver), the step's start.
    void frame() {
        clockMicroseconds() += 16700;
        stopwatch->tick();
        physics->endStep();
        physics->updateStepCount(PhysicsManager::fixedStepSize);
        if (++levelAnimateFrame == 0)
            levelAnimateFrame = 1;
        timeMs += 17;
        root()->OnAnimate(timeMs);
        physics->beginStep();
        smgr()->drawAll();
        physics->stepDuringRender();
        physics->stepDuringRender();
    }

    std::string levelPath() const { return "Content/Levels/" + GetParam() + ".irr"; }
    std::string rel(const std::string& text) const { return test::withFoldersShown(text, bases); }

    io::IAttributes* newAttributes() const {
        return device->get()->getFileSystem()->createEmptyAttributes(device->get()->getVideoDriver());
    }

    void writeAttributes(std::ostringstream& out, const char* tag, io::IAttributes* attributes) const {
        for (u32 i = 0; i < attributes->getAttributeCount(); ++i)
            out << tag << ' ' << attributes->getAttributeName(i) << ' ' << narrow(attributes->getAttributeTypeString(i)) << ' '
                << attributeValue(attributes, i) << '\n';
    }

    std::string attributeValue(io::IAttributes* attributes, u32 i) const {
        const std::string value = rel(tokens(narrow(attributes->getAttributeAsStringW(i).c_str())));
        return attributes->getAttributeType(i) == io::EAT_COLOR ? "#" + value : value;
    }

    std::string textureName(video::ITexture* texture) const {
        return texture ? rel(texture->getName().getPath().c_str()) : std::string("-");
    }

    void writeMaterial(std::ostringstream& out, u32 index, const video::SMaterial& m) const {
        const int type = static_cast<int>(m.MaterialType);
        out << "  material " << index << " type " << type << " param " << num(m.MaterialTypeParam) << ' '
            << num(m.MaterialTypeParam2) << " flags f" << m.Wireframe << m.PointCloud << m.GouraudShading << m.Lighting
            << m.ZWriteEnable << m.BackfaceCulling << m.FrontfaceCulling << m.FogEnable << m.NormalizeNormals
            << m.UseMipMaps << " zbuffer " << int(m.ZBuffer) << " colors " << word("#", m.AmbientColor.color) << ' '
            << word("#", m.DiffuseColor.color) << ' ' << word("#", m.SpecularColor.color) << ' '
            << word("#", m.EmissiveColor.color) << " shininess " << num(m.Shininess) << " textures";
        for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
            if (m.TextureLayer[layer].Texture)
                out << ' ' << layer << ' ' << textureName(m.TextureLayer[layer].Texture);
        out << '\n';
    }

    static void writeMesh(std::ostringstream& out, scene::IMesh* mesh, s32 frames) {
        if (!mesh) {
            out << "  mesh none\n";
            return;
        }
        out << "  mesh frames " << frames << " buffers " << mesh->getMeshBufferCount() << " vertices";
        for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i)
            out << ' ' << mesh->getMeshBuffer(i)->getVertexCount() << '/' << mesh->getMeshBuffer(i)->getIndexCount();
        out << " box " << box(mesh->getBoundingBox()) << '\n';
    }

    static void writeShapes(std::ostringstream& out, const phys::RigidActor* actor) {
        std::vector<phys::Shape*> shapes(actor->getNbShapes());
        if (!shapes.empty())
            actor->getShapes(shapes.data(), static_cast<uint32_t>(shapes.size()));
        for (const phys::Shape* shape : shapes) {
            const phys::GeometryHolder& g = shape->getGeometry();
            out << "  shape " << static_cast<int>(g.getType());
            switch (g.getType()) {
            case phys::GeometryType::Box:
                out << " box " << vec(g.box().halfExtents);
                break;
            case phys::GeometryType::Sphere:
                out << " sphere " << num(g.sphere().radius);
                break;
            case phys::GeometryType::Capsule:
                out << " capsule " << num(g.capsule().radius) << ' ' << num(g.capsule().halfHeight);
                break;
            case phys::GeometryType::ConvexMesh:
                out << " convex " << (g.convexMesh().convexMesh ? g.convexMesh().convexMesh->getNbVertices() : 0u);
                break;
            case phys::GeometryType::TriangleMesh:
                out << " triangles "
                    << (g.triangleMesh().triangleMesh ? g.triangleMesh().triangleMesh->getNbTriangles() : 0u);
                break;
            default:
                break;
            }
            const phys::Transform pose = shape->getLocalPose();
            const phys::FilterData sim = shape->getSimulationFilterData(), query = shape->getQueryFilterData();
            out << " at " << vec(pose.p) << " turn " << quat(pose.q) << " flags " << word("b", shape->getFlags()) << " filter "
                << word("w", sim.word0) << ' ' << word("w", sim.word1) << ' ' << word("w", sim.word2) << ' '
                << word("w", sim.word3) << " query " << word("w", query.word0) << ' ' << word("w", query.word1) << ' '
                << word("w", query.word2) << ' ' << word("w", query.word3);
            std::vector<phys::Material*> materials(shape->getNbMaterials());
            if (!materials.empty())
                shape->getMaterials(materials.data(), static_cast<uint32_t>(materials.size()));
            for (const phys::Material* material : materials)
                out << " material " << num(material->getStaticFriction()) << ' ' << num(material->getDynamicFriction())
                    << ' ' << num(material->getRestitution());
            out << '\n';
        }
    }

    static void writeActor(std::ostringstream& out, const char* tag, const phys::Actor* actor) {
        if (!actor) {
            out << "  " << tag << " none\n";
            return;
        }
        out << "  " << tag << " kind " << static_cast<int>(actor->getType()) << " flags " << word("b", actor->getActorFlags());
        const phys::RigidActor* rigid = actor->asRigidActor();
        if (!rigid) {
            out << '\n';
            return;
        }
        const phys::Transform pose = rigid->getGlobalPose();
        out << " at " << vec(pose.p) << " turn " << quat(pose.q) << " shapes " << rigid->getNbShapes();
        if (const phys::RigidDynamic* dynamic = actor->asRigidDynamic())
            out << " mass " << num(dynamic->getMass()) << " inertia " << vec(dynamic->getMassSpaceInertiaTensor())
                << " centre " << vec(dynamic->getCMassLocalPose().p) << " damping " << num(dynamic->getLinearDamping())
                << ' ' << num(dynamic->getAngularDamping()) << " dynflags " << word("b", dynamic->getRigidDynamicFlags())
                << " sleeping " << dynamic->isSleeping();
        out << '\n';
        writeShapes(out, rigid);
    }

    void writePhysics(std::ostringstream& out, PhysicsObject* object) const {
        const PhysicsBodySettings& b = object->body();
        out << "  physics state " << static_cast<int>(object->getPhysicsState()) << " bound "
            << static_cast<int>(object->getBoundType()) << " mass " << num(b.Mass) << " friction " << num(b.Friction)
            << " restitution " << num(b.Restitution) << " damping " << num(b.LinearDamping) << ' '
            << num(b.AngularDamping) << " extents " << vec(b.BoxExtents) << " radius " << num(b.Radius) << " height "
            << num(b.Height) << " group " << b.OverrideCollisionGroup << " nocollide " << b.noCollideIDs.size()
            << " parent " << (b.physicsParent ? b.physicsParent->getID() : 0) << " grabbable " << object->IsGrabbable
            << " kinematicIgnore " << object->getIgnoreParentTransform() << " localbox "
            << box(object->mesh().localBounds) << " meshnode " << (object->getMeshNode() != nullptr)
            << " truevisible " << object->isTrulyVisible() << " jointlimit " << object->getHardwareJointCount()
            << " respawn " << vec(object->reset().respawnPosition) << " / " << vec(object->reset().respawnRotation)
            << '\n';
        const PhysicsMeshSettings& m = object->mesh();
        out << "  links jointed " << b.jointedObjects.size() << " joints " << b.joints.size() << " holders "
            << b.jointHolders.size() << " touches " << b.touchList.size() << " glow "
            << (m.glowParent ? m.glowParent->getID() : 0) << " instances " << m.instances.size() << " highlight "
            << m.highlightMode << " alpha " << num(m.fadeAlpha) << ' ' << num(m.fadeAlphaTarget) << " spawn "
            << vec(object->reset().spawnPosition) << " / " << vec(object->reset().spawnRotation) << " / "
            << vec(object->reset().spawnScale) << " collision " << object->isCollisionEnabled() << '\n';
        writeActor(out, "actor", object->getBodyActor());
    }

    static void writeAction(std::ostringstream& out, const char* tag, TriggerAction* action,
                            io::IAttributes* attributes, const ShippedLevelRecordTest& self) {
        if (!action) {
            out << "  " << tag << " none\n";
            return;
        }
        out << "  " << tag << ' ' << action->getType() << ' ' << tokens(action->getName() ? action->getName() : "")
            << " undo " << action->canRevert() << ' ' << action->UndoOnTriggerRevert << " event "
            << (action->event ? action->event->getID() : 0) << " trigger "
            << (action->trigger ? action->trigger->getID() : 0) << '\n';
        attributes->clear();
        action->serializeAttributes(attributes);
        self.writeAttributes(out, "   action-attribute", attributes);
    }

    void writeSpecial(std::ostringstream& out, scene::ISceneNode* node, io::IAttributes* attributes) const {
        const scene::ESCENE_NODE_TYPE type = node->getType();
        if (PhysicsObject* object = asPhysicsObject(node))
            writePhysics(out, object);
        if (type == typeId("crct")) {
            auto* character = static_cast<CharacterObject*>(node);
            out << "  character profile " << (character->getProfile() ? character->getProfile()->fileName : "-")
                << " waypoints " << (character->getFirstWaypoint() ? character->getFirstWaypoint()->getID() : 0) << ' '
                << (character->getTargetWaypoint() ? character->getTargetWaypoint()->getID() : 0) << ' '
                << (character->getLastWaypoint() ? character->getLastWaypoint()->getID() : 0) << " look "
                << (character->getLookTarget() ? character->getLookTarget()->getID() : 0) << " cone "
                << (character->getVisionCone() != nullptr) << " voice " << (character->getVoice() != nullptr)
                << " controller " << (character->getController() != nullptr) << '\n';
        }
        if (isTypeOf(type, typeId("trgr"))) {
            auto* trigger = static_cast<TriggerObject*>(node);
            out << "  trigger condition " << trigger->TriggerConditionIndex << " active " << trigger->IsActive
                << " met " << trigger->ConditionMet << " revertible " << trigger->revertible << " volume "
                << trigger->usesVolume() << " start " << (trigger->startTree != nullptr) << " objects "
                << (trigger->objectsTree != nullptr) << " excluded " << (trigger->excludedTree != nullptr) << '\n';
            writeActor(out, "trigger-actor", trigger->getMainActor());
            writeActor(out, "trigger-skin", trigger->getSkinActor());
            writeAction(out, "trigger-action", trigger->getAction(), attributes, *this);
        }
        if (type == typeId("trge")) {
            auto* event = static_cast<TriggerEventObject*>(node);
            out << "  event pending " << event->isPending() << '\n';
            writeAction(out, "event-action", event->getAction(), attributes, *this);
        }
        if (type == typeId("jont")) {
            auto* joint = static_cast<JointObject*>(node);
            out << "  joint kind " << joint->JointType << " bodies " << joint->ObjectID1 << ' ' << joint->ObjectID2
                << " enabled " << joint->JointEnabled << " pending " << joint->bodiesPending << " live "
                << joint->isJointLive() << " built " << (joint->getJoint() != nullptr) << '\n';
        }
        if (isTypeOf(type, typeId("slne"))) {
            auto* spline = static_cast<SplineObject*>(node);
            out << "  spline points " << spline->getControlPointCount() << " length " << num(spline->getLength())
                << " ready " << !spline->isNotReady() << '\n';
            // The path once, at its spline (its points are splines too).
            const bool point = node->getParent() && isTypeOf(node->getParent()->getType(), typeId("slne"));
            if (spline->getControlPointCount() >= 2 && !point)
                for (f32 t : {0.0f, 0.1f, 0.3f, 0.5f, 0.7f, 0.9f, 1.0f})
                    out << "   at " << num(t) << ' ' << vec(spline->getPosition(t)) << " facing "
                        << vec(spline->getOrientation(t)) << '\n';
        }
        if (type == scene::ESNT_LIGHT) {
            if (auto* light = dynamic_cast<LightObject*>(node)) {
                const video::SLight& l = light->getLightData();
                out << "  light type " << int(l.Type) << " radius " << num(l.Radius) << " falloff " << num(l.Falloff)
                    << " cone " << num(l.InnerCone) << ' ' << num(l.OuterCone) << " shadows " << l.CastShadows
                    << " at " << vec(l.Position) << " towards " << vec(l.Direction) << " attenuation "
                    << vec(l.Attenuation) << " colors " << word("#", l.AmbientColor.toSColor().color) << ' '
                    << word("#", l.DiffuseColor.toSColor().color) << ' ' << word("#", l.SpecularColor.toSColor().color)
                    << " index " << light->getDriverLightIndex() << " priority " << light->getPriority() << '\n';
            }
        }
        if (type == typeId("cmro") || isTypeOf(type, typeId("cmro")))
            out << "  camera look " << vec(static_cast<CameraObject*>(node)->getLookVector()) << '\n';
    }

    static std::vector<scene::ISceneNode*> sortedChildren(scene::ISceneNode* node) {
        std::vector<scene::ISceneNode*> children;
        for (scene::ISceneNode* child : node->getChildren())
            children.push_back(child);
        std::stable_sort(children.begin(), children.end(),
                         [](scene::ISceneNode* a, scene::ISceneNode* b) { return a->getID() < b->getID(); });
        return children;
    }

    void writeNode(std::ostringstream& out, scene::ISceneNode* node, int depth, io::IAttributes* attributes) const {
        out << "node " << depth << ' ' << typeIdText(node->getType()).c_str() << ' ' << node->getID() << " name "
            << tokens(node->getName()) << '\n';
        out << "  transform " << vec(node->getPosition()) << "  " << vec(node->getRotation()) << "  "
            << vec(node->getScale()) << " visible " << node->isVisible() << " absolute "
            << vec(node->getAbsolutePosition()) << " culling " << node->getAutomaticCulling() << " debug "
            << node->isDebugObject() << " children " << node->getChildren().size() << '\n';
        out << "  box " << box(node->getBoundingBox()) << '\n';
        attributes->clear();
        node->serializeAttributes(attributes);
        writeAttributes(out, " attribute", attributes);
        out << "  materials " << node->getMaterialCount() << '\n';
        for (u32 i = 0; i < node->getMaterialCount(); ++i)
            writeMaterial(out, i, node->getMaterial(i));
        if (auto* animated = dynamic_cast<scene::IAnimatedMeshSceneNode*>(node))
            writeMesh(out, animated->getMesh(), animated->getMesh() ? static_cast<s32>(animated->getMesh()->getFrameCount()) : 0);
        else if (auto* meshNode = dynamic_cast<scene::IMeshSceneNode*>(node))
            writeMesh(out, meshNode->getMesh(), 1);
        for (scene::ISceneNodeAnimator* animator : node->getAnimators()) {
            out << "  animator " << static_cast<int>(animator->getType()) << '\n';
            attributes->clear();
            animator->serializeAttributes(attributes);
            writeAttributes(out, "   animator-attribute", attributes);
        }
        writeSpecial(out, node, attributes);
        for (scene::ISceneNode* child : sortedChildren(node))
            writeNode(out, child, depth + 1, attributes);
    }

    std::string describeScene() const {
        std::ostringstream out;
        io::IAttributes* attributes = newAttributes();
        for (scene::ISceneNode* node : sortedChildren(root()))
            writeNode(out, node, 0, attributes);
        attributes->drop();
        return out.str();
    }

    // What the level's load left in the level manager and the scene manager.
    std::string describeLevel() const {
        std::vector<scene::ISceneNode*> nodes;
        collect(root(), nodes);
        std::size_t held = 0;
        for (scene::ISceneNode* node : nodes)
            held += node->getID() != 0 && node->getID() != -1 && manager->holdsID(node->getID()) ? 1 : 0;
        video::SColor fogColor;
        video::E_FOG_TYPE fogType = video::EFT_FOG_LINEAR;
        f32 fogStart = 0.0f, fogEnd = 0.0f, fogDensity = 0.0f;
        bool pixelFog = false, rangeFog = false;
        smgr()->getVideoDriver()->getFog(fogColor, fogType, fogStart, fogEnd, fogDensity, pixelFog, rangeFog);
        const video::SColorf ambient = smgr()->getAmbientLight();
        std::ostringstream out;
        out << "loader read " << manager->getLoader().objectsRead << " of " << manager->getLoader().objectsTotal
            << " ids " << held << " info " << (manager->currentLevelInfo ? manager->currentLevelInfo->getID() : 0)
            << " floor " << num(levelFloorHeight) << " shadow " << vec(manager->shadowLightPosition) << " / "
            << vec(manager->shadowLightTarget) << " objectives " << manager->objectives.getEntries().size()
            << " profiles " << manager->profileCache.size() << " loading " << manager->levelLoading << '\n';
        out << "scene ambient " << num(ambient.r) << ' ' << num(ambient.g) << ' ' << num(ambient.b) << ' '
            << num(ambient.a) << " fog " << word("#", fogColor.color) << ' ' << int(fogType) << ' ' << num(fogStart)
            << ' ' << num(fogEnd) << ' ' << num(fogDensity) << ' ' << pixelFog << rangeFog << '\n';
        return out.str();
    }

    static void collect(scene::ISceneNode* node, std::vector<scene::ISceneNode*>& nodes) {
        for (scene::ISceneNode* child : sortedChildren(node)) {
            nodes.push_back(child);
            collect(child, nodes);
        }
    }

    // One object of each type (the one of the lowest ID) copied beside its original: the
    // copy's attributes that differ from the original's, its children and materials.
    std::string describeClones() {
        std::vector<scene::ISceneNode*> nodes;
        collect(root(), nodes);
        std::map<std::string, scene::ISceneNode*> firstOfType;
        for (scene::ISceneNode* node : nodes) {
            if (node->getID() <= 0 || node->isDebugObject())
                continue;
            const std::string type = typeIdText(node->getType()).c_str();
            auto found = firstOfType.find(type);
            if (found == firstOfType.end() || node->getID() < found->second->getID())
                firstOfType[type] = node;
        }
        std::ostringstream out;
        io::IAttributes* original = newAttributes();
        io::IAttributes* copied = newAttributes();
        for (const auto& [type, node] : firstOfType) {
            // Without arguments, as a spawn pool copies: beside the original, in its scene.
            scene::ISceneNode* copy = node->clone();
            if (!copy) {
                out << "clone " << type << ' ' << node->getID() << " none\n";
                continue;
            }
            original->clear();
            copied->clear();
            node->serializeAttributes(original);
            copy->serializeAttributes(copied);
            u32 same = 0;
            std::ostringstream differences;
            for (u32 i = 0; i < original->getAttributeCount(); ++i) {
                const char* name = original->getAttributeName(i);
                const std::string a = rel(tokens(narrow(original->getAttributeAsStringW(i).c_str())));
                const std::string b = copied->existsAttribute(name)
                                          ? rel(tokens(narrow(copied->getAttributeAsStringW(name).c_str())))
                                          : std::string("<missing>");
                if (a == b)
                    ++same;
                else
                    differences << "  differs " << name << " original " << a << " copy " << b << '\n';
            }
            out << "clone " << type << ' ' << node->getID() << " copy " << typeIdText(copy->getType()).c_str() << ' '
                << copy->getID() << " attributes " << original->getAttributeCount() << ' '
                << copied->getAttributeCount() << " same " << same << " children " << node->getChildren().size()
                << ' ' << copy->getChildren().size() << " materials " << node->getMaterialCount() << ' '
                << copy->getMaterialCount() << " visible " << copy->isVisible() << " position "
                << vec(copy->getPosition()) << " parent " << (copy->getParent() == node->getParent()) << " scene "
                << (copy->getSceneManager() == node->getSceneManager()) << " active-checkpoint "
                << (manager->activeCheckpoint ? manager->activeCheckpoint->getID() : 0) << '\n'
                << differences.str();
            if (PhysicsObject* object = asPhysicsObject(copy))
                writePhysics(out, object);
            copy->remove();
        }
        original->drop();
        copied->drop();
        manager->rebuildNodeIDs();
        return out.str();
    }

    // A level file's records as read back (the written file's own view of the level).
    static void describeRecord(std::ostringstream& out, const SceneRecord& record, int depth,
                               const ShippedLevelRecordTest& self) {
        out << "record " << depth << ' ' << (record.typeName.empty() ? "<scene>" : record.typeName.c_str())
            << " materials " << record.materials.size() << " animators " << record.animators.size() << " children "
            << record.children.size() << '\n';
        if (record.attributes)
            self.writeAttributes(out, " attribute", record.attributes);
        for (io::IAttributes* material : record.materials)
            self.writeAttributes(out, "  material", material);
        for (io::IAttributes* animator : record.animators)
            self.writeAttributes(out, "  animator", animator);
        for (const auto& child : record.children)
            describeRecord(out, *child, depth + 1, self);
    }

    std::string describeWritten(const std::string& path, bool binary) const {
        SceneRecord scene;
        std::string error;
        bool read = false;
        if (binary) {
            const std::string bytes = test::readFileBytes(path);
            read = decodeBinaryLevel(bytes.data(), bytes.size(), smgr()->getFileSystem(),
                                     smgr()->getVideoDriver(), scene, error);
        } else {
            read = readXmlLevel(smgr()->getFileSystem(), smgr()->getVideoDriver(), path.c_str(), scene, error);
        }
        std::ostringstream out;
        out << "read " << read << ' ' << tokens(error) << " objects " << scene.countDescendants() << '\n';
        describeRecord(out, scene, 0, *this);
        return out.str();
    }

    std::string loadAndDescribe(const std::string& path) {
        manager->unloadLevel();
        if (!manager->loadLevel(path.c_str()))
            return "not loaded\n";
        return describeScene();
    }

    // The level's log lines, without the test's own folders. After the load only the lines
    // that are not about a file being read: which file a frame reads first is the engine
    // cache's business.
    std::string logLines(bool withFileLoads = true) const {
        std::string out;
        for (const std::string& line : log.lines)
            if (withFileLoads || line.rfind("Loaded ", 0) != 0)
                out += "log " + rel(tokens(line)) + "\n";
        return out;
    }

    // The joints as their first animation pass builds them (the simulation is on).
    std::string buildJoints() {
        std::string record;
        std::vector<scene::ISceneNode*> nodes;
        collect(root(), nodes);
        for (scene::ISceneNode* node : nodes) {
            if (node->getType() != typeId("jont"))
                continue;
            auto* joint = static_cast<JointObject*>(node);
            joint->OnAnimate(0);
            record += "joint " + std::to_string(joint->getID()) + " built " + std::to_string(joint->getJoint() != nullptr) +
                      " live " + std::to_string(joint->isJointLive()) + " bodies " +
                      std::to_string(joint->getBody(0) ? joint->getBody(0)->getID() : 0) + " " +
                      std::to_string(joint->getBody(1) ? joint->getBody(1)->getID() : 0);
            if (phys::Joint* built = joint->getJoint()) {
                float force = 0.0f, torque = 0.0f;
                built->getBreakForce(force, torque);
                record += " type " + std::to_string(static_cast<int>(built->getType())) + " flags " +
                          word("b", built->getConstraintFlags()) + " break " + num(force) + " " + num(torque) +
                          " frame0 " + vec(built->getLocalPose(0).p) + " " + quat(built->getLocalPose(0).q) + " frame1 " +
                          vec(built->getLocalPose(1).p) + " " + quat(built->getLocalPose(1).q);
            }
            record += "\n";
        }
        return record;
    }

    std::vector<std::string> bases;
    u32 timeMs = 0;
};

// The level as loaded, each object's copy beside it, and its joints once they have had the
// first animation pass that builds them.
TEST_P(ShippedLevelRecordTest, LoadedObjectsMatchTheirRecord) {
    ASSERT_TRUE(manager->loadLevel(levelPath().c_str()));
    std::string record = "level " + GetParam() + " nodes " + std::to_string(countNodes(root())) + "\n";
    record += describeLevel();
    record += logLines();
    record += describeScene();
    record += describeClones();
    record += buildJoints();
    test::expectMatchesRecord("level/records/ShippedLevels/" + GetParam() + ".txt", record);
}

// The level written again by each of the game's writers (XML and binary, whole and object by
// object): what the files hold, and how the level read back from each differs from the level
// first loaded (a save keeps no physics state of an object without a body, by design).
TEST_P(ShippedLevelRecordTest, WrittenLevelsAndWhatTheyReadBackAsMatchTheirRecord) {
    const std::string loaded = loadAndDescribe(levelPath());
    ASSERT_NE(loaded, "not loaded\n");
    // A save writes a joint as enabled only once it is built: the joints are built first.
    buildJoints();
    const std::string xmlPath = temp.file("Written.irr");
    const std::string binaryPath = temp.file("Written.irrblvl");
    ASSERT_TRUE(manager->saveLevel(xmlPath.c_str()));
    ASSERT_TRUE(saveLevelFile(smgr(), binaryPath.c_str()));

    std::string record = "level " + GetParam() + "\n";
    const std::string xml = describeWritten(xmlPath, false);
    const std::string binary = describeWritten(binaryPath, true);
    // The XML file's length is left out: the text of a computed float may differ in its last
    // digit between builds. Its records are compared within the tolerance instead.
    record += xml;
    // The binary file holds the same records: only where it differs is it written out.
    const std::string binaryDifferences = test::describeDifferences(xml, binary, {}, 8);
    record += "binary bytes " + std::to_string(test::readFileBytes(binaryPath).size()) + " same-as-xml " +
              std::to_string(binaryDifferences.empty()) + "\n";
    std::istringstream differenceLines(binaryDifferences);
    for (std::string line; std::getline(differenceLines, line);)
        record += "binary-difference " + tokens(line) + "\n";
    // Each top object alone, as the binary writer encodes it.
    for (scene::ISceneNode* node : sortedChildren(root())) {
        std::string bytes;
        const bool encoded = encodeBinaryLevel(smgr(), node, "Object.irrblvl", bytes);
        record += "binary-object " + std::to_string(node->getID()) + " " + typeIdText(node->getType()).c_str() + " " +
                  std::to_string(encoded) + " bytes " + std::to_string(bytes.size()) + "\n";
    }

    for (const auto& [path, kind] : {std::pair{xmlPath, "xml"}, std::pair{binaryPath, "binary"}}) {
        const std::string reread = loadAndDescribe(path);
        // What a save does not keep (the state of an object without a body) shows here.
        record += std::string("reread ") + kind + " " + blockDifferences(loaded, reread);
    }
    test::expectMatchesRecord("level/records/ShippedLevels/" + GetParam() + ".written.txt", record);
}

// The level after its first frame: what the first animation and draw pass set up (meshes,
// lights, triggers that start at once, bodies after one step).
TEST_P(ShippedLevelRecordTest, FirstFrameMatchesItsRecord) {
    ASSERT_TRUE(manager->loadLevel(levelPath().c_str()));
    log.lines.clear();
    frame();
    std::string record = "level " + GetParam() + " nodes " + std::to_string(countNodes(root())) + "\n";
    record += describeLevel();
    record += logLines(false);
    record += describeScene();
    test::expectMatchesRecord("level/records/ShippedLevels/" + GetParam() + ".frame.txt", record);
}

INSTANTIATE_TEST_SUITE_P(ShippedLevels, ShippedLevelRecordTest, ::testing::ValuesIn(shippedLevels()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace shipped_level_record
