#pragma once

#include "phys/Geometry.h"
#include "phys/MathTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

// Actors: the objects a scene simulates. Rigid actors carry shapes; a static actor never
// moves by itself, a dynamic one is simulated or, when kinematic, follows its targets.
//
// Every call is legal while a step is in flight: reads return the state before the step or
// what the caller wrote since, writes are applied when the step's results have been fetched
// and win over the simulated values.

namespace phys {

class Joint;
class Material;
class Physics;
class RigidActor;
class RigidDynamic;
class RigidStatic;
class Scene;
class Shape;
namespace detail {
class JointSet;
struct RigidBack;
class SceneCore;
}

enum class ActorType : int {
    RigidStatic = 0,
    RigidDynamic = 1,
    ParticleSystem = 2,
    ParticleFluid = 3,
    Cloth = 5,
};

enum class ActorFlag : uint32_t {
    Visualization = 1u << 0,
    DisableGravity = 1u << 1,
};

class Actor {
public:
    ActorType getType() const { return type; }
    bool isRigidActor() const { return type == ActorType::RigidStatic || type == ActorType::RigidDynamic; }
    RigidActor* asRigidActor();
    const RigidActor* asRigidActor() const;
    RigidDynamic* asRigidDynamic();
    const RigidDynamic* asRigidDynamic() const;
    RigidStatic* asRigidStatic();

    // Outside a scene the actor goes at once. In a scene it leaves the scene and queries at
    // once; its memory stays until the reports of its removal have been delivered.
    void release();

    Scene* getScene() const { return scene; }
    Physics& getPhysics() const { return physics; }

    // Bounds of the shapes at the current pose, not inflated by any margin.
    virtual Bounds3 getWorldBounds() const = 0;

    void setActorFlag(ActorFlag flag, bool value);
    bool getActorFlag(ActorFlag flag) const { return (actorFlags & static_cast<uint32_t>(flag)) != 0; }
    uint32_t getActorFlags() const { return actorFlags; }

    // True once released; the object is then only kept for pending reports.
    bool isReleased() const { return released; }

    void* userData = nullptr;

protected:
    Actor(Physics& physics, ActorType type);
    virtual ~Actor();
    virtual void actorFlagsChanged() {}

    friend class Physics;
    friend class detail::SceneCore;

    Physics& physics;
    Scene* scene = nullptr;
    ActorType type;
    uint32_t actorFlags = static_cast<uint32_t>(ActorFlag::Visualization);
    bool released = false;
};

class RigidActor : public Actor {
public:
    // Pose of the actor frame (not of the centre of mass).
    Transform getGlobalPose() const { return pose; }
    // Teleports; kinematic actors too (without velocity). Refuses non-finite or non-unit poses.
    void setGlobalPose(const Transform& pose, bool autowake = true);

    // Attaches a new shape. Null (with an error) for an invalid geometry, pose or material
    // list, and for a triangle mesh on a dynamic actor that is not kinematic.
    Shape* createShape(const Geometry& geometry, Material* const* materials, uint32_t materialCount,
                       const Transform& localPose = Transform());
    Shape* createShape(const Geometry& geometry, Material& material, const Transform& localPose = Transform());

    uint32_t getNbShapes() const { return static_cast<uint32_t>(shapes.size()); }
    // Copies shapes from index start, in creation order; returns how many were written.
    uint32_t getShapes(Shape** buffer, uint32_t bufferSize, uint32_t start = 0) const;

    Bounds3 getWorldBounds() const override;

    detail::RigidBack& back() const { return *back_; }
    // Internal: records a change that the scene applies to the simulation at its next step.
    void markDirty(uint32_t dirtyBits);
    uint32_t dirtyBits() const { return dirty; }

protected:
    RigidActor(Physics& physics, ActorType type, const Transform& pose);
    ~RigidActor() override;
    void actorFlagsChanged() override;
    virtual bool acceptsTriangleMeshes() const { return true; }
    // An autowake write: dynamic actors wake up.
    virtual void wakeFromUser() {}

    friend class Actor;
    friend class Shape;
    friend class Joint;
    friend class detail::JointSet;
    friend class detail::SceneCore;
    void attachJoint(Joint& joint) { attachedJoints.push_back(&joint); }
    void detachJoint(Joint& joint);
    // Tells the joints that the actor goes away (outside a scene).
    void detachAllJoints();

    Transform pose;
    std::vector<Joint*> attachedJoints;
    std::vector<Shape*> shapes;
    uint32_t dirty = 0;
    bool inDirtyList = false;
    std::unique_ptr<detail::RigidBack> back_;
};

class RigidStatic : public RigidActor {
private:
    friend class Physics;
    RigidStatic(Physics& physics, const Transform& pose) : RigidActor(physics, ActorType::RigidStatic, pose) {}
};

} // namespace phys
