#include "physics/world/PhysicsLibraryCallbacks.h"

#include "physics/world/PhysicsManager.h"

#include "core/Log.h"
#include "core/Stopwatch.h"

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
    logMessage(physicsErrorLine(code, message));
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

void StepTimerTask::run() { tickPhysicsStopwatch(watch); }

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

void PhysicsCallbacks::onContact(const phys::ContactPairHeader&, const phys::ContactPair*, uint32_t count) {
    accept(count);
}

void PhysicsCallbacks::onTrigger(phys::TriggerPair*, uint32_t count) { accept(count); }
