#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lmvtest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const noexcept { return Dir; }
    // Path() + "/" + Name.
    std::string operator/(const std::string& Name) const { return Dir + "/" + Name; }

private:
    std::string Dir;
};

void WriteFile(const std::string& Path, const std::string& Bytes);
// Throws std::runtime_error when the file cannot be read.
std::string ReadFile(const std::string& Path);
bool Exists(const std::string& Path);
// Names in a folder, sorted.
std::vector<std::string> ListDir(const std::string& Path);

// The folder of the built executables and the conversion library.
std::string BinDir();
std::string SourceDir();

// Runs Body in a child process whose files may not grow beyond Limit bytes (SIGXFSZ ignored), as
// on a full disk, and returns what Body returned; "(no report)" when the child did not end well.
std::string WithFileSizeLimit(std::uint64_t Limit, const std::function<std::string()>& Body);

// Bytes from a list of numbers: Bytes({0xEF, 0xBB, 0xBF}).
std::string Bytes(std::initializer_list<int> Values);

// Sets an environment variable (a null Value removes it) and puts back what it was.
class EnvScope {
public:
    EnvScope(const char* Name, const char* Value);
    EnvScope(const char* Name, const std::string& Value) : EnvScope(Name, Value.c_str()) {}
    ~EnvScope();
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;

private:
    std::string Name;
    std::optional<std::string> Saved;
};

// Switches LC_CTYPE and puts back what it was; Active tells whether the locale was there to use.
class LocaleScope {
public:
    explicit LocaleScope(const char* Name);
    ~LocaleScope();
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

    bool Active = false;

private:
    std::string Saved;
};

} // namespace lmvtest
