#include "tests/faults/BatchRunner.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lmvfault {

namespace {

void CloseFd(int& Fd) noexcept
{
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
}

// Only async-signal-safe calls between fork and exec: the texts are prepared before.
[[noreturn]] void ChildFail(const char* What)
{
    const char* reason = std::strerror(errno);
    [[maybe_unused]] ssize_t n = ::write(2, What, std::strlen(What));
    n = ::write(2, ": ", 2);
    n = ::write(2, reason, std::strlen(reason));
    n = ::write(2, "\n", 1);
    ::_exit(127);
}

bool ReadSome(int& Fd, std::string& Into)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(Fd, buffer, sizeof buffer);
        if (n > 0) {
            Into.append(buffer, static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return true;
        CloseFd(Fd); // end of file or a broken pipe
        return false;
    }
}

bool StartsWith(const std::string& Text, const std::string& Prefix)
{
    return Text.compare(0, Prefix.size(), Prefix) == 0;
}

} // namespace

std::string LumivaBatch()
{
    return lmvtest::BinDir() + "/lumiva-batch";
}

std::string TOutcome::Describe() const
{
    std::string text = Exited ? "exit status " + std::to_string(ExitCode) : "killed by signal " + std::to_string(Signal);
    if (!Err.empty())
        text += "\nstandard error:\n" + Err;
    text += "\nlog:\n" + Out;
    return text;
}

TBatchProcess::TBatchProcess(const TLaunch& Launch)
{
    std::vector<std::string> args{Launch.Program.empty() ? LumivaBatch() : Launch.Program};
    args.insert(args.end(), Launch.Args.begin(), Launch.Args.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (Launch.TmpDir.empty() || !StartsWith(*e, "TMPDIR="))
            env.emplace_back(*e);
    if (!Launch.TmpDir.empty())
        env.push_back("TMPDIR=" + Launch.TmpDir);
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (!Launch.DiscardOutput && (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0))
        throw std::runtime_error("pipe failed");
    const char* workDir = Launch.WorkDir.empty() ? nullptr : Launch.WorkDir.c_str();
    const long long limit = Launch.FileSizeLimit;
    const long long memory = Launch.MemoryLimit;

    Pid = ::fork();
    if (Pid < 0)
        throw std::runtime_error("fork failed");
    if (Pid == 0) {
        if (Launch.DiscardOutput) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null < 0 || ::dup2(null, 1) < 0 || ::dup2(null, 2) < 0)
                ChildFail("/dev/null");
        } else if (::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0) {
            ChildFail("dup2");
        }
        if (workDir && ::chdir(workDir) != 0)
            ChildFail("chdir");
        if (limit >= 0) {
            // Ignored stays ignored across exec: writes past the limit then fail with EFBIG.
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            ::sigaction(SIGXFSZ, &ignore, nullptr);
            const rlimit size{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
            if (::setrlimit(RLIMIT_FSIZE, &size) != 0)
                ChildFail("setrlimit");
        }
        if (memory >= 0) {
            const rlimit space{static_cast<rlim_t>(memory), static_cast<rlim_t>(memory)};
            if (::setrlimit(RLIMIT_AS, &space) != 0)
                ChildFail("setrlimit");
        }
        ::execve(argv[0], argv.data(), envp.data());
        ChildFail("execve");
    }
    CloseFd(out[1]);
    CloseFd(err[1]);
    OutFd = out[0];
    ErrFd = err[0];
    for (int fd : {OutFd, ErrFd})
        if (fd >= 0)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    PidFd = static_cast<int>(::syscall(SYS_pidfd_open, Pid, 0));
    if (PidFd < 0)
        throw std::runtime_error("pidfd_open failed");
}

TBatchProcess::~TBatchProcess()
{
    if (!Ended) {
        Kill();
        Reap();
    }
    CloseFd(OutFd);
    CloseFd(ErrFd);
    CloseFd(PidFd);
}

void TBatchProcess::Pump(int Milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(Milliseconds);
    bool exited = false;
    while (!exited) {
        pollfd fds[3] = {{PidFd, POLLIN, 0}, {OutFd, POLLIN, 0}, {ErrFd, POLLIN, 0}};
        int timeout = -1;
        if (Milliseconds >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return;
            timeout = static_cast<int>(left);
        }
        const int n = ::poll(fds, 3, timeout);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            return;
        if (fds[1].revents)
            ReadSome(OutFd, Result.Out);
        if (fds[2].revents)
            ReadSome(ErrFd, Result.Err);
        exited = fds[0].revents != 0;
    }
    // Gone: what it wrote is all in the pipes.
    while (OutFd >= 0 && ReadSome(OutFd, Result.Out)) {
        pollfd fd{OutFd, POLLIN, 0};
        if (::poll(&fd, 1, 0) == 0)
            break;
    }
    while (ErrFd >= 0 && ReadSome(ErrFd, Result.Err)) {
        pollfd fd{ErrFd, POLLIN, 0};
        if (::poll(&fd, 1, 0) == 0)
            break;
    }
    Reap();
}

void TBatchProcess::Reap()
{
    int status = 0;
    while (::waitpid(Pid, &status, 0) < 0 && errno == EINTR) {
    }
    Ended = true;
    Result.Exited = WIFEXITED(status);
    Result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    Result.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

bool TBatchProcess::WaitFor(int Milliseconds)
{
    if (!Ended)
        Pump(Milliseconds);
    return Ended;
}

void TBatchProcess::Kill()
{
    if (!Ended)
        ::kill(Pid, SIGKILL);
}

TOutcome TBatchProcess::Finish()
{
    if (!Ended)
        Pump(-1);
    return Result;
}

TOutcome RunBatch(const TLaunch& Launch)
{
    TBatchProcess process(Launch);
    return process.Finish();
}

TRunLog ParseLog(const std::string& Out)
{
    TRunLog log;
    std::vector<std::string> lines;
    bool crlf = true;
    std::size_t start = 0;
    while (start < Out.size()) {
        std::size_t end = Out.find("\r\n", start);
        if (end == std::string::npos) {
            crlf = false;
            end = Out.size();
        }
        const std::string line = Out.substr(start, end - start);
        if (line.find('\n') != std::string::npos)
            crlf = false;
        lines.push_back(line);
        start = end + 2;
    }
    bool complete = crlf && !lines.empty();
    TFileEntry* current = nullptr;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (i + 1 == lines.size()) {
            log.Summary = line;
            break;
        }
        if (line == "Convert character encoding:") {
            if (current && !current->Succeeded && !current->Failed)
                complete = false;
            log.Files.emplace_back();
            current = &log.Files.back();
            if (i + 2 < lines.size() && StartsWith(lines[i + 1], "\t- Source file: ") &&
                StartsWith(lines[i + 2], "\t- Destination file: ")) {
                current->Source = lines[i + 1].substr(16);
                current->Destination = lines[i + 2].substr(21);
                i += 2;
            } else {
                complete = false;
            }
            continue;
        }
        const bool open = current && !current->Succeeded && !current->Failed;
        if (StartsWith(line, "[Error] ")) {
            (open ? current->Errors : log.RunErrors).push_back(line.substr(8));
        } else if (StartsWith(line, "[Warning] ")) {
            if (open)
                current->Warnings.push_back(line.substr(10));
            else
                complete = false;
        } else if (line == "... Succeeded" && open) {
            current->Succeeded = true;
        } else if (line == "... Failed" && open) {
            current->Failed = true;
        } else if (open) {
            current->Notes.push_back(line);
        } else if (log.Files.empty()) {
            log.Preamble.push_back(line);
        } else {
            complete = false;
        }
    }
    if (current && !current->Succeeded && !current->Failed)
        complete = false;
    log.WellFormed = complete;
    return log;
}

TRunLog CheckedLog(const TOutcome& Outcome)
{
    TRunLog log = ParseLog(Outcome.Out);
    EXPECT_TRUE(log.WellFormed) << Outcome.Describe();
    return log;
}

const TFileEntry* FindEntry(const TRunLog& Log, const std::string& Source)
{
    const TFileEntry* found = nullptr;
    int count = 0;
    for (const TFileEntry& entry : Log.Files)
        if (entry.Source == Source) {
            found = &entry;
            ++count;
        }
    if (count != 1) {
        ADD_FAILURE() << count << " log entries for " << Source;
        return nullptr;
    }
    return found;
}

void ExpectEntry(const TRunLog& Log, const std::string& Source, const std::string& Error, const TOutcome& Outcome)
{
    const TFileEntry* entry = FindEntry(Log, Source);
    ASSERT_NE(entry, nullptr) << Outcome.Describe();
    if (Error.empty()) {
        EXPECT_TRUE(entry->Succeeded) << Source << "\n" << Outcome.Describe();
        EXPECT_EQ(entry->Errors, TNames{}) << Source;
    } else {
        EXPECT_TRUE(entry->Failed) << Source << "\n" << Outcome.Describe();
        EXPECT_EQ(entry->Errors, TNames{Error}) << Source;
    }
    EXPECT_EQ(entry->Warnings, TNames{}) << Source;
}

} // namespace lmvfault
