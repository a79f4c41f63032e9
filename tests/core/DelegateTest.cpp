#include "core/Delegate.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Recorder {
    std::vector<std::string>* log = nullptr;
    std::string name;
    DelegateList* list = nullptr;

    void hit() { log->push_back(name); }
    void other() { log->push_back(name + "-other"); }
    void withPointer(int* value) { log->push_back(name + ":" + std::to_string(*value)); }
    void withInteger(int value) { log->push_back(name + "#" + std::to_string(value)); }
    void stopList() {
        log->push_back(name);
        list->stop();
    }
    void removeSelf() {
        log->push_back(name);
        list->removeMember(this, &Recorder::removeSelf);
    }
};

class DelegateListTest : public ::testing::Test {
protected:
    std::vector<std::string> log;
    DelegateList list;
    Recorder make(const std::string& name) { return Recorder{&log, name, &list}; }
};

TEST_F(DelegateListTest, InvokesInInsertionOrder) {
    Recorder a = make("a"), b = make("b"), c = make("c");
    list.addMember(&b, &Recorder::hit);
    list.addMember(&a, &Recorder::hit);
    list.addMember(&c, &Recorder::hit);
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"b", "a", "c"}));
}

TEST_F(DelegateListTest, EqualityNeedsTheSameObjectAndTheSameFunction) {
    Recorder a = make("a"), b = make("b");
    EXPECT_EQ(Delegate::member(&a, &Recorder::hit), Delegate::member(&a, &Recorder::hit));
    EXPECT_NE(Delegate::member(&a, &Recorder::hit), Delegate::member(&b, &Recorder::hit));
    EXPECT_NE(Delegate::member(&a, &Recorder::hit), Delegate::member(&a, &Recorder::other));
}

TEST_F(DelegateListTest, RemovalErasesOnlyTheFirstEqualEntry) {
    Recorder a = make("a"), b = make("b");
    list.addMember(&a, &Recorder::hit);
    list.addMember(&b, &Recorder::hit);
    list.addMember(&a, &Recorder::hit);
    EXPECT_TRUE(list.removeMember(&a, &Recorder::hit));
    EXPECT_EQ(list.size(), 2u);
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"b", "a"}));
}

TEST_F(DelegateListTest, RemovingAnAbsentDelegateChangesNothing) {
    Recorder a = make("a");
    list.addMember(&a, &Recorder::hit);
    EXPECT_FALSE(list.removeMember(&a, &Recorder::other));
    EXPECT_FALSE(list.remove(Delegate::member(&a, &Recorder::withInteger)));
    EXPECT_EQ(list.size(), 1u);
}

TEST_F(DelegateListTest, AddKeepsACopySoTheCallersRecordMayGo) {
    Recorder a = make("a");
    {
        auto record = std::make_unique<Delegate>(Delegate::member(&a, &Recorder::hit));
        list.add(*record);
    }
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"a"}));
}

TEST_F(DelegateListTest, StopFlagEndsTheWalkAndIsClearedForTheNextRun) {
    Recorder a = make("a"), stopper = make("stop"), c = make("c");
    list.addMember(&a, &Recorder::hit);
    list.addMember(&stopper, &Recorder::stopList);
    list.addMember(&c, &Recorder::hit);
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "stop"}));
    EXPECT_TRUE(list.isStopped());
    list.removeMember(&stopper, &Recorder::stopList);
    log.clear();
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "c"}));
}

TEST_F(DelegateListTest, ADelegateMayRemoveItselfWhileTheListRuns) {
    Recorder a = make("a"), self = make("self"), c = make("c");
    list.addMember(&a, &Recorder::hit);
    list.addMember(&self, &Recorder::removeSelf);
    list.addMember(&c, &Recorder::hit);
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "self", "c"}));
    EXPECT_EQ(list.size(), 2u);
    log.clear();
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "c"}));
}

// An entry that removes itself and runs the list again: the inner run leaves the list as it
// stands until the outer run ends, so the outer run calls each remaining entry once more.
struct Rerunner {
    DelegateList* list;
    std::vector<std::string>* log;
    void run() {
        log->push_back("rerun");
        list->removeMember(this, &Rerunner::run);
        list->invoke();
    }
};

TEST_F(DelegateListTest, ARunInsideARunKeepsTheOuterRunsPlace) {
    Rerunner rerun{&list, &log};
    Recorder b = make("b"), c = make("c");
    list.addMember(&rerun, &Rerunner::run);
    list.addMember(&b, &Recorder::hit);
    list.addMember(&c, &Recorder::hit);
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"rerun", "b", "c", "b", "c"}));
    EXPECT_EQ(list.size(), 2u);
}

struct Remover {
    DelegateList* list;
    Recorder* victim;
    std::vector<std::string>* log;
    void run() {
        log->push_back("remover");
        list->removeMember(victim, &Recorder::hit);
    }
};

TEST_F(DelegateListTest, AnEntryRemovedByAnotherDuringTheRunIsNotCalled) {
    Recorder victim = make("victim");
    Remover remover{&list, &victim, &log};
    list.addMember(&remover, &Remover::run);
    list.addMember(&victim, &Recorder::hit);
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"remover"}));
    EXPECT_EQ(list.size(), 1u);
}

struct Adder {
    DelegateList* list;
    Recorder* added;
    std::vector<std::string>* log;
    void run() {
        log->push_back("adder");
        list->addMember(added, &Recorder::hit);
    }
};

TEST_F(DelegateListTest, EntriesAddedDuringARunWaitForTheNextRun) {
    Recorder late = make("late");
    Adder adder{&list, &late, &log};
    list.addMember(&adder, &Adder::run);
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"adder"}));
    log.clear();
    list.removeMember(&adder, &Adder::run);
    list.invoke();
    EXPECT_EQ(log, (std::vector<std::string>{"late"}));
}

struct Owner {
    std::unique_ptr<DelegateList> list = std::make_unique<DelegateList>();
    int calls = 0;
    void destroyList() {
        ++calls;
        list.reset();
    }
    void count() { ++calls; }
};

TEST(DelegateListLifetimeTest, ADelegateMayDestroyTheListItRunsFrom) {
    Owner owner;
    owner.list->addMember(&owner, &Owner::destroyList);
    owner.list->addMember(&owner, &Owner::count);
    owner.list->invoke();
    EXPECT_EQ(owner.calls, 1);
    EXPECT_EQ(owner.list, nullptr);
}

TEST_F(DelegateListTest, ClearDuringARunStopsTheRemainingCalls) {
    struct Clearer {
        DelegateList* list;
        void run() { list->clear(); }
    } clearer{&list};
    Recorder after = make("after");
    list.addMember(&clearer, &Clearer::run);
    list.addMember(&after, &Recorder::hit);
    list.invoke();
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(list.empty());
}

TEST_F(DelegateListTest, PassesTheWordArgumentAsPointerOrInteger) {
    Recorder a = make("a");
    list.addMember(&a, &Recorder::withPointer);
    int value = 42;
    dispatchEvent(list, value);
    list.clear();
    list.addMember(&a, &Recorder::withInteger);
    list.invoke(7);
    EXPECT_EQ(log, (std::vector<std::string>{"a:42", "a#7"}));
}

int freeCalls = 0;
void freeHook() { ++freeCalls; }

TEST_F(DelegateListTest, FreeFunctionsBindLikeMembers) {
    freeCalls = 0;
    list.addFunction(&freeHook);
    list.invoke();
    EXPECT_EQ(freeCalls, 1);
    EXPECT_TRUE(list.removeFunction(&freeHook));
    EXPECT_TRUE(list.empty());
}

TEST_F(DelegateListTest, AnEmptyDelegateIsUnboundAndCallingItDoesNothing) {
    Recorder a = make("a");
    const Delegate empty;
    EXPECT_FALSE(empty.isBound());
    EXPECT_EQ(empty.boundObject(), nullptr);
    empty();
    const Delegate bound = Delegate::member(&a, &Recorder::hit);
    EXPECT_TRUE(bound.isBound());
    EXPECT_EQ(bound.boundObject(), &a);
    EXPECT_TRUE(Delegate::function(&freeHook).isBound());
    bound();
    EXPECT_EQ(log, (std::vector<std::string>{"a"}));
}

TEST_F(DelegateListTest, BindersAddAndRemoveTheBoundMember) {
    Recorder a = make("a");
    bindCallback(list, &a, &Recorder::hit);
    EXPECT_TRUE(list.contains(Delegate::member(&a, &Recorder::hit)));
    EXPECT_TRUE(unbindCallback(list, &a, &Recorder::hit));
    EXPECT_FALSE(unbindCallback(list, &a, &Recorder::hit));
}

} // namespace
