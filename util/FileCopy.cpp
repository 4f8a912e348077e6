#include "util/FileCopy.h"

#include "util/FileAccess.h"
#include "util/FileDescriptor.h"
#include "util/FolderCache.h"
#include "util/NewFile.h"

#include <cerrno>
#include <cstdint>
#include <memory>

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool ReadWriteCopy(int In, int Out)
{
    constexpr std::size_t chunkSize = 256 * 1024;
    const std::unique_ptr<char[]> buffer(new char[chunkSize]);
    for (;;) {
        const ssize_t n = ReadUpTo(In, buffer.get(), chunkSize);
        if (n < 0)
            return false;
        if (n > 0 && !WriteAll(Out, buffer.get(), static_cast<std::size_t>(n)))
            return false;
        if (static_cast<std::size_t>(n) < chunkSize)
            return true;
    }
}

enum class TPump { Done, Failed, Unsupported };

// Repeats a kernel copy step to the end of the input. A step the file systems do not support
// before any byte moved reports Unsupported, so that the next way can be tried.
template <class TStep, class TIsUnsupported>
TPump Pump(TStep Step, TIsUnsupported IsUnsupported, bool& Moved)
{
    for (;;) {
        const ssize_t n = Step();
        if (n > 0) {
            Moved = true;
            continue;
        }
        if (n == 0)
            return TPump::Done;
        if (errno == EINTR)
            continue;
        return Moved || !IsUnsupported(errno) ? TPump::Failed : TPump::Unsupported;
    }
}

} // namespace

bool CopyContent(int In, int Out)
{
    constexpr std::size_t chunkSize = 1u << 30;
    bool moved = false;
    TPump result = Pump([&] { return ::copy_file_range(In, nullptr, Out, nullptr, chunkSize, 0); },
                        [](int error) {
                            return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
                                   error == EPERM || error == EBADF;
                        },
                        moved);
    if (result == TPump::Unsupported)
        result = Pump([&] { return ::sendfile(Out, In, nullptr, chunkSize); },
                      [](int error) { return error == EINVAL || error == ENOSYS; }, moved);
    if (result == TPump::Unsupported)
        return ReadWriteCopy(In, Out);
    return result == TPump::Done;
}

bool MayPlaceAt(const TLanding& Target)
{
    if (!Target.Folder || !Target.LookedUp)
        return false;
    // Only a plain file, or a link that leads nowhere, is replaced; a directory, device or pipe
    // stays as it is.
    return !Target.Exists || S_ISLNK(Target.Old.st_mode) ||
           (S_ISREG(Target.Old.st_mode) && !IsReadOnlyFile(Target.Old));
}

bool CopyFileReplace(int Source, const TLanding& Target, bool* AttributesKept, const TAttributeCopy& Keep)
{
    struct stat source;
    if (Source < 0 || ::fstat(Source, &source) != 0 || !S_ISREG(source.st_mode) || !MayPlaceAt(Target) ||
        ::lseek(Source, 0, SEEK_SET) != 0)
        return false;
    if (static_cast<std::uint64_t>(source.st_size) > (1u << 20))
        ::posix_fadvise(Source, 0, 0, POSIX_FADV_SEQUENTIAL);
    TNewFile out(Target.Folder);
    if (out.Handle() < 0 || !CopyContent(Source, out.Handle()) || !out.TakeOver(source, true))
        return false;
    const bool kept = Keep(Source, out.Handle());
    if (AttributesKept)
        *AttributesKept = kept;
    return Target.Exists ? out.Replace(Target.Name) : out.Link(Target.Name);
}

bool CopyFileReplace(const std::string& Source, const std::string& Target)
{
    TFolderCache folders;
    TLanding target;
    struct stat info;
    const TFd in = OpenRegularFile(Source, info);
    return in.Get() >= 0 && !Target.empty() && folders.Locate(Target, target) && CopyFileReplace(in.Get(), target);
}
