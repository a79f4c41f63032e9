// The defaults of every type a level or a layout file can name, compared with their recorded
// copy: each scene-node type of the factory, each animator type, each camera mode and target,
// each game GUI element type. For each: made fresh and written as the editor writes it (every
// key, so the defaults show) with the getters that are not attributes; read from a set without
// any key (a file that names none) and written again; read from a set of every key one step off
// its default (a number +1, a switch flipped, the next enumeration name) and written again, which
// shows that each key lands in a member of its own; and copied, the copy written.
#include "GameTypesFixture.h"

#include "camera/CameraModes.h"
#include "camera/CameraObject.h"
#include "camera/CameraPoints.h"
#include "camera/CutsceneObject.h"
#include "characters/CharacterObject.h"
#include "characters/CharacterProfile.h"
#include "characters/WaypointObject.h"
#include "characters/animators/AnimatorFactory.h"
#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "gui/GUIElementFactory.h"
#include "gui/fonts/FontCache.h"
#include "level/SceneNodeTypes.h"
#include "level/SplineObject.h"
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
#include <cwchar>
#include <cwctype>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace irr;

namespace object_defaults_record {

std::string num(double value) {
    if (std::isnan(value))
        return "nan";
    char text[32];
    std::snprintf(text, sizeof text, "%.5g", std::fabs(value) < 1e-9 ? 0.0 : value);
    return text;
}

std::string vec(const core::vector3df& v) { return num(v.X) + " " + num(v.Y) + " " + num(v.Z); }
std::string box(const core::aabbox3df& b) { return vec(b.MinEdge) + "  " + vec(b.MaxEdge); }

std::string hex(u32 value) {
    char text[16];
    std::snprintf(text, sizeof text, "#%08x", value);
    return text;
}

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out += *text < 128 && *text >= 32 ? static_cast<char>(*text) : '?';
    return out;
}

// A value as white-space separated tokens: the engine's commas split, floats printed with the
// record's precision, an empty value shown. The source folder, which differs between machines,
// is shown as <dir>.
std::string tokens(const std::string& value) {
    std::string spaced = test::withFoldersShown(value, {test::sourceDir().string()});
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    std::istringstream in(spaced);
    std::string token, out;
    while (in >> token) {
        char* end = nullptr;
        const double parsed = std::strtod(token.c_str(), &end);
        const bool number = end && *end == 0 && token.find('.') != std::string::npos &&
                            (std::isdigit(static_cast<unsigned char>(token[0])) || token[0] == '-' || token[0] == '.');
        out += (out.empty() ? "" : " ") + (number ? num(parsed) : token);
    }
    return out.empty() ? "<empty>" : out;
}

// Each number of a text one higher: the vectors, rectangles and boxes of the off-by-one set.
std::wstring bumpNumbers(const std::wstring& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const bool sign = text[i] == L'-' && i + 1 < text.size() && std::iswdigit(text[i + 1]);
        if (std::iswdigit(text[i]) || sign) {
            std::size_t end = i + 1;
            while (end < text.size() && (std::iswdigit(text[end]) || text[end] == L'.' || text[end] == L'e'))
                ++end;
            const std::wstring number = text.substr(i, end - i);
            const double value = std::wcstod(number.c_str(), nullptr) + 1.0;
            wchar_t buffer[48];
            if (number.find(L'.') != std::wstring::npos)
                std::swprintf(buffer, 48, L"%f", value);
            else
                std::swprintf(buffer, 48, L"%lld", static_cast<long long>(value));
            out += buffer;
            i = end;
        } else {
            out += text[i++];
        }
    }
    return out;
}

u32 stepChannel(u32 channel) { return channel < 255 ? channel + 1 : 254; }

// The attribute at the index one step off its value, in place.
void stepValue(io::IAttributes* attributes, u32 i) {
    {
        const s32 at = static_cast<s32>(i);
        switch (attributes->getAttributeType(i)) {
        case io::EAT_INT:
            attributes->setAttribute(at, attributes->getAttributeAsInt(at) + 1);
            break;
        case io::EAT_FLOAT:
            attributes->setAttribute(at, attributes->getAttributeAsFloat(at) + 1.0f);
            break;
        case io::EAT_BOOL:
            attributes->setAttribute(at, !attributes->getAttributeAsBool(at));
            break;
        case io::EAT_ENUM: {
            core::array<core::stringc> literals;
            attributes->getAttributeEnumerationLiteralsOfEnumeration(at, literals);
            const core::stringc current = attributes->getAttributeAsEnumeration(at);
            std::vector<const c8*> names;
            u32 index = 0;
            for (u32 k = 0; k < literals.size(); ++k) {
                names.push_back(literals[k].c_str());
                if (literals[k] == current)
                    index = k;
            }
            names.push_back(nullptr);
            if (literals.size() > 1)
                attributes->setAttribute(at, literals[(index + 1) % literals.size()].c_str(), names.data());
            break;
        }
        case io::EAT_STRING: {
            const core::stringw value = attributes->getAttributeAsStringW(at);
            // An empty path or name becomes one long enough for the readers that skip short ones.
            attributes->setAttribute(at, value.empty() ? L"step" : (value + L"b").c_str());
            break;
        }
        case io::EAT_COLOR: {
            const video::SColor c = attributes->getAttributeAsColor(at);
            attributes->setAttribute(at, video::SColor(stepChannel(c.getAlpha()), stepChannel(c.getRed()),
                                                       stepChannel(c.getGreen()), stepChannel(c.getBlue())));
            break;
        }
        case io::EAT_COLORF: {
            const video::SColorf c = attributes->getAttributeAsColorf(at);
            attributes->setAttribute(at, video::SColorf(c.r + 0.125f, c.g + 0.125f, c.b + 0.125f, c.a - 0.125f));
            break;
        }
        case io::EAT_TEXTURE:
        case io::EAT_BINARY:
        case io::EAT_USER_POINTER:
        case io::EAT_STRINGWARRAY:
            break;
        default:
            attributes->setAttribute(at, bumpNumbers(attributes->getAttributeAsStringW(at).c_str()).c_str());
            break;
        }
    }
}

void stepEveryValue(io::IAttributes* attributes) {
    for (u32 i = 0; i < attributes->getAttributeCount(); ++i)
        stepValue(attributes, i);
}

// Reads the set into a new object of the kind and writes that object into the second set.
using ReadAndWrite = std::function<void(io::IAttributes* in, io::IAttributes* out)>;

// From a fresh object's written set, every key one step off, in two rounds: a key that only a
// stepped switch brings out (a far value written only without the default one) is stepped in
// the second. The result is written into `result`.
void stepEveryKey(io::IAttributes* written, io::IAttributes* result, const ReadAndWrite& readAndWrite) {
    stepEveryValue(written);
    result->clear();
    readAndWrite(written, result);
    for (u32 i = 0; i < result->getAttributeCount(); ++i) {
        const c8* name = result->getAttributeName(static_cast<s32>(i));
        const io::E_ATTRIBUTE_TYPE type = result->getAttributeType(static_cast<s32>(i));
        if (!written->existsAttribute(name))
            stepValue(result, i);
        else if (type != io::EAT_TEXTURE && type != io::EAT_BINARY && type != io::EAT_USER_POINTER &&
                 type != io::EAT_STRINGWARRAY)
            result->setAttribute(static_cast<s32>(i), written->getAttributeAsStringW(name).c_str());
    }
}

const char* levelName(ELOG_LEVEL level) {
    switch (level) {
    case ELL_DEBUG:
        return "debug";
    case ELL_INFORMATION:
        return "info";
    case ELL_WARNING:
        return "warning";
    case ELL_ERROR:
        return "error";
    default:
        return "none";
    }
}

// Every subsystem's types as the game registers them, with the game's animator and GUI element
// factories.
class ObjectDefaultsFixture : public test::GameTypesFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        workingDir = std::make_unique<test::ScopedWorkingDir>(test::sourceDir());
        ASSERT_TRUE(startGameTypes(&readClock));
        (new GUIElementFactory(device->get()->getGUIEnvironment()))->drop();
        editor.Flags = io::EARWF_FOR_EDITOR;
        log.lines.clear();
        log.levels.clear();
    }

    void TearDown() override {
        device->get()->getGUIEnvironment()->clear();
        clearFontCache(); // the text elements' fonts, made at the stepped sizes
        GameTypesFixture::TearDown();
    }

    // The stopwatch's clock stands still: nothing here runs frames.
    static std::int64_t readClock() { return 0; }

    io::IAttributes* newAttributes() const {
        return device->get()->getFileSystem()->createEmptyAttributes(device->get()->getVideoDriver());
    }

    static void writeAttributes(std::ostringstream& out, const std::string& tag, io::IAttributes* attributes) {
        for (u32 i = 0; i < attributes->getAttributeCount(); ++i) {
            std::string value = tokens(narrow(attributes->getAttributeAsStringW(static_cast<s32>(i)).c_str()));
            if (attributes->getAttributeType(i) == io::EAT_COLOR)
                value = "#" + value;
            out << tag << ' ' << attributes->getAttributeName(i) << ' '
                << narrow(attributes->getAttributeTypeString(static_cast<s32>(i))) << ' ' << value << '\n';
        }
    }

    // The log lines written since the last call, with their level; the lines are cleared.
    std::string takeLog(const std::string& tag, u32* errors = nullptr) {
        std::ostringstream out;
        for (std::size_t i = 0; i < log.lines.size(); ++i) {
            const bool error = (i < log.levels.size() && log.levels[i] == ELL_ERROR) || log.lines[i].rfind("ERROR", 0) == 0;
            if (error && errors)
                ++*errors;
            out << tag << " log " << (i < log.levels.size() ? levelName(log.levels[i]) : "?") << ' '
                << tokens(log.lines[i]) << '\n';
        }
        log.lines.clear();
        log.levels.clear();
        return out.str();
    }

    static void writeMaterial(std::ostringstream& out, const std::string& tag, u32 index, const video::SMaterial& m) {
        out << tag << " material " << index << " type " << static_cast<int>(m.MaterialType) << " param "
            << num(m.MaterialTypeParam) << ' ' << num(m.MaterialTypeParam2) << " flags f" << m.Wireframe << m.PointCloud
            << m.GouraudShading << m.Lighting << m.ZWriteEnable << m.BackfaceCulling << m.FrontfaceCulling << m.FogEnable
            << m.NormalizeNormals << m.UseMipMaps << " zbuffer " << int(m.ZBuffer) << " colors "
            << hex(m.AmbientColor.color) << ' ' << hex(m.DiffuseColor.color) << ' ' << hex(m.SpecularColor.color) << ' '
            << hex(m.EmissiveColor.color) << " shininess " << num(m.Shininess) << " thickness " << num(m.Thickness)
            << " textures";
        for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
            if (m.TextureLayer[layer].Texture)
                out << ' ' << layer << ' ' << tokens(m.TextureLayer[layer].Texture->getName().getPath().c_str());
        out << '\n';
    }

    static void writePhysics(std::ostringstream& out, const std::string& tag, PhysicsObject* object) {
        const PhysicsBodySettings& b = object->body();
        out << tag << " physics state " << static_cast<int>(object->getPhysicsState()) << " bound "
            << static_cast<int>(object->getBoundType()) << " mass " << num(b.Mass) << " friction " << num(b.Friction)
            << " restitution " << num(b.Restitution) << " damping " << num(b.LinearDamping) << ' '
            << num(b.AngularDamping) << " extents " << vec(b.BoxExtents) << " radius " << num(b.Radius) << " height "
            << num(b.Height) << " group " << b.OverrideCollisionGroup << " nocollide " << b.noCollideIDs.size()
            << " grabbable " << object->IsGrabbable << " kinematicIgnore " << object->getIgnoreParentTransform()
            << " localbox " << box(object->mesh().localBounds) << " meshnode " << (object->getMeshNode() != nullptr)
            << " truevisible " << object->isTrulyVisible() << " jointlimit " << object->getHardwareJointCount()
            << " collision " << object->isCollisionEnabled() << " actor " << (object->getBodyActor() != nullptr) << '\n';
        const PhysicsMeshSettings& m = object->mesh();
        out << tag << " physics-mesh instances " << m.instances.size() << " highlight " << m.highlightMode << " alpha "
            << num(m.fadeAlpha) << ' ' << num(m.fadeAlphaTarget) << " spawn " << vec(object->reset().spawnPosition)
            << " / " << vec(object->reset().spawnRotation) << " / " << vec(object->reset().spawnScale) << " respawn "
            << vec(object->reset().respawnPosition) << " / " << vec(object->reset().respawnRotation) << '\n';
    }

    static void writeMesh(std::ostringstream& out, const std::string& tag, scene::ISceneNode* node) {
        scene::IMesh* mesh = nullptr;
        s32 frames = 1;
        if (auto* animated = dynamic_cast<scene::IAnimatedMeshSceneNode*>(node)) {
            mesh = animated->getMesh();
            frames = mesh ? static_cast<s32>(animated->getMesh()->getFrameCount()) : 0;
        } else if (auto* meshNode = dynamic_cast<scene::IMeshSceneNode*>(node)) {
            mesh = meshNode->getMesh();
        } else {
            return;
        }
        if (!mesh) {
            out << tag << " mesh none\n";
            return;
        }
        out << tag << " mesh frames " << frames << " buffers " << mesh->getMeshBufferCount() << " vertices";
        for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i)
            out << ' ' << mesh->getMeshBuffer(i)->getVertexCount() << '/' << mesh->getMeshBuffer(i)->getIndexCount();
        out << " box " << box(mesh->getBoundingBox()) << '\n';
    }

    static void writeSpecial(std::ostringstream& out, const std::string& tag, scene::ISceneNode* node) {
        const scene::ESCENE_NODE_TYPE type = node->getType();
        if (type == typeId("crct")) {
            auto* character = static_cast<CharacterObject*>(node);
            out << tag << " character profile " << (character->getProfile() ? character->getProfile()->fileName : "-")
                << " waypoints " << (character->getFirstWaypoint() != nullptr) << (character->getTargetWaypoint() != nullptr)
                << (character->getLastWaypoint() != nullptr) << " look " << (character->getLookTarget() != nullptr)
                << " cone " << (character->getVisionCone() != nullptr) << " voice " << (character->getVoice() != nullptr)
                << " controller " << (character->getController() != nullptr) << '\n';
        }
        if (isTypeOf(type, typeId("trgr"))) {
            auto* trigger = static_cast<TriggerObject*>(node);
            out << tag << " trigger condition " << trigger->TriggerConditionIndex << " active " << trigger->IsActive
                << " met " << trigger->ConditionMet << " revertible " << trigger->revertible << " volume "
                << trigger->usesVolume() << " start " << (trigger->startTree != nullptr) << " objects "
                << (trigger->objectsTree != nullptr) << " excluded " << (trigger->excludedTree != nullptr) << " actors "
                << (trigger->getMainActor() != nullptr) << (trigger->getSkinActor() != nullptr) << " action "
                << (trigger->getAction() ? trigger->getAction()->getType() : -1) << '\n';
        }
        if (type == typeId("trge")) {
            auto* event = static_cast<TriggerEventObject*>(node);
            out << tag << " event pending " << event->isPending() << " action "
                << (event->getAction() ? event->getAction()->getType() : -1) << '\n';
        }
        if (type == typeId("jont")) {
            auto* joint = static_cast<JointObject*>(node);
            out << tag << " joint kind " << joint->JointType << " bodies " << joint->ObjectID1 << ' ' << joint->ObjectID2
                << " enabled " << joint->JointEnabled << " pending " << joint->bodiesPending << " live "
                << joint->isJointLive() << " built " << (joint->getJoint() != nullptr) << '\n';
        }
        if (isTypeOf(type, typeId("slne"))) {
            auto* spline = static_cast<SplineObject*>(node);
            out << tag << " spline points " << spline->getControlPointCount() << " length " << num(spline->getLength())
                << " ready " << !spline->isNotReady() << '\n';
        }
        if (type == scene::ESNT_LIGHT) {
            if (auto* light = dynamic_cast<LightObject*>(node)) {
                const video::SLight& l = light->getLightData();
                out << tag << " light type " << int(l.Type) << " radius " << num(l.Radius) << " falloff "
                    << num(l.Falloff) << " cone " << num(l.InnerCone) << ' ' << num(l.OuterCone) << " shadows "
                    << l.CastShadows << " at " << vec(l.Position) << " towards " << vec(l.Direction) << " attenuation "
                    << vec(l.Attenuation) << " colors " << hex(l.AmbientColor.toSColor().color) << ' '
                    << hex(l.DiffuseColor.toSColor().color) << ' ' << hex(l.SpecularColor.toSColor().color)
                    << " priority " << light->getPriority() << '\n';
            }
        }
        if (isTypeOf(type, typeId("cmro")))
            out << tag << " camera look " << vec(static_cast<CameraObject*>(node)->getLookVector()) << '\n';
    }

    // A node as the editor writes it, with what its getters say beside its attributes.
    std::string describeNode(const std::string& tag, scene::ISceneNode* node) {
        std::ostringstream out;
        if (!node) {
            out << tag << " none\n";
            return out.str();
        }
        node->updateAbsolutePosition();
        out << tag << " type " << typeIdText(node->getType()).c_str() << " id " << node->getID() << " name "
            << tokens(node->getName()) << " visible " << node->isVisible() << " debug " << node->isDebugObject()
            << " culling " << node->getAutomaticCulling() << " debug-data " << node->isDebugDataVisible()
            << " children " << node->getChildren().size() << " animators " << node->getAnimators().size()
            << " materials " << node->getMaterialCount() << " triangle-selector " << (node->getTriangleSelector() != nullptr)
            << " parent-is-root " << (node->getParent() == root()) << '\n';
        out << tag << " box " << box(node->getBoundingBox()) << " world-box " << box(node->getTransformedBoundingBox())
            << " at " << vec(node->getAbsolutePosition()) << '\n';
        io::IAttributes* attributes = newAttributes();
        node->serializeAttributes(attributes, &editor);
        writeAttributes(out, tag + " attribute", attributes);
        attributes->drop();
        for (u32 i = 0; i < node->getMaterialCount(); ++i)
            writeMaterial(out, tag, i, node->getMaterial(i));
        for (scene::ISceneNodeAnimator* animator : node->getAnimators())
            out << tag << " animator " << static_cast<int>(animator->getType()) << '\n';
        std::vector<scene::ISceneNode*> children;
        for (scene::ISceneNode* child : node->getChildren())
            children.push_back(child);
        std::stable_sort(children.begin(), children.end(), [](scene::ISceneNode* a, scene::ISceneNode* b) {
            return std::string(typeIdText(a->getType()).c_str()) < std::string(typeIdText(b->getType()).c_str());
        });
        for (scene::ISceneNode* child : children)
            out << tag << " child " << typeIdText(child->getType()).c_str() << " id " << child->getID() << " name "
                << tokens(child->getName()) << " visible " << child->isVisible() << " debug " << child->isDebugObject()
                << " children " << child->getChildren().size() << " materials " << child->getMaterialCount() << " box "
                << box(child->getBoundingBox()) << '\n';
        writeMesh(out, tag, node);
        for (scene::ISceneNode* child : children)
            writeMesh(out, tag + " child-" + typeIdText(child->getType()).c_str(), child);
        if (PhysicsObject* object = asPhysicsObject(node))
            writePhysics(out, tag, object);
        writeSpecial(out, tag, node);
        return out.str();
    }

    // A node made fresh (its log must hold no error), read from a set without any key, read
    // from a set of every key one step off, and copied beside the original; `make` makes a
    // node of the type where a level would hold it.
    std::string stages(const std::string& name, const std::function<scene::ISceneNode*()>& make) {
        std::string record;
        scene::ISceneNode* fresh = make();
        EXPECT_NE(fresh, nullptr);
        if (!fresh)
            return record;
        u32 errors = 0;
        record += takeLog("fresh", &errors);
        EXPECT_EQ(errors, 0u) << "a plain creation of " << name << " logs an error";
        record += describeNode("fresh", fresh);
        record += takeLog("fresh-write");

        io::IAttributes* attributes = newAttributes();
        scene::ISceneNode* empty = make();
        empty->deserializeAttributes(attributes);
        record += takeLog("empty");
        record += describeNode("empty", empty);

        fresh->serializeAttributes(attributes, &editor);
        io::IAttributes* steppedSet = newAttributes();
        stepEveryKey(attributes, steppedSet, [&](io::IAttributes* in, io::IAttributes* out) {
            scene::ISceneNode* node = make();
            node->deserializeAttributes(in);
            node->serializeAttributes(out, &editor);
        });
        scene::ISceneNode* stepped = make();
        stepped->deserializeAttributes(steppedSet);
        record += takeLog("stepped");
        record += describeNode("stepped", stepped);
        steppedSet->drop();
        attributes->drop();

        // Copied beside the original, as a spawn pool copies.
        scene::ISceneNode* copy = fresh->clone();
        record += takeLog("copy");
        record += describeNode("copy", copy);
        record += takeLog("copy-write");
        return record;
    }

    const SceneNodeTypeRow* rowNamed(const std::string& name) const {
        for (const SceneNodeTypeRow* row : factorySceneNodeTypes())
            if (name == row->typeName.c_str())
                return row;
        return nullptr;
    }

    io::SAttributeReadWriteOptions editor;
};

// ---------------------------------------------------------------------------------------------
// Scene-node types.

const std::vector<std::string>& sceneNodeTypeNames() {
    static const std::vector<std::string> names = {
        "AdvancedPhysicsObject", "BillboardObject", "CameraObject", "CameraPathObject", "CameraSplineObject",
        "CameraTriggerVolume", "CharacterObject", "CheckpointObject", "ConditionalTrigger", "ConfigTentMovementObject",
        "CutsceneObject", "ForceVolume", "InstancedObject", "JointObject", "LevelInfo", "LevelObject",
        "MarkerObject", "ObjectiveObject", "ParticleObject", "PhysicsObject", "SoundObject",
        "SplineObject", "SubLevelObject", "TextBubbleObject", "TextObject", "TieObject", "TriggerEventObject",
        "TriggerObject", "VariableObject", "VolumeLightObject", "WaypointObject", "cube", "light", "wtr1"};
    return names;
}

class SceneNodeDefaultsRecordTest : public ObjectDefaultsFixture, public ::testing::WithParamInterface<std::string> {};

TEST_F(ObjectDefaultsFixture, EveryFactoryTypeHasADefaultsRecord) {
    std::vector<std::string> names;
    for (const SceneNodeTypeRow* row : factorySceneNodeTypes())
        if (row->create)
            names.push_back(row->typeName.c_str());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, sceneNodeTypeNames());
}

TEST_P(SceneNodeDefaultsRecordTest, DefaultsReadAndCopyMatchTheirRecord) {
    const SceneNodeTypeRow* row = rowNamed(GetParam());
    ASSERT_NE(row, nullptr);
    const std::string record = "type " + GetParam() + " " + typeIdText(row->type).c_str() + "\n" +
                               stages(GetParam(), [&] { return row->create(root(), smgr()); });
    test::expectMatchesRecord("level/records/defaults/node-" + GetParam() + ".txt", record);
}

// A waypoint writes its spline keys only as the first of a chain under another waypoint.
TEST_F(ObjectDefaultsFixture, AWaypointFirstInAChainMatchesItsRecord) {
    const SceneNodeTypeRow* row = rowNamed("WaypointObject");
    ASSERT_NE(row, nullptr);
    const std::string record = "type WaypointObject first-in-chain\n" + stages("WaypointObject", [&] {
        scene::ISceneNode* chain = row->create(root(), smgr());
        scene::ISceneNode* first = row->create(chain, smgr());
        row->create(chain, smgr());
        return first;
    });
    test::expectMatchesRecord("level/records/defaults/node-WaypointObject-first-in-chain.txt", record);
}

INSTANTIATE_TEST_SUITE_P(Types, SceneNodeDefaultsRecordTest, ::testing::ValuesIn(sceneNodeTypeNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// ---------------------------------------------------------------------------------------------
// Animator types.

class AnimatorDefaultsRecordTest : public ObjectDefaultsFixture, public ::testing::WithParamInterface<std::string> {
protected:
    scene::ISceneNodeAnimatorFactory* factory() const {
        // The level's fixture registers the game's after the engine's own.
        const u32 count = smgr()->getRegisteredSceneNodeAnimatorFactoryCount();
        return count ? smgr()->getSceneNodeAnimatorFactory(count - 1) : nullptr;
    }

    std::string describeAnimator(const std::string& tag, scene::ISceneNodeAnimator* animator) {
        std::ostringstream out;
        if (!animator) {
            out << tag << " none\n";
            return out.str();
        }
        out << tag << " type " << static_cast<int>(animator->getType()) << " finished " << animator->hasFinished()
            << " receives-events " << animator->isEventReceiverEnabled() << '\n';
        io::IAttributes* attributes = newAttributes();
        animator->serializeAttributes(attributes, &editor);
        writeAttributes(out, tag + " attribute", attributes);
        attributes->drop();
        return out.str();
    }

    // The node the animators work on: a plain level object away from the origin.
    scene::ISceneNode* target() {
        scene::ISceneNode* node = rowNamed("LevelObject")->create(root(), smgr());
        node->setPosition(core::vector3df(1, 2, 3));
        return node;
    }
};

std::vector<std::string> animatorTypeNames() {
    // The factory's names, which are fixed: listed here so the cases are known before any
    // device exists (a test below checks the list against the factory).
    static const std::vector<std::string> names = {
        "animateColor", "animateFrame", "animateSpline", "animateTexture", "animateUVs", "attachToMeshBone",
        "controlMeshBone", "moveFlyCircle", "moveRotation", "moveSpline", "moveStraight", "parentToObject",
        "physicsForce", "rotateTowards", "swimSpline"};
    return names;
}

TEST_F(AnimatorDefaultsRecordTest, EveryAnimatorTypeHasADefaultsRecord) {
    std::vector<std::string> names;
    scene::ISceneNodeAnimatorFactory* animators = factory();
    ASSERT_NE(animators, nullptr);
    for (u32 i = 0; i < animators->getCreatableSceneNodeAnimatorTypeCount(); ++i)
        names.push_back(animators->getCreateableSceneNodeAnimatorTypeName(i));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, animatorTypeNames());
}

class AnimatorTypeRecordTest : public AnimatorDefaultsRecordTest {};

TEST_P(AnimatorTypeRecordTest, DefaultsReadAndCopyMatchTheirRecord) {
    scene::ISceneNodeAnimatorFactory* animators = factory();
    ASSERT_NE(animators, nullptr);
    std::string record = "animator " + GetParam() + "\n";
    scene::ISceneNode* node = target();
    scene::ISceneNodeAnimator* fresh = animators->createSceneNodeAnimator(GetParam().c_str(), node);
    ASSERT_NE(fresh, nullptr);
    u32 errors = 0;
    record += takeLog("fresh", &errors);
    EXPECT_EQ(errors, 0u) << "a plain creation of " << GetParam() << " logs an error";
    record += "fresh on-target " + std::to_string(node->getAnimators().size()) + "\n";
    record += describeAnimator("fresh", fresh);

    io::IAttributes* attributes = newAttributes();
    scene::ISceneNodeAnimator* empty = animators->createSceneNodeAnimator(GetParam().c_str(), target());
    empty->deserializeAttributes(attributes);
    record += takeLog("empty");
    record += describeAnimator("empty", empty);

    fresh->serializeAttributes(attributes, &editor);
    io::IAttributes* steppedSet = newAttributes();
    stepEveryKey(attributes, steppedSet, [&](io::IAttributes* in, io::IAttributes* out) {
        scene::ISceneNodeAnimator* animator = animators->createSceneNodeAnimator(GetParam().c_str(), target());
        animator->deserializeAttributes(in);
        animator->serializeAttributes(out, &editor);
        animator->drop();
    });
    scene::ISceneNodeAnimator* stepped = animators->createSceneNodeAnimator(GetParam().c_str(), target());
    stepped->deserializeAttributes(steppedSet);
    record += takeLog("stepped");
    record += describeAnimator("stepped", stepped);
    steppedSet->drop();
    attributes->drop();

    scene::ISceneNode* other = target();
    scene::ISceneNodeAnimator* copy = fresh->createClone(other, smgr());
    record += takeLog("copy");
    record += describeAnimator("copy", copy);
    for (scene::ISceneNodeAnimator* animator : {fresh, empty, stepped, copy})
        if (animator)
            animator->drop();
    test::expectMatchesRecord("level/records/defaults/animator-" + GetParam() + ".txt", record);
}

// The physics objects' respawn effect is made by name too (a level saved during a reset holds
// it), though the factory does not list it.
std::vector<std::string> animatorCases() {
    std::vector<std::string> names = animatorTypeNames();
    names.push_back("respawnScale");
    return names;
}

INSTANTIATE_TEST_SUITE_P(Types, AnimatorTypeRecordTest, ::testing::ValuesIn(animatorCases()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// ---------------------------------------------------------------------------------------------
// Camera modes and targets: a camera object whose file names only the mode (or the target).

struct CameraChoice {
    std::string key;
    std::string value;
};

std::vector<CameraChoice> cameraChoices() {
    std::vector<CameraChoice> choices;
    for (const char* const* name = cameraModeNames; *name; ++name)
        choices.push_back({"CameraMode", *name});
    for (const char* const* name = cameraTargetNames; *name; ++name)
        choices.push_back({"CameraTargetMode", *name});
    return choices;
}

std::string caseName(const CameraChoice& choice) {
    std::string name = choice.key + "_" + choice.value;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

class CameraModeRecordTest : public ObjectDefaultsFixture, public ::testing::WithParamInterface<CameraChoice> {};

TEST_P(CameraModeRecordTest, DefaultsReadAndCopyMatchTheirRecord) {
    const CameraChoice& choice = GetParam();
    const SceneNodeTypeRow* row = rowNamed("CameraObject");
    ASSERT_NE(row, nullptr);
    const char* const* literals = choice.key == "CameraMode" ? cameraModeNames : cameraTargetNames;
    std::string record = "camera " + caseName(choice) + "\n";

    io::IAttributes* attributes = newAttributes();
    attributes->addEnum(choice.key.c_str(), choice.value.c_str(), literals);
    scene::ISceneNode* chosen = row->create(root(), smgr());
    chosen->deserializeAttributes(attributes);
    u32 errors = 0;
    record += takeLog("chosen", &errors);
    EXPECT_EQ(errors, 0u);
    record += describeNode("chosen", chosen);

    // Every key one step off, the choice kept.
    attributes->clear();
    chosen->serializeAttributes(attributes, &editor);
    io::IAttributes* steppedSet = newAttributes();
    stepEveryKey(attributes, steppedSet, [&](io::IAttributes* in, io::IAttributes* out) {
        in->setAttribute(choice.key.c_str(), choice.value.c_str(), literals);
        scene::ISceneNode* node = row->create(root(), smgr());
        node->deserializeAttributes(in);
        node->serializeAttributes(out, &editor);
    });
    steppedSet->setAttribute(choice.key.c_str(), choice.value.c_str(), literals);
    scene::ISceneNode* stepped = row->create(root(), smgr());
    stepped->deserializeAttributes(steppedSet);
    record += takeLog("stepped");
    record += describeNode("stepped", stepped);
    steppedSet->drop();
    attributes->drop();

    scene::ISceneNode* copy = stepped->clone();
    record += takeLog("copy");
    record += describeNode("copy", copy);
    test::expectMatchesRecord("level/records/defaults/camera-" + caseName(choice) + ".txt", record);
}

INSTANTIATE_TEST_SUITE_P(Choices, CameraModeRecordTest, ::testing::ValuesIn(cameraChoices()),
                         [](const ::testing::TestParamInfo<CameraChoice>& info) { return caseName(info.param); });

// ---------------------------------------------------------------------------------------------
// GUI element types a layout file can name.

std::vector<std::string> guiTypeNames() {
    std::vector<std::string> names;
    GUIElementFactory names_only(nullptr);
    for (s32 i = 0; i < GUIElementFactory::namedTypeCount; ++i)
        if (const c8* name = names_only.getCreateableGUIElementTypeName(i))
            names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

class GuiElementRecordTest : public ObjectDefaultsFixture, public ::testing::WithParamInterface<std::string> {
protected:
    gui::IGUIEnvironment* env() const { return device->get()->getGUIEnvironment(); }

    gui::IGUIElement* make() {
        gui::IGUIElement* element = nullptr;
        for (s32 i = 0; !element && i < static_cast<s32>(env()->getRegisteredGUIElementFactoryCount()); ++i)
            if (GUIElementFactory::isGameFactory(env()->getGUIElementFactory(i)))
                element = env()->getGUIElementFactory(i)->addGUIElement(GetParam().c_str(), env()->getRootGUIElement());
        return element;
    }

    std::string describeElement(const std::string& tag, gui::IGUIElement* element) {
        std::ostringstream out;
        if (!element) {
            out << tag << " none\n";
            return out.str();
        }
        const core::recti r = element->getRelativePosition(), a = element->getAbsolutePosition();
        out << tag << " type " << static_cast<int>(element->getType()) << ' ' << tokens(element->getTypeName())
            << " id " << element->getID() << " name " << tokens(element->getName()) << " text "
            << tokens(narrow(element->getText())) << " visible " << element->isVisible() << " enabled "
            << element->isEnabled() << " tabstop " << element->isTabStop() << " tabgroup " << element->isTabGroup()
            << " taborder " << element->getTabOrder() << " subelement " << element->isSubElement() << " clipped "
            << element->isNotClipped() << " children " << element->getChildren().size() << " rect " << r.UpperLeftCorner.X
            << ' ' << r.UpperLeftCorner.Y << ' ' << r.LowerRightCorner.X << ' ' << r.LowerRightCorner.Y << " absolute "
            << a.UpperLeftCorner.X << ' ' << a.UpperLeftCorner.Y << ' ' << a.LowerRightCorner.X << ' '
            << a.LowerRightCorner.Y << '\n';
        io::IAttributes* attributes = newAttributes();
        element->serializeAttributes(attributes, &editor);
        writeAttributes(out, tag + " attribute", attributes);
        attributes->drop();
        for (gui::IGUIElement* child : element->getChildren())
            out << tag << " child " << static_cast<int>(child->getType()) << ' ' << tokens(child->getTypeName())
                << " id " << child->getID() << " subelement " << child->isSubElement() << " visible "
                << child->isVisible() << '\n';
        return out.str();
    }
};

TEST_P(GuiElementRecordTest, DefaultsReadAndCopyMatchTheirRecord) {
    std::string record = "element " + GetParam() + " creatable " +
                         std::to_string(GUIElementFactory::canCreate(GetParam().c_str())) + "\n";
    gui::IGUIElement* fresh = make();
    u32 errors = 0;
    record += takeLog("fresh", &errors);
    EXPECT_EQ(errors, 0u);
    record += describeElement("fresh", fresh);
    if (fresh) {
        io::IAttributes* attributes = newAttributes();
        gui::IGUIElement* empty = make();
        empty->deserializeAttributes(attributes);
        record += takeLog("empty");
        record += describeElement("empty", empty);

        // The reader may fill in keys the set lacks: the copy starts from a set of its own.
        attributes->clear();
        fresh->serializeAttributes(attributes, &editor);
        // The copy the editor makes: a new element that reads the original's attributes.
        gui::IGUIElement* copy = make();
        copy->deserializeAttributes(attributes);
        record += takeLog("copy");
        record += describeElement("copy", copy);

        io::IAttributes* steppedSet = newAttributes();
        stepEveryKey(attributes, steppedSet, [&](io::IAttributes* in, io::IAttributes* out) {
            gui::IGUIElement* element = make();
            element->deserializeAttributes(in);
            element->serializeAttributes(out, &editor);
        });
        gui::IGUIElement* stepped = make();
        stepped->deserializeAttributes(steppedSet);
        record += takeLog("stepped");
        record += describeElement("stepped", stepped);
        steppedSet->drop();
        attributes->drop();
    }
    test::expectMatchesRecord("level/records/defaults/gui-" + GetParam() + ".txt", record);
}

INSTANTIATE_TEST_SUITE_P(Types, GuiElementRecordTest, ::testing::ValuesIn(guiTypeNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace object_defaults_record
