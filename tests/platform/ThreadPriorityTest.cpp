#include "platform/ThreadPriority.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <thread>

namespace {

int niceOf(long who) {
    errno = 0;
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(who));
}

// A thread of the process may not lower itself below the process's priority (it could never
// come back, and the process's end waits for it); what stays at or above it, and any other
// process, goes through.
TEST(ThreadPriorityTest, AThreadCannotSinkBelowItsProcess) {
    const int processNice = niceOf(::getpid());
    ASSERT_LT(processNice, 19) << "the test needs room below the process's priority";
    enum class Who { ThisThreadById, ThisThreadAsZero };
    const struct {
        Who who;
        int asked;
        int expectedResult;
        int expectedNice;
    } rows[] = {
        {Who::ThisThreadById, processNice + 1, -1, processNice},
        {Who::ThisThreadAsZero, 19, -1, processNice},
        {Who::ThisThreadById, processNice, 0, processNice},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "asked " << row.asked);
        const unsigned refusedBefore = platform::threadPriorityLoweringsRefused();
        std::thread([&] {
            const long tid = ::syscall(SYS_gettid);
            errno = 0;
            const int result = ::setpriority(PRIO_PROCESS, row.who == Who::ThisThreadById ? static_cast<id_t>(tid) : 0,
                                             row.asked);
            EXPECT_EQ(result, row.expectedResult);
            if (result != 0) {
                EXPECT_EQ(errno, EPERM);
            }
            EXPECT_EQ(niceOf(tid), row.expectedNice);
        }).join();
        EXPECT_EQ(platform::threadPriorityLoweringsRefused() - refusedBefore, row.expectedResult == 0 ? 0u : 1u);
    }

    // Another process is the system's business: lowered as asked.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::pause();
        ::_exit(0);
    }
    EXPECT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(child), 19), 0);
    EXPECT_EQ(niceOf(child), 19);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    // A request the system refuses is told as refused.
    errno = 0;
    EXPECT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(child), 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

} // namespace
