#include "tests/faults/FaultSupport.h"

#include "tests/common/IconvOnce.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <sched.h>
#include <sys/mount.h>

namespace lmvfault {

TOutcome TFolderTest::Run(std::vector<std::string> Args, const std::string& WorkDir, const std::string& TmpDir) const
{
    TLaunch launch;
    launch.Args = std::move(Args);
    launch.WorkDir = WorkDir;
    launch.TmpDir = TmpDir.empty() ? Tmp : TmpDir;
    return RunBatch(launch);
}

std::optional<std::string> Iconv(const std::string& From, const std::string& To, const std::string& Text)
{
    return lmvtest::IconvOnce(From, To, Text);
}

std::string Repeat(const std::string& Text, std::size_t Times)
{
    std::string result;
    result.reserve(Text.size() * Times);
    for (std::size_t i = 0; i < Times; ++i)
        result += Text;
    return result;
}

void MakeDir(const std::string& Path)
{
    std::filesystem::create_directories(Path);
}

std::string Utf8Text(std::size_t Size)
{
    static const char* const Pieces[] = {"plain ", "Gr\xC3\xBC\xC3\x9F" "e ", "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7 ",
                                         "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E ", "\xF0\x9F\x98\x80 ", "text, ",
                                         "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 "};
    std::string text;
    std::size_t line = 0;
    for (std::size_t i = 0; text.size() < Size; ++i) {
        const std::string piece = Pieces[(i * 5 + i / 7) % (sizeof Pieces / sizeof *Pieces)];
        text += piece;
        line += piece.size();
        if (line > 60) {
            text += '\n';
            line = 0;
        }
    }
    return text;
}

std::string TSmallDisk::Unavailable()
{
    static const std::string reason = [] {
        if (::unshare(CLONE_NEWNS) != 0)
            return std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
        // Private, so that the mounts made here never reach the namespace the process came from.
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("mount --make-rprivate /: ") + std::strerror(errno);
        return std::string();
    }();
    return reason;
}

TSmallDisk::TSmallDisk(const std::string& Folder, std::size_t Bytes) : Folder(Folder)
{
    if (!Unavailable().empty())
        throw std::runtime_error(Unavailable());
    MakeDir(Folder);
    const std::string options = "size=" + std::to_string(Bytes) + ",mode=0755";
    if (::mount("lmvtest", Folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
        throw std::runtime_error("mount tmpfs on " + Folder + ": " + std::strerror(errno));
}

TSmallDisk::~TSmallDisk()
{
    ::umount2(Folder.c_str(), MNT_DETACH);
}

} // namespace lmvfault
