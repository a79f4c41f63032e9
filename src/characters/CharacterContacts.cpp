// What happens when a physics object strikes a character: a thrown or held object that
// hits hard enough raises suspicion by the character type's rule, and the character reacts;
// a walking character pushes what its controller meets, and of two that stand, one walks on.
#include "characters/CharacterContacts.h"

#include "characters/CharacterObject.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionRules.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"

#include "core/Globals.h"
#include "level/LevelManager.h"

#include <cmath>
#include <vector>

using namespace irr;

namespace {

std::vector<phys::ContactPairPoint> contactPointsOf(const phys::ContactPair& pair) {
    std::vector<phys::ContactPairPoint> points(pair.contactCount > 0 ? pair.contactCount : 1);
    points.resize(pair.extractContacts(points.data(), static_cast<u32>(points.size())));
    return points;
}

// The average contact point of the pair; false when it has none.
bool averageContactPointOn(const phys::ContactPair& pair, core::vector3df& point) {
    const std::vector<phys::ContactPairPoint> points = contactPointsOf(pair);
    if (points.empty())
        return false;
    core::vector3df sum;
    for (const phys::ContactPairPoint& p : points)
        sum += toEngine(p.position);
    point = sum / static_cast<f32>(points.size());
    return true;
}

// How fast the object struck: contacts are reported after the step that solved them, so
// the speed the contact took away (its impulse over the object's mass, which pushed the
// object away from the character) is given back to the speed it has now.
f32 impactSpeed(phys::RigidDynamic& body, const phys::ContactPair& pair, const core::vector3df& character) {
    const phys::Vec3 v = body.getLinearVelocity();
    core::vector3df velocity = toEngine(v);
    core::vector3df impulse;
    for (const phys::ContactPairPoint& p : contactPointsOf(pair))
        impulse += toEngine(p.impulse);
    const f32 mass = body.getMass();
    if (mass > 0.0f && impulse.getLengthSQ() > 0.0f) {
        core::vector3df away = toEngine(body.getGlobalPose().p) - character;
        if (away.getLengthSQ() > 0.0f)
            velocity -= away.normalize() * (impulse.getLength() / mass);
    }
    return velocity.getLength();
}

// The rule of the kind, the speed test, and the raise at the point; the character reacts
// when it went through.
bool raiseStruckSuspicion(CharacterObject& character, SuspicionMeter& meter, SuspicionType kind, f32 speed,
                          bool strictlyAbove, const core::vector3df* point) {
    const SuspicionRule rule = getSuspicionValues(character.CharacterSuspicionType, kind);
    const bool fastEnough = strictlyAbove ? speed > rule.speedThreshold : speed >= rule.speedThreshold;
    if (!fastEnough || character.stateMachine().current == reactingState())
        return false;
    if (!point || gameDifficulty == 0)
        return false;
    if (!addSuspicion(*point, meter, rule.amount, kind))
        return false;
    character.updateHitSide(*point);
    character.stateMachine().changeState(reactingState());
    return true;
}

// The reaction to an object that struck the character at the speed (the point: where, or
// null when the contact gave none).
bool reactToStrike(PhysicsObject& object, CharacterObject& character, f32 speed, const core::vector3df* point) {
    // Suspicion is the player's: without player 0 nothing is raised.
    if (playerCount() == 0 || !getPlayer(0) || !levelManager)
        return false;
    SuspicionMeter* meter = levelManager->getPlayerSuspicion(0);
    if (!meter)
        return false;
    if (object.getPhysicsState() == PhysicsState::Kinematic) {
        if (object.TurnDynamicOnTouch)
            object.setCompoundKinematic(false);
        return true;
    }
    if (object.thrown) {
        if (raiseStruckSuspicion(character, *meter, ST_HitByThrown, speed, false, point)) {
            object.thrown = false;
            object.suspicion().displayTimer = 2.0f;
        }
        return true;
    }
    if (object.holdCount > 0)
        raiseStruckSuspicion(character, *meter, ST_HitByGrabbed, speed, true, point);
    return true;
}

} // namespace

bool onCharacterStruck(PhysicsObject* object, scene::ISceneNode* characterNode, phys::RigidActor* objectActor,
                       const phys::ContactPair& pair) {
    CharacterObject* character = asCharacter(characterNode);
    if (!object || !character)
        return false;
    f32 speed = 0.0f;
    if (phys::RigidDynamic* dynamic = objectActor ? objectActor->asRigidDynamic() : nullptr)
        speed = impactSpeed(*dynamic, pair, character->getControllerPosition());
    core::vector3df point;
    const bool touched = averageContactPointOn(pair, point);
    return reactToStrike(*object, *character, speed, touched ? &point : nullptr);
}

void onCharacterRanInto(CharacterObject* character, phys::Shape* shape, phys::RigidActor* actor,
                        const core::vector3df& position) {
    PhysicsUserData* record = shape ? userDataOf(shape) : nullptr;
    if (!record && actor)
        record = userDataOf(actor);
    if (!character || !record || record->character || !record->physicsObject)
        return;
    PhysicsObject* object = asPhysicsObject(record->physicsObject);
    phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    // Only a thrown or held object strikes; whatever else the capsule touches is no strike
    // (a free object is pushed aside by the physics dispatch).
    if (!object || !dynamic || object->getPhysicsState() == PhysicsState::Kinematic ||
        (!object->thrown && object->holdCount == 0))
        return;
    // The controller meets the object before the step solves the contact: its speed is the
    // speed it came in with.
    const phys::Vec3 v = dynamic->getLinearVelocity();
    reactToStrike(*object, *character, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), &position);
}

bool walkingPush(const CharacterObject* character, core::vector3df& walkVector, f32& pushValue) {
    if (!character || character->stateMachine().current != walkingState())
        return false;
    walkVector = character->Direction;
    pushValue = character->pushSpeed;
    return true;
}

void onCharactersMet(CharacterObject* own, CharacterObject* other) {
    if (!own || !other)
        return;
    CharacterStateMachine& mine = own->stateMachine();
    CharacterStateMachine& theirs = other->stateMachine();
    if (mine.current != stoppedState() || theirs.current != stoppedState())
        return;
    // Set directly, without the change procedure: the one that meant to walk just goes on.
    if (mine.global != stoppedState())
        mine.current = walkingState();
    else if (theirs.global != stoppedState())
        theirs.current = walkingState();
}
