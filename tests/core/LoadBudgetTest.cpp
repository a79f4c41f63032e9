// The level load's one budget: each kind takes up to its limit and refuses one past it with
// one line a load, starts afresh with the next load, and runs with the limits the docs list.
#include "ServicesFixture.h"

#include "core/FileChecks.h"
#include "core/LoadBudget.h"

#include <fstream>
#include <regex>

namespace {

class LoadBudgetTest : public ServicesFixture {
protected:
    void SetUp() override {
        ServicesFixture::SetUp();
        forgetFileRefusals();
        log.lines.clear();
    }
    void TearDown() override {
        for (int kind = 0; kind < LoadBudget::kindCount; ++kind)
            loadBudget().setLimit(LoadBudget::Kind(kind), LoadBudget::gameLimits[kind]);
        ServicesFixture::TearDown();
    }
};

TEST_F(LoadBudgetTest, EachKindTakesUpToItsLimitAndRefusesOnePastWithOneLineALoad) {
    const struct {
        LoadBudget::Kind kind;
        const char* line;
    } cases[] = {
        {LoadBudget::Bytes, "ERROR: The level load reached its budget of 10 bytes at \"Sub.irr\"; the rest is left out."},
        {LoadBudget::Nodes, "ERROR: The level load reached its budget of 10 scene nodes at \"Sub.irr\"; the rest is left out."},
        {LoadBudget::Pixels, "ERROR: The level load reached its budget of 10 texture pixels at \"Sub.irr\"; the rest is left out."},
        {LoadBudget::Frames,
         "ERROR: The level load reached its budget of 10 sprite-animation frames at \"Sub.irr\"; the rest is left out."},
        {LoadBudget::Memory,
         "ERROR: The level load reached its budget of 10 bytes of memory at \"Sub.irr\"; the rest is left out."},
        {LoadBudget::Triangles,
         "ERROR: The level load reached its budget of 10 triangles at \"Sub.irr\"; the rest is left out."},
    };
    LoadBudget& budget = loadBudget();
    for (const auto& c : cases) {
        SCOPED_TRACE(LoadBudget::unitName(c.kind));
        budget.setLimit(c.kind, 10);
        for (int load = 0; load < 2; ++load) {
            forgetFileRefusals(); // a level load begins
            log.lines.clear();
            LoadBudgetScope level("Level.irr", true);
            EXPECT_TRUE(budget.allows(c.kind, 10)) << "allowing takes nothing";
            EXPECT_TRUE(budget.charge(c.kind, 4));
            EXPECT_TRUE(budget.chargeWhileLoading(c.kind, 6)) << "the edge";
            EXPECT_EQ(budget.used(c.kind), 10u);
            LoadBudgetScope sublevel("Sub.irr");
            EXPECT_FALSE(budget.chargeWhileLoading(c.kind, 1)) << "one past";
            EXPECT_FALSE(budget.allows(c.kind, 1));
            EXPECT_FALSE(budget.charge(c.kind, UINT64_MAX));
            EXPECT_EQ(budget.used(c.kind), 10u);
            EXPECT_EQ(log.lines, std::vector<std::string>{c.line});
        }
    }
}

TEST_F(LoadBudgetTest, ALevelsBudgetRunsUntilTheNextLevelLoadAFileReadAloneHasItsOwn) {
    LoadBudget& budget = loadBudget();
    budget.setLimit(LoadBudget::Pixels, 10);
    EXPECT_TRUE(budget.charge(LoadBudget::Pixels, 11)) << "before any load there is no level to charge";
    { LoadBudgetScope level("Level.irr", true); }
    EXPECT_TRUE(budget.chargeWhileLoading(LoadBudget::Pixels, 11)) << "a menu's picture is not the level's";
    EXPECT_TRUE(budget.charge(LoadBudget::Pixels, 10)) << "a render target the level asks for while it plays";
    EXPECT_FALSE(budget.charge(LoadBudget::Pixels, 1, {}, "the pools are cut short"));
    {
        LoadBudgetScope preview("Preview.irr");
        EXPECT_FALSE(budget.chargeWhileLoading(LoadBudget::Pixels, 1)) << "a file read while the level plays is the level's";
    }
    EXPECT_EQ(log.lines, std::vector<std::string>{"ERROR: The level load reached its budget of 10 texture pixels at "
                                                  "\"Level.irr\"; the pools are cut short."});
    forgetFileRefusals();
    for (const char* file : {"A.irr", "B.irr"}) {
        LoadBudgetScope alone(file);
        EXPECT_TRUE(budget.charge(LoadBudget::Pixels, 10)) << file;
    }
}

// An object's charge (its memory, the triangles it draws) takes only what it grows by, of its
// own kind; every refusal is counted (a look too), so that a maker can tell that what it made
// was cut short.
TEST_F(LoadBudgetTest, AnObjectsChargeTakesItsGrowthAndRefusalsAreCounted) {
    LoadBudget& budget = loadBudget();
    MemoryCharge memory;
    ObjectCharge triangles(LoadBudget::Triangles);
    for (ObjectCharge* object : {static_cast<ObjectCharge*>(&memory), &triangles}) {
        const LoadBudget::Kind kind = object == &memory ? LoadBudget::Memory : LoadBudget::Triangles;
        SCOPED_TRACE(LoadBudget::unitName(kind));
        forgetFileRefusals();
        budget.setLimit(kind, 100);
        LoadBudgetScope level("Level.irr", true);
        for (const std::uint64_t amount : {40u, 30u, 40u, 100u})
            EXPECT_TRUE(object->growTo(amount)) << amount;
        EXPECT_EQ(budget.used(kind), 100u) << "the edge";
        EXPECT_FALSE(object->growTo(101)) << "one past";
        EXPECT_EQ(object->charged(), 100u);
        EXPECT_FALSE(budget.allows(kind, 1));
        EXPECT_EQ(budget.refusals(kind), 2u);
        EXPECT_EQ(budget.refusals(LoadBudget::Nodes), 0u);
    }
}

// The figures of docs/hardening.md's table, in the order of the kinds, are the game's.
TEST_F(LoadBudgetTest, TheGameRunsWithTheLimitsTheDocsList) {
    std::ifstream docs(test::sourceDir() / "docs/hardening.md");
    ASSERT_TRUE(docs);
    const std::regex row(R"(^\| ([a-z -]+) \| ([0-9,]+) .*)");
    std::vector<std::uint64_t> listed;
    bool inSection = false;
    for (std::string line; std::getline(docs, line);) {
        if (line.rfind("## ", 0) == 0)
            inSection = line == "## One budget per level load";
        std::smatch match;
        if (!inSection || !std::regex_match(line, match, row))
            continue;
        std::string digits = match[2];
        digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
        listed.push_back(std::stoull(digits));
    }
    EXPECT_EQ(listed, std::vector<std::uint64_t>(std::begin(LoadBudget::gameLimits), std::end(LoadBudget::gameLimits)));
}

} // namespace
