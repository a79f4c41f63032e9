#pragma once

#include "phys/Cooking.h"
#include "phys/MathTypes.h"

#include <memory>
#include <unordered_set>
#include <vector>

// The physics object: tolerances, materials, actors, meshes and scenes are made here.
// Releasing it frees whatever of these is left.

namespace phys {

class Actor;
class Cloth;
class ClothFabric;
class ConvexMesh;
class ParticleFluid;
class ParticleSystem;
class Foundation;
class Joint;
class Material;
class RigidDynamic;
class RigidStatic;
class Scene;
class TriangleMesh;
struct ClothCollisionData;
struct ClothParticle;
struct SceneDesc;

class Physics {
public:
    // Null on invalid tolerances (length and mass must be positive, speed not negative).
    static Physics* create(Foundation& foundation, const Tolerances& tolerances);
    void release();

    Foundation& getFoundation() const { return foundation; }
    const Tolerances& getTolerancesScale() const { return tolerances; }

    Material* createMaterial(float staticFriction, float dynamicFriction, float restitution);
    uint32_t getNbMaterials() const { return static_cast<uint32_t>(materials.size()); }

    // Null for a pose that is not finite or whose rotation is not of unit length.
    RigidStatic* createRigidStatic(const Transform& pose);
    RigidDynamic* createRigidDynamic(const Transform& pose);

    // Null when the cooked data is inconsistent.
    ConvexMesh* createConvexMesh(const CookedConvex& cooked);
    TriangleMesh* createTriangleMesh(const CookedTriangleMesh& cooked);

    // Null when the cooked data is inconsistent.
    ClothFabric* createClothFabric(const CookedClothFabric& cooked);
    // A cloth of the fabric's particles (one per fabric particle, in the cloth's frame at
    // pose). Null for an invalid pose or particle. Collision spheres are not supported.
    Cloth* createCloth(const Transform& pose, ClothFabric& fabric, const ClothParticle* particles,
                       const ClothCollisionData& collisionData, uint32_t flags);

    // Particle systems and fluids with room for maxParticles (1 .. 1,000,000). Rest offsets per
    // particle are not supported (a warning; one rest offset serves all).
    ParticleSystem* createParticleSystem(uint32_t maxParticles, bool perParticleRestOffset = false);
    ParticleFluid* createParticleFluid(uint32_t maxParticles, bool perParticleRestOffset = false);

    // Null for an invalid descriptor.
    Scene* createScene(const SceneDesc& desc);

    // Internal bookkeeping of what this object frees on release.
    void forgetActor(Actor& actor) { actors.erase(&actor); }
    void forgetMesh(ConvexMesh& mesh) { convexMeshes.erase(&mesh); }
    void forgetMesh(TriangleMesh& mesh) { triangleMeshes.erase(&mesh); }
    void forgetScene(Scene& scene) { scenes.erase(&scene); }
    void rememberJoint(Joint& joint) { joints.insert(&joint); }
    void forgetJoint(Joint& joint) { joints.erase(&joint); }
    void forgetFabric(ClothFabric& fabric) { fabrics.erase(&fabric); }

private:
    Physics(Foundation& foundation, const Tolerances& tolerances);
    ~Physics();
    template <class T>
    T* createRigid(const Transform& pose, const char* operation);
    template <class T>
    T* createParticles(uint32_t maxParticles, bool perParticleRestOffset, const char* operation);

    Foundation& foundation;
    Tolerances tolerances;
    std::vector<std::unique_ptr<Material>> materials;
    std::unordered_set<Actor*> actors;
    std::unordered_set<ConvexMesh*> convexMeshes;
    std::unordered_set<TriangleMesh*> triangleMeshes;
    std::unordered_set<Scene*> scenes;
    std::unordered_set<Joint*> joints;
    std::unordered_set<ClothFabric*> fabrics;
};

// Kept for the caller's start-up and shut-down order; nothing to do on this library.
bool initExtensions(Physics& physics);
void closeExtensions();

} // namespace phys
