#pragma once

#include "phys/Phys.h"

#include <string>
#include <utility>
#include <vector>

// A scene set up as the game sets it up: gravity (0, -55, 0), steps of 0.0167 s, tolerances
// (5, 5000, 55), and a static box ground whose top face is y = 0; with recorders for errors
// and reports.

namespace phys::test {

constexpr float StepTime = 0.0167f;
constexpr int StepsPerSecond = 60;
constexpr float Pi = 3.14159265358979f;
constexpr float Degrees = 0.017453292f;

// Turn of a rotation about a unit axis, in (-pi, pi].
float angleAbout(const Quat& q, const Vec3& axis);
// An angle brought into (-pi, pi].
float wrapAngle(float angle);

class RecordingErrors : public ErrorHandler {
public:
    void reportError(ErrorCode code, const char* message, const char*, int) override {
        errors.emplace_back(code, message);
    }
    int count(ErrorCode code) const;

    std::vector<std::pair<ErrorCode, std::string>> errors;
};

struct RecordedContact {
    RigidActor* actors[2] = {nullptr, nullptr};
    Shape* shapes[2] = {nullptr, nullptr};
    uint16_t headerFlags = 0;
    uint16_t flags = 0;
    PairFlags events = 0;
    std::vector<ContactPairPoint> points;
};

struct RecordedTrigger {
    Shape* triggerShape = nullptr;
    Shape* otherShape = nullptr;
    PairFlags status = 0;
    uint8_t flags = 0;
};

class RecordingEvents : public SimulationEventCallback {
public:
    void onConstraintBreak(ConstraintInfo* constraints, uint32_t count) override;
    void onWake(Actor**, uint32_t) override {}
    void onSleep(Actor**, uint32_t) override {}
    void onContact(const ContactPairHeader& header, const ContactPair* pairs, uint32_t count) override;
    void onTrigger(TriggerPair* pairs, uint32_t count) override;

    // Reports of one kind for a shape pair, in either order.
    int count(const Shape* a, const Shape* b, PairFlags kind) const;
    int triggerCount(const Shape* trigger, const Shape* other, PairFlags status) const;
    void clear();

    std::vector<RecordedContact> contacts;
    std::vector<RecordedTrigger> triggers;
    std::vector<Joint*> brokenJoints;
    int onContactCalls = 0;
};

// Every pair collides and reports touches with points; trigger pairs report found and lost.
FilterFlags reportingShader(FilterObjectAttributes a0, FilterData, FilterObjectAttributes a1, FilterData,
                            PairFlags& pairFlags, const void*, uint32_t);

struct SceneOptions {
    uint32_t threads = 0;
    bool ground = true;
    bool reportKinematicPairs = false;
    Vec3 gravity{0.0f, -55.0f, 0.0f};
    FilterShader shader = reportingShader;
    SimulationFilterCallback* filterCallback = nullptr;
};

class PhysScene {
public:
    explicit PhysScene(const SceneOptions& options = SceneOptions());
    ~PhysScene();
    PhysScene(const PhysScene&) = delete;
    PhysScene& operator=(const PhysScene&) = delete;

    // simulate + fetchResults, n times.
    void step(int n = 1);

    RigidDynamic* addBox(const Vec3& position, const Vec3& halfExtents, float mass);
    RigidDynamic* addSphere(const Vec3& position, float radius, float mass);
    RigidStatic* addStaticBox(const Vec3& position, const Vec3& halfExtents);
    // A static actor with one triangle-mesh shape per triangle list (vertices shared).
    RigidStatic* addStaticMesh(const std::vector<Vec3>& vertices, const std::vector<std::vector<uint32_t>>& parts);
    ConvexMesh* cookConvex(const std::vector<Vec3>& points);
    TriangleMesh* cookMesh(const std::vector<Vec3>& vertices, const std::vector<uint32_t>& indices);

    RecordingErrors errors;
    RecordingEvents events;
    Foundation* foundation = nullptr;
    Physics* physics = nullptr;
    Cooking* cooking = nullptr;
    Dispatcher* dispatcher = nullptr;
    Scene* scene = nullptr;
    Material* material = nullptr;
    RigidStatic* ground = nullptr;
    Shape* groundShape = nullptr;
};

// The first shape of an actor.
Shape* firstShape(RigidActor& actor);

// The eight corners of a box.
std::vector<Vec3> boxCorners(const Vec3& halfExtents);

} // namespace phys::test
