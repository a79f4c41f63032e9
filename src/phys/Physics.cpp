#include "phys/Physics.h"

#include "phys/Cloth.h"
#include "phys/Foundation.h"
#include "phys/Joint.h"
#include "phys/Material.h"
#include "phys/Meshes.h"
#include "phys/Particles.h"
#include "phys/RigidBody.h"
#include "phys/Scene.h"
#include "phys/detail/Backs.h"
#include "phys/detail/BulletConvert.h"
#include "phys/detail/StepWorld.h"

#include <BulletCollision/CollisionDispatch/btInternalEdgeUtility.h>

#include <cmath>

namespace phys {

Physics* Physics::create(Foundation& foundation, const Tolerances& tolerances) {
    if (!tolerances.isValid()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "physics: tolerances need a positive length and mass and a speed not below zero");
        return nullptr;
    }
    detail::installBulletHooks();
    return new Physics(foundation, tolerances);
}

Physics::Physics(Foundation& foundation_, const Tolerances& tolerances_)
    : foundation(foundation_), tolerances(tolerances_) {}

Physics::~Physics() = default;

void Physics::release() {
    const std::vector<Scene*> ownScenes(scenes.begin(), scenes.end());
    for (Scene* scene : ownScenes)
        scene->release();
    // Joints of no scene: their actors are still here.
    const std::vector<Joint*> ownJoints(joints.begin(), joints.end());
    for (Joint* joint : ownJoints)
        delete joint;
    joints.clear();
    const std::vector<Actor*> ownActors(actors.begin(), actors.end());
    for (Actor* actor : ownActors)
        delete actor;
    actors.clear();
    const std::vector<ConvexMesh*> convex(convexMeshes.begin(), convexMeshes.end());
    for (ConvexMesh* mesh : convex)
        delete mesh;
    const std::vector<TriangleMesh*> triangles(triangleMeshes.begin(), triangleMeshes.end());
    for (TriangleMesh* mesh : triangles)
        delete mesh;
    const std::vector<ClothFabric*> ownFabrics(fabrics.begin(), fabrics.end());
    for (ClothFabric* fabric : ownFabrics)
        delete fabric;
    delete this;
}

Material* Physics::createMaterial(float staticFriction, float dynamicFriction, float restitution) {
    if (!(std::isfinite(staticFriction) && staticFriction >= 0.0f && std::isfinite(dynamicFriction) &&
          dynamicFriction >= 0.0f && std::isfinite(restitution) && restitution >= 0.0f && restitution <= 1.0f)) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "createMaterial: frictions must be finite and not negative, restitution within [0, 1]");
        return nullptr;
    }
    materials.emplace_back(new Material(staticFriction, dynamicFriction, restitution));
    return materials.back().get();
}

namespace {
// A pose the layer accepts: finite, rotation of unit length within 1e-3 (then normalised).
bool acceptPose(Foundation& foundation, const Transform& pose, Transform& out, const char* operation) {
    if (!pose.isValid()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "%s: pose not finite or rotation not of unit length",
                    operation);
        return false;
    }
    out = Transform(pose.p, pose.q.getNormalized());
    return true;
}
} // namespace

template <class T>
T* Physics::createRigid(const Transform& pose, const char* operation) {
    Transform p;
    if (!acceptPose(foundation, pose, p, operation))
        return nullptr;
    auto* actor = new T(*this, p);
    actors.insert(actor);
    return actor;
}

RigidStatic* Physics::createRigidStatic(const Transform& pose) {
    return createRigid<RigidStatic>(pose, "createRigidStatic");
}

RigidDynamic* Physics::createRigidDynamic(const Transform& pose) {
    return createRigid<RigidDynamic>(pose, "createRigidDynamic");
}

ConvexMesh* Physics::createConvexMesh(const CookedConvex& cooked) {
    bool valid = cooked.coreVertices.size() >= 4 && !cooked.hullVertices.empty() && std::isfinite(cooked.margin) &&
                 cooked.margin >= 0.0f && cooked.volume > 0.0f && cooked.hullEdges.size() % 2 == 0;
    for (const Vec3& v : cooked.coreVertices)
        valid = valid && v.isFinite();
    for (const Vec3& v : cooked.hullVertices)
        valid = valid && v.isFinite();
    for (uint32_t e : cooked.hullEdges)
        valid = valid && e < cooked.hullVertices.size();
    if (!valid) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "createConvexMesh: inconsistent cooked data");
        return nullptr;
    }
    auto data = std::make_unique<detail::ConvexMeshData>();
    data->cooked = cooked;
    data->margin = cooked.margin;
    for (const Vec3& v : cooked.coreVertices)
        data->corePoints.push_back(detail::toBt(v));
    for (const Vec3& v : cooked.hullVertices)
        data->localBounds.include(v);
    auto* mesh = new ConvexMesh(*this, std::move(data));
    convexMeshes.insert(mesh);
    return mesh;
}

TriangleMesh* Physics::createTriangleMesh(const CookedTriangleMesh& cooked) {
    const size_t triangles = cooked.indices.size() / 3;
    bool valid = !cooked.vertices.empty() && triangles > 0 && cooked.indices.size() % 3 == 0 &&
                 cooked.faceRemap.size() == triangles && cooked.vertices.size() < 0x7FFFFFFF;
    for (uint32_t i : cooked.indices)
        valid = valid && i < cooked.vertices.size();
    for (const Vec3& v : cooked.vertices)
        valid = valid && v.isFinite();
    if (!valid) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "createTriangleMesh: inconsistent cooked data");
        return nullptr;
    }
    auto data = std::make_unique<detail::TriangleMeshData>();
    data->vertices = cooked.vertices;
    data->triangles = cooked.indices;
    data->remap = cooked.faceRemap;
    for (uint32_t i : data->triangles)
        data->localBounds.include(data->vertices[i]);
    data->meshInterface = new btTriangleIndexVertexArray(
        static_cast<int>(triangles), reinterpret_cast<int*>(data->triangles.data()), 3 * static_cast<int>(sizeof(int)),
        static_cast<int>(data->vertices.size()), &data->vertices[0].x, static_cast<int>(sizeof(Vec3)));
    data->bvh = new btBvhTriangleMeshShape(data->meshInterface, true, true);
    data->triangleInfo = new btTriangleInfoMap();
    btGenerateInternalEdgeInfo(data->bvh, data->triangleInfo);
    data->bvh->setTriangleInfoMap(data->triangleInfo);
    auto* mesh = new TriangleMesh(*this, std::move(data));
    triangleMeshes.insert(mesh);
    return mesh;
}

ClothFabric* Physics::createClothFabric(const CookedClothFabric& cooked) {
    bool valid = cooked.particleCount > 0 && cooked.edges.size() == 2 * cooked.restLengths.size() &&
                 cooked.triangles.size() % 3 == 0;
    for (uint32_t i : cooked.edges)
        valid = valid && i < cooked.particleCount;
    for (uint32_t i : cooked.triangles)
        valid = valid && i < cooked.particleCount;
    for (float length : cooked.restLengths)
        valid = valid && std::isfinite(length) && length >= 0.0f;
    if (!valid) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "createClothFabric: inconsistent cooked data");
        return nullptr;
    }
    auto* fabric = new ClothFabric(*this, cooked);
    fabrics.insert(fabric);
    return fabric;
}

Cloth* Physics::createCloth(const Transform& pose, ClothFabric& fabric, const ClothParticle* particles,
                            const ClothCollisionData& collisionData, uint32_t flags) {
    Transform p;
    if (!acceptPose(foundation, pose, p, "createCloth"))
        return nullptr;
    bool valid = particles != nullptr;
    for (uint32_t i = 0; valid && i < fabric.getNbParticles(); ++i)
        valid = particles[i].pos.isFinite() && std::isfinite(particles[i].invWeight) && particles[i].invWeight >= 0.0f;
    if (!valid) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "createCloth: one particle per fabric particle, finite, with inverse weights not negative");
        return nullptr;
    }
    if (collisionData.numSpheres > 0 || collisionData.numPairs > 0)
        PHYS_REPORT(foundation, ErrorCode::Warning, "createCloth: collision spheres are not supported and are ignored");
    auto* cloth = new Cloth(*this, p, fabric, particles, flags);
    actors.insert(cloth);
    return cloth;
}

template <class T>
T* Physics::createParticles(uint32_t maxParticles, bool perParticleRestOffset, const char* operation) {
    if (maxParticles == 0 || maxParticles > 1000000) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "%s: room for 1 to 1,000,000 particles", operation);
        return nullptr;
    }
    if (perParticleRestOffset)
        PHYS_REPORT(foundation, ErrorCode::Warning, "%s: rest offsets per particle are not supported", operation);
    auto* system = new T(*this, maxParticles);
    actors.insert(system);
    return system;
}

ParticleSystem* Physics::createParticleSystem(uint32_t maxParticles, bool perParticleRestOffset) {
    return createParticles<ParticleSystem>(maxParticles, perParticleRestOffset, "createParticleSystem");
}

ParticleFluid* Physics::createParticleFluid(uint32_t maxParticles, bool perParticleRestOffset) {
    return createParticles<ParticleFluid>(maxParticles, perParticleRestOffset, "createParticleFluid");
}

Scene* Physics::createScene(const SceneDesc& desc) {
    if (!desc.isValid()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "createScene: a dispatcher, a filter shader and finite gravity are required");
        return nullptr;
    }
    auto* scene = new Scene(*this, desc);
    scenes.insert(scene);
    return scene;
}

bool initExtensions(Physics&) { return true; }

void closeExtensions() {}

} // namespace phys
