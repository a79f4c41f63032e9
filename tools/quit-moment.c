// Starts the game, sends it one SIGTERM a given time after its start and times its end:
//   quit-moment <game> <folder> <milliseconds> [argument]
// The game runs in <folder> (its save folder there too). The time counts from the program's
// first instruction: the exec done and SIGTERM held back or answered (/proc's SigBlk or
// SigCgt), as the launcher's first instruction does; a signal before it meets the default
// action, which no program can change. The processor time from the signal to the exit
// is the whole process's (every thread's), read from /proc at the signal and from the
// kernel's account of the reaped process. Prints one line:
//   status <n> wall <s> cpu <s> main-ended <s>
// status: the exit status, or minus the signal that ended the game; wall: seconds from the
// signal to the process's end; cpu: processor seconds the process used in them; main-ended:
// seconds from the signal to the end of its main thread (-1: not seen).
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

// The process's processor time so far (every thread, those ended too), in seconds; and its
// main thread's state letter.
// Whether the process holds SIGTERM back or has a handler for it: its program has begun.
static int takesQuitSignal(pid_t pid) {
    char path[64], text[4096];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    const int fd = open(path, O_RDONLY);
    if (fd < 0)
        return 1; // gone already: nothing to wait for
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0)
        return 1;
    text[got] = '\0';
    const unsigned long long bit = 1ULL << (SIGTERM - 1);
    const char* fields[] = {"SigBlk:", "SigCgt:"};
    for (int i = 0; i < 2; ++i) {
        const char* at = strstr(text, fields[i]);
        if (at && (strtoull(at + strlen(fields[i]), NULL, 16) & bit))
            return 1;
    }
    return 0;
}

static double processCpu(pid_t pid, char* state) {
    char path[64], text[4096];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    const int fd = open(path, O_RDONLY);
    if (fd < 0)
        return -1.0;
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0)
        return -1.0;
    text[got] = '\0';
    // The name may hold spaces: the fields after it follow its closing parenthesis.
    const char* after = strrchr(text, ')');
    if (!after)
        return -1.0;
    char letter = '?';
    unsigned long long utime = 0, stime = 0;
    // state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime
    if (sscanf(after + 2, "%c %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %llu %llu", &letter, &utime, &stime) != 3)
        return -1.0;
    if (state)
        *state = letter;
    return (double)(utime + stime) / (double)sysconf(_SC_CLK_TCK);
}

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: quit-moment <game> <folder> <milliseconds> [argument]\n");
        return 2;
    }
    const char* game = argv[1];
    const char* folder = argv[2];
    const double delay = atof(argv[3]) / 1000.0;
    const char* argument = argc > 4 ? argv[4] : NULL;
    int started[2];
    if (pipe2(started, O_CLOEXEC) != 0)
        return 2;
    const pid_t child = fork();
    if (child == 0) {
        close(started[0]);
        char data[4096];
        snprintf(data, sizeof data, "%s/data", folder);
        if (chdir(folder) != 0 || setenv("XDG_DATA_HOME", data, 1) != 0)
            _exit(126);
        const int out = open("output.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
            close(out);
        }
        execl(game, game, argument, (char*)NULL);
        const int error = errno;
        (void)!write(started[1], &error, sizeof error);
        _exit(127);
    }
    close(started[1]);
    int error = 0;
    if (read(started[0], &error, sizeof error) > 0) {
        fprintf(stderr, "quit-moment: cannot run %s: %s\n", game, strerror(error));
        return 2;
    }
    close(started[0]);
    const double execDone = now();
    while (!takesQuitSignal(child) && now() - execDone < 5.0) {
        struct timespec pause = {0, 20000L};
        nanosleep(&pause, NULL);
    }
    const double start = now();
    const double due = start + delay;
    while (now() < due) {
        const double left = due - now();
        struct timespec pause = {0, left > 0.001 ? 1000000L : (long)(left * 1e9)};
        nanosleep(&pause, NULL);
    }
    const double cpuAtSignal = processCpu(child, NULL);
    const double signalled = now();
    kill(child, SIGTERM);
    double mainEnded = -1.0;
    for (;;) {
        siginfo_t info;
        memset(&info, 0, sizeof info);
        if (waitid(P_PID, (id_t)child, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child)
            break;
        char state = '?';
        if (mainEnded < 0 && processCpu(child, &state) >= 0 && (state == 'Z' || state == 'X'))
            mainEnded = now() - signalled;
        struct timespec pause = {0, 1000000L};
        nanosleep(&pause, NULL);
    }
    int status = 0;
    struct rusage usage;
    wait4(child, &status, 0, &usage);
    const double ended = now();
    const double cpuAtExit = (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec * 1e-6 +
                             (double)usage.ru_stime.tv_sec + (double)usage.ru_stime.tv_usec * 1e-6;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    printf("status %d wall %.3f cpu %.3f main-ended %.3f\n", code, ended - signalled,
           cpuAtSignal < 0 ? -1.0 : cpuAtExit - cpuAtSignal, mainEnded);
    return 0;
}
