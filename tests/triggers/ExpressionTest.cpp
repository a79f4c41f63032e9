#include "TriggerTestSupport.h"

#include "triggers/ObjectIDExpression.h"

#include <limits>
#include <random>

using namespace irr;

namespace {

// "text@depth" of every token, blank-separated.
std::string tokensOf(const std::string& text) {
    std::string out;
    for (const ExpressionToken& token : tokenizeExpression(text)) {
        if (!out.empty())
            out += ' ';
        out += token.text + "@" + std::to_string(token.depth);
    }
    return out;
}

// And(..), Or(..), a leaf by its object's ID, "_" for a leaf naming nothing, "!" negated.
std::string shapeOf(const ExpressionNode* node) {
    if (node->isOperator()) {
        const auto* op = static_cast<const ExpressionOperator*>(node);
        const bool isAnd = dynamic_cast<const ExpressionAnd*>(node) != nullptr;
        return std::string(isAnd ? "And(" : "Or(") + shapeOf(op->left.get()) + "," + shapeOf(op->right.get()) + ")";
    }
    const auto* leaf = static_cast<const ExpressionLeaf*>(node);
    return std::string(leaf->negated ? "!" : "") + (leaf->node ? std::to_string(leaf->node->getID()) : "_");
}

class ExpressionTest : public test::TriggerFixture {
protected:
    void SetUp() override {
        TriggerFixture::SetUp();
        // Objects 1..12 are triggers whose met flags the tests set.
        for (s32 id = 1; id <= 12; ++id)
            triggers.push_back(addTrigger(id, TriggerCondition::ManualActivationOnly));
        log.lines.clear();
    }
    std::string shape(const std::string& text) { return shapeOf(parseObjectIDExpression(text).get()); }
    void setMet(std::initializer_list<s32> ids) {
        for (TriggerObject* trigger : triggers)
            trigger->ConditionMet = false;
        for (s32 id : ids)
            triggers[id - 1]->ConditionMet = true;
    }
    bool value(const std::string& text) { return parseObjectIDExpression(text)->evaluate(); }

    std::vector<TriggerObject*> triggers;
};

struct TokenCase {
    const char* text;
    const char* tokens;
};

TEST_F(ExpressionTest, TokenizesOperatorsBlanksRangesAndDepths) {
    const TokenCase cases[] = {
        {"", ""},
        {" 1 ,2&&3 || 4 ", "1@0 &@0 2@0 &@0 3@0 |@0 4@0"},
        {"1 2", "12@0"},
        {"\t1\n2", "12@0"},
        {"2-4", "2@0 &@0 3@0 &@0 4@0"},
        {"2~4", "2@0 |@0 3@0 |@0 4@0"},
        {"3-6", "3@0 &@0 4@0 &@0 5@0 &@0 6@0"},
        {"4-2", "4@0 &@0 2@0"},
        {"2-3", "2@0 &@0 3@0"},
        {"((1|2)&3)", "((@0 1@0 |@0 2@0 &@-1 3@-1"},
        {"( (1|2)&3)", "1@2 |@2 2@2 &@1 3@1"},
        {"(1-3)", "1@1 &@1 2@1 &@1 3@1"},
        {"!(1&2)", "!@0 1@1 &@1 2@1"},
        {"-5", "&@0 5@0"},
        {"5-", "5@0 &@0"},
        {"1--3", "1@0 --@0 3@0"},
    };
    for (const TokenCase& c : cases)
        EXPECT_EQ(tokensOf(c.text), c.tokens) << c.text;
}

struct ShapeCase {
    const char* text;
    const char* shape;
};

TEST_F(ExpressionTest, BuildsTreesByDepthWithOperatorsGroupingToTheRight) {
    const ShapeCase cases[] = {
        {"", "_"},
        {"5", "5"},
        {"!5", "!5"},
        {" 1 ,2&&3 || 4 ", "And(1,And(2,Or(3,4)))"},
        {"1 2", "12"},
        {"1&2|3", "And(1,Or(2,3))"},
        {"1|2&3", "Or(1,And(2,3))"},
        {"(1|2)&3", "And(Or(1,2),3)"},
        {"((1|2)&3)", "Or(_,2)"},
        {"( (1|2)&3)", "And(Or(1,2),3)"},
        {"2-4", "And(2,And(3,4))"},
        {"2~4", "Or(2,Or(3,4))"},
        {"4-2", "And(4,2)"},
        {"&7", "And(_,7)"},
        {"7|", "Or(7,_)"},
        {"-5", "And(_,5)"},
        {"( ( ( ( ( ( ( ( ( ( 1&2 ) ) ) ) ) ) ) ) ) )", "1"},
        {"( ( ( ( ( ( ( ( ( 1&2 ) ) ) ) ) ) ) ) )", "And(1,2)"},
        {"1&2)|3", "And(1,2)"},
        {"!(1&2)", "And(!_,2)"},
        {"abc", "_"},
        {"3.9", "3"},
        {"1 & 99", "And(1,_)"},
    };
    for (const ShapeCase& c : cases)
        EXPECT_EQ(shape(c.text), c.shape) << c.text;
}

struct ValueCase {
    const char* text;
    std::initializer_list<s32> met;
    bool value;
};

TEST_F(ExpressionTest, EvaluatesTriggerLeavesWithNegationAndShortCircuit) {
    const ValueCase cases[] = {
        {"", {}, false},
        {"5", {5}, true},
        {"5", {}, false},
        {"!5", {}, true},
        {"!5", {5}, false},
        {"!99", {}, false}, // names nothing: false even negated
        {"1&2", {1}, false},
        {"1&2", {1, 2}, true},
        {"1|2", {2}, true},
        {"2-4", {2, 3, 4}, true},
        {"2-4", {2, 4}, false},
        {"2~4", {3}, true},
        {"((1|2)&3)", {2}, true}, // the value of object 2 alone
        {"((1|2)&3)", {1, 3}, false},
        {"&7", {7}, false},
        {"7|", {7}, true},
    };
    for (const ValueCase& c : cases) {
        setMet(c.met);
        EXPECT_EQ(value(c.text), c.value) << c.text;
    }
}

TEST_F(ExpressionTest, CheckpointsCountAsTriggersAndOtherKindsAreFalse) {
    addObject(20, "vble");
    addObject(21, "emty");
    EXPECT_FALSE(value("20"));
    EXPECT_TRUE(value("!20"));
    EXPECT_FALSE(value("21"));
    EXPECT_TRUE(value("!21"));
}

TEST_F(ExpressionTest, HoldableLeavesReadTheContactListOrTheGrabCount) {
    PhysicsObject* crate = addBody(30);
    TriggerContactList contacts;
    ExpressionContext& context = expressionContext();
    auto tree = parseObjectIDExpression(std::string("30"));

    context.contacts = &contacts;
    EXPECT_FALSE(tree->evaluate()); // inside mode, not inside
    contacts.push_back({crate, nullptr, nullptr, {}, {}});
    EXPECT_TRUE(tree->evaluate());
    context.outside = true;
    EXPECT_FALSE(tree->evaluate());
    crate->setVisible(false); // a hidden object is not among the contacts
    EXPECT_TRUE(tree->evaluate());
    crate->setVisible(true);

    resetExpressionContext();
    EXPECT_FALSE(tree->evaluate()); // held mode, nobody holds it
    crate->holdCount = 1;
    EXPECT_TRUE(tree->evaluate());
    EXPECT_EQ(context.lastMatched, crate);
    context.playerIndex = 1; // player 1 does not exist
    EXPECT_FALSE(tree->evaluate());
}

TEST_F(ExpressionTest, ContainsIdAndCollectFollowTheLeaves) {
    auto tree = parseObjectIDExpression(std::string("1 & !2 | (3~4) & 1"));
    EXPECT_TRUE(expressionContainsID(tree.get(), 2)); // negation plays no part
    EXPECT_TRUE(expressionContainsID(tree.get(), 4));
    EXPECT_FALSE(expressionContainsID(tree.get(), 5));
    EXPECT_FALSE(expressionContainsID(nullptr, 1));
    std::vector<scene::ISceneNode*> nodes;
    collectExpressionNodes(tree.get(), nodes);
    ASSERT_EQ(nodes.size(), 5u);
    EXPECT_EQ(nodes[0]->getID(), 1);
    EXPECT_EQ(nodes[4]->getID(), 1); // duplicates kept
    EXPECT_TRUE(collectExpressionNodes(core::stringc("")).empty());
    EXPECT_FALSE(expressionContainsID(parseObjectIDExpression(std::string("")).get(), 0));
}

TEST_F(ExpressionTest, DesignerMistakesBuildATreeAndLogOneWarning) {
    const struct {
        const char* text;
        const char* flaw; // null: only counted
    } rows[] = {{"(1&2", "has a '(' without its ')'"},
                {"1&2)", "has a ')' without its '('"},
                {"&7", "has an operator without an operand"},
                {"1&", "has an operator without an operand"},
                {"1&&|2", "has an operator without an operand"},
                {"1&x", "has a part that is not an object ID"},
                {"4-2", "has a range whose end is below its start"},
                {"!(1&2)", nullptr}};
    for (const auto& row : rows) {
        log.lines.clear();
        parseObjectIDExpression(std::string(row.text));
        EXPECT_EQ(log.countStartingWith("Warning: Object-ID expression"), 1u) << row.text;
        if (row.flaw) {
            EXPECT_EQ(log.countStartingWith(std::string("Warning: Object-ID expression \"") + row.text + "\" " + row.flaw),
                      1u)
                << row.text;
        }
    }
    log.lines.clear();
    parseObjectIDExpression(std::string("1 & (2|3) , 4-6"));
    EXPECT_EQ(log.countStartingWith("Warning:"), 0u);
}

TEST_F(ExpressionTest, TextsThatCouldExhaustMemoryAreRefusedWithAnEmptyResult) {
    const std::string texts[] = {
        "1-2000000000",
        "1~5000",
        "99999999999",
        "1 & 1e40",
        "nan",
        std::string(maxExpressionLength + 1, '1'),
        [] {
            std::string many;
            for (int i = 0; i < 1500; ++i)
                many += "1&";
            return many + "1";
        }(),
    };
    for (const std::string& text : texts) {
        log.lines.clear();
        auto tree = parseObjectIDExpression(text);
        EXPECT_EQ(shapeOf(tree.get()), "_") << text.substr(0, 40);
        EXPECT_EQ(log.countStartingWith("Warning: Object-ID expression"), 1u) << text.substr(0, 40);
    }
    // On the length bound a text is still read.
    log.lines.clear();
    setMet({1});
    EXPECT_TRUE(value(std::string(maxExpressionLength - 1, ' ') + "1"));
    EXPECT_EQ(log.countStartingWith("Warning: Object-ID expression"), 0u);
    // A long but sane list still builds.
    std::string list;
    for (int i = 0; i < 500; ++i)
        list += "1&";
    setMet({1});
    EXPECT_TRUE(value(list + "1"));
}

TEST_F(ExpressionTest, TheTopIDIsReadAndOnePastItIsRefused) {
    addTrigger(std::numeric_limits<s32>::max(), TriggerCondition::ManualActivationOnly);
    log.lines.clear();
    EXPECT_EQ(shape("2147483647"), "2147483647");
    EXPECT_EQ(shape("2147483647.9"), "2147483647"); // truncated toward zero
    EXPECT_EQ(log.countStartingWith("Warning:"), 0u);
    for (const char* text : {"2147483648", "2147483646-2147483648", "!2147483648"}) {
        log.lines.clear();
        EXPECT_EQ(shape(text), "_") << text;
        EXPECT_EQ(log.countStartingWith(std::string("Warning: Object-ID expression \"") + text +
                                        "\" names an ID outside the 32-bit range; it names no object."),
                  1u)
            << text;
    }
}

// "1-N" makes N-2 inner IDs, each with its operator, next to its three own tokens.
TEST_F(ExpressionTest, ARangeIsExpandedUpToTheTokenCapAndRefusedPastIt) {
    ASSERT_EQ(maxExpressionTokens, 2048u);
    const struct {
        const char* text;
        const char* refusal; // null: read
    } rows[] = {{"1-1024", nullptr},
                {"1-1025", "has too many parts"},
                {"1-1026", "expands to too many IDs"},
                {"1~1026", "expands to too many IDs"}};
    for (const auto& row : rows) {
        log.lines.clear();
        parseObjectIDExpression(std::string(row.text));
        if (!row.refusal) {
            EXPECT_EQ(log.countStartingWith("Warning: Object-ID expression"), 0u) << row.text;
            continue;
        }
        EXPECT_EQ(log.countStartingWith(std::string("Warning: Object-ID expression \"") + row.text + "\" " +
                                        row.refusal + "; it names no object."),
                  1u)
            << row.text;
    }
}

TEST_F(ExpressionTest, HundredThousandRandomAndMutatedTextsNeitherCrashNorHang) {
    std::mt19937 rng(17);
    const std::string alphabet = "0123456789()&|,-~! \t\nx.";
    const std::string seeds[] = {"12 & (40|41)", "3-7", "!15", "((1|2)&3)", "1 ,2&&3 || 4", "2~4", "&7",
                                 "( ( ( 1&2 ) ) )"};
    auto randomNumber = [&] {
        // Mostly small IDs; now and then a long digit string.
        const int digits = rng() % 50 == 0 ? 1 + rng() % 14 : 1 + rng() % 2;
        std::string number;
        for (int i = 0; i < digits; ++i)
            number += static_cast<char>('0' + rng() % 10);
        return number;
    };
    std::size_t evaluated = 0;
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        switch (rng() % 3) {
        case 0: { // random characters
            const int length = rng() % 48;
            for (int k = 0; k < length; ++k)
                text += alphabet[rng() % alphabet.size()];
            break;
        }
        case 1: { // numbers and operators
            const int parts = rng() % 12;
            for (int k = 0; k < parts; ++k)
                text += rng() % 2 ? randomNumber() : std::string(1, "()&|,-~!"[rng() % 8]);
            break;
        }
        default: { // a seed with a few edits
            text = seeds[rng() % std::size(seeds)];
            const int edits = 1 + rng() % 4;
            for (int k = 0; k < edits; ++k) {
                const std::size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
                switch (rng() % 3) {
                case 0:
                    text.insert(at, 1, alphabet[rng() % alphabet.size()]);
                    break;
                case 1:
                    if (at < text.size())
                        text.erase(at, 1);
                    break;
                default:
                    text.insert(at, randomNumber());
                    break;
                }
            }
        }
        }
        auto tree = parseObjectIDExpression(text);
        ASSERT_NE(tree, nullptr);
        expressionContainsID(tree.get(), 3);
        std::vector<scene::ISceneNode*> nodes;
        collectExpressionNodes(tree.get(), nodes);
        tree->evaluate();
        ++evaluated;
        if (log.lines.size() > 10000)
            log.lines.clear();
    }
    EXPECT_EQ(evaluated, 100000u);
}

} // namespace
