#include "physics/world/PhysicsLibraryCallbacks.h"

#include "physics/world/PhysicsManager.h"

#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/Stopwatch.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

std::mutex& errorReportMutex() {
    static std::mutex mutex;
    return mutex;
}

std::mutex& physicsWatchMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr std::size_t allocationAlignment = 16;

} // namespace

void* PhysicsAllocator::allocate(std::size_t size, const char*, const char*, int) {
    // aligned_alloc wants a multiple of the alignment.
    const std::size_t rounded = (size + allocationAlignment - 1) / allocationAlignment * allocationAlignment;
    return std::aligned_alloc(allocationAlignment, rounded == 0 ? allocationAlignment : rounded);
}

void PhysicsAllocator::deallocate(void* ptr) { std::free(ptr); }

std::string physicsErrorLine(phys::ErrorCode code, const char* message) {
    std::string line = "ERROR: [Physx]: ";
    line += std::to_string(static_cast<int>(code));
    line += " - ";
    line += message ? message : "";
    return line;
}

void PhysicsErrorCallback::reportError(phys::ErrorCode code, const char* message, const char*, int) {
    std::lock_guard<std::mutex> lock(errorReportMutex());
    // A fault of the simulation comes again each step: its first report carries the stack.
    if (logRepeatable(physicsErrorLine(code, message)))
        logCallstack();
}

void tickPhysicsStopwatch(Stopwatch* watch) {
    if (!watch)
        return;
    std::lock_guard<std::mutex> lock(physicsWatchMutex());
    watch->tick();
}

void resumePhysicsStopwatch(Stopwatch* watch) {
    if (!watch)
        return;
    std::lock_guard<std::mutex> lock(physicsWatchMutex());
    watch->resume();
}

void resetPhysicsStopwatch(Stopwatch* watch) {
    if (!watch)
        return;
    std::lock_guard<std::mutex> lock(physicsWatchMutex());
    watch->reset();
}

void pausePhysicsStopwatch(Stopwatch* watch) {
    if (!watch)
        return;
    std::lock_guard<std::mutex> lock(physicsWatchMutex());
    watch->pause();
}

void StepTimerTask::run() { pausePhysicsStopwatch(watch); }

bool PhysicsCallbacks::accept(uint32_t count) {
    if (manager.isResetting()) {
        dropped += count;
        return false;
    }
    accepted += count;
    return true;
}

void PhysicsCallbacks::onConstraintBreak(phys::ConstraintInfo*, uint32_t) {}
void PhysicsCallbacks::onWake(phys::Actor**, uint32_t) {}
void PhysicsCallbacks::onSleep(phys::Actor**, uint32_t) {}


// --- contact and trigger dispatch ------------------------------------------------------------

#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsUserData.h"
#include "core/Globals.h"

namespace {

constexpr uint32_t maxContactPoints = 1024;

bool pairShapeDeleted(const phys::ContactPair& pair) {
    return (pair.flags & (phys::DeletedShape0 | phys::DeletedShape1)) != 0;
}

PhysicsObject* physicsRoleOf(PhysicsUserData* record) {
    return record && record->physicsObject ? asPhysicsObject(record->physicsObject) : nullptr;
}

irr::core::vector3df averageContactPoint(const phys::ContactPair& pair, std::vector<phys::ContactPairPoint>& points,
                                         irr::core::vector3df* normal) {
    const uint32_t n = pair.extractContacts(points.data(), static_cast<uint32_t>(points.size()));
    irr::core::vector3df sum;
    for (uint32_t i = 0; i < n; ++i) {
        sum += toEngine(points[i].position);
        if (normal)
            *normal = toEngine(points[i].normal);
    }
    return n ? sum / static_cast<irr::f32>(n) : sum;
}

// Picks the pair that speaks for a report and the party nodes: a member of a compound
// answers for its own shapes.
const phys::ContactPair* selectContactPair(const phys::ContactPair* pairs, uint32_t count, PhysicsUserData* r0,
                                           PhysicsUserData* r1, irr::scene::ISceneNode*& node0,
                                           irr::scene::ISceneNode*& node1, phys::Shape*& touched) {
    if (count == 0)
        return nullptr;
    const phys::ContactPair* result = &pairs[0];
    bool compound = false;
    if (PhysicsObject* o0 = physicsRoleOf(r0)) {
        if (r0->compound)
            compound = true;
        else
            touched = o0->getFirstShape();
    }
    if (PhysicsObject* o1 = physicsRoleOf(r1)) {
        if (r1->compound)
            compound = true;
        else
            touched = o1->getFirstShape();
    }
    if (!compound)
        return result;
    for (uint32_t i = 0; i < count; ++i) {
        result = &pairs[i];
        if (pairShapeDeleted(pairs[i])) {
            node0 = node1 = nullptr;
            touched = nullptr;
            return result;
        }
        for (int side = 1; side >= 0; --side) {
            phys::Shape* shape = pairs[i].shapes[side];
            PhysicsUserData* own = userDataOf(shape);
            PhysicsObject* o = physicsRoleOf(own);
            if (!o)
                continue;
            const bool grabbable = o->isGrabbableNow();
            if (o == node0 || o == node1) {
                if (grabbable) {
                    (o == node0 ? node0 : node1) = o;
                }
                touched = shape;
                break;
            }
            if (own->parent && own->parent->node == node0 && grabbable) {
                node0 = o;
                touched = shape;
                break;
            }
            if (own->parent && own->parent->node == node1 && grabbable) {
                node1 = o;
                touched = shape;
                break;
            }
            if (r0->parent && r0->parent->node == o && grabbable) {
                node0 = o;
                touched = shape;
                break;
            }
            if (r1->parent && r1->parent->node == o && grabbable) {
                node1 = o;
                touched = shape;
                break;
            }
            // A member of the other party's compound: the compound's owner speaks, or the
            // member itself when it belongs to that owner.
            auto ownerOrMember = [&](irr::scene::ISceneNode*& node, PhysicsUserData* record) {
                if (!node || !record->parent)
                    return;
                node = record->parent->node;
                touched = shape;
                const auto& members = record->parent->children;
                if (std::find(members.begin(), members.end(), own) != members.end())
                    node = o;
            };
            ownerOrMember(node0, r0);
            ownerOrMember(node1, r1);
        }
    }
    return result;
}

} // namespace

std::vector<phys::ContactPairPoint>& PhysicsCallbacks::contactPoints() {
    if (pointRoom.size() < maxContactPoints)
        pointRoom.resize(maxContactPoints);
    return pointRoom;
}

void PhysicsCallbacks::dispatchTriggerContact(PhysicsUserData* trigger, phys::RigidActor* triggerActor,
                                              phys::RigidActor* otherActor, irr::scene::ISceneNode* otherNode,
                                              phys::Shape* touchedShape, const phys::ContactPair& pair) {
    PhysicsHookTable::Triggers& slots = physicsHooks().triggers;
    std::vector<phys::ContactPairPoint>& points = contactPoints();
    if (pair.events & phys::PairNotifyTouchFound) {
        irr::core::vector3df normal;
        const irr::core::vector3df position = averageContactPoint(pair, points, &normal);
        if (slots.onObjectEnter)
            if (irr::core::vector3df* recordNormal =
                    slots.onObjectEnter(trigger->node, otherNode, position, triggerActor,
                                        otherActor ? otherActor->asRigidDynamic() : nullptr, touchedShape))
                *recordNormal = normal;
    } else if ((pair.events & phys::PairNotifyTouchLost) && slots.onObjectLeave) {
        slots.onObjectLeave(trigger->node, otherNode, triggerActor, otherActor ? otherActor->asRigidDynamic() : nullptr,
                            touchedShape);
    }
}

void PhysicsCallbacks::onContact(const phys::ContactPairHeader& header, const phys::ContactPair* pairs,
                                 uint32_t count) {
    if (!accept(count))
        return;
    phys::RigidActor* actor0 = header.actors[0];
    phys::RigidActor* actor1 = header.actors[1];
    if (!actor0 || !actor1 || (header.flags & (phys::DeletedActor0 | phys::DeletedActor1)))
        return;
    PhysicsUserData* r0 = userDataOf(actor0);
    PhysicsUserData* r1 = userDataOf(actor1);
    if (!r0 || !r1 || !r0->active || !r1->active)
        return;
    irr::scene::ISceneNode* node0 = r0->node;
    irr::scene::ISceneNode* node1 = r1->node;
    if (!node0 || !node1)
        return;
    phys::Shape* touched = nullptr;
    const phys::ContactPair* pair = selectContactPair(pairs, count, r0, r1, node0, node1, touched);
    if (!pair)
        return;

    // The impulses of one step over the step time give the force.
    std::vector<phys::ContactPairPoint>& points = contactPoints();
    const uint32_t n = pair->extractContacts(points.data(), maxContactPoints);
    const float stepTime = manager.getFrameStepTime();
    phys::Vec3 force;
    for (uint32_t i = 0; i < n; ++i)
        force += stepTime > 0.0f ? points[i].impulse * (1.0f / stepTime) : points[i].impulse;
    const float forceSq = force.x * force.x + force.y * force.y + force.z * force.z;

    PhysicsUserData* first = r0;
    PhysicsUserData* second = r1;
    phys::RigidActor* firstActor = actor0;
    phys::RigidActor* secondActor = actor1;
    if (first->character) {
        std::swap(first, second);
        std::swap(firstActor, secondActor);
    }
    const bool lost = (pair->events & phys::PairNotifyTouchLost) != 0;
    const bool persists = (pair->events & phys::PairNotifyTouchPersists) != 0;
    const bool firstIsPlayerPart = first->legs || first->arms || first->player;

    if (!firstIsPlayerPart || !second->character) {
        if (first->physicsObject && second->character && !lost) {
            // A strike is where the touch begins; a resting object does not strike again.
            if (const auto& struck = physicsHooks().characters.onCharacterStruck; struck && !persists)
                struck(asPhysicsObject(first->physicsObject), second->character, firstActor, *pair);
            return;
        }
        if (first->physicsObject && second->physicsObject && node0 != node1 && !persists) {
            PhysicsUserData* f = first;
            PhysicsUserData* s = second;
            if (PhysicsUserData* own = userDataOf(pair->shapes[0]); own && own->physicsObject)
                f = own;
            if (PhysicsUserData* own = userDataOf(pair->shapes[1]); own && own->physicsObject)
                s = own;
            PhysicsObject* fo = asPhysicsObject(f->physicsObject);
            PhysicsObject* so = asPhysicsObject(s->physicsObject);
            if (!fo || !so)
                return;
            const bool begin = !lost;
            if (s->state == PhysicsState::Static) {
                fo->handleContact(so, 0.0f, begin, forceSq);
            } else if (f->state == PhysicsState::Static) {
                so->handleContact(fo, 0.0f, begin, forceSq);
            } else {
                phys::RigidDynamic* fd = fo->getActor() ? fo->getActor()->asRigidDynamic() : nullptr;
                phys::RigidDynamic* sd = so->getActor() ? so->getActor()->asRigidDynamic() : nullptr;
                if (fd && sd) {
                    const phys::Vec3 fv = fd->getLinearVelocity();
                    const phys::Vec3 sv = sd->getLinearVelocity();
                    const float speedSq = std::max(fv.x * fv.x + fv.y * fv.y + fv.z * fv.z,
                                                   sv.x * sv.x + sv.y * sv.y + sv.z * sv.z);
                    if (fd->getMass() > sd->getMass())
                        fo->handleContact(so, speedSq, begin, forceSq);
                    else
                        so->handleContact(fo, speedSq, begin, forceSq);
                }
            }
            return;
        }
        // General dispatch: trigger contacts (the limb handlers need the player's body).
        if (second->trigger && !first->trigger) {
            std::swap(first, second);
            std::swap(firstActor, secondActor);
        }
        if (first->trigger && (second->arms || second->legs || second->player || second->physicsObject)) {
            dispatchTriggerContact(first, firstActor, secondActor, second->node, touched, *pair);
            return;
        }
    }
}

void PhysicsCallbacks::onTrigger(phys::TriggerPair* pairs, uint32_t count) {
    if (!accept(count))
        return;
    PhysicsHookTable::Triggers& slots = physicsHooks().triggers;
    for (uint32_t i = 0; i < count; ++i) {
        const phys::TriggerPair& pair = pairs[i];
        if (pair.flags & (phys::DeletedTriggerShape | phys::DeletedOtherShape))
            continue;
        if (!pair.triggerShape || !pair.otherShape)
            continue;
        PhysicsUserData* triggerRecord = userDataOf(pair.triggerShape->getActor());
        if (!triggerRecord || !triggerRecord->trigger)
            continue;
        phys::RigidActor* otherActor = pair.otherShape->getActor();
        PhysicsUserData* otherRecord = userDataOf(otherActor);
        irr::scene::ISceneNode* other = otherRecord ? otherRecord->node : nullptr;
        if (PhysicsUserData* own = userDataOf(pair.otherShape))
            other = own->node;
        if (!other)
            continue;
        phys::RigidDynamic* otherDynamic = otherActor->asRigidDynamic();
        if (pair.status & phys::PairNotifyTouchFound) {
            if (slots.onObjectEnter)
                slots.onObjectEnter(triggerRecord->trigger, other, toEngine(otherActor->getGlobalPose().p),
                                    pair.triggerShape->getActor(), otherDynamic, pair.otherShape);
        } else if (pair.status & phys::PairNotifyTouchLost) {
            if (slots.onObjectLeave)
                slots.onObjectLeave(triggerRecord->trigger, other, pair.triggerShape->getActor(), otherDynamic,
                                    pair.otherShape);
        }
    }
}

void PhysicsCallbacks::onShapeHit(const phys::ControllerShapeHit& hit) {
    // A thrown or held object the controller met strikes the character (its subsystem
    // judges the strike); a free object is pushed out of a walking character's way.
    if (playerCount() == 0 || !getPlayer(0) || !hit.controller || !hit.shape || !hit.actor)
        return;
    if (const auto& struck = physicsHooks().characters.onControllerShapeHit)
        struck(hit.controller->getUserData(), hit.shape, hit.actor,
               {static_cast<irr::f32>(hit.worldPos.x), static_cast<irr::f32>(hit.worldPos.y),
                static_cast<irr::f32>(hit.worldPos.z)});
    phys::RigidDynamic* body = hit.actor->asRigidDynamic();
    PhysicsUserData* record = body ? userDataOf(body) : nullptr;
    if (!record || (hit.shape->getSimulationFilterData().word0 & 0x5u) == 0)
        return;
    const PhysicsObject* object = asPhysicsObject(record->node);
    if (!object || record->state != PhysicsState::Dynamic || object->thrown || object->holdCount != 0)
        return;
    const auto& walkingPush = physicsHooks().characters.walkingPush;
    irr::core::vector3df walk;
    irr::f32 push = 0.0f;
    if (!walkingPush || !walkingPush(hit.controller->getUserData(), walk, push))
        return;
    irr::core::vector3df direction = (walk - toEngine(hit.worldNormal)) * 0.5f;
    if (direction.getLengthSQ() > 0.0f)
        direction.normalize();
    // A heavily damped object needs a harder push to move at all.
    const irr::f32 damping = std::max(body->getLinearDamping(), body->getAngularDamping());
    if (damping > 1.0f)
        direction *= damping + 1.0f;
    const irr::core::vector3df force = direction * (push * 0.3f * 1000.0f);
    manager.addForce(toPhys(force), phys::ForceMode::Force, body, true,
                     phys::Vec3(static_cast<float>(hit.worldPos.x), static_cast<float>(hit.worldPos.y),
                                static_cast<float>(hit.worldPos.z)));
}

void PhysicsCallbacks::onControllerHit(const phys::ControllersHit& hit) {
    if (!hit.controller || !hit.other)
        return;
    if (const auto& met = physicsHooks().characters.onControllersMet)
        met(hit.controller->getUserData(), hit.other->getUserData());
}

uint32_t PhysicsCallbacks::getBehaviorFlags(const phys::Shape& shape) {
    PhysicsUserData* record = userDataRecord(shape.userData);
    if (record && record->physicsObject && !record->character && record->state == PhysicsState::Kinematic)
        return phys::BehaviorCanRideOnObject;
    return phys::BehaviorUserDefinedRide;
}
