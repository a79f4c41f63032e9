#include "PhysTestScene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace phys::test {

float angleAbout(const Quat& q, const Vec3& axis) { return 2.0f * std::atan2(Vec3(q.x, q.y, q.z).dot(axis), q.w); }

float wrapAngle(float a) {
    while (a > Pi)
        a -= 2 * Pi;
    while (a < -Pi)
        a += 2 * Pi;
    return a;
}

int RecordingErrors::count(ErrorCode code) const {
    int n = 0;
    for (const auto& e : errors)
        n += e.first == code;
    return n;
}

void RecordingEvents::onContact(const ContactPairHeader& header, const ContactPair* pairs, uint32_t count) {
    ++onContactCalls;
    for (uint32_t i = 0; i < count; ++i) {
        RecordedContact c;
        c.actors[0] = header.actors[0];
        c.actors[1] = header.actors[1];
        c.headerFlags = header.flags;
        c.shapes[0] = pairs[i].shapes[0];
        c.shapes[1] = pairs[i].shapes[1];
        c.flags = pairs[i].flags;
        c.events = pairs[i].events;
        c.points.resize(pairs[i].contactCount);
        c.points.resize(pairs[i].extractContacts(c.points.data(), static_cast<uint32_t>(c.points.size())));
        contacts.push_back(std::move(c));
    }
}

void RecordingEvents::onConstraintBreak(ConstraintInfo* constraints, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        brokenJoints.push_back(constraints[i].joint);
}

void RecordingEvents::onTrigger(TriggerPair* pairs, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        triggers.push_back({pairs[i].triggerShape, pairs[i].otherShape, pairs[i].status, pairs[i].flags});
}

int RecordingEvents::count(const Shape* a, const Shape* b, PairFlags kind) const {
    int n = 0;
    for (const RecordedContact& c : contacts)
        if (((c.shapes[0] == a && c.shapes[1] == b) || (c.shapes[0] == b && c.shapes[1] == a)) && (c.events & kind))
            ++n;
    return n;
}

int RecordingEvents::triggerCount(const Shape* trigger, const Shape* other, PairFlags status) const {
    int n = 0;
    for (const RecordedTrigger& t : triggers)
        if (t.triggerShape == trigger && t.otherShape == other && t.status == status)
            ++n;
    return n;
}

void RecordingEvents::clear() {
    contacts.clear();
    triggers.clear();
    brokenJoints.clear();
    onContactCalls = 0;
}

FilterFlags reportingShader(FilterObjectAttributes a0, FilterData, FilterObjectAttributes a1, FilterData,
                            PairFlags& pairFlags, const void*, uint32_t) {
    if ((a0 | a1) & FilterObjectTrigger) {
        pairFlags = PairNotifyTouchFound | PairNotifyTouchPersists | PairNotifyTouchLost;
        return FilterDefault;
    }
    pairFlags = PairSolveContact | PairNotifyTouchFound | PairNotifyTouchPersists | PairNotifyTouchLost |
                PairNotifyContactPoints;
    return FilterDefault;
}

PhysScene::PhysScene(const SceneOptions& options) {
    foundation = Foundation::create(nullptr, &errors);
    Tolerances tolerances;
    tolerances.length = 5.0f;
    tolerances.mass = 5000.0f;
    tolerances.speed = 55.0f;
    physics = Physics::create(*foundation, tolerances);
    CookingParams params;
    params.scale = tolerances;
    cooking = Cooking::create(*foundation, params);
    dispatcher = Dispatcher::create(options.threads);
    SceneDesc desc(tolerances);
    desc.gravity = options.gravity;
    desc.dispatcher = dispatcher;
    desc.filterShader = options.shader;
    desc.filterCallback = options.filterCallback;
    desc.eventCallback = &events;
    desc.reportKinematicPairs = options.reportKinematicPairs;
    scene = physics->createScene(desc);
    material = physics->createMaterial(0.5f, 0.5f, 0.1f);
    if (options.ground) {
        ground = addStaticBox(Vec3(0, -1, 0), Vec3(50, 1, 50));
        ground->getShapes(&groundShape, 1);
    }
}

PhysScene::~PhysScene() {
    if (scene)
        scene->release();
    dispatcher->release();
    cooking->release();
    physics->release();
    foundation->release();
}

void PhysScene::step(int n) {
    for (int i = 0; i < n; ++i) {
        scene->simulate(StepTime);
        scene->fetchResults(true);
    }
}

RigidDynamic* PhysScene::addBox(const Vec3& position, const Vec3& halfExtents, float mass) {
    RigidDynamic* body = physics->createRigidDynamic(Transform(position));
    body->createShape(BoxGeometry(halfExtents), *material);
    setMassAndUpdateInertia(*body, mass);
    scene->addActor(*body);
    return body;
}

RigidDynamic* PhysScene::addSphere(const Vec3& position, float radius, float mass) {
    RigidDynamic* body = physics->createRigidDynamic(Transform(position));
    body->createShape(SphereGeometry(radius), *material);
    setMassAndUpdateInertia(*body, mass);
    scene->addActor(*body);
    return body;
}

RigidStatic* PhysScene::addStaticBox(const Vec3& position, const Vec3& halfExtents) {
    RigidStatic* actor = physics->createRigidStatic(Transform(position));
    actor->createShape(BoxGeometry(halfExtents), *material);
    scene->addActor(*actor);
    return actor;
}

RigidStatic* PhysScene::addStaticMesh(const std::vector<Vec3>& vertices, const std::vector<std::vector<uint32_t>>& parts) {
    RigidStatic* actor = physics->createRigidStatic(Transform());
    for (const std::vector<uint32_t>& indices : parts) {
        TriangleMesh* mesh = cookMesh(vertices, indices);
        actor->createShape(TriangleMeshGeometry(mesh), *material);
        mesh->release();
    }
    scene->addActor(*actor);
    return actor;
}

TriangleMesh* PhysScene::cookMesh(const std::vector<Vec3>& vertices, const std::vector<uint32_t>& indices) {
    TriangleMeshDesc desc;
    desc.points = {vertices.data(), sizeof(Vec3), static_cast<uint32_t>(vertices.size())};
    desc.triangles = {indices.data(), 3 * sizeof(uint32_t), static_cast<uint32_t>(indices.size() / 3)};
    CookedTriangleMesh cooked;
    EXPECT_TRUE(cooking->cookTriangleMesh(desc, cooked));
    return physics->createTriangleMesh(cooked);
}

ConvexMesh* PhysScene::cookConvex(const std::vector<Vec3>& points) {
    ConvexMeshDesc desc;
    desc.points = {points.data(), sizeof(Vec3), static_cast<uint32_t>(points.size())};
    desc.flags = ConvexComputeConvex;
    CookedConvex cooked;
    if (!cooking->cookConvexMesh(desc, cooked))
        return nullptr;
    return physics->createConvexMesh(cooked);
}

Shape* firstShape(RigidActor& actor) {
    Shape* shape = nullptr;
    actor.getShapes(&shape, 1);
    return shape;
}

std::vector<Vec3> boxCorners(const Vec3& h) {
    std::vector<Vec3> corners;
    for (int i = 0; i < 8; ++i)
        corners.emplace_back(i & 1 ? h.x : -h.x, i & 2 ? h.y : -h.y, i & 4 ? h.z : -h.z);
    return corners;
}

} // namespace phys::test
