#include "triggers/TriggerAction.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "level/SceneNodeTypes.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"

#include <array>
#include <cstdio>
#include <string>

using namespace irr;

const char* const triggerActionNames[triggerActionCount + 1] = {
    "Nothing",
    "Set Object Property",
    "Change Animation",
    "Change Material",
    "Change Mesh",
    "Change Character State",
    "Play Sound",
    "Change Music Param",
    "Move Object",
    "Spawn Object",
    "Add Force",
    "Run Trigger",
    "Reset Trigger",
    "Cancel Trigger",
    "Change Objective",
    "Level CheckPoint",
    "Add Suspicion",
    "Change Suspicion Zone",
    "Change Variable",
    "Change Game Attribute",
    "Tentaro Controls",
    "Tentaro Limp",
    "Set Camera",
    "Change UI",
    "Run Fake Transition",
    "Pop-up Screen",
    "Remove Pop-up",
    "End Level",
    "Unlock Achievement",
    nullptr,
};

namespace {

std::array<TriggerActionCreator, triggerActionCount>& actionCreators() {
    static std::array<TriggerActionCreator, triggerActionCount> creators{};
    return creators;
}

bool isPhysicsKindForEvent(scene::ISceneNode* node) {
    if (!node)
        return false;
    const scene::ESCENE_NODE_TYPE type = node->getType();
    return type == typeId("phsx") || type == typeId("apsx") || type == typeId("ties") || type == typeId("crct");
}

// "name_id - " with the ID left out when it is 0 or -1.
std::string namedPart(const char* tag, scene::ISceneNode* node) {
    std::string part = tag;
    part += node->getName();
    const s32 id = node->getID();
    if (id != 0 && id != -1) {
        part += '_';
        part += std::to_string(id);
    }
    part += " - ";
    return part;
}

} // namespace

TriggerEventInfo makeEmptyTriggerEventInfo(scene::ISceneNode* node) {
    TriggerEventInfo event;
    event.object = isPhysicsKindForEvent(node) ? node : nullptr;
    return event;
}

TriggerEventInfo makeTriggerEventInfo(scene::ISceneNode* node, const core::vector3df& position) {
    TriggerEventInfo event = makeEmptyTriggerEventInfo(node);
    event.position = position;
    return event;
}

void TriggerAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    if (canUndo && out)
        out->addBool("UndoOnTriggerRevert", UndoOnTriggerRevert);
}

void TriggerAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    if (canUndo && in)
        UndoOnTriggerRevert = in->existsAttribute("UndoOnTriggerRevert") && in->getAttributeAsBool("UndoOnTriggerRevert");
}

TriggerAction* TriggerAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new TriggerAction(type, newTrigger);
    copyAttributes(this, copy);
    return copy;
}

void TriggerAction::copyAttributes(const TriggerAction* source, TriggerAction* target) {
    if (!source || !target || !gameDevice)
        return;
    io::IAttributes* attributes = gameDevice->getFileSystem()->createEmptyAttributes();
    if (!attributes)
        return;
    source->serializeAttributes(attributes, nullptr);
    target->deserializeAttributes(attributes, nullptr);
    attributes->drop();
}

const char* TriggerAction::getName() const {
    return type >= 0 && type < triggerActionCount ? triggerActionNames[type] : triggerActionNames[0];
}

void TriggerAction::logStep(const char* message) const {
    if (!logTriggers)
        return;
    std::string line;
    if (trigger)
        line += namedPart("[Trigger] ", trigger);
    if (event)
        line += namedPart("[Event] ", event);
    line += getName();
    if (message)
        line += std::string(" - ") + message;
    if (gameDevice)
        logMessage(line);
    else
        std::printf("%s\n", line.c_str());
}

void registerTriggerActionClass(s32 index, TriggerActionCreator create) {
    if (index > 0 && index < triggerActionCount)
        actionCreators()[index] = create;
}

bool isTriggerActionClassRegistered(s32 index) {
    return index > 0 && index < triggerActionCount && actionCreators()[index] != nullptr;
}

TriggerAction* createTriggerAction(s32 index, TriggerObject* trigger) {
    if (index <= 0 || index >= triggerActionCount)
        return new TriggerAction(0, trigger);
    if (TriggerActionCreator create = actionCreators()[index]) {
        TriggerAction* action = create(trigger);
        if (action) {
            action->type = index;
            return action;
        }
    }
    // The level keeps the name it gave; the action does nothing until its class exists.
    logRepeatable(std::string(logWarningPrefix) + "Unknown trigger action \"" + triggerActionNames[index] +
                      "\": it does nothing.",
                  ELL_WARNING);
    return new TriggerAction(index, trigger);
}

bool isNameSet(const core::stringc& text) { return !text.empty() && text[0] != '-'; }

bool isNameSet(const core::stringw& text) { return !text.empty() && text[0] != L'-'; }
