// What the physics layer produces for fixed scenes, each area compared with its record under
// tests/phys/records/: rigid bodies of every shape with their mass properties, materials,
// damping, forces and sleep; every joint kind with its settings and breaking; scene and
// geometry queries; contact, trigger and filter reports; character controllers; cloth and
// particles; the objects' defaults and the scene's statistics.
//
// Every scene steps on the calling thread (no worker) by the game's fixed step, and the
// stretches are short so that contacts stay within the tolerance. Objects are named in the
// record, never by pointer.
#include "PhysTestScene.h"

#include "support/RecordedResult.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace phys::test {
namespace {

// The record's text: one line per thing, numbers with four decimals.
using Record = ::test::RecordText;

std::string v3(const Vec3& v) {
    char b[96];
    std::snprintf(b, sizeof b, "%.4f %.4f %.4f", v.x, v.y, v.z);
    return b;
}
std::string ev3(const ExtVec3& v) {
    char b[96];
    std::snprintf(b, sizeof b, "%.4f %.4f %.4f", v.x, v.y, v.z);
    return b;
}
// A rotation's sign is fixed (w not negative) so that q and -q print alike.
std::string qt(const Quat& q) {
    const float s = q.w < 0.0f ? -1.0f : 1.0f;
    char b[96];
    std::snprintf(b, sizeof b, "%.4f %.4f %.4f %.4f", s * q.x, s * q.y, s * q.z, s * q.w);
    return b;
}
std::string tf(const Transform& t) { return "p " + v3(t.p) + " q " + qt(t.q); }
std::string bounds(const Bounds3& b) {
    if (b.isEmpty())
        return "empty";
    return v3(b.minimum) + " .. " + v3(b.maximum);
}
std::string fd(const FilterData& d) {
    char b[96];
    std::snprintf(b, sizeof b, "%u %u %u %u", d.word0, d.word1, d.word2, d.word3);
    return b;
}

// Names of the objects a scene made, for the record.
class Names {
public:
    void add(const void* p, const std::string& name) { names[p] = name; }
    std::string operator()(const void* p) const {
        if (!p)
            return "null";
        const auto it = names.find(p);
        return it == names.end() ? "unnamed" : it->second;
    }
    std::map<const void*, std::string> names;
};

void recordErrors(Record& r, const RecordingErrors& errors) {
    r.line("errors %zu", errors.errors.size());
    for (const auto& e : errors.errors)
        r.line("error %d %s", static_cast<int>(e.first), e.second.c_str());
}

void recordMaterial(Record& r, const char* name, const Material& m) {
    r.line("material %s static %.4f dynamic %.4f restitution %.4f", name, m.getStaticFriction(),
           m.getDynamicFriction(), m.getRestitution());
}

void recordGeometry(Record& r, const Shape& shape) {
    BoxGeometry box;
    SphereGeometry sphere;
    CapsuleGeometry capsule;
    ConvexMeshGeometry convex;
    TriangleMeshGeometry mesh;
    const bool isBox = shape.getBoxGeometry(box), isSphere = shape.getSphereGeometry(sphere),
               isCapsule = shape.getCapsuleGeometry(capsule), isConvex = shape.getConvexMeshGeometry(convex),
               isMesh = shape.getTriangleMeshGeometry(mesh);
    r.line("  geometry type %d valid %d getters %d%d%d%d%d", static_cast<int>(shape.getGeometryType()),
           shape.getGeometry().isValid(), isBox, isSphere, isCapsule, isConvex, isMesh);
    if (isBox)
        r.line("  box %s valid %d", v3(box.halfExtents).c_str(), box.isValid());
    if (isSphere)
        r.line("  sphere %.4f valid %d", sphere.radius, sphere.isValid());
    if (isCapsule)
        r.line("  capsule %.4f %.4f valid %d", capsule.radius, capsule.halfHeight, capsule.isValid());
    if (isConvex)
        r.line("  convex vertices %u bounds %s refs %u", convex.convexMesh->getNbVertices(),
               bounds(convex.convexMesh->getLocalBounds()).c_str(), convex.convexMesh->getReferenceCount());
    if (isMesh)
        r.line("  mesh vertices %u triangles %u bounds %s refs %u", mesh.triangleMesh->getNbVertices(),
               mesh.triangleMesh->getNbTriangles(), bounds(mesh.triangleMesh->getLocalBounds()).c_str(),
               mesh.triangleMesh->getReferenceCount());
}

void recordShape(Record& r, const Names& names, const Shape& shape) {
    r.line(" shape %s actor %s flags %u local %s", names(&shape).c_str(), names(shape.getActor()).c_str(),
           shape.getFlags(), tf(shape.getLocalPose()).c_str());
    recordGeometry(r, shape);
    r.line("  simfilter %s queryfilter %s bounds %s", fd(shape.getSimulationFilterData()).c_str(),
           fd(shape.getQueryFilterData()).c_str(), bounds(shape.getWorldBounds()).c_str());
    Material* materials[4] = {};
    const uint32_t n = shape.getMaterials(materials, 4);
    std::string list;
    for (uint32_t i = 0; i < n; ++i)
        list += " " + names(materials[i]);
    r.line("  materials %u of %u:%s", n, shape.getNbMaterials(), list.c_str());
}

// Every getter of a rigid actor (and of a dynamic body when it is one).
void recordActorState(Record& r, const Names& names, const RigidActor& actor, bool withShapes) {
    r.line("actor %s type %d flags %u shapes %u pose %s", names(&actor).c_str(), static_cast<int>(actor.getType()),
           actor.getActorFlags(), actor.getNbShapes(), tf(actor.getGlobalPose()).c_str());
    r.line(" bounds %s inscene %d", bounds(actor.getWorldBounds()).c_str(), actor.getScene() != nullptr);
    if (const RigidDynamic* d = const_cast<RigidActor&>(actor).asRigidDynamic()) {
        r.line(" lin %s ang %s", v3(d->getLinearVelocity()).c_str(), v3(d->getAngularVelocity()).c_str());
        r.line(" mass %.4f inertia %s cmass %s", d->getMass(), v3(d->getMassSpaceInertiaTensor()).c_str(),
               tf(d->getCMassLocalPose()).c_str());
        uint32_t pos = 0, vel = 0;
        d->getSolverIterationCounts(pos, vel);
        Transform target;
        const bool hasTarget = d->getKinematicTarget(target);
        r.line(" dynflags %u kinematic %d damping %.4f %.4f maxang %.4f iterations %u %u", d->getRigidDynamicFlags(),
               d->isKinematic(), d->getLinearDamping(), d->getAngularDamping(), d->getMaxAngularVelocity(), pos, vel);
        r.line(" sleeping %d wake %.4f target %d %s", d->isSleeping(), d->getWakeCounter(), hasTarget,
               hasTarget ? tf(target).c_str() : "-");
        for (int m = 0; m < 4; ++m)
            r.line(" pending %d force %s torque %s", m, v3(d->pendingForces()[m]).c_str(),
                   v3(d->pendingTorques()[m]).c_str());
    }
    if (withShapes) {
        std::vector<Shape*> shapes(actor.getNbShapes());
        actor.getShapes(shapes.data(), static_cast<uint32_t>(shapes.size()));
        for (const Shape* s : shapes)
            recordShape(r, names, *s);
    }
}

// A short sample of a body's motion.
void recordSample(Record& r, const Names& names, const RigidDynamic& d) {
    r.line("  %s p %s q %s v %s w %s sleep %d", names(&d).c_str(), v3(d.getGlobalPose().p).c_str(),
           qt(d.getGlobalPose().q).c_str(), v3(d.getLinearVelocity()).c_str(), v3(d.getAngularVelocity()).c_str(),
           d.isSleeping());
}

void recordStatistics(Record& r, const Scene& scene) {
    SimulationStatistics st;
    scene.getSimulationStatistics(st);
    r.line("statistics constraints %u activedyn %u activekin %u static %u dynamic %u axis %u bpadd %u bpremove %u",
           st.nbActiveConstraints, st.nbActiveDynamicBodies, st.nbActiveKinematicBodies, st.nbStaticBodies,
           st.nbDynamicBodies, st.nbAxisSolverConstraints, st.nbBroadPhaseAdds, st.nbBroadPhaseRemoves);
    std::string shapes;
    for (uint32_t n : st.nbShapes)
        shapes += " " + std::to_string(n);
    r.line("statistics shapes%s actors %u", shapes.c_str(), scene.getNbActors());
}

std::vector<Vec3> hullPoints() {
    return {{-0.5f, 0, -0.5f}, {0.5f, 0, -0.5f}, {0.5f, 0, 0.5f}, {-0.5f, 0, 0.5f}, {0, 0.9f, 0},
            {0.1f, 0.2f, 0.1f} /* inside */};
}

// A ramp of two triangles rising along +X from (x0, 0) to (x1, h), plus a degenerate one.
void rampMesh(float x0, float x1, float h, float z0, float z1, std::vector<Vec3>& verts, std::vector<uint32_t>& idx) {
    verts = {{x0, 0, z0}, {x1, h, z0}, {x1, h, z1}, {x0, 0, z1}};
    idx = {0, 2, 1, 0, 0, 1, 0, 3, 2};
}

// ---------------------------------------------------------------------------------------------

TEST(PhysRecordTest, RigidBodiesOfEveryShapeMoveAsRecorded) {
    PhysScene s;
    Record r;
    Names names;
    names.add(s.ground, "ground");
    names.add(s.groundShape, "groundShape");
    names.add(s.material, "base");

    const Tolerances& tol = s.physics->getTolerancesScale();
    r.line("tolerances %.4f %.4f %.4f valid %d", tol.length, tol.mass, tol.speed, tol.isValid());
    const CookingParams& cp = s.cooking->getParams();
    r.line("cooking %.4f %.4f %.4f skin %.4f suppress %d adjacency %d", cp.scale.length, cp.scale.mass, cp.scale.speed,
           cp.skinWidth, cp.suppressTriangleMeshRemapTable, cp.buildTriangleAdjacencies);
    r.line("dispatcher threads %u scene gravity %s flags %u", s.dispatcher->threadCount(),
           v3(s.scene->getGravity()).c_str(), s.scene->getFlags());

    Material* slippery = s.physics->createMaterial(0.0f, 0.0f, 0.0f);
    Material* bouncy = s.physics->createMaterial(0.8f, 0.6f, 0.9f);
    Material* rough = s.physics->createMaterial(1.2f, 1.0f, 0.0f);
    names.add(slippery, "slippery");
    names.add(bouncy, "bouncy");
    names.add(rough, "rough");
    r.line("materials %u", s.physics->getNbMaterials());
    recordMaterial(r, "base", *s.material);
    recordMaterial(r, "slippery", *slippery);
    recordMaterial(r, "bouncy", *bouncy);
    recordMaterial(r, "rough", *rough);

    // Cooked hull and mesh as cooking leaves them.
    const std::vector<Vec3> hull = hullPoints();
    ConvexMeshDesc cdesc;
    cdesc.points = {hull.data(), sizeof(Vec3), static_cast<uint32_t>(hull.size())};
    cdesc.flags = ConvexComputeConvex;
    CookedConvex cooked;
    ASSERT_TRUE(s.cooking->cookConvexMesh(cdesc, cooked));
    r.line("hull vertices %zu edges %zu core %zu margin %.4f volume %.4f com %s inertia %s products %s",
           cooked.hullVertices.size(), cooked.hullEdges.size(), cooked.coreVertices.size(), cooked.margin,
           cooked.volume, v3(cooked.centerOfMass).c_str(), v3(cooked.inertiaDiagonal).c_str(),
           v3(cooked.inertiaProducts).c_str());
    for (size_t i = 0; i < cooked.hullVertices.size(); ++i)
        r.line(" hull %zu %s core %s", i, v3(cooked.hullVertices[i]).c_str(),
               i < cooked.coreVertices.size() ? v3(cooked.coreVertices[i]).c_str() : "-");
    {
        std::string edges;
        for (uint32_t e : cooked.hullEdges)
            edges += " " + std::to_string(e);
        r.line(" edges%s", edges.c_str());
    }
    ConvexMesh* convex = s.physics->createConvexMesh(cooked);
    ASSERT_NE(convex, nullptr);
    for (uint32_t i = 0; i < convex->getNbVertices(); ++i)
        r.line(" convexmesh %u %s", i, v3(convex->getVertices()[i]).c_str());

    std::vector<Vec3> rampVerts;
    std::vector<uint32_t> rampIdx;
    rampMesh(6, 10, 2, -2, 2, rampVerts, rampIdx);
    TriangleMeshDesc tdesc;
    tdesc.points = {rampVerts.data(), sizeof(Vec3), static_cast<uint32_t>(rampVerts.size())};
    tdesc.triangles = {rampIdx.data(), 3 * sizeof(uint32_t), static_cast<uint32_t>(rampIdx.size() / 3)};
    CookedTriangleMesh cookedMesh;
    ASSERT_TRUE(s.cooking->cookTriangleMesh(tdesc, cookedMesh));
    TriangleMesh* ramp = s.physics->createTriangleMesh(cookedMesh);
    ASSERT_NE(ramp, nullptr);
    r.line("trimesh vertices %u triangles %u", ramp->getNbVertices(), ramp->getNbTriangles());
    for (uint32_t t = 0; t < ramp->getNbTriangles(); ++t)
        r.line(" tri %u %u %u %u remap %u", t, ramp->getTriangles()[3 * t], ramp->getTriangles()[3 * t + 1],
               ramp->getTriangles()[3 * t + 2], ramp->getTrianglesRemap()[t]);

    RigidStatic* rampActor = s.physics->createRigidStatic(Transform());
    Shape* rampShape = rampActor->createShape(TriangleMeshGeometry(ramp), *rough);
    s.scene->addActor(*rampActor);
    names.add(rampActor, "ramp");
    names.add(rampShape, "rampShape");

    std::vector<RigidDynamic*> bodies;
    auto add = [&](const char* name, RigidDynamic* d) {
        names.add(d, name);
        for (uint32_t i = 0; i < d->getNbShapes(); ++i) {
            Shape* sh = nullptr;
            d->getShapes(&sh, 1, i);
            names.add(sh, std::string(name) + "." + std::to_string(i));
        }
        bodies.push_back(d);
    };

    // A box set by mass, resting; it goes to sleep.
    RigidDynamic* box = s.addBox(Vec3(-8, 0.5f, 0), Vec3(0.5f, 0.5f, 0.5f), 2.0f);
    add("box", box);
    // A bouncy sphere falling; by density with its centre of mass moved.
    RigidDynamic* sphere = s.physics->createRigidDynamic(Transform(Vec3(-4, 3, 0)));
    sphere->createShape(SphereGeometry(0.5f), *bouncy);
    const Vec3 sphereCom(0.0f, -0.1f, 0.0f);
    updateMassAndInertia(*sphere, 3.0f, &sphereCom);
    s.scene->addActor(*sphere);
    add("sphere", sphere);
    // A capsule on its side, pushed sideways with an impulse and spun.
    RigidDynamic* capsule = s.physics->createRigidDynamic(
        Transform(Vec3(-1, 0.45f, 4), Quat::fromAxisAngle(Vec3(0, 1, 0), 0.3f)));
    capsule->createShape(CapsuleGeometry(0.4f, 0.8f), *s.material);
    setMassAndUpdateInertia(*capsule, 5.0f);
    s.scene->addActor(*capsule);
    add("capsule", capsule);
    // A convex hull sliding on a slippery face.
    RigidDynamic* hullBody = s.physics->createRigidDynamic(Transform(Vec3(2, 0.6f, -4)));
    hullBody->createShape(ConvexMeshGeometry(convex), *slippery);
    setMassAndUpdateInertia(*hullBody, 1.5f);
    s.scene->addActor(*hullBody);
    add("hull", hullBody);
    // Two shapes and two materials, mass set by hand, no gravity, damped.
    RigidDynamic* pair = s.physics->createRigidDynamic(Transform(Vec3(0, 4, -8)));
    Material* two[2] = {rough, bouncy};
    pair->createShape(BoxGeometry(0.3f, 0.3f, 0.3f), two, 2, Transform(Vec3(-0.5f, 0, 0)));
    pair->createShape(SphereGeometry(0.3f), *s.material, Transform(Vec3(0.5f, 0, 0)));
    pair->setMass(4.0f);
    pair->setMassSpaceInertiaTensor(Vec3(1.0f, 2.0f, 3.0f));
    pair->setCMassLocalPose(Transform(Vec3(0.1f, 0, 0)));
    pair->setActorFlag(ActorFlag::DisableGravity, true);
    pair->setLinearDamping(0.5f);
    pair->setAngularDamping(0.8f);
    pair->setMaxAngularVelocity(3.0f);
    pair->setSolverIterationCounts(8, 2);
    s.scene->addActor(*pair);
    add("pair", pair);
    // A kinematic body with a mesh shape, driven by targets.
    RigidDynamic* kin = s.physics->createRigidDynamic(Transform(Vec3(4, 3, 8)));
    kin->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    kin->createShape(TriangleMeshGeometry(ramp), *s.material, Transform(Vec3(-8, 0, 0)));
    kin->createShape(BoxGeometry(0.5f, 0.2f, 0.5f), *s.material);
    s.scene->addActor(*kin);
    add("kinematic", kin);
    // A box that rolls down the ramp.
    RigidDynamic* rampBox = s.addBox(Vec3(9, 2.6f, 0), Vec3(0.3f, 0.3f, 0.3f), 1.0f);
    add("rampBox", rampBox);
    // A body put to sleep at once, and one woken with a long counter.
    RigidDynamic* sleeper = s.addSphere(Vec3(8, 3, -8), 0.4f, 1.0f);
    add("sleeper", sleeper);
    sleeper->putToSleep();
    RigidDynamic* waker = s.addBox(Vec3(-8, 0.25f, -8), Vec3(0.25f, 0.25f, 0.25f), 1.0f);
    add("waker", waker);
    waker->wakeUp(2.0f);

    recordActorState(r, names, *s.ground, true);
    recordActorState(r, names, *rampActor, true);
    for (RigidDynamic* d : bodies)
        recordActorState(r, names, *d, true);

    // One call of every force and velocity kind.
    capsule->addForce(Vec3(0, 0, 40), ForceMode::Impulse);
    capsule->addTorque(Vec3(0, 6, 0), ForceMode::Impulse);
    hullBody->setLinearVelocity(Vec3(3, 0, 0));
    hullBody->setAngularVelocity(Vec3(0, 1, 0));
    pair->addForce(Vec3(8, 0, 0), ForceMode::Force);
    pair->addForce(Vec3(0, 1, 0), ForceMode::VelocityChange);
    pair->addForce(Vec3(0, 0, 2), ForceMode::Acceleration);
    pair->addTorque(Vec3(0, 0, 5), ForceMode::Force);
    pair->addTorque(Vec3(1, 0, 0), ForceMode::VelocityChange);
    pair->addTorque(Vec3(0, 2, 0), ForceMode::Acceleration);
    pair->addForce(Vec3(100, 100, 100), ForceMode::Impulse);
    pair->clearForce(ForceMode::Impulse);
    pair->addTorque(Vec3(50, 0, 0), ForceMode::Impulse);
    pair->clearTorque(ForceMode::Impulse);
    addForceAtPos(*box, Vec3(0, 0, 30), Vec3(-8, 1.0f, 0), ForceMode::Impulse);
    r.line("after calls");
    recordActorState(r, names, *pair, false);
    recordActorState(r, names, *box, false);

    for (int i = 1; i <= 60; ++i) {
        if (i <= 30)
            kin->setKinematicTarget(Transform(Vec3(4 + 0.05f * i, 3, 8), Quat::fromAxisAngle(Vec3(0, 1, 0), 0.02f * i)));
        if (i == 20)
            pair->addForce(Vec3(0, 0, -3), ForceMode::VelocityChange);
        if (i == 25) {
            sleeper->wakeUp();
            box->setGlobalPose(Transform(Vec3(-8, 1.5f, 0)));
        }
        if (i == 40)
            pair->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
        if (i == 44)
            sphere->putToSleep(); // still moving: it sleeps from this step on
        if (i == 45)
            waker->putToSleep();
        if (i == 50)
            waker->wakeUp(1.0f);
        s.step();
        if (i % 5 == 0) {
            r.line("step %d", i);
            for (RigidDynamic* d : bodies)
                recordSample(r, names, *d);
        }
    }
    r.line("end");
    for (RigidDynamic* d : bodies)
        recordActorState(r, names, *d, false);
    recordStatistics(r, *s.scene);
    recordErrors(r, s.errors);
    convex->release();
    ramp->release();
    ::test::expectMatchesRecord("phys/records/bodies.txt", r.text);
}

// ---------------------------------------------------------------------------------------------

void recordJoint(Record& r, const Names& names, const Joint& j) {
    RigidActor* a0 = nullptr;
    RigidActor* a1 = nullptr;
    j.getActors(a0, a1);
    float force = 0, torque = 0;
    j.getBreakForce(force, torque);
    r.line(" joint %s type %d actors %s %s flags %u break %.4g %.4g proj %.4f %.4f inscene %d", names(&j).c_str(),
           static_cast<int>(j.getType()), names(a0).c_str(), names(a1).c_str(), j.getConstraintFlags(), force, torque,
           j.getProjectionLinearTolerance(), j.getProjectionAngularTolerance(), j.getScene() != nullptr);
    r.line("  frames %s | %s", tf(j.getLocalPose(0)).c_str(), tf(j.getLocalPose(1)).c_str());
    auto params = [](const JointLimitParameters& p) {
        char b[128];
        std::snprintf(b, sizeof b, "rest %.4f spring %.4f damping %.4f cd %.4f", p.restitution, p.spring, p.damping,
                      p.contactDistance);
        return std::string(b);
    };
    switch (j.getType()) {
    case JointType::D6: {
        const D6Joint& d = static_cast<const D6Joint&>(j);
        std::string motions;
        for (int a = 0; a < 6; ++a)
            motions += " " + std::to_string(static_cast<int>(d.getMotion(static_cast<D6Axis>(a))));
        r.line("  motions%s", motions.c_str());
        const JointLimit ll = d.getLinearLimit();
        const JointLimitPair tl = d.getTwistLimit();
        const JointLimitCone sl = d.getSwingLimit();
        r.line("  linear %.4f %s valid %d", ll.value, params(ll).c_str(), ll.isValid());
        r.line("  twist %.4f %.4f %s valid %d", tl.lower, tl.upper, params(tl).c_str(), tl.isValid());
        r.line("  swing %.4f %.4f %s valid %d", sl.yAngle, sl.zAngle, params(sl).c_str(), sl.isValid());
        for (int k = 0; k < 6; ++k) {
            const D6JointDrive dr = d.getDrive(static_cast<D6Drive>(k));
            r.line("  drive %d %.4f %.4f %.4g %u", k, dr.spring, dr.damping, dr.forceLimit, dr.flags);
        }
        Vec3 lin, ang;
        d.getDriveVelocity(lin, ang);
        r.line("  drivepose %s drivevel %s %s", tf(d.getDrivePosition()).c_str(), v3(lin).c_str(), v3(ang).c_str());
        break;
    }
    case JointType::Distance: {
        const DistanceJoint& d = static_cast<const DistanceJoint&>(j);
        r.line("  distance %.4f min %.4f max %.4f spring %.4f damping %.4f flags %u", d.getDistance(),
               d.getMinDistance(), d.getMaxDistance(), d.getSpring(), d.getDamping(), d.getDistanceJointFlags());
        break;
    }
    case JointType::Prismatic: {
        const PrismaticJoint& p = static_cast<const PrismaticJoint&>(j);
        const JointLimitPair l = p.getLimit();
        r.line("  limit %.5g %.5g %s flags %u", l.lower, l.upper, params(l).c_str(), p.getPrismaticJointFlags());
        break;
    }
    case JointType::Revolute: {
        const RevoluteJoint& p = static_cast<const RevoluteJoint&>(j);
        const JointLimitPair l = p.getLimit();
        r.line("  limit %.5g %.5g %s flags %u", l.lower, l.upper, params(l).c_str(), p.getRevoluteJointFlags());
        break;
    }
    case JointType::Spherical: {
        const SphericalJoint& p = static_cast<const SphericalJoint&>(j);
        const JointLimitCone l = p.getLimitCone();
        r.line("  cone %.4f %.4f %s flags %u", l.yAngle, l.zAngle, params(l).c_str(), p.getSphericalJointFlags());
        break;
    }
    case JointType::Fixed:
        break;
    }
}

TEST(PhysRecordTest, JointsOfEveryKindHoldTheirBodiesAsRecorded) {
    SceneOptions options;
    options.ground = false;
    options.gravity = Vec3(0, -10, 0);
    PhysScene s(options);
    Record r;
    Names names;
    std::vector<Joint*> joints;
    std::vector<RigidDynamic*> bodies;
    int lane = 0;
    // Each joint gets its own lane along Z, far enough apart that nothing touches.
    auto body = [&](const char* name, const Vec3& offset, bool sphere = false) {
        const Vec3 at = Vec3(0, 5, lane * 6.0f) + offset;
        RigidDynamic* d = sphere ? s.addSphere(at, 0.3f, 1.0f) : s.addBox(at, Vec3(0.4f, 0.2f, 0.2f), 1.0f);
        names.add(d, name);
        bodies.push_back(d);
        return d;
    };
    auto anchor = [&](const char* name) {
        RigidStatic* a = s.addStaticBox(Vec3(0, 5, lane * 6.0f), Vec3(0.1f, 0.1f, 0.1f));
        names.add(a, name);
        return a;
    };
    auto keep = [&](Joint* j, const char* name) {
        ASSERT_NE(j, nullptr) << name;
        names.add(j, name);
        joints.push_back(j);
        ++lane;
    };
    const Quat toY = Quat::fromAxisAngle(Vec3(0, 0, 1), Pi / 2);

    // Fixed: a body held off to the side of a static anchor, projected.
    {
        RigidStatic* a = anchor("fixedAnchor");
        RigidDynamic* b = body("fixedBody", Vec3(1, 0, 0));
        FixedJoint* j = createFixedJoint(*s.physics, a, Transform(Vec3(0.5f, 0, 0)), b, Transform(Vec3(-0.5f, 0, 0)));
        j->setConstraintFlag(ConstraintProjection, true);
        j->setProjectionLinearTolerance(0.1f);
        j->setProjectionAngularTolerance(0.2f);
        keep(j, "fixed");
    }
    // Fixed that breaks under the weight of a heavy body.
    {
        RigidDynamic* b = body("breakBody", Vec3(1, 0, 0));
        b->setMass(30.0f);
        FixedJoint* j = createFixedJoint(*s.physics, nullptr, Transform(Vec3(0, 5, lane * 6.0f)), b,
                                         Transform(Vec3(-1, 0, 0)));
        j->setBreakForce(100.0f, 1e9f);
        keep(j, "breaking");
    }
    // Fixed that breaks by torque alone.
    {
        RigidDynamic* b = body("torqueBody", Vec3(1, 0, 0));
        FixedJoint* j = createFixedJoint(*s.physics, nullptr, Transform(Vec3(0, 5, lane * 6.0f)), b,
                                         Transform(Vec3(-1, 0, 0)));
        j->setBreakForce(1e9f, 4.0f);
        keep(j, "torqueBreaking");
    }
    // Revolute: a pendulum about Z, limited, from a horizontal start.
    {
        RigidStatic* a = anchor("hingeAnchor");
        RigidDynamic* b = body("hingeBody", Vec3(1, 0, 0));
        const Quat aboutZ = Quat::fromAxisAngle(Vec3(0, 1, 0), -Pi / 2);
        RevoluteJoint* j = createRevoluteJoint(*s.physics, a, Transform(Vec3(), aboutZ), b,
                                               Transform(Vec3(-1, 0, 0), aboutZ));
        j->setLimit(JointLimitPair(-0.6f, 0.4f));
        j->setRevoluteJointFlag(RevoluteLimitEnabled, true);
        keep(j, "revolute");
    }
    // Revolute, free, with a soft limit that is not enabled, and collision enabled.
    {
        RigidDynamic* b = body("freeHingeBody", Vec3(1, 0, 0));
        const Quat aboutZ = Quat::fromAxisAngle(Vec3(0, 1, 0), -Pi / 2);
        RevoluteJoint* j = createRevoluteJoint(*s.physics, nullptr, Transform(Vec3(0, 5, lane * 6.0f), aboutZ), b,
                                               Transform(Vec3(-1, 0, 0), aboutZ));
        JointLimitPair soft(-0.2f, 0.2f);
        soft.spring = 50.0f;
        soft.damping = 2.0f;
        soft.restitution = 0.3f;
        j->setLimit(soft);
        j->setConstraintFlag(ConstraintCollisionEnabled, true);
        keep(j, "revoluteFree");
    }
    // Prismatic: slides down along Y within its limit.
    {
        RigidStatic* a = anchor("slideAnchor");
        RigidDynamic* b = body("slideBody", Vec3(0, 0, 0));
        PrismaticJoint* j = createPrismaticJoint(*s.physics, a, Transform(Vec3(), toY), b, Transform(Vec3(), toY));
        j->setLimit(JointLimitPair(-0.8f, 0.5f));
        j->setPrismaticJointFlag(PrismaticLimitEnabled, true);
        keep(j, "prismatic");
    }
    // Prismatic along a slanted axis, no limit.
    {
        RigidDynamic* b = body("slideFreeBody", Vec3(0, 0, 0));
        const Quat slant = Quat::fromAxisAngle(Vec3(0, 0, 1), 0.5f);
        PrismaticJoint* j = createPrismaticJoint(*s.physics, nullptr, Transform(Vec3(0, 5, lane * 6.0f), slant), b,
                                                 Transform(Vec3(), slant));
        keep(j, "prismaticFree");
    }
    // Spherical: a pendulum limited by a cone.
    {
        RigidStatic* a = anchor("ballAnchor");
        RigidDynamic* b = body("ballBody", Vec3(0.8f, 0, 0.6f));
        SphericalJoint* j =
            createSphericalJoint(*s.physics, a, Transform(), b, Transform(Vec3(-0.8f, 0, -0.6f)));
        j->setLimitCone(JointLimitCone(0.5f, 0.7f));
        j->setSphericalJointFlag(SphericalLimitEnabled, true);
        keep(j, "spherical");
    }
    // Spherical without limit, between two bodies.
    {
        RigidDynamic* b0 = body("ballTop", Vec3(0, 0, 0), true);
        b0->setActorFlag(ActorFlag::DisableGravity, true);
        b0->setMass(100.0f);
        RigidDynamic* b1 = body("ballBottom", Vec3(1, 0, 0), true);
        SphericalJoint* j = createSphericalJoint(*s.physics, b0, Transform(Vec3(0.5f, 0, 0)), b1,
                                                 Transform(Vec3(-0.5f, 0, 0)));
        keep(j, "sphericalPair");
    }
    // Distance: a rope with a minimum and maximum, and a spring.
    {
        RigidStatic* a = anchor("ropeAnchor");
        RigidDynamic* b = body("ropeBody", Vec3(1.5f, 0, 0), true);
        DistanceJoint* j = createDistanceJoint(*s.physics, a, Transform(), b, Transform());
        j->setMinDistance(0.5f);
        j->setMaxDistance(1.2f);
        j->setDistanceJointFlag(DistanceMinEnabled, true);
        keep(j, "distance");
    }
    {
        RigidDynamic* b = body("springBody", Vec3(0, -1, 0), true);
        DistanceJoint* j = createDistanceJoint(*s.physics, nullptr, Transform(Vec3(0, 5, lane * 6.0f)), b, Transform());
        j->setMaxDistance(0.5f);
        j->setSpring(40.0f);
        j->setDamping(1.5f);
        j->setDistanceJointFlag(DistanceSpringEnabled, true);
        keep(j, "distanceSpring");
    }
    // D6 with limited linear X, limited twist and a swing cone; the rest locked.
    {
        RigidStatic* a = anchor("d6Anchor");
        RigidDynamic* b = body("d6Body", Vec3(0.8f, 0, 0));
        D6Joint* j = createD6Joint(*s.physics, a, Transform(), b, Transform(Vec3(-0.8f, 0, 0)));
        j->setMotion(D6Axis::X, D6Motion::Limited);
        j->setMotion(D6Axis::Twist, D6Motion::Limited);
        j->setMotion(D6Axis::Swing1, D6Motion::Limited);
        j->setMotion(D6Axis::Swing2, D6Motion::Limited);
        j->setLinearLimit(JointLimit(0.3f));
        j->setTwistLimit(JointLimitPair(-0.3f, 0.3f));
        j->setSwingLimit(JointLimitCone(0.4f, 0.6f));
        keep(j, "d6Limited");
    }
    // D6 free in Y and swing 2, driven by springs towards a pose.
    {
        RigidDynamic* b = body("d6DriveBody", Vec3(0, 0, 0));
        D6Joint* j = createD6Joint(*s.physics, nullptr, Transform(Vec3(0, 5, lane * 6.0f)), b, Transform());
        j->setMotion(D6Axis::Y, D6Motion::Free);
        j->setMotion(D6Axis::Swing2, D6Motion::Free);
        j->setDrive(D6Drive::Y, D6JointDrive(200.0f, 10.0f, 1000.0f));
        j->setDrive(D6Drive::Swing, D6JointDrive(30.0f, 2.0f, 500.0f, true));
        j->setDrivePosition(Transform(Vec3(0, 1, 0), Quat::fromAxisAngle(Vec3(0, 0, 1), 0.5f)));
        keep(j, "d6Drive");
    }
    // D6 free in X and twist, driven by velocity (a motor), with slerp and twist drives set.
    {
        RigidDynamic* b = body("d6MotorBody", Vec3(0, 0, 0));
        b->setActorFlag(ActorFlag::DisableGravity, true);
        D6Joint* j = createD6Joint(*s.physics, nullptr, Transform(Vec3(0, 5, lane * 6.0f)), b, Transform());
        j->setMotion(D6Axis::X, D6Motion::Free);
        j->setMotion(D6Axis::Twist, D6Motion::Free);
        j->setDrive(D6Drive::X, D6JointDrive(0.0f, 20.0f, 1000.0f));
        j->setDrive(D6Drive::Twist, D6JointDrive(0.0f, 5.0f, 100.0f));
        j->setDrive(D6Drive::Slerp, D6JointDrive(1.0f, 1.0f, 10.0f));
        j->setDriveVelocity(Vec3(1.5f, 0, 0), Vec3(2.0f, 0, 0));
        keep(j, "d6Motor");
    }
    // D6 free everywhere but Z, soft linear limit.
    {
        RigidDynamic* b = body("d6SoftBody", Vec3(0, 0, 0), true);
        D6Joint* j = createD6Joint(*s.physics, nullptr, Transform(Vec3(0, 5, lane * 6.0f)), b, Transform());
        j->setMotion(D6Axis::X, D6Motion::Free);
        j->setMotion(D6Axis::Y, D6Motion::Limited);
        j->setMotion(D6Axis::Twist, D6Motion::Free);
        j->setMotion(D6Axis::Swing1, D6Motion::Free);
        j->setMotion(D6Axis::Swing2, D6Motion::Free);
        JointLimit soft(0.2f);
        soft.spring = 100.0f;
        soft.damping = 3.0f;
        j->setLinearLimit(soft);
        keep(j, "d6Soft");
    }
    // Settings that are refused keep the old ones (and report errors).
    {
        D6Joint* d6 = static_cast<D6Joint*>(joints[joints.size() - 4]);
        d6->setTwistLimit(JointLimitPair(0.5f, -0.5f));
        d6->setSwingLimit(JointLimitCone(0.0f, 4.0f));
        static_cast<DistanceJoint*>(joints[9])->setMaxDistance(-1.0f);
    }

    r.line("joints %zu", joints.size());
    for (const Joint* j : joints)
        recordJoint(r, names, *j);
    for (int i = 1; i <= 45; ++i) {
        if (i == 30) {
            // Changes in flight: a hinge's limit is switched off, a frame moved.
            static_cast<RevoluteJoint*>(joints[3])->setRevoluteJointFlag(RevoluteLimitEnabled, false);
            joints[8]->setLocalPose(1, Transform(Vec3(-0.3f, 0, 0)));
        }
        s.step();
        for (Joint* j : s.events.brokenJoints)
            r.line("step %d broken %s flags %u", i, names(j).c_str(), j->getConstraintFlags());
        s.events.brokenJoints.clear();
        if (i % 5 == 0) {
            r.line("step %d", i);
            for (RigidDynamic* d : bodies)
                recordSample(r, names, *d);
            for (const Joint* j : joints)
                if (j->getType() == JointType::Distance)
                    r.line("  %s distance %.4f", names(j).c_str(), static_cast<const DistanceJoint*>(j)->getDistance());
        }
    }
    r.line("end");
    for (const Joint* j : joints)
        recordJoint(r, names, *j);
    recordStatistics(r, *s.scene);
    // A joint whose body goes keeps reporting a null actor.
    bodies.back()->release();
    bodies.pop_back();
    recordJoint(r, names, *joints.back());
    // A released joint lets its sleeping body go.
    joints.front()->release();
    s.step(5);
    recordSample(r, names, *bodies.front());
    recordErrors(r, s.errors);
    for (size_t k = 1; k < joints.size(); ++k)
        joints[k]->release();
    ::test::expectMatchesRecord("phys/records/joints.txt", r.text);
}

// ---------------------------------------------------------------------------------------------

// Skips shapes named in the skip list, turns touch shapes into touches.
class RecordingQueryFilter : public QueryFilterCallback {
public:
    QueryHitType preFilter(const FilterData& data, Shape* shape, RigidActor*, uint32_t&) override {
        ++pre;
        if (shape == skip)
            return QueryHitType::None;
        if (shape == touch)
            return QueryHitType::Touch;
        return data.word1 == 7 ? QueryHitType::Touch : QueryHitType::Block;
    }
    QueryHitType postFilter(const FilterData&, const QueryHit& hit) override {
        ++post;
        return hit.shape == postSkip ? QueryHitType::None : QueryHitType::Block;
    }
    Shape* skip = nullptr;
    Shape* touch = nullptr;
    Shape* postSkip = nullptr;
    int pre = 0, post = 0;
};

TEST(PhysRecordTest, SceneAndGeometryQueriesFindWhatWasRecorded) {
    PhysScene s;
    Record r;
    Names names;
    names.add(s.ground, "ground");
    names.add(s.groundShape, "groundShape");

    const std::vector<Vec3> hull = hullPoints();
    ConvexMesh* convex = s.cookConvex(hull);
    ASSERT_NE(convex, nullptr);
    std::vector<Vec3> rampVerts;
    std::vector<uint32_t> rampIdx;
    rampMesh(6, 10, 2, -2, 2, rampVerts, rampIdx);
    TriangleMesh* ramp = s.cookMesh(rampVerts, rampIdx);
    ASSERT_NE(ramp, nullptr);

    auto named = [&](RigidActor* a, const char* name) {
        names.add(a, name);
        names.add(firstShape(*a), std::string(name) + "Shape");
        return firstShape(*a);
    };
    Shape* wall = named(s.addStaticBox(Vec3(0, 1, -3), Vec3(3, 1, 0.2f)), "wall");
    wall->setQueryFilterData(FilterData(1, 0, 0, 0));
    Shape* ball = named(s.addSphere(Vec3(-3, 1, 0), 0.7f, 1.0f), "ball");
    ball->setQueryFilterData(FilterData(2, 0, 0, 0));
    RigidDynamic* capsuleActor = s.physics->createRigidDynamic(Transform(Vec3(3, 1, 0), Quat::fromAxisAngle(Vec3(0, 0, 1), Pi / 2)));
    capsuleActor->createShape(CapsuleGeometry(0.4f, 0.6f), *s.material);
    capsuleActor->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    s.scene->addActor(*capsuleActor);
    Shape* capsule = named(capsuleActor, "capsule");
    capsule->setQueryFilterData(FilterData(4, 0, 0, 0));
    RigidStatic* hullActor = s.physics->createRigidStatic(Transform(Vec3(0, 0, 3)));
    hullActor->createShape(ConvexMeshGeometry(convex), *s.material);
    s.scene->addActor(*hullActor);
    Shape* hullShape = named(hullActor, "hull");
    RigidStatic* rampActor = s.physics->createRigidStatic(Transform());
    rampActor->createShape(TriangleMeshGeometry(ramp), *s.material);
    s.scene->addActor(*rampActor);
    Shape* rampShape = named(rampActor, "ramp");
    Shape* ghost = named(s.addStaticBox(Vec3(-6, 1, 3), Vec3(0.5f, 0.5f, 0.5f)), "ghost");
    ghost->setFlag(ShapeSceneQuery, false);
    Shape* trigger = named(s.addStaticBox(Vec3(-6, 1, -3), Vec3(0.5f, 0.5f, 0.5f)), "trigger");
    trigger->setFlag(ShapeSimulation, false);
    trigger->setFlag(ShapeTrigger, true);
    s.step();

    struct Ray {
        const char* name;
        Vec3 origin, dir;
        float distance;
        uint32_t hitFlags;
        QueryFilterData filter;
        bool useCallback;
    };
    const Vec3 down(0, -1, 0);
    const float inv = 1.0f / std::sqrt(2.0f);
    const Ray rays[] = {
        {"groundDown", {1, 5, 1}, down, 10, HitDefault, {}, false},
        {"groundTooShort", {1, 5, 1}, down, 4.9f, HitDefault, {}, false},
        {"wallFront", {0, 1, 0}, {0, 0, -1}, 10, HitDefault, {}, false},
        {"wallImpactOnly", {0.5f, 1.5f, 0}, {0, 0, -1}, 10, HitImpact, {}, false},
        {"wallDistanceOnly", {0.5f, 1.5f, 0}, {0, 0, -1}, 10, HitDistance, {}, false},
        {"wallUV", {0.5f, 1.5f, 0}, {0, 0, -1}, 10, HitDefault | HitUV, {}, false},
        {"ball", {-3, 5, 0.2f}, down, 10, HitDefault, {}, false},
        {"ballStaticOnly", {-3, 5, 0.2f}, down, 10, HitDefault, QueryFilterData(QueryStatic), false},
        {"ballDynamicOnly", {-3, 5, 0.2f}, down, 10, HitDefault, QueryFilterData(QueryDynamic), false},
        {"ballWordMiss", {-3, 5, 0.2f}, down, 10, HitDefault, QueryFilterData(FilterData(1, 0, 0, 0), QueryStatic | QueryDynamic), false},
        {"ballWordHit", {-3, 5, 0.2f}, down, 10, HitDefault, QueryFilterData(FilterData(2, 0, 0, 0), QueryStatic | QueryDynamic), false},
        {"capsuleSide", {6, 1, 0}, {-1, 0, 0}, 10, HitDefault, {}, false},
        {"capsuleTop", {3.5f, 5, 0}, down, 10, HitDefault, {}, false},
        {"hull", {0, 5, 3}, down, 10, HitDefault, {}, false},
        {"hullSlant", {0, 0.4f, 6}, {0, 0, -1}, 10, HitDefault, {}, false},
        {"rampFace", {8, 5, 0.5f}, down, 10, HitDefault, {}, false},
        {"rampUnder", {8, -0.5f, 0.5f}, {0, 1, 0}, 10, HitDefault, {}, false},
        {"rampDiagonal", {12, 3, 1}, {-inv, -inv, 0}, 10, HitDefault, {}, false},
        {"ghostPassed", {-6, 5, 3}, down, 10, HitDefault, {}, false},
        {"triggerPassed", {-6, 5, -3}, down, 10, HitDefault, {}, false},
        {"insideWall", {0, 1, -3}, {0, 0, 1}, 10, HitDefault, {}, false},
        {"miss", {0, 5, 0}, {0, 1, 0}, 10, HitDefault, {}, false},
        {"preSkipsBall", {-3, 5, 0}, down, 10, HitDefault, QueryFilterData(QueryStatic | QueryDynamic | QueryPrefilter), true},
        {"preTouchWall", {0, 1, 0}, {0, 0, -1}, 10, HitDefault, QueryFilterData(FilterData(1, 7, 0, 0), QueryStatic | QueryPrefilter), true},
        {"postSkipsHull", {0, 5, 3}, down, 10, HitDefault, QueryFilterData(QueryStatic | QueryPostfilter), true},
        {"preAndPost", {8, 5, 0.5f}, down, 10, HitDefault, QueryFilterData(QueryStatic | QueryDynamic | QueryPrefilter | QueryPostfilter), true},
    };
    RecordingQueryFilter filter;
    filter.skip = ball;
    filter.postSkip = hullShape;
    filter.touch = rampShape;
    for (const Ray& ray : rays) {
        filter.pre = filter.post = 0;
        RaycastHit hit;
        const bool found = s.scene->raycastSingle(ray.origin, ray.dir, ray.distance, ray.hitFlags, hit, ray.filter,
                                                  ray.useCallback ? &filter : nullptr);
        r.line("ray %s found %d shape %s actor %s face %d flags %u pos %s normal %s distance %.4f uv %.4f %.4f pre %d post %d",
               ray.name, found, names(hit.shape).c_str(), names(hit.actor).c_str(), static_cast<int>(hit.faceIndex),
               hit.flags, v3(hit.position).c_str(), v3(hit.normal).c_str(), hit.distance, hit.u, hit.v, filter.pre,
               filter.post);
    }

    struct Sweep {
        const char* name;
        GeometryHolder geometry;
        Transform pose;
        Vec3 dir;
        float distance;
        QueryFilterData filter;
        bool useCallback;
    };
    const Sweep sweeps[] = {
        {"boxDown", BoxGeometry(0.3f, 0.3f, 0.3f), Transform(Vec3(1, 5, 1)), down, 10, {}, false},
        {"boxToWall", BoxGeometry(0.3f, 0.3f, 0.3f), Transform(Vec3(1, 1, 0)), {0, 0, -1}, 10, {}, false},
        {"turnedBoxToWall", BoxGeometry(0.3f, 0.3f, 0.3f), Transform(Vec3(1, 1, 0), Quat::fromAxisAngle(Vec3(0, 1, 0), 0.7f)), {0, 0, -1}, 10, {}, false},
        {"sphereToBall", SphereGeometry(0.25f), Transform(Vec3(-3, 1, 4)), {0, 0, -1}, 10, {}, false},
        {"sphereStaticOnly", SphereGeometry(0.25f), Transform(Vec3(-3, 1, 4)), {0, 0, -1}, 10, QueryFilterData(QueryStatic), false},
        {"capsuleToCapsule", CapsuleGeometry(0.2f, 0.4f), Transform(Vec3(7, 1.2f, 0)), {-1, 0, 0}, 10, {}, false},
        {"capsuleToRamp", CapsuleGeometry(0.2f, 0.4f), Transform(Vec3(8, 5, 0)), down, 10, {}, false},
        {"hullToHull", ConvexMeshGeometry(convex), Transform(Vec3(0, 5, 3)), down, 10, {}, false},
        {"sphereMiss", SphereGeometry(0.25f), Transform(Vec3(0, 5, 0)), {0, 1, 0}, 10, {}, false},
        {"sphereShort", SphereGeometry(0.25f), Transform(Vec3(0, 5, 0)), down, 2, {}, false},
        {"sphereStartsInside", SphereGeometry(0.25f), Transform(Vec3(0, 1, -3)), {0, 0, 1}, 5, {}, false},
        {"spherePreSkip", SphereGeometry(0.25f), Transform(Vec3(-3, 4, 0)), down, 10, QueryFilterData(QueryStatic | QueryDynamic | QueryPrefilter), true},
        {"spherePostSkip", SphereGeometry(0.25f), Transform(Vec3(0, 5, 3)), down, 10, QueryFilterData(QueryStatic | QueryPostfilter), true},
    };
    for (const Sweep& sw : sweeps) {
        filter.pre = filter.post = 0;
        SweepHit hit;
        const bool found = s.scene->sweepSingle(sw.geometry.any(), sw.pose, sw.dir, sw.distance, HitDefault, hit,
                                                sw.filter, sw.useCallback ? &filter : nullptr);
        r.line("sweep %s found %d shape %s actor %s face %d flags %u pos %s normal %s distance %.4f pre %d post %d",
               sw.name, found, names(hit.shape).c_str(), names(hit.actor).c_str(), static_cast<int>(hit.faceIndex),
               hit.flags, v3(hit.position).c_str(), v3(hit.normal).c_str(), hit.distance, filter.pre, filter.post);
    }

    // Geometry against geometry, touching counts.
    const GeometryHolder shapes[] = {BoxGeometry(0.5f, 0.5f, 0.5f), SphereGeometry(0.5f), CapsuleGeometry(0.3f, 0.5f),
                                     ConvexMeshGeometry(convex), TriangleMeshGeometry(ramp)};
    const char* shapeNames[] = {"box", "sphere", "capsule", "hull", "mesh"};
    const Vec3 offsets[] = {{0.9f, 0, 0}, {1.01f, 0, 0}, {0.6f, 0.6f, 0}, {0, 1.2f, 0}, {8, 1.1f, 0}, {8, 0.4f, 0}};
    for (int a = 0; a < 5; ++a)
        for (int b = 0; b < 5; ++b) {
            std::string row;
            for (const Vec3& o : offsets) {
                const Transform pa = a == 4 ? Transform() : Transform(Vec3(), Quat::fromAxisAngle(Vec3(0, 1, 0), 0.3f));
                const Transform pb(o, Quat::fromAxisAngle(Vec3(1, 0, 0), 0.2f));
                row += GeometryQuery::overlap(shapes[a].any(), pa, shapes[b].any(), pb) ? " 1" : " 0";
            }
            r.line("overlap %s %s%s", shapeNames[a], shapeNames[b], row.c_str());
        }
    for (int a = 0; a < 5; ++a)
        r.line("geometrybounds %s %s", shapeNames[a],
               bounds(computeGeometryBounds(shapes[a], Transform(Vec3(1, 2, 3), Quat::fromAxisAngle(Vec3(0, 0, 1), 0.4f)))).c_str());

    // Smooth normals of a bent strip, both windings and index widths.
    const std::vector<Vec3> strip = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}, {2, 1, 0}, {2, 1, 1}, {5, 5, 5}};
    const std::vector<uint32_t> tris32 = {0, 2, 1, 1, 2, 3, 1, 3, 4, 4, 3, 5};
    const std::vector<uint16_t> tris16(tris32.begin(), tris32.end());
    for (int variant = 0; variant < 3; ++variant) {
        std::vector<Vec3> normals(strip.size());
        const bool ok = buildSmoothNormals(4, static_cast<uint32_t>(strip.size()), strip.data(),
                                           variant == 1 ? nullptr : tris32.data(), tris16.data(), normals.data(),
                                           variant == 2);
        std::string list;
        for (const Vec3& n : normals)
            list += " " + v3(n);
        r.line("normals %d ok %d%s", variant, ok, list.c_str());
    }
    recordErrors(r, s.errors);
    convex->release();
    ramp->release();
    ::test::expectMatchesRecord("phys/records/queries.txt", r.text);
}

// ---------------------------------------------------------------------------------------------

// Decides by the first filter word of each shape: 1 kill, 2 suppress, 3 callback, 4 notify;
// 6 contacts without persists; otherwise contacts with every report. Trigger pairs report found and lost.
FilterFlags wordShader(FilterObjectAttributes a0, FilterData d0, FilterObjectAttributes a1, FilterData d1,
                       PairFlags& pairFlags, const void* block, uint32_t blockSize) {
    if ((a0 | a1) & FilterObjectTrigger) {
        pairFlags = PairNotifyTouchFound | PairNotifyTouchLost;
        return FilterDefault;
    }
    pairFlags = PairSolveContact | PairNotifyTouchFound | PairNotifyTouchPersists | PairNotifyTouchLost |
                PairNotifyContactPoints;
    const uint32_t word = d0.word0 > d1.word0 ? d0.word0 : d1.word0;
    if (blockSize == sizeof(uint32_t) && word == *static_cast<const uint32_t*>(block))
        pairFlags = PairNotifyTouchFound; // the block names a word that only reports
    switch (word) {
    case 1:
        return FilterKill;
    case 2:
        return FilterSuppress;
    case 3:
        return FilterCallback;
    case 4:
        return FilterNotify;
    case 6:
        pairFlags = PairSolveContact | PairNotifyTouchFound | PairNotifyTouchLost; // no persists
        return FilterDefault;
    default:
        return FilterDefault;
    }
}

class RecordingFilterCallback : public SimulationFilterCallback {
public:
    FilterFlags pairFound(uint32_t, FilterObjectAttributes a0, FilterData d0, const Actor* actor0, const Shape* shape0,
                          FilterObjectAttributes a1, FilterData d1, const Actor* actor1, const Shape* shape1,
                          PairFlags& pairFlags) override {
        // The pair order is the layer's; both orders are written so the line reads the same.
        const std::string n0 = (*names)(shape0), n1 = (*names)(shape1);
        const bool swap = n1 < n0;
        record->line("  pairFound %s %s attrs %u %u words %u %u actors %s %s flags %u",
                     (swap ? n1 : n0).c_str(), (swap ? n0 : n1).c_str(), swap ? a1 : a0, swap ? a0 : a1,
                     swap ? d1.word0 : d0.word0, swap ? d0.word0 : d1.word0,
                     (*names)(swap ? actor1 : actor0).c_str(), (*names)(swap ? actor0 : actor1).c_str(), pairFlags);
        ++found;
        if (d0.word0 == 4 || d1.word0 == 4)
            return FilterNotify;
        return found == 1 ? FilterDefault : FilterSuppress;
    }
    void pairLost(uint32_t, FilterObjectAttributes a0, FilterData d0, FilterObjectAttributes a1, FilterData d1,
                  bool removed) override {
        record->line("  pairLost attrs %u %u words %u %u removed %d", a0 < a1 ? a0 : a1, a0 < a1 ? a1 : a0,
                     d0.word0 < d1.word0 ? d0.word0 : d1.word0, d0.word0 < d1.word0 ? d1.word0 : d0.word0, removed);
    }
    bool statusChange(uint32_t&, PairFlags&, FilterFlags&) override {
        ++statusCalls;
        return false;
    }
    Record* record = nullptr;
    const Names* names = nullptr;
    int found = 0, statusCalls = 0;
};

// Writes every report as it comes, in order.
class OrderedEvents : public SimulationEventCallback {
public:
    void onConstraintBreak(ConstraintInfo*, uint32_t count) override { record->line("  break %u", count); }
    void onWake(Actor** actors, uint32_t count) override {
        for (uint32_t i = 0; i < count; ++i)
            record->line("  wake %s", (*names)(actors[i]).c_str());
    }
    void onSleep(Actor** actors, uint32_t count) override {
        for (uint32_t i = 0; i < count; ++i)
            record->line("  sleep %s", (*names)(actors[i]).c_str());
    }
    void onContact(const ContactPairHeader& header, const ContactPair* pairs, uint32_t count) override {
        std::vector<std::string> lines;
        // One actor pair per call; the two actors are written in name order, with their points' normals flipped
        // to match, so the record does not depend on which the layer names first.
        const bool swap = (*names)(header.actors[1]) < (*names)(header.actors[0]);
        const uint16_t hf = header.flags;
        const uint16_t headerFlags = swap ? static_cast<uint16_t>(((hf & 1) << 1) | ((hf & 2) >> 1)) : hf;
        record->line("  contact %s %s headerflags %u pairs %u", (*names)(header.actors[swap]).c_str(),
                     (*names)(header.actors[!swap]).c_str(), headerFlags, count);
        for (uint32_t i = 0; i < count; ++i) {
            const ContactPair& p = pairs[i];
            const uint16_t pf = p.flags;
            const uint16_t pairFlags = swap ? static_cast<uint16_t>(((pf & 1) << 1) | ((pf & 2) >> 1)) : pf;
            record->line("   pair %s %s flags %u events %u count %u", (*names)(p.shapes[swap]).c_str(),
                         (*names)(p.shapes[!swap]).c_str(), pairFlags, p.events, p.contactCount);
            std::vector<ContactPairPoint> points(p.contactCount + 1);
            const uint32_t n = p.extractContacts(points.data(), static_cast<uint32_t>(points.size()));
            const uint32_t one = p.extractContacts(points.data() + n, 1);
            record->line("    extracted %u capped %u", n, one);
            float separation = 0, impulse = 0;
            Vec3 centre, normal;
            for (uint32_t k = 0; k < n; ++k) {
                separation += points[k].separation;
                impulse += points[k].impulse.magnitude();
                centre += points[k].position;
                normal += swap ? -points[k].normal : points[k].normal;
            }
            // Points of a face contact can come in any order: their sums are what is stable.
            if (n > 0)
                record->line("    points centre %s normal %s separation %.4f impulse %.4f faces %d %d",
                             v3(centre / static_cast<float>(n)).c_str(), v3(normal / static_cast<float>(n)).c_str(),
                             separation / n, impulse, static_cast<int>(points[0].internalFaceIndex0),
                             static_cast<int>(points[0].internalFaceIndex1));
        }
    }
    void onTrigger(TriggerPair* pairs, uint32_t count) override {
        for (uint32_t i = 0; i < count; ++i)
            record->line("  trigger %s %s status %u flags %u", (*names)(pairs[i].triggerShape).c_str(),
                         (*names)(pairs[i].otherShape).c_str(), pairs[i].status, pairs[i].flags);
    }
    Record* record = nullptr;
    const Names* names = nullptr;
};

TEST(PhysRecordTest, ContactTriggerAndFilterReportsComeAsRecorded) {
    Record r;
    Names names;
    RecordingErrors errors;
    OrderedEvents events;
    events.record = &r;
    events.names = &names;
    RecordingFilterCallback filterCallback;
    filterCallback.record = &r;
    filterCallback.names = &names;
    Foundation* foundation = Foundation::create(nullptr, &errors);
    Tolerances tolerances;
    r.line("tolerance defaults %.4f %.4f %.4f valid %d", tolerances.length, tolerances.mass, tolerances.speed,
           tolerances.isValid());
    Physics* physics = Physics::create(*foundation, tolerances);
    Dispatcher* dispatcher = Dispatcher::create(0);
    SceneDesc desc(tolerances);
    r.line("scenedesc gravity %s bounce %.4f flags %u kinematicpairs %d valid %d", v3(desc.gravity).c_str(),
           desc.bounceThresholdVelocity, desc.flags, desc.reportKinematicPairs, desc.isValid());
    const uint32_t reportOnly = 5;
    desc.gravity = Vec3(0, -10, 0);
    desc.dispatcher = dispatcher;
    desc.filterShader = wordShader;
    desc.filterShaderData = &reportOnly;
    desc.filterShaderDataSize = sizeof reportOnly;
    desc.filterCallback = &filterCallback;
    desc.eventCallback = &events;
    desc.reportKinematicPairs = true;
    r.line("scenedesc valid %d", desc.isValid());
    Scene* scene = physics->createScene(desc);
    ASSERT_NE(scene, nullptr);
    Material* material = physics->createMaterial(0.5f, 0.5f, 0.0f);

    RigidStatic* ground = physics->createRigidStatic(Transform(Vec3(0, -1, 0)));
    Shape* groundShape = ground->createShape(BoxGeometry(20, 1, 20), *material);
    scene->addActor(*ground);
    names.add(ground, "ground");
    names.add(groundShape, "groundShape");

    std::vector<RigidDynamic*> bodies;
    auto drop = [&](const char* name, float x, float y, uint32_t word) {
        RigidDynamic* d = physics->createRigidDynamic(Transform(Vec3(x, y, 0)));
        Shape* sh = d->createShape(BoxGeometry(0.3f, 0.3f, 0.3f), *material);
        sh->setSimulationFilterData(FilterData(word, 0, 0, 0));
        setMassAndUpdateInertia(*d, 1.0f);
        scene->addActor(*d);
        names.add(d, name);
        names.add(sh, std::string(name) + "Shape");
        bodies.push_back(d);
        return d;
    };
    drop("a_plain", -6, 0.35f, 0);
    RigidDynamic* killed = drop("b_killed", -4, 0.5f, 1);
    drop("c_suppressed", -2, 0.5f, 2);
    drop("d_callback", 0, 0.5f, 3);
    drop("e_notify", 2, 0.5f, 4);
    drop("f_reportOnly", 4, 0.5f, 5);
    drop("f_quiet", 4, 0.5f, 6)->setGlobalPose(Transform(Vec3(4, 0.5f, 3)));
    RigidDynamic* stacked = drop("g_stacked", -6, 1.0f, 0);
    // A trigger volume the plain box falls through, and a kinematic box that sweeps through it.
    RigidStatic* zone = physics->createRigidStatic(Transform(Vec3(6, 1, 0)));
    Shape* zoneShape = zone->createShape(BoxGeometry(1, 1, 1), *material);
    zoneShape->setFlag(ShapeSimulation, false);
    zoneShape->setFlag(ShapeTrigger, true);
    scene->addActor(*zone);
    names.add(zone, "zone");
    names.add(zoneShape, "zoneShape");
    RigidDynamic* faller = drop("h_faller", 6, 2.5f, 0);
    RigidDynamic* mover = physics->createRigidDynamic(Transform(Vec3(9, 1, 0)));
    Shape* moverShape = mover->createShape(BoxGeometry(0.2f, 0.2f, 0.2f), *material);
    mover->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    scene->addActor(*mover);
    names.add(mover, "i_mover");
    names.add(moverShape, "i_moverShape");

    scene->setVisualizationParameter(VisualizationParameter::Scale, 1.0f);
    scene->setVisualizationParameter(VisualizationParameter::CollisionShapes, 1.0f);
    scene->setVisualizationCullingBox(Bounds3(Vec3(-7, -1, -1), Vec3(-5, 2, 1)));
    scene->setVisualizationParameter(VisualizationParameter::CullBox, 1.0f);
    r.line("visualization %.4f %.4f %.4f box %s", scene->getVisualizationParameter(VisualizationParameter::Scale),
           scene->getVisualizationParameter(VisualizationParameter::CollisionShapes),
           scene->getVisualizationParameter(VisualizationParameter::CullBox),
           bounds(scene->getVisualizationCullingBox()).c_str());

    for (int i = 1; i <= 40; ++i) {
        if (i <= 25)
            mover->setKinematicTarget(Transform(Vec3(9 - 0.2f * i, 1, 0)));
        if (i == 15) {
            // Changing filter data makes the pair be decided again.
            Shape* sh = firstShape(*killed);
            sh->setSimulationFilterData(FilterData(0, 0, 0, 0));
        }
        if (i == 30) {
            stacked->release(); // its pair ends with the deleted flags
            bodies.erase(std::find(bodies.begin(), bodies.end(), stacked));
            names.add(stacked, "g_stacked(released)");
        }
        if (i == 33) {
            zone->release();
        }
        r.line("step %d", i);
        scene->simulate(StepTime);
        scene->fetchResults(true);
        if (i % 10 == 0) {
            const RenderBuffer& lines = scene->getRenderBuffer();
            Vec3 sum;
            for (uint32_t k = 0; k < lines.getNbLines(); ++k)
                sum += lines.getLines()[k].pos0 + lines.getLines()[k].pos1;
            r.line(" lines %u sum %s colour %x", lines.getNbLines(), v3(sum).c_str(),
                   lines.getNbLines() ? lines.getLines()[0].color0 : 0u);
            for (RigidDynamic* d : bodies)
                recordSample(r, names, *d);
            recordStatistics(r, *scene);
        }
    }
    r.line("filter found %d status calls %d", filterCallback.found, filterCallback.statusCalls);
    (void)faller;
    scene->setVisualizationParameter(VisualizationParameter::Scale, 0.0f);
    scene->simulate(StepTime);
    scene->fetchResults(true);
    r.line("lines off %u", scene->getRenderBuffer().getNbLines());
    recordErrors(r, errors);
    scene->release();
    dispatcher->release();
    physics->release();
    foundation->release();
    ::test::expectMatchesRecord("phys/records/reports.txt", r.text);
}

// ---------------------------------------------------------------------------------------------

class RecordingControllerHits : public ControllerHitReport, public ControllerBehaviorCallback {
public:
    void onShapeHit(const ControllerShapeHit& hit) override {
        record->line("  shapehit %s actor %s tri %d pos %s normal %s dir %s length %.4f", (*names)(hit.shape).c_str(),
                     (*names)(hit.actor).c_str(), static_cast<int>(hit.triangleIndex), ev3(hit.worldPos).c_str(),
                     v3(hit.worldNormal).c_str(), v3(hit.dir).c_str(), hit.length);
    }
    void onControllerHit(const ControllersHit& hit) override {
        record->line("  controllerhit %s %s pos %s normal %s dir %s length %.4f", (*names)(hit.controller).c_str(),
                     (*names)(hit.other).c_str(), ev3(hit.worldPos).c_str(), v3(hit.worldNormal).c_str(),
                     v3(hit.dir).c_str(), hit.length);
    }
    void onObstacleHit(const ControllerObstacleHit&) override { record->line("  obstaclehit"); }
    uint32_t getBehaviorFlags(const Shape& shape) override { return &shape == ride ? static_cast<uint32_t>(BehaviorCanRideOnObject) : 0u; }
    uint32_t getBehaviorFlags(const Controller&) override { return 0; }
    uint32_t getBehaviorFlags(const Obstacle&) override { return 0; }
    Record* record = nullptr;
    const Names* names = nullptr;
    const Shape* ride = nullptr;
};

class NoControllers : public ControllerFilterCallback {
public:
    bool filter(const Controller&, const Controller&) override { return false; }
};

TEST(PhysRecordTest, CharacterControllersWalkAsRecorded) {
    PhysScene s;
    Record r;
    Names names;
    names.add(s.ground, "ground");
    names.add(s.groundShape, "groundShape");
    names.add(s.material, "base");
    RecordingControllerHits hits;
    hits.record = &r;
    hits.names = &names;
    ControllerManager* manager = ControllerManager::create(*s.foundation);

    auto staticBox = [&](const char* name, const Vec3& at, const Vec3& half, const Quat& q = Quat()) {
        RigidStatic* a = s.physics->createRigidStatic(Transform(at, q));
        Shape* sh = a->createShape(BoxGeometry(half), *s.material);
        s.scene->addActor(*a);
        names.add(a, name);
        names.add(sh, std::string(name) + "Shape");
        return sh;
    };
    staticBox("wall", Vec3(0, 2, -5), Vec3(4, 2, 0.5f));
    staticBox("step", Vec3(5, 0.15f, 0), Vec3(1, 0.15f, 2));
    staticBox("highStep", Vec3(-5, 0.6f, 0), Vec3(1, 0.6f, 2));
    staticBox("gentle", Vec3(0, 0, 6), Vec3(3, 0.5f, 2), Quat::fromAxisAngle(Vec3(1, 0, 0), -0.35f));
    staticBox("steep", Vec3(0, 0, 14), Vec3(3, 0.5f, 2), Quat::fromAxisAngle(Vec3(1, 0, 0), -1.0f));
    // A floor for the controller whose up is +X.
    staticBox("sideFloor", Vec3(-13, 1.2f, -8), Vec3(0.5f, 2, 3));
    RigidDynamic* platform = s.physics->createRigidDynamic(Transform(Vec3(12, 0.25f, 0)));
    Shape* platformShape = platform->createShape(BoxGeometry(1.5f, 0.25f, 1.5f), *s.material);
    platform->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    s.scene->addActor(*platform);
    names.add(platform, "platform");
    names.add(platformShape, "platformShape");
    hits.ride = platformShape;
    RigidDynamic* crate = s.addBox(Vec3(-2, 0.3f, 4), Vec3(0.3f, 0.3f, 0.3f), 0.5f);
    names.add(crate, "crate");
    names.add(firstShape(*crate), "crateShape");

    struct Walker {
        const char* name;
        Vec3 start;
        Vec3 walk;
        float stepOffset;
        Vec3 up;
    };
    const Walker walkers[] = {
        {"intoWall", {0, 1.2f, -2}, {0, 0, -0.15f}, 0.3f, {0, 1, 0}},
        {"upStep", {2.5f, 1.2f, 0}, {0.12f, 0, 0}, 0.4f, {0, 1, 0}},
        {"againstHighStep", {-2.5f, 1.2f, 0}, {-0.12f, 0, 0}, 0.4f, {0, 1, 0}},
        {"upGentle", {0, 1.2f, 3}, {0, 0, 0.1f}, 0.3f, {0, 1, 0}},
        {"upSteep", {0, 1.2f, 11}, {0, 0, 0.1f}, 0.3f, {0, 1, 0}},
        {"onPlatform", {12, 1.8f, 0}, {0, 0, 0}, 0.3f, {0, 1, 0}},
        {"pushCrate", {-4, 1.2f, 4}, {0.1f, 0, 0}, 0.3f, {0, 1, 0}},
        {"sideUp", {-10, 1.2f, -8}, {0, 0, 0.1f}, 0.3f, {1, 0, 0}},
        {"meetsA", {8, 1.2f, 8}, {0.1f, 0, 0}, 0.3f, {0, 1, 0}},
        {"meetsB", {11, 1.2f, 8}, {-0.1f, 0, 0}, 0.3f, {0, 1, 0}},
    };
    std::vector<Controller*> controllers;
    for (const Walker& w : walkers) {
        CapsuleControllerDesc desc;
        if (controllers.empty())
            r.line("desc defaults up %s slope %.4f contact %.4f step %.4f density %.4f scale %.4f growth %.4f climb %d "
                   "interaction %d valid %d",
                   v3(desc.upDirection).c_str(), desc.slopeLimit, desc.contactOffset, desc.stepOffset, desc.density,
                   desc.scaleCoeff, desc.volumeGrowth, static_cast<int>(desc.climbingMode),
                   static_cast<int>(desc.interactionMode), desc.isValid());
        desc.position = ExtVec3(w.start.x, w.start.y, w.start.z);
        desc.upDirection = w.up;
        desc.radius = 0.4f;
        desc.height = 0.8f;
        desc.stepOffset = w.stepOffset;
        desc.material = s.material;
        desc.callback = &hits;
        desc.behaviorCallback = &hits;
        desc.interactionMode = &w == &walkers[9] ? InteractionMode::Include : InteractionMode::UseFilter;
        Controller* c = manager->createController(*s.physics, s.scene, desc);
        ASSERT_NE(c, nullptr) << w.name;
        names.add(c, w.name);
        names.add(c->getActor(), std::string(w.name) + "Actor");
        names.add(firstShape(*c->getActor()), std::string(w.name) + "ActorShape");
        controllers.push_back(c);
    }
    r.line("controllers %u", manager->getNbControllers());
    for (uint32_t i = 0; i < manager->getNbControllers(); ++i) {
        const Controller* c = manager->getController(i);
        r.line("controller %s pos %s foot %s radius %.4f height %.4f contact %.4f step %.4f slope %.4f up %s "
               "interaction %d flags %u",
               names(c).c_str(), ev3(c->getPosition()).c_str(), ev3(c->getFootPosition()).c_str(), c->getRadius(),
               c->getHeight(), c->getContactOffset(), c->getStepOffset(), c->getSlopeLimit(),
               v3(c->getUpDirection()).c_str(), static_cast<int>(c->getInteraction()), c->getCollisionFlags());
        recordActorState(r, names, *c->getActor(), true);
    }

    ControllerFilters filters;
    NoControllers noControllers;
    for (int i = 1; i <= 24; ++i) {
        if (i <= 20)
            platform->setKinematicTarget(Transform(Vec3(12 + 0.05f * i, 0.25f, 0)));
        if (i == 12)
            filters.cctFilterCallback = &noControllers;
        if (i == 16)
            controllers[2]->setStepOffset(1.5f);
        r.line("move %d", i);
        for (size_t k = 0; k < controllers.size(); ++k) {
            Controller* c = controllers[k];
            const Vec3 fall = c->getUpDirection() * -0.2f;
            const uint32_t flags = c->move(walkers[k].walk + fall, 0.0001f, StepTime, filters);
            r.line(" %s flags %u pos %s foot %s", names(c).c_str(), flags, ev3(c->getPosition()).c_str(),
                   ev3(c->getFootPosition()).c_str());
        }
        manager->computeInteractions(StepTime);
        s.step();
        if (i % 6 == 0) {
            recordSample(r, names, *crate);
            recordSample(r, names, *controllers[6]->getActor());
        }
    }
    controllers[0]->setPosition(ExtVec3(0, 3, 0));
    r.line("teleported %s foot %s", ev3(controllers[0]->getPosition()).c_str(),
           ev3(controllers[0]->getFootPosition()).c_str());
    s.step();
    recordActorState(r, names, *controllers[0]->getActor(), false);
    controllers[1]->release();
    r.line("after release %u actors %u", manager->getNbControllers(), s.scene->getNbActors());
    recordErrors(r, s.errors);
    manager->release();
    ::test::expectMatchesRecord("phys/records/controllers.txt", r.text);
}

// ---------------------------------------------------------------------------------------------

TEST(PhysRecordTest, ClothAndParticlesMoveAsRecorded) {
    PhysScene s;
    Record r;

    // A 5 x 5 sheet pinned along one edge.
    const int n = 5;
    std::vector<Vec3> points;
    std::vector<uint32_t> indices;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            points.emplace_back(i * 0.5f, 0.0f, j * 0.5f);
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i) {
            const uint32_t a = j * n + i, b = a + 1, c = a + n, d = c + 1;
            indices.insert(indices.end(), {a, c, b, b, c, d});
        }
    ClothMeshDesc desc;
    desc.points = {points.data(), sizeof(Vec3), static_cast<uint32_t>(points.size())};
    desc.triangles = {indices.data(), 3 * sizeof(uint32_t), static_cast<uint32_t>(indices.size() / 3)};
    CookedClothFabric cooked;
    ASSERT_TRUE(s.cooking->cookClothFabric(desc, Vec3(0, -1, 0), cooked));
    r.line("fabric particles %u triangles %zu edges %zu gravity %s", cooked.particleCount, cooked.triangles.size() / 3,
           cooked.edges.size() / 2, v3(cooked.gravityDirection).c_str());
    for (size_t e = 0; e < cooked.restLengths.size(); ++e)
        r.line(" edge %u %u %.4f", cooked.edges[2 * e], cooked.edges[2 * e + 1], cooked.restLengths[e]);
    ClothFabric* fabric = s.physics->createClothFabric(cooked);
    ASSERT_NE(fabric, nullptr);
    std::vector<ClothParticle> particles;
    for (size_t k = 0; k < points.size(); ++k) {
        ClothParticle p;
        p.pos = points[k];
        p.invWeight = k < static_cast<size_t>(n) ? 0.0f : 1.0f;
        particles.push_back(p);
    }
    Cloth* cloth = s.physics->createCloth(Transform(Vec3(0, 4, 0)), *fabric, particles.data(), ClothCollisionData(), 0);
    ASSERT_NE(cloth, nullptr);
    r.line("fabric refs %u nb %u edges %u", fabric->getReferenceCount(), fabric->getNbParticles(), fabric->getNbEdges());
    fabric->release();
    cloth->setSolverFrequency(120.0f);
    cloth->setExternalAcceleration(Vec3(2, 0, 0));
    s.scene->addActor(*cloth);
    auto recordCloth = [&](const char* when) {
        r.line("cloth %s type %d particles %u pose %s freq %.4f accel %s flags %u actorflags %u bounds %s", when,
               static_cast<int>(cloth->getType()), cloth->getNbParticles(), tf(cloth->getGlobalPose()).c_str(),
               cloth->getSolverFrequency(), v3(cloth->getExternalAcceleration()).c_str(), cloth->getClothFlags(),
               cloth->getActorFlags(), bounds(cloth->getWorldBounds()).c_str());
        ClothReadData* data = cloth->lockParticleData();
        ASSERT_NE(data, nullptr);
        r.line(" second lock %d", cloth->lockParticleData() != nullptr);
        for (uint32_t k = 0; k < cloth->getNbParticles(); ++k)
            r.line(" p %u %s w %.4f", k, v3(data->particles[k].pos).c_str(), data->particles[k].invWeight);
        data->unlock();
    };
    recordCloth("start");

    // Particles: a system falling on the ground and a fluid with its own settings.
    ParticleSystem* system = s.physics->createParticleSystem(16);
    ParticleFluid* fluid = s.physics->createParticleFluid(8, true);
    ASSERT_NE(system, nullptr);
    ASSERT_NE(fluid, nullptr);
    auto recordParams = [&](const char* name, ParticleBase& p) {
        r.line("%s type %d max %u readflags %u grid %.4f motion %.4f rest %.4f contact %.4f mass %.4f damping %.4f "
               "restitution %.4f static %.4f dynamic %.4f filter %s actorflags %u",
               name, static_cast<int>(p.getType()), p.getMaxParticles(), p.getParticleReadDataFlags(), p.getGridSize(),
               p.getMaxMotionDistance(), p.getRestOffset(), p.getContactOffset(), p.getParticleMass(), p.getDamping(),
               p.getRestitution(), p.getStaticFriction(), p.getDynamicFriction(), fd(p.getSimulationFilterData()).c_str(),
               p.getActorFlags());
    };
    recordParams("systemDefaults", *system);
    r.line("fluidDefaults viscosity %.4f stiffness %.4f distance %.4f", fluid->getViscosity(), fluid->getStiffness(),
           fluid->getRestParticleDistance());
    system->setMaxMotionDistance(0.5f);
    system->setRestitution(0.4f);
    system->setDynamicFriction(0.3f);
    system->setRestOffset(0.05f);
    system->setContactOffset(0.1f);
    system->setDamping(0.1f);
    system->setParticleReadDataFlag(ParticleReadVelocities, true);
    fluid->setGridSize(1.0f);
    fluid->setParticleMass(0.01f);
    fluid->setStaticFriction(0.2f);
    fluid->setViscosity(10.0f);
    fluid->setStiffness(30.0f);
    fluid->setRestParticleDistance(0.05f);
    fluid->setSimulationFilterData(FilterData(1, 2, 3, 4));
    fluid->setActorFlag(ActorFlag::DisableGravity, true);
    fluid->setMaxMotionDistance(0.2f);
    fluid->setParticleReadDataFlag(ParticleReadVelocities, true);
    recordParams("system", *system);
    recordParams("fluid", *fluid);
    r.line("fluid viscosity %.4f stiffness %.4f distance %.4f", fluid->getViscosity(), fluid->getStiffness(),
           fluid->getRestParticleDistance());

    const uint32_t idx[6] = {0, 3, 5, 6, 9, 15};
    const Vec3 pos[6] = {{-3, 0.5f, 0}, {-2, 1, 0}, {-1, 1.5f, 0}, {0, 0.2f, 3}, {1, 2, 3}, {2, 0.1f, 3}};
    const Vec3 vel[6] = {{0, 0, 0}, {1, 0, 0}, {0, -5, 0}, {2, 3, 0}, {0, 0, -1}, {0, -20, 0}};
    ParticleCreationData create;
    create.numParticles = 6;
    create.indexBuffer = StridedData<uint32_t>(idx);
    create.positionBuffer = StridedData<Vec3>(pos);
    create.velocityBuffer = StridedData<Vec3>(vel);
    r.line("create system %d", system->createParticles(create));
    create.numParticles = 3;
    create.velocityBuffer = StridedData<Vec3>();
    r.line("create fluid %d", fluid->createParticles(create));
    r.line("create again %d", fluid->createParticles(create));
    s.scene->addActor(*system);
    s.scene->addActor(*fluid);

    auto recordParticles = [&](const char* name, ParticleBase& p) {
        ParticleReadData* data = p.lockParticleReadData();
        ASSERT_NE(data, nullptr);
        r.line(" %s valid %u range %u bounds %s", name, data->numValidParticles, data->validParticleRange,
               bounds(p.getWorldBounds()).c_str());
        for (uint32_t k = 0; k < data->validParticleRange; ++k) {
            const uint16_t flags = data->flagsBuffer.at(k);
            if (!(flags & ParticleValid))
                continue;
            r.line("  %u flags %u p %s v %s", k, flags, v3(data->positionBuffer.at(k)).c_str(),
                   data->velocityBuffer.ptr ? v3(data->velocityBuffer.at(k)).c_str() : "-");
        }
        data->unlock();
    };
    for (int i = 1; i <= 30; ++i) {
        if (i == 10) {
            ClothParticle moved[n * n];
            ClothReadData* data = cloth->lockParticleData();
            for (int k = 0; k < n * n; ++k)
                moved[k] = data->particles[k];
            data->unlock();
            moved[n * n - 1].pos.y -= 0.5f;
            cloth->setParticles(moved, nullptr);
            const uint32_t one[1] = {3};
            const Vec3 there[1] = {{-2, 3, 0}};
            const Vec3 fast[1] = {{0, 10, 0}};
            system->setPositions(1, StridedData<uint32_t>(one), StridedData<Vec3>(there));
            system->setVelocities(1, StridedData<uint32_t>(one), StridedData<Vec3>(fast));
        }
        if (i == 20) {
            cloth->setGlobalPose(Transform(Vec3(1, 4, 0), Quat::fromAxisAngle(Vec3(0, 1, 0), 0.3f)));
            const uint32_t gone[1] = {0};
            system->releaseParticles(1, StridedData<uint32_t>(gone));
            fluid->releaseParticles();
        }
        s.step();
        if (i % 5 == 0) {
            r.line("step %d", i);
            recordParticles("system", *system);
            recordParticles("fluid", *fluid);
        }
        if (i % 10 == 0)
            recordCloth("sample");
    }
    recordStatistics(r, *s.scene);
    recordErrors(r, s.errors);
    ::test::expectMatchesRecord("phys/records/cloth_particles.txt", r.text);
}

} // namespace
} // namespace phys::test
