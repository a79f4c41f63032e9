#pragma once

// The physics-library layer: the rigid-body world the game's physics code is written
// against, implemented on Bullet (single precision). No game or engine header is used here.
//
// The game's physics code was designed against a physics SDK whose names begin with "Px".
// Each name it uses maps to a layer name below (same meaning, same flag and enum numbers),
// so a call in that code translates one for one.
//
//   SDK name                                        layer name
//   ----------------------------------------------  ---------------------------------------------
//   PxCreateFoundation, PxFoundation                Foundation::create, Foundation
//   PxAllocatorCallback, PxErrorCallback            Allocator, ErrorHandler
//   PxErrorCode                                     ErrorCode
//   PxCreateBasePhysics, PxPhysics                  Physics::create, Physics
//   PxRegisterArticulations, PxRegisterHeightFields (not needed: leave the calls out)
//   PxTolerancesScale                               Tolerances
//   PxInitExtensions, PxCloseExtensions             initExtensions, closeExtensions
//   PxCreateCooking, PxCooking, PxCookingParams     Cooking::create, Cooking, CookingParams
//   PxCooking::cookConvexMesh / cookTriangleMesh    Cooking::cookConvexMesh / cookTriangleMesh
//   PxConvexMeshDesc, PxTriangleMeshDesc            ConvexMeshDesc, TriangleMeshDesc
//   PxBoundedData / PxStridedData                   BoundedData
//   PxConvexFlag::eCOMPUTE_CONVEX, PxMeshFlag::e16_BIT_INDICES   ConvexComputeConvex, MeshIndices16
//   PxConvexFlag bit 0x20 (uncompressed normals)    ConvexUncompressedNormals
//   PxDefaultMemoryOutputStream / InputData         CookedConvex, CookedTriangleMesh (in memory)
//   PxPhysics::createConvexMesh / createTriangleMesh  Physics::createConvexMesh / createTriangleMesh
//   PxConvexMesh, PxTriangleMesh (::release)        ConvexMesh, TriangleMesh (::release)
//   PxDefaultCpuDispatcherCreate, PxCpuDispatcher   Dispatcher::create, Dispatcher
//   PxSceneDesc, PxSceneFlag                        SceneDesc, SceneDesc::flags (kept, no effect)
//   PxPhysics::createScene, PxScene                 Physics::createScene, Scene
//   PxScene::addActor / simulate / fetchResults / checkResults / flush / getGravity / release
//                                                   Scene:: same names
//   PxLightCpuTask (completion task of simulate)    CompletionTask
//   PxScene::setVisualizationParameter / setVisualizationCullingBox / getRenderBuffer
//                                                   Scene:: same names
//   PxVisualizationParameter::eSCALE / eCOLLISION_SHAPES / eCULL_BOX
//                                                   VisualizationParameter::Scale / CollisionShapes / CullBox
//   PxRenderBuffer, PxDebugLine                     RenderBuffer, DebugLine
//   PxSimulationStatistics, PxScene::getSimulationStatistics
//                                                   SimulationStatistics, Scene::getSimulationStatistics
//   PxScene::raycastSingle, PxScene::sweepSingle    Scene::raycastSingle, Scene::sweepSingle
//   PxSceneQueryFilterCallback (preFilter, postFilter)  QueryFilterCallback
//   PxSceneQueryHitType (eNONE, eTOUCH, eBLOCK)     QueryHitType (None, Touch, Block)
//   PxSceneQueryFilterData, PxSceneQueryFilterFlag  QueryFilterData, QueryFlag (QueryStatic ...)
//   PxSceneQueryFlag (eIMPACT, eNORMAL ...)         HitFlag (HitImpact, HitNormal ...)
//   PxSceneQueryHit, PxRaycastHit, PxSweepHit       QueryHit, RaycastHit, SweepHit
//   PxMaterial, PxPhysics::createMaterial           Material, Physics::createMaterial
//   PxMaterial::getStaticFriction / getDynamicFriction / getRestitution   Material:: same names
//   PxActor, PxActor::getType / release / getWorldBounds / setActorFlag   Actor:: same names
//   PxActor::isKindOf("PxRigidActor"), is<...>      Actor::isRigidActor, asRigidActor, asRigidDynamic
//   PxActorType::eRIGID_STATIC / eRIGID_DYNAMIC     ActorType::RigidStatic / RigidDynamic
//   PxActorFlag::eDISABLE_GRAVITY                   ActorFlag::DisableGravity
//   PxRigidActor, getGlobalPose / setGlobalPose / getNbShapes / getShapes / createShape
//                                                   RigidActor:: same names
//   PxRigidStatic, PxPhysics::createRigidStatic     RigidStatic, Physics::createRigidStatic
//   PxRigidBody, getMass / setMass / setMassSpaceInertiaTensor / setCMassLocalPose /
//   get/setLinearVelocity / get/setAngularVelocity / addForce / addTorque / clearForce
//                                                   RigidBody:: same names
//   PxForceMode (eFORCE, eIMPULSE, eVELOCITY_CHANGE, eACCELERATION)   ForceMode (same order)
//   PxRigidDynamic, PxPhysics::createRigidDynamic   RigidDynamic, Physics::createRigidDynamic
//   PxRigidDynamic::setKinematicTarget / get/setRigidDynamicFlag / setLinearDamping /
//   setAngularDamping / wakeUp / putToSleep / isSleeping / setSolverIterationCounts
//                                                   RigidDynamic:: same names
//   PxRigidDynamicFlag::eKINEMATIC                  RigidDynamicFlag::Kinematic
//   PxRigidBodyExt::setMassAndUpdateInertia / updateMassAndInertia / addForceAtPos
//                                                   setMassAndUpdateInertia / updateMassAndInertia / addForceAtPos
//   PxShape, getGeometryType / getBoxGeometry / getSphereGeometry / getCapsuleGeometry /
//   getConvexMeshGeometry / getGeometry / get/setLocalPose / getActor /
//   get/setSimulationFilterData / get/setQueryFilterData / setFlag / getFlags /
//   getNbMaterials / getMaterials / setMaterials    Shape:: same names
//   PxShapeFlag (eSIMULATION_SHAPE, eSCENE_QUERY_SHAPE, eTRIGGER_SHAPE)
//                                                   ShapeFlag (ShapeSimulation, ShapeSceneQuery, ShapeTrigger)
//   PxGeometryType, PxGeometry, PxGeometryHolder    GeometryType, Geometry, GeometryHolder
//   PxBoxGeometry, PxSphereGeometry, PxCapsuleGeometry, PxConvexMeshGeometry, PxTriangleMeshGeometry
//                                                   BoxGeometry, SphereGeometry, CapsuleGeometry,
//                                                   ConvexMeshGeometry, TriangleMeshGeometry
//   PxTransform, PxVec3, PxQuat, PxExtendedVec3, PxBounds3   Transform, Vec3, Quat, ExtVec3, Bounds3
//   PxFilterData, PxFilterFlags / PxFilterFlag      FilterData, FilterFlags / FilterFlag (FilterKill ...)
//   PxPairFlags / PxPairFlag                        PairFlags / PairFlag (PairSolveContact ...)
//   PxFilterObjectAttributes, PxFilterObjectFlag    FilterObjectAttributes, FilterObjectFlag
//   PxSimulationFilterShader                        FilterShader
//   PxSimulationFilterCallback (pairFound, pairLost, statusChange)   SimulationFilterCallback
//   PxSimulationEventCallback (onConstraintBreak, onWake, onSleep, onContact, onTrigger)
//                                                   SimulationEventCallback
//   PxContactPairHeader, PxContactPair, PxContactPair::extractContacts, PxContactPairPoint
//                                                   ContactPairHeader, ContactPair, extractContacts, ContactPairPoint
//   PxContactPairHeaderFlag::eDELETED_ACTOR_0/1     ContactPairHeaderFlag::DeletedActor0/1
//   PxContactPairFlag::eDELETED_SHAPE_0/1           ContactPairFlag::DeletedShape0/1
//   PxTriggerPair, PxTriggerPairFlag                TriggerPair, TriggerPairFlag
//   PxConstraintInfo                                ConstraintInfo
//   PxJoint, release / setBreakForce / getBreakForce / setConstraintFlag / getConstraintFlags /
//   getActors / getLocalPose / setLocalPose         Joint:: same names
//   PxConstraintFlag (eBROKEN, ePROJECTION, eCOLLISION_ENABLED)
//                                                   ConstraintFlag (ConstraintBroken, ConstraintProjection,
//                                                   ConstraintCollisionEnabled)
//   PxJointType                                     JointType
//   PxJointLimitParameters, PxJointLimit, PxJointLimitPair, PxJointLimitCone (::isValid)
//                                                   JointLimitParameters, JointLimit, JointLimitPair, JointLimitCone
//   PxD6JointCreate, PxD6Joint, setMotion / setLinearLimit / setTwistLimit / setSwingLimit /
//   setDrive / setDrivePosition / setDriveVelocity  createD6Joint, D6Joint:: same names
//   PxD6Axis, PxD6Motion, PxD6Drive, PxD6JointDrive, PxD6JointDriveFlag::eACCELERATION
//                                                   D6Axis, D6Motion, D6Drive, D6JointDrive, D6DriveAcceleration
//   PxDistanceJointCreate, PxDistanceJoint, setMinDistance / setMaxDistance / setSpring /
//   setDamping / setDistanceJointFlag               createDistanceJoint, DistanceJoint:: same names
//   PxDistanceJointFlag (eMIN_, eMAX_DISTANCE_ENABLED, eSPRING_ENABLED)
//                                                   DistanceJointFlag (DistanceMinEnabled ...)
//   PxFixedJointCreate, PxFixedJoint, setProjectionLinearTolerance / setProjectionAngularTolerance
//                                                   createFixedJoint, FixedJoint:: same names
//   PxPrismaticJointCreate, PxPrismaticJoint, setLimit / setPrismaticJointFlag
//                                                   createPrismaticJoint, PrismaticJoint:: same names
//   PxRevoluteJointCreate, PxRevoluteJoint, setLimit / setRevoluteJointFlag
//                                                   createRevoluteJoint, RevoluteJoint:: same names
//   PxSphericalJointCreate, PxSphericalJoint, setLimitCone / setSphericalJointFlag
//                                                   createSphericalJoint, SphericalJoint:: same names
//   PxPrismatic/Revolute/SphericalJointFlag::eLIMIT_ENABLED
//                                                   PrismaticLimitEnabled, RevoluteLimitEnabled, SphericalLimitEnabled
//   PxContactModifyCallback                         (not needed: never installed)
//   PxClothMeshDesc, PxCooking::cookClothFabric     ClothMeshDesc, Cooking::cookClothFabric (into CookedClothFabric)
//   PxPhysics::createClothFabric, PxClothFabric     Physics::createClothFabric, ClothFabric
//   PxPhysics::createCloth, PxCloth, PxClothParticle, PxClothCollisionData
//                                                   Physics::createCloth, Cloth, ClothParticle, ClothCollisionData
//   PxCloth::getNbParticles / lockParticleData (PxClothReadData::unlock) / setParticles /
//   getGlobalPose / setGlobalPose / setSolverFrequency / setExternalAcceleration
//                                                   Cloth:: same names, ClothReadData::unlock
//   PxActorType::eCLOTH                             ActorType::Cloth
//   PxPhysics::createParticleSystem / createParticleFluid, PxParticleSystem, PxParticleFluid,
//   PxParticleBase (createParticles, releaseParticles, setPositions, setVelocities,
//   lockParticleReadData, setParticleReadDataFlag, setGridSize, setMaxMotionDistance,
//   setRestOffset, setContactOffset, setParticleMass, setDamping, setRestitution,
//   setStaticFriction, setDynamicFriction, setSimulationFilterData), PxParticleFluid (setViscosity,
//   setStiffness, setRestParticleDistance)          Physics:: / ParticleSystem, ParticleFluid,
//                                                   ParticleBase:: same names
//   PxParticleCreationData, PxParticleReadData (unlock), PxStrided(Data/Iterator)
//                                                   ParticleCreationData, ParticleReadData, StridedData
//   PxParticleFlag::eVALID, PxParticleReadDataFlag  ParticleValid, ParticleReadDataFlag (ParticleReadPositions ...)
//   PxActorType::ePARTICLE_SYSTEM / ePARTICLE_FLUID ActorType::ParticleSystem / ParticleFluid
//   PxGeometryQuery::overlap                        GeometryQuery::overlap
//   PxBuildSmoothNormals                            buildSmoothNormals
//   PxCreateControllerManager, PxControllerManager (createController, computeInteractions, release)
//                                                   ControllerManager::create, ControllerManager:: same names
//   PxCapsuleControllerDesc, PxExtendedVec3         CapsuleControllerDesc, ExtVec3
//   PxController, PxCapsuleController (move, setPosition, getPosition, getFootPosition, getActor,
//   setInteraction, getUserData, release)           Controller:: same names
//   PxControllerFilters, PxControllerFilterCallback ControllerFilters, ControllerFilterCallback
//   PxCCTInteractionMode (eINCLUDE, eEXCLUDE, eUSE_FILTER)   InteractionMode (Include, Exclude, UseFilter)
//   PxCapsuleClimbingMode (eEASY, eCONSTRAINED)     ClimbingMode (Easy, Constrained)
//   PxControllerFlag (eCOLLISION_SIDES, _UP, _DOWN) ControllerFlag (ControllerCollisionSides ...)
//   PxUserControllerHitReport (onShapeHit, onControllerHit, onObstacleHit)   ControllerHitReport
//   PxControllerShapeHit, PxControllersHit, PxControllerObstacleHit
//                                                   ControllerShapeHit, ControllersHit, ControllerObstacleHit
//   PxControllerBehaviorCallback (getBehaviorFlags), PxControllerBehaviorFlag
//                                                   ControllerBehaviorCallback, BehaviorFlag (BehaviorCanRide...)
//
// Threads: call everything from the main thread. The filter shader and filter callback run
// inside Scene::simulate, the event callback inside Scene::fetchResults, query filters inside
// the query and controller reports inside Controller::move, all on the calling thread; only
// a CompletionTask runs on the worker.
//
// Differences from the SDK worth knowing: contact points are at most four per shape pair;
// contacts use the dynamic friction; a pair resolves contacts or not for the whole actor pair;
// kill and suppress act alike; sleeping follows Bullet's rest timer of 0.4 s.
// Joints: several limited linear D6 axes and two-angle cones are bounded by boxes; the middle
// Euler axis keeps its limits below 90 degrees; drives are springs and motors of their own
// model; contact distances and projection do not act (projection buys solver iterations);
// breaking is judged from the forces of the step just solved. Controllers: the layer's own
// sweeps (easy climbing mode, no obstacles); onShapeHit comes after the move. Cloth: a soft
// body that collides with nothing. Particles: one ray per particle and step, one way; fluids
// move like particle systems.

#include "phys/Actor.h"
#include "phys/Cloth.h"
#include "phys/Controller.h"
#include "phys/Cooking.h"
#include "phys/Dispatcher.h"
#include "phys/Filtering.h"
#include "phys/Foundation.h"
#include "phys/Geometry.h"
#include "phys/GeometryQuery.h"
#include "phys/Joint.h"
#include "phys/JointKinds.h"
#include "phys/Material.h"
#include "phys/MathTypes.h"
#include "phys/Meshes.h"
#include "phys/Particles.h"
#include "phys/Physics.h"
#include "phys/RigidBody.h"
#include "phys/Scene.h"
#include "phys/SceneQuery.h"
#include "phys/Shape.h"
#include "phys/SimulationEvents.h"
#include "phys/Visualization.h"
