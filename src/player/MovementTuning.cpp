#include "player/MovementTuning.h"

#include "core/Log.h"
#include "core/XmlFile.h"

#include <cmath>
#include <string>

namespace {

struct TuningKey {
    const char* name;
    irr::f32 MovementTuning::*number;
    irr::core::vector3df MovementTuning::*vector;
};

#define PADDLESTONE_NUMBER(key) {#key, &MovementTuning::key, nullptr}
#define PADDLESTONE_VECTOR(key) {#key, nullptr, &MovementTuning::key}
constexpr TuningKey tuningKeys[] = {
    PADDLESTONE_NUMBER(ArmSpeed),
    PADDLESTONE_NUMBER(ArmSpeedMax),
    PADDLESTONE_NUMBER(ArmSpeedMin),
    PADDLESTONE_NUMBER(GrabSpeed),
    PADDLESTONE_NUMBER(MaxTipRaiseAmount),
    PADDLESTONE_NUMBER(MinTipRaiseAmount),
    PADDLESTONE_NUMBER(TipRaiseAmountMult),
    PADDLESTONE_NUMBER(ThrowThreshold),
    PADDLESTONE_NUMBER(ThrowForce),
    PADDLESTONE_NUMBER(MaxThrowForce),
    PADDLESTONE_NUMBER(ArmDamping),
    PADDLESTONE_NUMBER(LegFallSpeed),
    PADDLESTONE_NUMBER(LegDeceleration),
    PADDLESTONE_NUMBER(LegExtensionFalloff),
    PADDLESTONE_NUMBER(LegRaisingSpeed),
    PADDLESTONE_NUMBER(LegHorizontalSpeed),
    PADDLESTONE_NUMBER(LegSpeedMax),
    PADDLESTONE_NUMBER(LegDamping),
    PADDLESTONE_NUMBER(TorsoUpwardForce),
    PADDLESTONE_NUMBER(MinTorsoUpwardForce),
    PADDLESTONE_NUMBER(TorsoDamping),
    PADDLESTONE_NUMBER(SuspicionJetDecrementAmount),
    PADDLESTONE_NUMBER(JetImpulseUpwardForce),
    PADDLESTONE_NUMBER(JetImpulseForwardForce),
    PADDLESTONE_NUMBER(JetContinuedUpwardForce),
    PADDLESTONE_NUMBER(JetContinuedForwardForce),
    PADDLESTONE_NUMBER(SlipPhase1Time),
    PADDLESTONE_NUMBER(SlipPhase1HorizontalSpeed),
    PADDLESTONE_NUMBER(SlipPhase2Time),
    PADDLESTONE_NUMBER(SlipPhase2TripHazardSlowPercentage),
    PADDLESTONE_NUMBER(SlipPhase2FeetSlowPercentage),
    PADDLESTONE_NUMBER(SlipPhase3Time),
    PADDLESTONE_VECTOR(SlipPhase3TripHazardImpulseForce),
    PADDLESTONE_VECTOR(SlipPhase3FeetImpulseForce),
    PADDLESTONE_VECTOR(SlipPhase3TorsoImpulseForce),
    PADDLESTONE_NUMBER(SlipPhase4Time),
    PADDLESTONE_VECTOR(SlipPhase4TorsoForce),
    PADDLESTONE_VECTOR(Gravity),
};
#undef PADDLESTONE_NUMBER
#undef PADDLESTONE_VECTOR
static_assert(std::size(tuningKeys) == MovementTuning::keyCount);

// The engine's reader tries again when the file is busy; so does the game, a few times.
constexpr int openAttempts = 10;

// Far beyond any tuning value (the largest forces are a few ten thousands): a value out
// here, or one that is not a number, comes from a damaged file.
constexpr irr::f32 saneTuningLimit = 1.0e6f;

bool isSaneTuning(irr::f32 value) {
    return std::isfinite(value) && std::fabs(value) <= saneTuningLimit;
}

bool isSaneTuning(const irr::core::vector3df& value) {
    return isSaneTuning(value.X) && isSaneTuning(value.Y) && isSaneTuning(value.Z);
}

void logInsaneTuning(const char* key, const std::string& value, const std::string& fallback) {
    logMessage(std::string(logWarningPrefix) + "Movement tuning \"" + key + "\" has the value " +
               value + ", which is out of any sane range; using " + fallback + ".");
}

std::string describeTuning(const irr::core::vector3df& value) {
    return std::to_string(value.X) + ", " + std::to_string(value.Y) + ", " + std::to_string(value.Z);
}

} // namespace

const char* MovementTuning::keyName(int index) {
    return index >= 0 && index < keyCount ? tuningKeys[index].name : "";
}

void MovementTuning::exchangeTuning(irr::io::IAttributes* attributes) {
    if (!attributes)
        return;
    for (const TuningKey& key : tuningKeys) {
        const bool present = attributes->existsAttribute(key.name);
        // A value that is not sane leaves the one held (the default) in place, in the
        // attributes too.
        if (key.number) {
            const irr::f32 value = present ? attributes->getAttributeAsFloat(key.name) : 0.0f;
            if (present && isSaneTuning(value)) {
                this->*key.number = value;
            } else if (present) {
                logInsaneTuning(key.name, std::to_string(value), std::to_string(this->*key.number));
                attributes->setAttribute(key.name, this->*key.number);
            } else {
                attributes->addFloat(key.name, this->*key.number);
            }
        } else {
            const irr::core::vector3df value =
                present ? attributes->getAttributeAsVector3d(key.name) : irr::core::vector3df();
            if (present && isSaneTuning(value)) {
                this->*key.vector = value;
            } else if (present) {
                logInsaneTuning(key.name, describeTuning(value), describeTuning(this->*key.vector));
                attributes->setAttribute(key.name, this->*key.vector);
            } else {
                attributes->addVector3d(key.name, this->*key.vector);
            }
        }
    }
}

irr::io::IAttributes* loadMovementTuning(irr::io::IFileSystem* fileSystem, MovementTuning& tuning, const char* path) {
    if (!fileSystem)
        return nullptr;
    irr::io::IXMLReader* reader = nullptr;
    for (int attempt = 0; attempt < openAttempts && !reader; ++attempt)
        reader = createGuardedXMLReader(fileSystem, path);
    irr::io::IAttributes* attributes = fileSystem->createEmptyAttributes();
    if (!attributes) {
        if (reader)
            reader->drop();
        return nullptr;
    }
    bool read = false;
    if (reader) {
        // Only the attributes inside the element "Game" count.
        while (reader->read()) {
            if (reader->getNodeType() == irr::io::EXN_ELEMENT && irr::core::stringw(L"Game") == reader->getNodeName()) {
                read = reader->isEmptyElement() || attributes->read(reader, true, L"Game");
                break;
            }
        }
        reader->drop();
    }
    if (!read)
        attributes->clear();
    tuning.exchangeTuning(attributes);
    return attributes;
}
