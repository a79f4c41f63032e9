#pragma once

#include "triggers/TriggerAction.h"

class VariableObject;

// The five operations of Change Game Attribute ("AttributeAction") and Change Variable
// ("VariableAction"), by their value in level files.
enum class ValueOperation : irr::s32 { SetValue = 0, Add = 1, Subtract = 2, Multiply = 3, Divide = 4 };
extern const char* const valueOperationNames[6];

// current (op) operand; Divide takes a zero operand as 1. A result that is not a finite
// number is never stored: infinities are held at the largest float of their sign, and a
// result that is no number at all (infinity times zero) leaves the current value.
irr::f32 applyValueOperation(irr::s32 operation, irr::f32 current, irr::f32 operand);

// "Change Game Attribute": sets a named attribute of the save (the story group, or free
// play's when OnlyStoryMode is on outside a story run) to a text, or changes a number by one
// of the five operations, and asks for the save to be written while automatic writing is on.
// A name or text longer than a level's texts, or a new name in a full group, is refused with
// one line (SaveManager::refusalOfEntry). It cannot undo.
class ChangeGameAttributeAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 19;
    enum AttributeKind : irr::s32 { Int = 0, Float = 1, String = 2 };
    static const char* const attributeTypeNames[4];

    explicit ChangeGameAttributeAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    irr::s32 AttributeAction = static_cast<irr::s32>(ValueOperation::SetValue);
    irr::core::stringc AttributeName;
    irr::core::stringc AttributeString; // "AttributeValue" of a STRING attribute
    irr::s32 AttributeType = String;
    irr::f32 AttributeValue = 0.0f; // "AttributeValue" of an INT or FLOAT attribute
    bool OnlyStoryMode = true;

private:
    // A refusal (SaveManager::refusalOfEntry) is logged once per action.
    bool refusalLogged = false;
};

// "Change Variable": changes the value of a level variable by one of the five operations,
// with a fixed operand or the value of a second variable. It cannot undo.
class ChangeVariableAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 18;

    explicit ChangeVariableAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    // Finds the variable once after the keys were read.
    void update() override;
    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    VariableObject* getVariable() const { return variable; }

    irr::s32 ObjectID = 0;
    irr::s32 VariableAction = static_cast<irr::s32>(ValueOperation::SetValue);
    irr::f32 VariableValue = 0.0f;
    irr::s32 VariableObjectID = 0;

private:
    VariableObject* variable = nullptr;
    VariableObject* operandVariable = nullptr;
    bool resolvePending = true;
};
