#include "triggers/actions/ChangeVariableActions.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "level/AttributeExtras.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/SaveManager.h"
#include "level/VariableObject.h"
#include "triggers/actions/ActionSupport.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

using namespace irr;

const char* const valueOperationNames[6] = {"Set Value", "Add", "Subtract", "Multiply", "Divide", nullptr};
const char* const ChangeGameAttributeAction::attributeTypeNames[4] = {"INT", "FLOAT", "STRING", nullptr};

namespace {

// "%0.6f" of a value, appended to a log text.
void appendValueText(core::stringc& text, f32 value) {
    char number[64];
    std::snprintf(number, sizeof(number), "%0.6f", static_cast<double>(value));
    text += number;
}

// An integer attribute takes the result truncated toward zero, held within the 32-bit range
// (a larger float has no integer of its own).
s32 toStoredInteger(f32 value) {
    constexpr f32 highest = 2147483520.0f; // the largest float below 2^31
    if (value >= highest)
        return std::numeric_limits<s32>::max();
    if (value <= -2147483648.0f)
        return std::numeric_limits<s32>::min();
    return static_cast<s32>(value);
}

} // namespace

f32 applyValueOperation(s32 operation, f32 current, f32 operand) {
    f32 result = operand;
    switch (static_cast<ValueOperation>(operation)) {
    case ValueOperation::Add:
        result = current + operand;
        break;
    case ValueOperation::Subtract:
        result = current - operand;
        break;
    case ValueOperation::Multiply:
        result = current * operand;
        break;
    case ValueOperation::Divide:
        result = current / (operand == 0.0f ? 1.0f : operand);
        break;
    default:
        break;
    }
    if (std::isnan(result)) {
        // The value in the line varies: the cause is the operation's failing.
        const std::string cause = "Warning: A trigger action's operation gave no number";
        logRepeatableAs(cause, cause + "; the value stays " + std::to_string(static_cast<double>(current)) + ".");
        return std::isnan(current) ? 0.0f : current;
    }
    if (std::isinf(result))
        return result > 0.0f ? std::numeric_limits<f32>::max() : std::numeric_limits<f32>::lowest();
    return result;
}

// --- Change Game Attribute -------------------------------------------------------------------

void ChangeGameAttributeAction::execute(TriggerEventInfo&) {
    const bool storyRun = levelManager && levelManager->PlayMode == LevelManager::playModeStory;
    const SaveManager::Group target = !OnlyStoryMode || storyRun ? SaveManager::Story : SaveManager::Freeplay;
    io::IAttributes* group = saveManager ? saveManager->getGroup(target) : nullptr;
    // What a level puts into the save is bounded, so that the save never outgrows its reader.
    const std::string refusal =
        group ? saveManager->refusalOfEntry(target, AttributeName.c_str(),
                                            AttributeType == String ? AttributeString.size() : 0)
              : std::string();
    if (!refusal.empty()) {
        if (!std::exchange(refusalLogged, true))
            logMessage(std::string(logWarningPrefix) + "Change Game Attribute \"" +
                       AttributeName.subString(0, 40).c_str() +
                       (AttributeName.size() > 40 ? "...\"" : "\"") + " refused: " + refusal + ".");
        return;
    }
    core::stringc text = AttributeName + " - ";
    const char* name = AttributeName.c_str();
    if (group && AttributeType == String) {
        if (group->existsAttribute(name))
            group->setAttribute(name, AttributeString.c_str());
        else
            group->addString(name, AttributeString.c_str());
        text += AttributeString;
    } else if (group) {
        const bool integer = AttributeType == Int;
        // A number the save does not hold yet starts at 0, so a count made by Add counts from
        // nothing.
        if (!group->existsAttribute(name)) {
            if (integer)
                group->addInt(name, 0);
            else
                group->addFloat(name, 0.0f);
        }
        const f32 current =
            integer ? static_cast<f32>(group->getAttributeAsInt(name)) : group->getAttributeAsFloat(name);
        // Dividing by a zero value divides by 1, and the action keeps 1 from then on.
        if (AttributeAction == static_cast<s32>(ValueOperation::Divide) && AttributeValue == 0.0f)
            AttributeValue = 1.0f;
        const f32 result = applyValueOperation(AttributeAction, current, AttributeValue);
        if (integer)
            group->setAttribute(name, toStoredInteger(result));
        else
            group->setAttribute(name, result);
        appendValueText(text, integer ? static_cast<f32>(toStoredInteger(result)) : result);
    }
    logStep(text.c_str());
    if (group && saveManager->automaticWriting)
        saveManager->requestWrite();
}

void ChangeGameAttributeAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    triggerActions::addEnumByIndex(out, "AttributeType", AttributeType, attributeTypeNames);
    triggerActions::addEnumByIndex(out, "AttributeAction", AttributeAction, valueOperationNames);
    out->addString("AttributeName", AttributeName.c_str());
    if (AttributeType == String)
        out->addString("AttributeValue", AttributeString.c_str());
    else
        out->addFloat("AttributeValue", AttributeValue);
    out->addBool("OnlyStoryMode", OnlyStoryMode);
}

void ChangeGameAttributeAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    triggerActions::readKnownEnum(in, "AttributeType", attributeTypeNames, AttributeType);
    triggerActions::readKnownEnum(in, "AttributeAction", valueOperationNames, AttributeAction);
    // A text can only be set.
    if (AttributeType == String)
        AttributeAction = static_cast<s32>(ValueOperation::SetValue);
    readIfPresent(in, "AttributeName", AttributeName);
    if (AttributeType == String)
        readIfPresent(in, "AttributeValue", AttributeString);
    else
        readIfPresent(in, "AttributeValue", AttributeValue);
    readIfPresent(in, "OnlyStoryMode", OnlyStoryMode);
}

TriggerAction* ChangeGameAttributeAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ChangeGameAttributeAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}

// --- Change Variable --------------------------------------------------------------------------

void ChangeVariableAction::update() {
    if (variable || ObjectID == 0 || !resolvePending)
        return;
    variable = static_cast<VariableObject*>(findLevelObjectOfType(ObjectID, typeId("vble")));
    // A variable that is not there now will not come: the lookup is not repeated.
    resolvePending = false;
}

void ChangeVariableAction::execute(TriggerEventInfo&) {
    update();
    if (VariableObjectID != 0 && !operandVariable) {
        scene::ISceneNode* node = triggerActions::findObjectByID(VariableObjectID);
        if (node && node->getType() == typeId("vble"))
            operandVariable = static_cast<VariableObject*>(node);
    }
    core::stringc text = "New Value: ";
    if (variable) {
        const f32 operand = operandVariable ? operandVariable->Value : VariableValue;
        variable->Value = applyValueOperation(VariableAction, variable->Value, operand);
        appendValueText(text, variable->Value);
    }
    logStep(text.c_str());
}

void ChangeVariableAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    addObjectReference(out, "ObjectID", ObjectID);
    triggerActions::addEnumByIndex(out, "VariableAction", VariableAction, valueOperationNames);
    out->addFloat("VariableValue", VariableValue);
    addObjectReference(out, "VariableObjectID", VariableObjectID);
}

void ChangeVariableAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    ObjectID = in->getAttributeAsInt("ObjectID");
    if (triggerActions::readEnumByName(in, "VariableAction", valueOperationNames, VariableAction) &&
        VariableAction < 0)
        VariableAction = 0;
    VariableValue = in->getAttributeAsFloat("VariableValue");
    VariableObjectID = in->getAttributeAsInt("VariableObjectID");
    resolvePending = true;
}

TriggerAction* ChangeVariableAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ChangeVariableAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
