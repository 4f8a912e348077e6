#pragma once

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

// Bytes from a list of numbers: Bytes({0xEF, 0xBB, 0xBF}).
std::string Bytes(std::initializer_list<int> Values);

} // namespace lmvtest
