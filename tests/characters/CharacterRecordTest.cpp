// What the characters' code produces, each area compared with its record under
// tests/characters/records/: every animator type the factory makes, with the settings it
// reads switched both ways, stepped with fixed time steps through its run and past its end
// (the host node's transform, visibility, materials and bones, the animator's own state
// and what it writes, and the same written back and read again); characters of each
// profile and suspicion type walking, turning, seeing the player and reacting; and the
// suspicion rules and the vision cone over a grid of player positions. The clock is the
// fixture's: every frame hands in its own time, nothing reads the wall clock.
#include "AnimatorFixture.h"
#include "CharacterWorldFixture.h"

#include "characters/CharacterObject.h"
#include "characters/CharacterProfile.h"
#include "characters/CharacterServices.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionMeter.h"
#include "characters/SuspicionRules.h"
#include "characters/VisionCone.h"
#include "characters/WaypointObject.h"
#include "characters/animators/AnimatorFactory.h"
#include "characters/animators/AppearanceAnimators.h"
#include "characters/animators/BoneAnimators.h"
#include "characters/animators/MovementAnimators.h"
#include "characters/animators/ObjectAnimators.h"
#include "characters/animators/SwimSplineAnimator.h"
#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "core/Random.h"
#include "level/LevelManager.h"
#include "level/SoundObject.h"
#include "level/SplineObject.h"
#include "level/VariableObject.h"
#include "physics/objects/PhysicsObjectSettings.h"
#include "phys/RigidBody.h"
#include "triggers/TriggerObject.h"

#include "support/RecordedResult.h"
#include "support/StubPlayer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

using namespace irr;

namespace charrec {

using Attributes = io::IAttributes;

// The record's text: one line per thing, numbers with five significant digits.
class Record : public test::RecordText {
public:
    static std::string v3(const core::vector3df& v) {
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, "%.5g %.5g %.5g", static_cast<double>(v.X), static_cast<double>(v.Y),
                      static_cast<double>(v.Z));
        return buffer;
    }
    static std::string colour(const video::SColor& c) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%u %u %u %u", c.getAlpha(), c.getRed(), c.getGreen(), c.getBlue());
        return buffer;
    }
};

// The node's transform, visibility, materials (colours and texture layer 0's matrix) and,
// for a skinned mesh, its frame and a few joints.
void recordNode(Record& r, const char* tag, scene::ISceneNode* node) {
    node->updateAbsolutePosition();
    r.line("%s pos %s abs %s rot %s scale %s visible %d", tag, Record::v3(node->getPosition()).c_str(),
           Record::v3(node->getAbsolutePosition()).c_str(), Record::v3(node->getRotation()).c_str(),
           Record::v3(node->getScale()).c_str(), node->isVisible() ? 1 : 0);
    const u32 materials = node->getMaterialCount();
    for (u32 i = 0; i < materials && i < 2; ++i) {
        const video::SMaterial& m = node->getMaterial(i);
        const core::matrix4& t = m.getTextureMatrix(0);
        r.line("%s material %u diffuse %s ambient %s emissive %s specular %s texmove %.5g %.5g %.5g %.5g tex %d", tag, i,
               Record::colour(m.DiffuseColor).c_str(), Record::colour(m.AmbientColor).c_str(),
               Record::colour(m.EmissiveColor).c_str(), Record::colour(m.SpecularColor).c_str(),
               static_cast<double>(t[0]), static_cast<double>(t[5]), static_cast<double>(t[8]),
               static_cast<double>(t[9]), m.getTexture(0) ? 1 : 0);
    }
    if (node->getType() == scene::ESNT_LIGHT) {
        const video::SLight& light = static_cast<scene::ILightSceneNode*>(node)->getLightData();
        r.line("%s light %.4g %.4g %.4g %.4g", tag, static_cast<double>(light.DiffuseColor.a),
               static_cast<double>(light.DiffuseColor.r), static_cast<double>(light.DiffuseColor.g),
               static_cast<double>(light.DiffuseColor.b));
    }
    scene::IAnimatedMeshSceneNode* mesh = ownerMeshNode(node);
    if (mesh) {
        r.line("%s mesh frame %.4g start %d end %d speed %.4g joints %u", tag, static_cast<double>(mesh->getFrameNr()),
               mesh->getStartFrame(), mesh->getEndFrame(), static_cast<double>(mesh->getAnimationSpeed()),
               mesh->getJointCount());
        const u32 joints = mesh->getJointCount();
        for (u32 j = 0; j < joints; j += (joints > 6 ? joints / 6 : 1)) {
            scene::IBoneSceneNode* joint = mesh->getJointNode(j);
            if (!joint)
                continue;
            r.line("%s joint %u %s pos %s rot %s", tag, j, joint->getName(), Record::v3(joint->getPosition()).c_str(),
                   Record::v3(joint->getRotation()).c_str());
        }
    }
}

} // namespace charrec

namespace {

using charrec::Attributes;
using charrec::Record;

class AnimatorRecordTest : public AnimatorFixture {
protected:
    void SetUp() override {
        AnimatorFixture::SetUp();
        savedInput = SwimSplineAnimator::chargeInput;
        SwimSplineAnimator::chargeInput = [] { return swimCharging; };
        swimCharging = false;
        device->get()->getTimer()->setTime(1000);
        // Idle delays and animation picks draw from the program's generator.
        seedRandom(1357u);
        device->get()->getRandomizer()->reset(1357);
    }
    void TearDown() override {
        SwimSplineAnimator::chargeInput = savedInput;
        swimCharging = false;
        AnimatorFixture::TearDown();
    }

    std::string lines(scene::ISceneNodeAnimator* animator) const {
        std::string text;
        for (const std::string& l : written(animator))
            text += " " + l;
        // Vectors and colours are written "1.000000, 2.000000": spaced, so they compare as numbers.
        for (char& ch : text)
            if (ch == ',')
                ch = ' ';
        return text;
    }

    // The animator's own state beyond what it writes.
    void recordAnimator(Record& r, AnimatorBase* a) {
        r.line("  animator id %d enabled %d reversed %d finished %d", a->getID(), a->isEnabled() ? 1 : 0,
               a->isReversed() ? 1 : 0, a->hasFinished() ? 1 : 0);
        if (auto* m = dynamic_cast<MoveStraightAnimator*>(a))
            r.line("  straight progress %.4g direction %.4g finished %d", static_cast<double>(m->progress),
                   static_cast<double>(m->directionFactor), m->finished ? 1 : 0);
        if (auto* m = dynamic_cast<MoveSplineAnimator*>(a))
            r.line("  spline progress %.4g direction %.4g finished %d", static_cast<double>(m->progress),
                   static_cast<double>(m->directionFactor), m->finished ? 1 : 0);
        if (auto* m = dynamic_cast<AnimateColorAnimator*>(a))
            r.line("  colour progress %.4g direction %.4g", static_cast<double>(m->progress),
                   static_cast<double>(m->direction));
        if (auto* m = dynamic_cast<AnimateSplineAnimator*>(a))
            r.line("  ride progress %.4g direction %.4g", static_cast<double>(m->progress),
                   static_cast<double>(m->direction));
        if (auto* m = dynamic_cast<AnimateFrameAnimator*>(a))
            r.line("  frames applied %d", m->applied ? 1 : 0);
        if (auto* m = dynamic_cast<AnimateTextureAnimator*>(a)) {
            // The frame's cell and pixel rectangle (its UV rectangle divides by the texture's
            // size, which the null driver's textures do not have).
            const core::recti cell = m->sprite.getFrameRect();
            r.line("  sprite cell %d time %.4g rect %d %d %d %d texture %d", m->sprite.getCurrentCell(),
                   static_cast<double>(m->sprite.time), cell.UpperLeftCorner.X, cell.UpperLeftCorner.Y,
                   cell.LowerRightCorner.X, cell.LowerRightCorner.Y, m->sprite.texture ? 1 : 0);
        }
        if (auto* m = dynamic_cast<SwimSplineAnimator*>(a)) {
            const SwimSplineAnimator::SwimState& s = SwimSplineAnimator::shared;
            r.line("  swim time %.4g length %.4g speed %.4g flinch %.4g state %d charge %.4g target %.4g at %.4g "
                   "hold %.4g",
                   static_cast<double>(m->currentTime), static_cast<double>(m->splineLength),
                   static_cast<double>(m->splineSpeed), static_cast<double>(m->flinchTimer), s.state,
                   static_cast<double>(s.charge), static_cast<double>(s.targetSpeed), static_cast<double>(s.speed),
                   static_cast<double>(s.holdTime));
        }
    }

    struct Case {
        std::string name;
        const char* type;
        // The host node (made fresh for the case).
        std::function<scene::ISceneNode*()> host;
        std::function<void(Attributes*)> fill;
        int steps;
        f32 step;
        int every;
        // Called before the given step (input changes, reversal, disabling).
        std::function<void(int, AnimatorBase*)> during = {};
    };

    void runCase(Record& r, const Case& c) {
        SCOPED_TRACE(c.name);
        scene::ISceneNode* node = c.host();
        AnimatorBase* a = makeAnimator(c.type, node, c.fill);
        ASSERT_NE(a, nullptr) << c.name;
        r.line("case %s %s", c.name.c_str(), c.type);
        r.line("  writes%s", lines(a).c_str());
        // Written out and read back into a fresh animator of the type: what that one writes.
        {
            io::IAttributes* out = newAttributes();
            a->serializeAttributes(out);
            scene::ISceneNodeAnimator* again = factory->createSceneNodeAnimator(c.type, nullptr);
            again->deserializeAttributes(out);
            r.line("  reread%s", lines(again).c_str());
            again->drop();
            out->drop();
        }
        for (int i = 0; i <= c.steps; ++i) {
            if (i % c.every == 0 || i == c.steps) {
                r.line(" step %d", i);
                recordNode(r, "  node", node);
                recordAnimator(r, a);
            }
            if (i == c.steps)
                break;
            if (c.during)
                c.during(i, a);
            frame(c.step);
            manager->onEndOfUpdate.invoke();
        }
        r.line("  end%s", lines(a).c_str());
        node->remove();
        swimCharging = false;
        SwimSplineAnimator::shared = SwimSplineAnimator::SwimState{};
    }

    PhysicsObject* figure(s32 id = -1) {
        PhysicsObject* f = makeObject([](Attributes* a) {
            a->addString("MeshFileName", "Content/Models/Characters/Everyman1.b3d");
            a->addEnum("BoundType", "None", boundTypeNames);
        });
        if (id != -1) {
            f->setID(id);
            manager->registerNodeIDs(f);
        }
        return f;
    }
    scene::ISceneNode* cube() {
        scene::ISceneNode* box = smgr()->addCubeSceneNode(1.0f, root());
        box->getMaterial(0).DiffuseColor = video::SColor(255, 10, 20, 30);
        return box;
    }

    static bool swimCharging;
    bool (*savedInput)() = nullptr;
};

bool AnimatorRecordTest::swimCharging = false;

} // namespace

// Movement: straight, along points, round a circle, spinning and turning to a target.
TEST_F(AnimatorRecordTest, MovingAnimatorsRecordTheirRunsAndAttributes) {
    Record r;
    auto* speed = new VariableObject(root(), smgr(), 12);
    speed->drop();
    manager->registerNodeIDs(speed);
    speed->Value = 0.5f;
    addNode({3, 20, 4}, 3);
    std::vector<Case> cases;
    for (int loop = 0; loop < 2; ++loop)
        for (int ping = 0; ping < 2; ++ping)
            cases.push_back({"straight loop " + std::to_string(loop) + " ping " + std::to_string(ping), "moveStraight",
                             [this] { return addNode({1, 2, 3}); },
                             [=](Attributes* a) {
                                 a->addVector3d("Start", {1, 2, 3});
                                 a->addVector3d("End", {5, -2, 9});
                                 a->addInt("TimeForWay", 1000);
                                 a->addBool("Loop", loop != 0);
                                 a->addBool("PingPong", ping != 0);
                             },
                             50, 0.05f, 5,
                             [=](int i, AnimatorBase* a) {
                                 // Switched off for a while, without a reset.
                                 if (loop && ping && i == 12)
                                     a->setEnabled(false);
                                 if (loop && ping && i == 16)
                                     a->setEnabled(true);
                             }});
    // Seen in the editor (no simulation): switched off, it goes back to its start.
    const auto playing = coreSlots().physics.isSimulationActive;
    cases.push_back({"straight in editor", "moveStraight", [this] { return addNode({1, 2, 3}); },
                     [](Attributes* a) {
                         a->addVector3d("Start", {1, 2, 3});
                         a->addVector3d("End", {5, -2, 9});
                         a->addInt("TimeForWay", 1000);
                     },
                     20, 0.05f, 2,
                     [playing](int i, AnimatorBase* a) {
                         if (i == 0)
                             coreSlots().physics.isSimulationActive = [] { return false; };
                         if (i == 8)
                             a->setEnabled(false);
                         if (i == 12)
                             a->setEnabled(true);
                         if (i == 16)
                             coreSlots().physics.isSimulationActive = playing;
                     }});
    cases.push_back({"straight reversed reset", "moveStraight", [this] { return addNode({0, 0, 0}); },
                     [](Attributes* a) {
                         a->addVector3d("End", {10, 0, 0});
                         a->addInt("TimeForWay", 800);
                         a->addBool("Reversed", true);
                         a->addBool("ResetOnDisable", true);
                     },
                     30, 0.05f, 3,
                     [](int i, AnimatorBase* a) {
                         if (i == 10)
                             a->setEnabled(false);
                         if (i == 14)
                             a->setEnabled(true);
                         if (i == 20)
                             a->setReversed(false);
                     }});
    for (int mode = 0; mode < 6; ++mode)
        cases.push_back({"points mode " + std::to_string(mode), "moveSpline", [this] { return addNode({0, 0, 0}); },
                         [=](Attributes* a) {
                             a->addFloat("Speed", 0.8f);
                             a->addFloat("Tightness", mode == 5 ? 0.2f : 0.5f);
                             a->addBool("Loop", mode == 1 || mode == 4);
                             a->addBool("PingPong", mode == 2);
                             a->addBool("LinearMovement", mode == 3);
                             a->addBool("AnimateRotation", mode >= 3);
                             a->addBool("AnimateScale", mode >= 4);
                             a->addBool("ResetOnDisable", mode == 5);
                             a->addFloat("SpawnTime", mode == 5 ? 0.3f : 0.0f);
                             const core::vector3df points[] = {{0, 0, 0}, {4, 0, 0}, {4, 3, 4}, {0, 1, 6}};
                             for (int i = 0; i < 4; ++i) {
                                 const std::string n = std::to_string(i + 1);
                                 a->addVector3d(("Point" + n).c_str(), points[i]);
                                 a->addVector3d(("Rotation" + n).c_str(), {0, 40.0f * i, 10.0f * i});
                                 a->addVector3d(("Scale" + n).c_str(), {1.0f + i, 1, 1.0f - 0.2f * i});
                             }
                         },
                         60, 0.05f, 5});
    for (int shape = 0; shape < 2; ++shape)
        cases.push_back({"circle " + std::to_string(shape), "moveFlyCircle", [this] { return addNode({0, 0, 0}); },
                         [=](Attributes* a) {
                             a->addVector3d("Center", {1, 2, 3});
                             a->addFloat("Radius", 4);
                             a->addFloat("Speed", 0.002f);
                             a->addFloat("RadiusEllipsoid", shape ? 2.0f : 0.0f);
                             a->addVector3d("Direction", shape ? core::vector3df(0, 0, 2) : core::vector3df(0, 1, 0));
                         },
                         40, 0.05f, 4,
                         [](int i, AnimatorBase* a) {
                             if (i == 20)
                                 a->setReversed(true);
                         }});
    for (int scaled = 0; scaled < 2; ++scaled)
        cases.push_back({"spin " + std::to_string(scaled), "moveRotation", [this] { return addNode({0, 0, 0}); },
                         [=](Attributes* a) {
                             a->addVector3d("Rotation", {0.5f, 3, -9});
                             a->addInt("SpeedVariableID", scaled ? 12 : 0);
                         },
                         30, 0.05f, 5});
    cases.push_back({"turn to target", "rotateTowards", [this] { return addNode({3, 0, 4}); },
                     [](Attributes* a) { a->addInt("TargetObjectID", 3); }, 4, 0.05f, 1,
                     [this](int i, AnimatorBase*) {
                         if (i == 2)
                             smgr()->getSceneNodeFromId(3)->setPosition({-5, 2, 9});
                     }});
    for (const Case& c : cases)
        runCase(r, c);
    test::expectMatchesRecord("characters/records/moving-animators.txt", r.text);
}

// Appearance: colours, texture scrolling, sprite frames and mesh frame ranges.
TEST_F(AnimatorRecordTest, AppearanceAnimatorsRecordTheirRunsAndAttributes) {
    Record r;
    std::vector<Case> cases;
    for (int mode = 0; mode < 5; ++mode)
        cases.push_back({"colour mode " + std::to_string(mode), "animateColor", [this] { return cube(); },
                         [=](Attributes* a) {
                             a->addFloat("TimeToFade", 1.0f);
                             a->addBool("StartFromOriginalColor", mode == 3);
                             if (mode != 3)
                                 a->addColor("OriginalColor", video::SColor(255, 200, 40, 0));
                             a->addColor("TargetColor", video::SColor(128, 0, 100, 250));
                             a->addBool("ApplyToAllMaterials", mode != 4);
                             a->addInt("MaterialIndex", 0);
                             a->addBool("Loop", mode == 1);
                             a->addBool("PingPong", mode == 2);
                             a->addBool("ResetOnDisable", mode == 4);
                         },
                         30, 0.05f, 3,
                         [=](int i, AnimatorBase* a) {
                             if (mode == 4 && i == 12)
                                 a->setEnabled(false);
                         }});
    for (int original = 0; original < 2; ++original)
        cases.push_back({"colour light " + std::to_string(original), "animateColor",
                         [this] { return smgr()->addLightSceneNode(root(), {0, 0, 0}, video::SColorf(1, 0.5f, 0.25f)); },
                         [=](Attributes* a) {
                             a->addFloat("TimeToFade", 0.5f);
                             a->addBool("StartFromOriginalColor", original != 0);
                             a->addColor("OriginalColor", video::SColor(255, 255, 0, 0));
                             a->addColor("TargetColor", video::SColor(255, 0, 0, 255));
                             a->addBool("PingPong", true);
                             a->addBool("Loop", false);
                         },
                         24, 0.05f, 3});
    for (int all = 0; all < 2; ++all)
        cases.push_back({"scroll all " + std::to_string(all), "animateUVs", [this] { return cube(); },
                         [=](Attributes* a) {
                             a->addVector2d("TranslationSpeed", all ? core::vector2df(-0.5f, 0.75f)
                                                                    : core::vector2df(0.5f, -0.25f));
                             a->addBool("ApplyToAllMaterials", all != 0);
                             a->addInt("MaterialIndex", all ? 3 : 0);
                             a->addBool("ResetOnDisable", all == 0);
                         },
                         20, 0.1f, 2,
                         [](int i, AnimatorBase* a) {
                             if (i == 14)
                                 a->setEnabled(false);
                         }});
    for (int loop = 0; loop < 2; ++loop)
        cases.push_back({"sprite loop " + std::to_string(loop), "animateTexture",
                         [this] { return smgr()->addSceneNode("BillboardObject", root()); },
                         [=](Attributes* a) {
                             a->addString("AnimFilePath", "Content/Screens/Animations/Pulse.xml");
                             a->addFloat("FramesPerSecond", 10);
                             a->addBool("Loop", loop != 0);
                         },
                         30, 0.05f, 2});
    for (int mode = 0; mode < 3; ++mode)
        cases.push_back({"frames mode " + std::to_string(mode), "animateFrame", [this] { return figure(); },
                         [=](Attributes* a) {
                             a->addEnum("LoopFrames", AnimateFrameAnimator::loopModeNames[mode],
                                        AnimateFrameAnimator::loopModeNames);
                             a->addInt("StartFrame", 31 + mode);
                             a->addInt("EndFrame", 45);
                             a->addBool("ChangeFPS", mode == 1);
                             a->addFloat("NewFPS", 12);
                             a->addFloat("BlendTime", mode == 2 ? 0.0f : 0.2f);
                             a->addInt("NextAnimatorID", mode == 2 ? 6 : -1);
                         },
                         24, 0.05f, 4});
    for (const Case& c : cases)
        runCase(r, c);
    test::expectMatchesRecord("characters/records/appearance-animators.txt", r.text);
}

// Objects and bones: riding a path, following another object, pushed by forces, carried
// by a joint, joints led by objects, and the swimmer.
TEST_F(AnimatorRecordTest, ObjectAndBoneAnimatorsRecordTheirRunsAndAttributes) {
    Record r;
    addStraightPath(77, 20.0f);
    addNode({7, 8, 9}, 5)->setRotation({0, 30, 10});
    addNode({5, 5, 5}, 31);
    addNode({-3, 4, 2}, 32)->setRotation({20, 0, 0});
    figure(40);
    std::vector<Case> cases;
    for (int mode = 0; mode < 5; ++mode)
        cases.push_back({"ride mode " + std::to_string(mode), "animateSpline", [this] { return addNode({0, 0, 0}); },
                         [=](Attributes* a) {
                             a->addInt("SplineObjectID", 77);
                             a->addFloat("TimeToComplete", 1.0f);
                             a->addFloat("SpawnTime", mode == 4 ? 0.5f : 0.0f);
                             a->addBool("Loop", mode == 1);
                             a->addBool("PingPong", mode == 2);
                             a->addBool("AffectRotation", mode == 3);
                             a->addBool("CapToFramerate", mode == 4);
                             a->addBool("ResetOnDisable", mode == 3);
                         },
                         30, 0.05f, 3,
                         [=](int i, AnimatorBase* a) {
                             if (mode == 3 && i == 10)
                                 a->setEnabled(false);
                             if (mode == 3 && i == 14)
                                 a->setEnabled(true);
                         }});
    const char* axes[] = {"", "Z, then X", "y"};
    for (int mode = 0; mode < 3; ++mode)
        cases.push_back({"follow mode " + std::to_string(mode), "parentToObject", [this] { return addNode({1, 2, 3}); },
                         [=](Attributes* a) {
                             a->addInt("ParentObjectID", 5);
                             a->addBool("UseParentPosition", mode != 2);
                             a->addBool("UseParentRotation", mode != 1);
                             a->addString("ExcludePositionAxes", axes[mode]);
                         },
                         6, 0.05f, 2,
                         [this](int i, AnimatorBase*) {
                             if (i == 3)
                                 smgr()->getSceneNodeFromId(5)->setPosition({-2, 1, 4});
                             if (i == 5)
                                 smgr()->getSceneNodeFromId(5)->setPosition({7, 8, 9});
                         }});
    for (int mode = 0; mode < 4; ++mode)
        cases.push_back({"force " + std::string(PhysicsForceAnimator::forceModeNames[mode]), "physicsForce",
                         [this] { return addBox("Dynamic", {0, 5, 0}); },
                         [=](Attributes* a) {
                             a->addVector3d("Force", {3, 30, -2});
                             a->addString("ForceMode", PhysicsForceAnimator::forceModeNames[mode]);
                         },
                         20, PhysicsManager::fixedStepSize, 4});
    cases.push_back({"force held", "physicsForce", [this] { return addBox("Kinematic", {0, 5, 0}); },
                     [](Attributes* a) {
                         a->addVector3d("Force", {0, 200, 0});
                         a->addString("ForceMode", "Acceleration");
                     },
                     8, PhysicsManager::fixedStepSize, 4});
    for (int current = 0; current < 2; ++current)
        cases.push_back({"carried " + std::to_string(current), "attachToMeshBone", [this] { return addNode({0, 0, 0}); },
                         [=](Attributes* a) {
                             a->addInt("ParentID", 40);
                             a->addString("JointName", current ? "" : "headBaseJt");
                             a->addInt("JointIndex", 3);
                             a->addBool("UseCurrentJoint", current != 0);
                         },
                         6, 0.05f, 2,
                         [this](int i, AnimatorBase*) {
                             if (i == 2)
                                 smgr()->getSceneNodeFromId(40)->setPosition({10, 0, 0});
                         }});
    cases.push_back({"carried lost", "attachToMeshBone", [this] { return addNode({0, 0, 0}); },
                     [](Attributes* a) {
                         a->addInt("ParentID", 40);
                         a->addString("JointName", "tailJt");
                     },
                     3, 0.05f, 1});
    const f32 blends[] = {0.0f, 0.5f, 1.0f};
    for (int mode = 0; mode < 4; ++mode)
        cases.push_back({"bones mode " + std::to_string(mode), "controlMeshBone",
                         [this] {
                             PhysicsObject* f = figure();
                             f->setPosition({-10, 2, 4});
                             return f;
                         },
                         [=](Attributes* a) {
                             a->addString("ControlType", ControlMeshBoneAnimator::controlTypeNames[mode == 3 ? 1 : 0]);
                             a->addInt("JointCount", 2);
                             a->addInt("JointPhysicsObjectID1", 31);
                             a->addInt("OrientPhysicsObjectID1", 32);
                             a->addInt("JointPhysicsObjectID2", mode == 1 ? 40 : 32);
                             a->addFloat("BlendAmount", blends[mode % 3]);
                         },
                         4, 0.05f, 2});
    for (int mode = 0; mode < 2; ++mode)
        cases.push_back({"swim " + std::to_string(mode), "swimSpline", [this] { return addNode({0, 0, 0}); },
                         [=](Attributes* a) {
                             a->addInt("SplineObjectID", 77);
                             a->addFloat("SplineSpeed", 20);
                             a->addFloat("TimeToComplete", mode ? 3.0f : 0.0f);
                             a->addBool("AffectRotation", mode != 0);
                             a->addFloat("MaxChargeAmount", 1.0f);
                         },
                         80, 0.05f, 4,
                         [](int i, AnimatorBase* a) {
                             swimCharging = i >= 5 && i < 30;
                             if (i == 55)
                                 a->setReversed(true);
                         }});
    for (const Case& c : cases)
        runCase(r, c);
    test::expectMatchesRecord("characters/records/object-animators.txt", r.text);
}

namespace {

class SeenStub : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("plr1"); }
};

class CharacterRecordTest : public CharacterWorldFixture {
protected:
    void SetUp() override {
        CharacterWorldFixture::SetUp();
        characterServices().screens.addSplat = [this](f32 amount, const core::vector3df&) {
            splats.push_back(amount);
            return true;
        };
        device->get()->getTimer()->setTime(timeMs);
        // Idle delays and animation picks draw from the program's generator.
        seedRandom(2468u);
        device->get()->getRandomizer()->reset(2468);
    }
    void TearDown() override {
        splats.clear();
        CharacterWorldFixture::TearDown();
    }

    SeenStub* seenPlayer(const core::vector3df& at) {
        auto* p = new SeenStub(root(), smgr(), 999);
        p->drop();
        p->setPosition(at);
        p->updateAbsolutePosition();
        setPlayer(0, p);
        manager->getPlayerSuspicion(0)->age = 3.0f;
        return p;
    }

    void recordMeter(Record& r) {
        const SuspicionMeter* m = manager->getPlayerSuspicion(0);
        if (!m)
            m = manager->suspicionMeter.get();
        r.line("  meter value %.4g pending %.4g drain %.4g timer %.4g watchers %d zones %d gained %d %d splats %zu",
               static_cast<double>(m->value), static_cast<double>(m->pendingValue), static_cast<double>(m->drainValue),
               static_cast<double>(m->drainTimer), m->watcherCount, m->zoneCount, m->gainedLastFrame ? 1 : 0,
               m->gainedThisFrame ? 1 : 0, splats.size());
    }

    static const char* stateName(s32 id) {
        return id >= 0 && id < 6 ? characterStateNames[id] : "none";
    }

    void recordCharacter(Record& r, CharacterObject* c) {
        const core::vector3df at = c->getControllerPosition();
        const core::vector3df look = facing(c);
        CharacterStateMachine& m = c->stateMachine();
        r.line("  state %s previous %s global %s at %s heading %.4g %.4g target %d index %d spline %.4g going-back %d "
               "blocked %d stopped %.4g stuck %.4g turn %.4g",
               stateName(m.currentID()), stateName(m.previousID()), stateName(m.globalID()), Record::v3(at).c_str(),
               static_cast<double>(look.X), static_cast<double>(look.Z),
               c->getTargetWaypoint() ? c->getTargetWaypoint()->getID() : -1, c->WaypointIndex,
               static_cast<double>(c->TargetSplineTime), c->IsGoingBack ? 1 : 0, c->blockedByPlayer ? 1 : 0,
               static_cast<double>(c->stoppedTime), static_cast<double>(c->stuckTime),
               static_cast<double>(c->turnBlend));
        scene::IAnimatedMeshSceneNode* mesh = ownerMeshNode(c);
        if (mesh)
            r.line("  animation %s frame %.4g range %d %d speed %.4g looking %d", c->playingAnimation.c_str(),
                   static_cast<double>(mesh->getFrameNr()), mesh->getStartFrame(), mesh->getEndFrame(),
                   static_cast<double>(mesh->getAnimationSpeed()), c->isLookingAtPlayer() ? 1 : 0);
        else
            r.line("  animation %s", c->playingAnimation.c_str());
        if (VisionCone* cone = c->getVisionCone())
            r.line("  cone id %d in-sight %d noticed %d watched %d seen %.4g intensity %.4g distance %.4g delay %.4g "
                   "coloured %d eye %s",
                   cone->getVisionConeID(), cone->isInSight() ? 1 : 0, cone->hasNoticed() ? 1 : 0,
                   cone->isWatcherRegistered() ? 1 : 0, static_cast<double>(cone->getSeenTime()),
                   static_cast<double>(cone->getIntensity()), static_cast<double>(cone->getDistance()),
                   static_cast<double>(cone->noticeDelay), cone->enabled ? 1 : 0,
                   Record::v3(cone->getEye()->getAbsolutePosition()).c_str());
        SoundObject* voice = c->getVoice();
        r.line("  voice %s cooldown %.4g", voice && !voice->EventName.empty() ? voice->EventName.c_str() : "-",
               static_cast<double>(c->voiceCooldown));
        recordMeter(r);
    }

    void recordAttributes(Record& r, scene::ISceneNode* node) {
        io::IAttributes* out = newAttributes();
        node->serializeAttributes(out);
        std::string text;
        for (u32 i = 0; i < out->getAttributeCount(); ++i)
            text += std::string(" ") + out->getAttributeName(static_cast<s32>(i)) + "=" +
                    out->getAttributeAsString(static_cast<s32>(i)).c_str();
        out->drop();
        for (char& ch : text)
            if (ch == ',')
                ch = ' ';
        r.line("  attributes%s", text.c_str());
    }

    // Runs the seconds in fixed frames, recording every few frames.
    void runRecorded(Record& r, CharacterObject* c, f32 seconds, int every, const char* phase) {
        r.line(" phase %s", phase);
        const int frames = static_cast<int>(seconds / PhysicsManager::fixedStepSize + 0.5f);
        s32 lastState = stateOf(c);
        for (int i = 0; i < frames; ++i) {
            frame();
            device->get()->getTimer()->setTime(timeMs);
            const s32 now = stateOf(c);
            if (now != lastState || i % every == every - 1) {
                r.line(" frame %d%s", i, now != lastState ? " change" : "");
                recordCharacter(r, c);
            }
            lastState = now;
        }
    }

    std::vector<f32> splats;
};

} // namespace

// Each profile and each suspicion type: walking a path round its corners, seeing the
// player in front (spotted, noticing, suspicion raised), losing it, being hit by a
// reaction, a full meter, and the character's attributes after it all.
TEST_F(CharacterRecordTest, CharactersOfEachProfileAndTypeWalkSeeAndReact) {
    Record r;
    const char* everyman = "Content/Models/Characters/EverymanProfile.xml";
    const char* plain = "Content/Models/Characters/CharacterDefaultProfile.xml";
    const char* swimmer = "Content/Models/Characters/SwimmerProfile.xml";
    struct Kind {
        const char* profile;
        s32 type;
        const char* behaviour;
        bool linear;
    };
    // Paths of every behaviour, straight and curved; a guard on a Protect path stands
    // between its points where the player is.
    const Kind kinds[] = {{everyman, SCT_Family, "Loop", true},
                          {everyman, SCT_Scientist, "One Way", false},
                          {everyman, SCT_Exposed, "Back Forth", true},
                          {everyman, SCT_Chef, "Loop", false},
                          {plain, SCT_Stranger, "One Way", true},
                          {plain, SCT_ExposedLogManiac, "Back Forth", false},
                          {plain, SCT_ZeroSuspicion, "No Change", true},
                          {plain, SCT_Scientist, "Protect", true},
                          {swimmer, SCT_None, "One Way", true}};
    int n = 0;
    for (const Kind& kind : kinds) {
        const char* const profile = kind.profile;
        const s32 type = kind.type;
        const char* const behaviour = kind.behaviour;
            const int id = 10 + 10 * n;
            const f32 ox = 40.0f * static_cast<f32>(n % 4) - 60.0f, oz = 40.0f * static_cast<f32>(n / 4) - 40.0f;
            ++n;
            r.line("character %s type %s path %s linear %d", profile, suspicionCharacterTypeNames[type], behaviour,
                   kind.linear ? 1 : 0);
            WaypointObject* start = addPath(id, {{ox, 0, oz}, {ox, 0, oz - 5}, {ox + 5, 0, oz - 5}}, kind.linear);
            recordAttributes(r, start);
            for (WaypointObject* w = WaypointObject::getNextWaypoint(start); w; w = WaypointObject::getNextWaypoint(w))
                recordAttributes(r, w);
            // The player: beside a guard's path, otherwise far off until it is seen.
            const bool guard = std::string(behaviour) == "Protect";
            SeenStub* p = seenPlayer(guard ? core::vector3df(ox + 3, 0, oz - 10) : core::vector3df(ox, 0, oz + 30));
            CharacterObject* c = addCharacter(ox, oz, id, [&](io::IAttributes* a) {
                a->addString("ProfileName", profile);
                a->addEnum("PathBehavior", behaviour, characterPathBehaviorNames);
                a->addEnum("CharacterSuspicionType", suspicionCharacterTypeNames[type], suspicionCharacterTypeNames);
                a->addFloat("ConeDistance", 20.0f);
            });
            ASSERT_NE(c->getController(), nullptr);
            recordAttributes(r, c);
            runRecorded(r, c, 8.0f, 60, "walk");
            // The player in front of the character's eye: spotted through the cone.
            VisionCone* cone = c->getVisionCone();
            ASSERT_NE(cone, nullptr);
            const core::vector3df eye = cone->getEye()->getAbsolutePosition();
            p->setPosition(eye + facing(c) * 6.0f);
            p->updateAbsolutePosition();
            cone->getConeTrigger()->onObjectEnter(p, p->getAbsolutePosition(), nullptr, nullptr, nullptr);
            runRecorded(r, c, 3.0f, 45, "seen");
            cone->getConeTrigger()->onObjectLeave(p, nullptr, nullptr, nullptr);
            runRecorded(r, c, 2.0f, 60, "lost");
            // A reaction, then a full meter.
            c->stateMachine().changeState(reactingState());
            runRecorded(r, c, 2.0f, 60, "reacting");
            // Seen again, then a raise that fills the meter.
            cone->getConeTrigger()->onObjectEnter(p, p->getAbsolutePosition(), nullptr, nullptr, nullptr);
            runRecorded(r, c, 1.0f, 30, "seen-again");
            SuspicionMeter& meter = *manager->getPlayerSuspicion(0);
            addSuspicionWatcher(meter, c);
            r.line(" raise %d", addSuspicion(c->getAbsolutePosition(), meter, 100.0f, ST_Default) ? 1 : 0);
            runRecorded(r, c, 1.0f, 30, "full");
            cone->getConeTrigger()->onObjectLeave(p, nullptr, nullptr, nullptr);
            recordAttributes(r, c);
            clearPlayers();
            p->remove();
            manager->getPlayerSuspicion(0)->resetForLevel();
            c->remove();
            manager->rebuildNodeIDs();
            splats.clear();
        }
    test::expectMatchesRecord("characters/records/characters.txt", r.text);
}

// The rule table of the shipped rules file, every pair looked up; then a character's cone
// over a grid of player places: ahead at distances up to and past its reach, off to the
// side, behind, and behind a wall.
TEST_F(CharacterRecordTest, TheRulesAndTheConeOverAGridOfPlayerPlaces) {
    Record r;
    for (s32 t = 0; t <= SCT_Count; ++t)
        for (s32 k = 0; k <= ST_Count; ++k) {
            const SuspicionRule rule = getSuspicionValues(t, k);
            r.line("rule %s %s amount %.4g speed %.4g repeat %.4g", t < SCT_Count ? suspicionCharacterTypeNames[t] : "past",
                   k < ST_Count ? suspicionTypeNames[k] : "past", static_cast<double>(rule.amount),
                   static_cast<double>(rule.speedThreshold), static_cast<double>(rule.repeatInterval));
        }
    for (const char* name : {"Family", "Chef", "ZeroSuspicion", "chef", ""})
        r.line("type %s %d", name, findSuspicionCharacterType(name));
    for (const char* name : {"TaroSeen", "HitByThrown", "Default", "taroseen", ""})
        r.line("kind %s %d", name, findSuspicionType(name));

    // A rules file of its own: a pair given twice (the later wins), names that match
    // nothing, a missing number; then the shipped file again for the cone.
    const std::string rules = temp.file("Rules.xml");
    std::ofstream(rules) << "<Rules><Group>\n"
                            "<CharacterSuspicion characterType=\"Chef\" suspicionType=\"Grab\" amount=\"3\" "
                            "speedThreshold=\"1.5\" repeatInterval=\"2\"/>\n"
                            "<CharacterSuspicion characterType=\"Chef\" suspicionType=\"Grab\" amount=\"7\"/>\n"
                            "<CharacterSuspicion characterType=\"Cook\" suspicionType=\"Grab\" amount=\"9\"/>\n"
                            "<CharacterSuspicion characterType=\"Stranger\" suspicionType=\"Default\" amount=\"5\"/>\n"
                            "<CharacterSuspicion characterType=\"Family\" suspicionType=\"Shove\" amount=\"4\"/>\n"
                            "<CharacterSuspicion characterType=\"Family\" suspicionType=\"TaroSeen\" amount=\"6\" "
                            "repeatInterval=\"0.5\"/>\n"
                            "</Group><CharacterSuspicion characterType=\"ZeroSuspicion\" suspicionType=\"Debug\" "
                            "amount=\"1\" speedThreshold=\"2\"/></Rules>\n";
    log.lines.clear();
    const int own = loadSuspicionConfig(rules);
    r.line("own rules %d", own);
    for (const std::string& l : log.lines)
        r.line("log %s", l.c_str());
    for (const auto& [characterType, row] : suspicionRuleTable())
        for (const auto& [kind, rule] : row)
            r.line("own %d %d = %d %d amount %.4g speed %.4g repeat %.4g", characterType, kind, rule.characterType,
                   rule.suspicionType, static_cast<double>(rule.amount), static_cast<double>(rule.speedThreshold),
                   static_cast<double>(rule.repeatInterval));
    const int missing = loadSuspicionConfig(temp.file("None.xml"));
    r.line("missing rules %d size %zu", missing, suspicionRuleTable().size());
    const int shipped = loadSuspicionConfig();
    r.line("shipped rules %d size %zu", shipped, suspicionRuleTable().size());

    CharacterObject* c = addCharacter(0, 0, 0, [](io::IAttributes* a) {
        a->addEnum("CharacterSuspicionType", "Exposed", suspicionCharacterTypeNames);
        a->addFloat("ConeDistance", 20.0f);
    });
    addWall(6, -8, {4, 10, 1});
    run(0.2f);
    VisionCone* cone = c->getVisionCone();
    ASSERT_NE(cone, nullptr);
    TriggerObject* trigger = cone->getConeTrigger();
    recordNode(r, "cone", trigger);
    recordNode(r, "eye", cone->getEye());
    // The first ray reaches 18.5 of the cone's 20: places a tenth inside and past it, along
    // the way the character faced at first (it turns toward what it notices).
    const core::vector3df ahead = facing(c);
    const core::vector3df side(-ahead.Z, 0, ahead.X);
    struct Place {
        const char* what;
        f32 forward, across, up;
    };
    const Place places[] = {{"near", 3, 0, 0},          {"middle", 10, 0, 0},        {"reach", 18.4f, 0, 0},
                            {"past-reach", 18.6f, 0, 0}, {"end", 20, 0, 0},           {"past-end", 21, 0, 0},
                            {"side", 10, 4, 0},          {"wide", 10, 9, 0},          {"above", 10, 0, 6},
                            {"behind", -5, 0, 0},        {"walled", 12, 7.5f, 0},      {"beside-wall", 12, 13, 0}};
    for (const Place& place : places) {
        // From where the eye is now: the head moves while the character watches.
        const core::vector3df eye = cone->getEye()->getAbsolutePosition();
        SeenStub* p = seenPlayer(eye + ahead * place.forward + side * place.across + core::vector3df(0, place.up, 0));
        trigger->onObjectEnter(p, p->getAbsolutePosition(), nullptr, nullptr, nullptr);
        r.line("place %s at %s", place.what, Record::v3(p->getAbsolutePosition()).c_str());
        for (int i = 0; i < 8; ++i) {
            run(0.25f);
            recordCharacter(r, c);
        }
        trigger->onObjectLeave(p, nullptr, nullptr, nullptr);
        run(1.0f);
        r.line(" left");
        recordCharacter(r, c);
        clearPlayers();
        p->remove();
        manager->getPlayerSuspicion(0)->resetForLevel();
        splats.clear();
        run(0.5f);
    }
    test::expectMatchesRecord("characters/records/vision-grid.txt", r.text);
}

// Walkers meeting things on their ways: a wall that stops one until it is moved away, two
// walkers on paths that cross, and a crate that turns dynamic when touched. (A free crate
// pushed along is left out: its tumbling differs with the build's rounding.)
TEST_F(CharacterRecordTest, WalkersMeetWallsEachOtherAndCrates) {
    Record r;
    // The player stands in the last walker's way.
    SeenStub* p = seenPlayer({40, 0, -28});
    addPath(10, {{0, 0, 0}, {0, 0, -30}});
    PhysicsObject* wall = addWall(0, -10, {6, 8, 1});
    addPath(20, {{20, 0, 0}, {32, 0, 0}});
    addPath(30, {{32, 0, 2}, {20, 0, 2}});
    addPath(50, {{-20, 0, -20}, {-40, 0, -20}});
    addPath(60, {{40, 0, -20}, {40, 0, -40}});
    std::vector<CharacterObject*> walkers;
    for (const auto& [x, z, path] : {std::tuple<f32, f32, s32>{0, 0, 10}, {20, 0, 20}, {32, 2, 30}, {-20, -20, 50}, {40, -20, 60}})
        walkers.push_back(addCharacter(x, z, path, [](io::IAttributes* a) {
            a->addEnum("PathBehavior", "One Way", characterPathBehaviorNames);
        }));
    std::vector<PhysicsObject*> crates;
    for (const auto& [x, z, turns] : {std::tuple<f32, f32, bool>{-26, -20, true}})
        crates.push_back(makeObject([&](io::IAttributes* a) {
            a->addVector3d("Position", core::vector3df(x, 1.0f, z));
            a->addEnum("BoundType", "Box", boundTypeNames);
            a->addVector3d("BoxExtents", core::vector3df(2.0f, 2.0f, 2.0f));
            a->addEnum("PhysicsState", turns ? "Kinematic" : "Dynamic", physicsStateNames);
            a->addBool("TurnDynamicOnTouch", turns);
        }));
    for (int i = 0; i < 480; ++i) {
        if (i == 240)
            wall->getActor()->setGlobalPose(phys::Transform(phys::Vec3(100.0f, 4.0f, 0.0f), phys::Quat()));
        frame();
        device->get()->getTimer()->setTime(timeMs);
        if (i % 30 != 29)
            continue;
        r.line("frame %d", i);
        for (std::size_t w = 0; w < walkers.size(); ++w) {
            r.line(" walker %zu", w);
            recordCharacter(r, walkers[w]);
        }
        for (std::size_t c = 0; c < crates.size(); ++c)
            r.line(" crate %zu at %s kinematic %d", c, Record::v3(crates[c]->getAbsolutePosition()).c_str(),
                   crates[c]->getDynamicActor() && crates[c]->getDynamicActor()->isKinematic() ? 1 : 0);
    }
    clearPlayers();
    p->remove();
    test::expectMatchesRecord("characters/records/meetings.txt", r.text);
}
