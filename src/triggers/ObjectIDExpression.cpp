#include "triggers/ObjectIDExpression.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "level/LevelLimits.h"
#include "level/LevelManager.h"
#include "physics/objects/PhysicsObject.h"
#include "player/LimbControl.h"
#include "player/PlayerObject.h"
#include "triggers/TriggerObject.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

using namespace irr;

namespace {

constexpr const char* expressionOperatorSet = "()&|,-~";

ExpressionContext evaluationContext;

bool isExpressionOperatorChar(char c) { return c != '\0' && std::strchr(expressionOperatorSet, c) != nullptr; }

// The text as an object ID: atof truncated toward zero. False when the number does not fit
// a 32-bit ID (the text is then refused rather than cast into undefined behaviour).
bool readExpressionNumber(const std::string& text, s32& id) {
    const double value = std::atof(text.c_str());
    if (!std::isfinite(value) || value <= static_cast<double>(std::numeric_limits<s32>::min()) - 1.0 ||
        value >= static_cast<double>(std::numeric_limits<s32>::max()) + 1.0)
        return false;
    id = static_cast<s32>(value);
    return true;
}

bool isSplitOperator(const ExpressionToken& token) { return token.text == "&" || token.text == "|"; }

std::string shortExpressionText(const std::string& text) {
    std::string shown = text.size() > 80 ? text.substr(0, 80) + "..." : text;
    return escapeLogText(shown.c_str());
}

void logExpressionWarning(const std::string& text, const char* what) {
    // An expression is read again each time its action runs.
    logRepeatable(std::string(logWarningPrefix) + "Object-ID expression \"" + shortExpressionText(text) + "\" " + what,
                  ELL_WARNING);
}

scene::ISceneNode* lookupExpressionNode(s32 id) {
    return levelManager ? levelManager->getSceneNodeFromID(id) : nullptr;
}

std::unique_ptr<ExpressionNode> buildRange(const std::vector<ExpressionToken>& tokens, std::size_t begin,
                                           std::size_t end, int level);

std::unique_ptr<ExpressionNode> makeExpressionOperator(const std::string& op,
                                                       const std::vector<ExpressionToken>& tokens,
                                                       std::size_t begin, std::size_t split, std::size_t end,
                                                       int level) {
    std::unique_ptr<ExpressionOperator> node;
    if (op == "&")
        node = std::make_unique<ExpressionAnd>();
    else if (op == "|")
        node = std::make_unique<ExpressionOr>();
    else
        return nullptr;
    node->left = buildRange(tokens, begin, split, level + 1);
    node->right = buildRange(tokens, split + 1, end, level + 1);
    return node;
}

std::unique_ptr<ExpressionNode> makeExpressionLeaf(const std::vector<ExpressionToken>& tokens, std::size_t begin,
                                                   std::size_t end) {
    auto leaf = std::make_unique<ExpressionLeaf>();
    if (begin >= end)
        return leaf;
    std::string text = tokens[begin].text;
    if (!text.empty() && text[0] == '!') {
        leaf->negated = true;
        text.erase(0, 1);
    }
    s32 id = 0;
    if (readExpressionNumber(text, id))
        leaf->node = lookupExpressionNode(id);
    return leaf;
}

std::unique_ptr<ExpressionNode> buildRange(const std::vector<ExpressionToken>& tokens, std::size_t begin,
                                           std::size_t end, int level) {
    // Token lists are capped, so the right-grouping recursion is bounded by the cap; the
    // level check keeps a stray caller from going deeper.
    if (level <= static_cast<int>(maxExpressionTokens)) {
        for (int depth = 0; depth < maxExpressionDepth; ++depth)
            for (std::size_t i = begin; i < end; ++i)
                if (tokens[i].depth == depth && isSplitOperator(tokens[i]))
                    return makeExpressionOperator(tokens[i].text, tokens, begin, i, end, level);
    }
    return makeExpressionLeaf(tokens, begin, end);
}

} // namespace

ExpressionContext& expressionContext() { return evaluationContext; }

void resetExpressionContext() { evaluationContext = ExpressionContext(); }

std::string stripCharacters(const std::string& text, const char* set) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c == '\0' || !std::strchr(set, c))
            out += c;
    return out;
}

std::vector<ExpressionToken> tokenizeExpression(const std::string& text, std::string* refusal) {
    if (refusal)
        refusal->clear();
    auto refuse = [&](const char* why) {
        if (refusal)
            *refusal = why;
        return std::vector<ExpressionToken>();
    };
    if (text.size() > maxExpressionLength)
        return refuse("is too long");

    // Steps 1-3: operator characters are tokens of their own; two equal ones in a row join.
    std::vector<ExpressionToken> raw;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!isExpressionOperatorChar(c)) {
            current += c;
            continue;
        }
        if (!current.empty()) {
            raw.push_back({current, 0});
            current.clear();
        }
        std::string op(1, c);
        if (i + 1 < text.size() && text[i + 1] == c) {
            op += c;
            ++i;
        }
        raw.push_back({op, 0});
    }
    if (!current.empty())
        raw.push_back({current, 0});

    // Step 4: blanks, newlines and tabs go wherever they stand; empty tokens go.
    std::vector<ExpressionToken> stripped;
    for (ExpressionToken& token : raw) {
        token.text = stripCharacters(token.text, " \n\t");
        if (!token.text.empty())
            stripped.push_back(std::move(token));
    }

    // Step 5: depths, operator spellings and ranges.
    std::vector<ExpressionToken> tokens;
    int depth = 0;
    for (std::size_t i = 0; i < stripped.size(); ++i) {
        ExpressionToken token = stripped[i];
        if (token.text == "(")
            ++depth;
        else if (token.text == ")")
            --depth;
        else if (token.text == "&&" || token.text == ",")
            token.text = "&";
        else if (token.text == "||")
            token.text = "|";
        else if (token.text == "-" || token.text == "~") {
            const char* op = token.text == "-" ? "&" : "|";
            // A range at either end of the list has no bound on that side: it expands to
            // nothing and stays an operator.
            if (!tokens.empty() && i + 1 < stripped.size()) {
                s32 from = 0;
                s32 to = 0;
                if (!readExpressionNumber(tokens.back().text, from) ||
                    !readExpressionNumber(stripped[i + 1].text, to))
                    return refuse("names an ID outside the 32-bit range");
                const int rangeDepth = tokens.back().depth;
                const long long count = static_cast<long long>(to) - static_cast<long long>(from) - 1;
                if (count > 0 && static_cast<unsigned long long>(count) * 2 + tokens.size() > maxExpressionTokens)
                    return refuse("expands to too many IDs");
                for (long long v = static_cast<long long>(from) + 1; v < to; ++v) {
                    tokens.push_back({op, rangeDepth});
                    tokens.push_back({std::to_string(v), rangeDepth});
                }
            }
            token.text = op;
        }
        token.depth = depth;
        tokens.push_back(std::move(token));
        if (tokens.size() > maxExpressionTokens)
            return refuse("has too many parts");
    }

    // Step 6: brackets go; their effect lives on in the depths.
    std::vector<ExpressionToken> result;
    result.reserve(tokens.size());
    for (ExpressionToken& token : tokens)
        if (token.text != "(" && token.text != ")")
            result.push_back(std::move(token));
    return result;
}

std::unique_ptr<ExpressionNode> buildExpressionTree(const std::vector<ExpressionToken>& tokens) {
    return buildRange(tokens, 0, tokens.size(), 0);
}

namespace {

// What a designer probably got wrong: brackets that do not pair, an operator without an
// operand, a range whose bounds are reversed, a token that is not a number.
const char* describeExpressionFlaw(const std::string& text, const std::vector<ExpressionToken>& tokens) {
    int depth = 0;
    for (char c : text) {
        if (c == '(')
            ++depth;
        else if (c == ')' && --depth < 0)
            return "has a ')' without its '('";
    }
    if (depth > 0)
        return "has a '(' without its ')'";
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const bool op = isSplitOperator(tokens[i]);
        if (op && (i == 0 || i + 1 == tokens.size() || isSplitOperator(tokens[i + 1])))
            return "has an operator without an operand";
        if (!op) {
            std::string idText = tokens[i].text;
            if (!idText.empty() && idText[0] == '!')
                idText.erase(0, 1);
            char* endOfNumber = nullptr;
            std::strtod(idText.c_str(), &endOfNumber);
            if (idText.empty() || (endOfNumber && *endOfNumber != '\0'))
                return "has a part that is not an object ID";
        }
    }
    const std::string plain = stripCharacters(text, " \n\t");
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if ((plain[i] == '-' || plain[i] == '~') && i > 0 && i + 1 < plain.size()) {
            std::size_t a = i;
            while (a > 0 && std::isdigit(static_cast<unsigned char>(plain[a - 1])))
                --a;
            if (a < i && std::isdigit(static_cast<unsigned char>(plain[i + 1])) &&
                std::atol(plain.c_str() + i + 1) < std::atol(plain.c_str() + a))
                return "has a range whose end is below its start";
        }
    }
    return nullptr;
}

} // namespace

std::unique_ptr<ExpressionNode> parseObjectIDExpression(const std::string& text) {
    std::string refusal;
    std::vector<ExpressionToken> tokens = tokenizeExpression(text, &refusal);
    for (const ExpressionToken& token : tokens) {
        s32 id = 0;
        const bool negated = !token.text.empty() && token.text[0] == '!';
        if (!isSplitOperator(token) && !readExpressionNumber(negated ? token.text.substr(1) : token.text, id))
            refusal = "names an ID outside the 32-bit range";
    }
    if (!refusal.empty()) {
        logExpressionWarning(text, (refusal + "; it names no object.").c_str());
        return std::make_unique<ExpressionLeaf>();
    }
    if (const char* flaw = describeExpressionFlaw(text, tokens))
        logExpressionWarning(text, flaw);
    return buildExpressionTree(tokens);
}

std::unique_ptr<ExpressionNode> parseObjectIDExpression(const core::stringc& text) {
    return parseObjectIDExpression(std::string(text.c_str(), text.size()));
}

bool ExpressionAnd::evaluate() { return left->evaluate() && right->evaluate(); }

bool ExpressionOr::evaluate() { return left->evaluate() || right->evaluate(); }

bool ExpressionLeaf::evaluate() {
    if (!node)
        return false;
    if (!kindResolved) {
        isTriggerKind = ::isTriggerKind(node);
        isHoldableKind = ::isHoldableKind(node);
        kindResolved = true;
    }
    bool value = false;
    ExpressionContext& context = evaluationContext;
    if (isTriggerKind) {
        value = static_cast<TriggerObject*>(node)->ConditionMet;
    } else if (isHoldableKind && context.contacts) {
        value = context.outside;
        for (const TriggerContact& contact : *context.contacts)
            if (contact.node == node && node->isVisible())
                value = !context.outside;
    } else if (isHoldableKind) {
        const PhysicsObject* object = findPhysicsObjectOfNode(node);
        const s32 grabs = object ? object->holdCount : 0;
        if (grabs != 0) {
            // Player n is the one at index n-1; a number at the integers' end names none.
            s32 index = 0;
            const bool named = context.playerIndex != 0 && offsetLevelValue(context.playerIndex, -1, index);
            if (context.playerIndex == 0) {
                value = true;
            } else if (PlayerObject* player = named ? getPlayer(index) : nullptr) {
                const LimbSet arms = player->getArms();
                for (PlayerLimb* limb : arms.sides)
                    if (limb && getLimbHeldObject(limb) == object)
                        value = true;
            }
            if (value)
                context.lastMatched = node;
        }
    }
    return negated ? !value : value;
}

bool expressionContainsID(const ExpressionNode* root, s32 id) {
    if (!root)
        return false;
    if (root->isOperator()) {
        const auto* op = static_cast<const ExpressionOperator*>(root);
        return expressionContainsID(op->left.get(), id) || expressionContainsID(op->right.get(), id);
    }
    const auto* leaf = static_cast<const ExpressionLeaf*>(root);
    return leaf->node && leaf->node->getID() == id;
}

void collectExpressionNodes(const ExpressionNode* root, std::vector<scene::ISceneNode*>& nodes) {
    if (!root)
        return;
    if (root->isOperator()) {
        const auto* op = static_cast<const ExpressionOperator*>(root);
        collectExpressionNodes(op->left.get(), nodes);
        collectExpressionNodes(op->right.get(), nodes);
        return;
    }
    const auto* leaf = static_cast<const ExpressionLeaf*>(root);
    if (leaf->node)
        nodes.push_back(leaf->node);
}

std::vector<scene::ISceneNode*> collectExpressionNodes(const core::stringc& text) {
    std::vector<scene::ISceneNode*> nodes;
    collectExpressionNodes(parseObjectIDExpression(text).get(), nodes);
    return nodes;
}
