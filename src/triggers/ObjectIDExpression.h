#pragma once

#include "triggers/TriggerContact.h"

#include <irrlicht.h>

#include <memory>
#include <string>
#include <vector>

// Object-ID expressions: the texts in which level designers name the objects a trigger or
// an action concerns ("12 & (40|41)", "3-7", "!15"). A text is split into tokens with a
// bracket depth each, ranges are expanded, and the tokens are built into a tree of "&" and
// "|" operators over leaves that each name one level object.
//
// "&" and "|" have equal precedence; the first operator at the shallowest depth becomes the
// root, so operators of one depth group to the right (1&2|3 is And(1, Or(2, 3))). "!"
// negates one ID. "&&", "||" and "," read as "&"; "a-b" expands to a & a+1 & ... & b and
// "a~b" to a | ... | b.
//
// Texts a designer got wrong still build a tree (a missing operand is a leaf that names
// nothing, surplus brackets shift depths) and get one warning line. Texts that could cost
// unbounded time or memory (longer than maxExpressionLength, ranges expanding beyond
// maxExpressionTokens, IDs outside the 32-bit range) are refused with one warning line and
// give a leaf that names nothing.

inline constexpr std::size_t maxExpressionLength = 4096;
inline constexpr std::size_t maxExpressionTokens = 2048;
inline constexpr int maxExpressionDepth = 10; // operators at depth 10 or deeper never split

class ExpressionNode {
public:
    virtual ~ExpressionNode() = default;
    virtual bool evaluate() = 0;
    virtual bool isOperator() const = 0;
};

// Names one level object; null when the ID named none (then it is false, negated or not).
class ExpressionLeaf : public ExpressionNode {
public:
    bool evaluate() override;
    bool isOperator() const override { return false; }

    bool negated = false;
    irr::scene::ISceneNode* node = nullptr; // not owned
    // The node's kind, read once on the first evaluation.
    bool kindResolved = false;
    bool isTriggerKind = false;  // 'trgr', 'cmrv', 'cond', 'frce', 'chck'
    bool isHoldableKind = false; // 'phsx', 'apsx', 'ties', 'crct'
};

class ExpressionOperator : public ExpressionNode {
public:
    bool isOperator() const override { return true; }
    std::unique_ptr<ExpressionNode> left;
    std::unique_ptr<ExpressionNode> right;
};

// Short-circuits: the right side is evaluated only when the left leaves the answer open.
class ExpressionAnd : public ExpressionOperator {
public:
    bool evaluate() override;
};
class ExpressionOr : public ExpressionOperator {
public:
    bool evaluate() override;
};

struct ExpressionToken {
    std::string text;
    int depth = 0;
};

// What leaves read while a trigger evaluates a tree. One record for the program (the
// evaluator is not reentrant); a caller that sets nothing evaluates with no contact list,
// inside mode and player index 0.
struct ExpressionContext {
    // The occupants of the trigger being evaluated, or none (held mode).
    const TriggerContactList* contacts = nullptr;
    // On Object Outside: a leaf is true when its object is not among the contacts.
    bool outside = false;
    // Held mode: 0 any player, n the player at index n-1.
    irr::s32 playerIndex = 0;
    // Out: the object that made a holdable leaf true most recently in held mode.
    irr::scene::ISceneNode* lastMatched = nullptr;
};
ExpressionContext& expressionContext();
void resetExpressionContext();

// The text parsed into a tree (never null). IDs are looked up through the level manager
// (no level manager: every leaf names nothing).
std::unique_ptr<ExpressionNode> parseObjectIDExpression(const std::string& text);
std::unique_ptr<ExpressionNode> parseObjectIDExpression(const irr::core::stringc& text);

// The tokens of a text with their depths, brackets removed. `refusal` receives why the text
// was refused (empty when it was not); a refused text gives no tokens.
std::vector<ExpressionToken> tokenizeExpression(const std::string& text, std::string* refusal = nullptr);
// The tree of a token list.
std::unique_ptr<ExpressionNode> buildExpressionTree(const std::vector<ExpressionToken>& tokens);
// The text without every character of the set, wherever it stands.
std::string stripCharacters(const std::string& text, const char* set);

// Whether a leaf of the tree names the node of that ID (negation plays no part).
bool expressionContainsID(const ExpressionNode* root, irr::s32 id);
// Appends the node of every leaf that names one, left to right (duplicates kept).
void collectExpressionNodes(const ExpressionNode* root, std::vector<irr::scene::ISceneNode*>& nodes);
// The same for an expression text parsed and discarded at once.
std::vector<irr::scene::ISceneNode*> collectExpressionNodes(const irr::core::stringc& text);
