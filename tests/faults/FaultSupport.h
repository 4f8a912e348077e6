#pragma once

#include "tests/common/TestSupport.h"
#include "tests/faults/BatchRunner.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

// Small helpers of the fault tests.
namespace lmvfault {

// Text converted by the C library's iconv in one call and its reset; nothing when it fails
// (an invalid, incomplete or unconvertible sequence, a conversion that stalls) or iconv does not
// know a name.
std::optional<std::string> Iconv(const std::string& From, const std::string& To, const std::string& Text);

std::string Repeat(const std::string& Text, std::size_t Times);
void MakeDir(const std::string& Path);

// Lines of printable text of about Size bytes, mixing one- to four-byte UTF-8 characters.
std::string Utf8Text(std::size_t Size);

// A small tmpfs over a folder, a disk that fills up for real. The test process moves into a
// mount namespace of its own first (once), so nothing is seen outside it; both need root.
class TSmallDisk {
public:
    // Empty when this process may mount (the reason otherwise).
    static std::string Unavailable();

    TSmallDisk(const std::string& Folder, std::size_t Bytes);
    ~TSmallDisk();
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

private:
    std::string Folder;
};

// A fresh root with the folders src/ and tmp/ (the child's $TMPDIR) made, and out/ named, and
// lumiva-batch run on them.
class TFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        MakeDir(Tmp);
        MakeDir(Src);
    }

    // WorkDir: the child's current directory (empty: as inherited); TmpDir: its $TMPDIR (empty: Tmp).
    TOutcome Run(std::vector<std::string> Args, const std::string& WorkDir = {}, const std::string& TmpDir = {}) const;

    lmvtest::TempDir Root;
    const std::string Tmp = Root / "tmp";
    const std::string Src = Root / "src";
    const std::string Out = Root / "out";
};

} // namespace lmvfault
