#include "tests/common/RunProcess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace lmvtest {

namespace {

std::int64_t NowMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

constexpr std::int64_t TimeLimitMs = 120000;

// A pseudo-terminal as a pair like pipe2's: [0] the side to read, [1] the program's side.
bool OpenTerminal(int Ends[2])
{
    if (::openpty(&Ends[0], &Ends[1], nullptr, nullptr, nullptr) != 0)
        return false;
    termios raw{};
    ::tcgetattr(Ends[1], &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(Ends[1], TCSANOW, &raw);
    ::fcntl(Ends[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(Ends[1], F_SETFD, FD_CLOEXEC);
    return true;
}

} // namespace

std::vector<std::string> Environment(const std::vector<std::string>& Drop, const std::vector<std::string>& Add)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        bool dropped = false;
        for (const std::string& name : Drop)
            dropped = dropped || (std::strncmp(*e, name.c_str(), name.size()) == 0 && (*e)[name.size()] == '=');
        if (!dropped)
            env.emplace_back(*e);
    }
    env.insert(env.end(), Add.begin(), Add.end());
    return env;
}

TProcessOutcome RunProcess(const std::vector<std::string>& Argv, const std::vector<std::string>& Env,
                           const TProcessOptions& Options)
{
    TProcessOutcome outcome;
    if (Argv.empty()) {
        ADD_FAILURE() << "no program to run";
        return outcome;
    }
    std::vector<char*> args;
    for (const std::string& a : Argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> env = Env;
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe2: " << std::strerror(errno);
        return outcome;
    }
    if (Options.ErrorOnTerminal ? !OpenTerminal(err) : ::pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "standard error: " << std::strerror(errno);
        ::close(out[0]);
        ::close(out[1]);
        return outcome;
    }
    int terminal[2] = {-1, -1};
    if (Options.InputOnTerminal && !OpenTerminal(terminal))
        ADD_FAILURE() << "standard input: " << std::strerror(errno);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        const int in = Options.InputOnTerminal ? terminal[1] : ::open(Options.Input.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        sigset_t mask;
        sigemptyset(&mask);
        if (Options.PendingInterrupt) {
            // Blocked and pending: both survive the exec.
            sigaddset(&mask, SIGINT);
            ::sigprocmask(SIG_SETMASK, &mask, nullptr);
            ::kill(::getpid(), SIGINT);
        } else {
            ::sigprocmask(SIG_SETMASK, &mask, nullptr);
        }
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    // The terminal's own side stays open while the program runs: closing it hangs the terminal up.
    if (terminal[1] >= 0)
        ::close(terminal[1]);
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        ::close(out[0]);
        ::close(err[0]);
        return outcome;
    }

    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&outcome.Out, &outcome.Err};
    int open = 2;
    const std::int64_t limit = NowMs() + TimeLimitMs;
    while (open > 0) {
        const std::int64_t left = limit - NowMs();
        const int ready = left > 0 ? ::poll(fds, 2, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            ADD_FAILURE() << Argv[0] << " did not end";
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[65536];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
        if (!Options.Until.empty() && outcome.Err.find(Options.Until) != std::string::npos) {
            outcome.Matched = true;
            break;
        }
    }
    if (open > 0)
        ::kill(pid, SIGKILL);
    for (const pollfd& fd : fds)
        if (fd.fd >= 0)
            ::close(fd.fd);
    int status = 0;
    pid_t reaped;
    while ((reaped = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (terminal[0] >= 0)
        ::close(terminal[0]);
    if (reaped != pid) {
        ADD_FAILURE() << "waitpid: " << std::strerror(errno);
        return outcome;
    }
    outcome.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

} // namespace lmvtest
