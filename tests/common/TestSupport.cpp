#include "tests/common/TestSupport.h"

#include <algorithm>
#include <csignal>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lmvtest {

TempDir::TempDir()
{
    std::string base = fs::temp_directory_path().string() + "/lmvtest-XXXXXX";
    if (!::mkdtemp(base.data()))
        throw std::runtime_error("mkdtemp failed");
    Dir = base;
}

TempDir::~TempDir()
{
    std::error_code error;
    fs::remove_all(Dir, error);
}

void WriteFile(const std::string& Path, const std::string& Bytes)
{
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + Path);
}

std::string ReadFile(const std::string& Path)
{
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + Path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& Path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(Path, error));
}

std::vector<std::string> ListDir(const std::string& Path)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string BinDir()
{
    return LUMIVA_BIN_DIR;
}

std::string SourceDir()
{
    return LUMIVA_SOURCE_DIR;
}

std::string WithFileSizeLimit(std::uint64_t Limit, const std::function<std::string()>& Body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "(no report)";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{Limit, Limit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string result;
        try {
            result = Body();
        } catch (...) {
            ::_exit(2);
        }
        const ssize_t written = ::write(fds[1], result.data(), result.size());
        ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    std::string result;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "(no report)";
    return result;
}

std::string Bytes(std::initializer_list<int> Values)
{
    std::string result;
    for (int v : Values)
        result += static_cast<char>(v);
    return result;
}

EnvScope::EnvScope(const char* Name, const char* Value) : Name(Name)
{
    if (const char* old = std::getenv(Name))
        Saved = old;
    if (Value)
        ::setenv(Name, Value, 1);
    else
        ::unsetenv(Name);
}

EnvScope::~EnvScope()
{
    if (Saved)
        ::setenv(Name.c_str(), Saved->c_str(), 1);
    else
        ::unsetenv(Name.c_str());
}

LocaleScope::LocaleScope(const char* Name) : Saved(std::setlocale(LC_CTYPE, nullptr))
{
    Active = std::setlocale(LC_CTYPE, Name) != nullptr;
}

LocaleScope::~LocaleScope()
{
    std::setlocale(LC_CTYPE, Saved.c_str());
}

} // namespace lmvtest
