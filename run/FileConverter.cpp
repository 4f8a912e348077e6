#include "run/FileConverter.h"

#include "engine/Lumiva.h"
#include "run/ContentError.h"
#include "run/FailureLocator.h"
#include "util/FileDescriptor.h"
#include "util/Mysysutils.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One side of a conversion: an open file and its buffer. Declared input first, so the output
// side is released first.
struct TSide {
    TFd File;
    std::unique_ptr<char[]> Buffer;
    std::size_t Size = 0;
};

class TCloseGuard {
public:
    explicit TCloseGuard(TLumiva& Converter) noexcept : Converter(Converter) {}
    ~TCloseGuard() { Converter.Close(); }
    TCloseGuard(const TCloseGuard&) = delete;
    TCloseGuard& operator=(const TCloseGuard&) = delete;

private:
    TLumiva& Converter;
};

void ReadExactly(int Fd, char* Data, std::size_t Size)
{
    while (Size > 0) {
        const ssize_t n = ::read(Fd, Data, Size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EConvertError("Cannot read from source file");
        Data += n;
        Size -= static_cast<std::size_t>(n);
    }
}

void WriteExactly(int Fd, const char* Data, std::size_t Size)
{
    while (Size > 0) {
        const ssize_t n = ::write(Fd, Data, Size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EConvertError("Cannot write to temporary file");
        Data += n;
        Size -= static_cast<std::size_t>(n);
    }
}

std::unique_ptr<char[]> Allocate(std::size_t Size)
{
    return std::unique_ptr<char[]>(new char[std::max<std::size_t>(Size, 1)]);
}

} // namespace

TFileConverter::TFileConverter(TLumiva& Converter, std::string FromEncoding, std::string TargetEncoding,
                               std::int32_t Translation, std::int32_t BufferSize, std::string Signature)
    : Converter(Converter), FromEncoding(std::move(FromEncoding)), TargetEncoding(std::move(TargetEncoding)),
      Translation(Translation), BufferSize(BufferSize), Signature(std::move(Signature))
{
}

std::string TFileConverter::MakeTempFile()
{
    std::string name = CreateTempFile("", "LMV");
    if (name.empty())
        throw EConvertError("Cannot create temporary file");
    return name;
}

void TFileConverter::CheckFile(const std::string& SourceName)
{
    ConvertFile(SourceName, "/dev/null");
}

void TFileConverter::FailOnContent(int Fd, std::uint64_t Offset)
{
    const char* const Message = "Cannot convert character encoding";
    std::string Where;
    try {
        Where = TFailureLocator(Converter, FromEncoding, TargetEncoding, Translation).Describe(Fd, Offset);
    } catch (const std::exception&) {
        // Telling where is a courtesy; the failure itself stands.
    }
    if (Where.empty())
        throw EConvertError(Message);
    throw EContentError(Message, std::move(Where));
}

void TFileConverter::ConvertFile(const std::string& SourceName, const std::string& TempName)
{
    Convert(SourceName, &TempName, -1);
}

void TFileConverter::ConvertFile(const std::string& SourceName, int TempFile)
{
    Convert(SourceName, nullptr, TempFile);
}

void TFileConverter::Convert(const std::string& SourceName, const std::string* TempName, int TempFile)
{
    const std::size_t total = BufferSize > 0 ? static_cast<std::size_t>(BufferSize) : 0;

    // Non-blocking only so that a named pipe cannot hang the open; it is refused just below.
    TSide in{TFd(::open(SourceName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)), nullptr, total / 2};
    struct stat source;
    if (in.File.Get() < 0 || ::fstat(in.File.Get(), &source) != 0 || !S_ISREG(source.st_mode))
        throw EConvertError("Cannot open source file");
    // O_NONBLOCK stays: reads of a plain file ignore it. A file read in one go needs no advice.
    if (static_cast<std::uint64_t>(source.st_size) > in.Size)
        ::posix_fadvise(in.File.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    in.Buffer = Allocate(in.Size);

    // The temporary file exists already and is empty: neither created nor truncated here.
    TSide out{TempName ? TFd(::open(TempName->c_str(), O_WRONLY | O_CLOEXEC)) : TFd(TempFile, false), nullptr,
              total - in.Size};
    if (out.File.Get() < 0)
        throw EConvertError(TempName ? "Cannot open temporary file" : "Cannot create temporary file");
    out.Buffer = Allocate(out.Size);

    try {
        Converter.Start(FromEncoding, TargetEncoding, Translation);
    } catch (const TLumiva::EStartError&) {
        throw EConvertError("Cannot start converting character encoding");
    }
    {
        const TCloseGuard closeGuard(Converter);

        WriteExactly(out.File.Get(), Signature.data(), Signature.size());

        std::uint64_t remaining = static_cast<std::uint64_t>(source.st_size);
        // An input buffer of no bytes could never take the source in.
        if (remaining > 0 && in.Size == 0)
            throw EConvertError("Cannot convert character encoding");
        std::size_t held = 0;
        // Output without input only drains what the converter holds, a character or two. A
        // decoder that gives output forever without taking input (as the C library's JIS X 0213
        // decoders did, before the conversion library worked around them) would otherwise grow
        // the temporary file until the disk is full.
        constexpr int MaxCallsWithoutInput = 8;
        int callsWithoutInput = 0;
        for (;;) {
            const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(in.Size - held, remaining));
            ReadExactly(in.File.Get(), in.Buffer.get() + held, room);
            held += room;
            remaining -= room;
            if (OnRead)
                OnRead(static_cast<std::uint64_t>(source.st_size) - remaining, static_cast<std::uint64_t>(source.st_size));
            if (held == 0)
                break;

            const char* inPtr = in.Buffer.get();
            std::size_t inLeft = held;
            char* outPtr = out.Buffer.get();
            std::size_t outLeft = out.Size;
            Converter.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
            const std::size_t produced = out.Size - outLeft;
            // Consuming (also a dropped signature or dropped characters) or producing is progress;
            // a call that does neither would be repeated on the same bytes forever.
            if (inLeft == held && produced == 0)
                FailOnContent(in.File.Get(), static_cast<std::uint64_t>(source.st_size) - remaining - held);
            callsWithoutInput = inLeft == held ? callsWithoutInput + 1 : 0;
            if (callsWithoutInput > MaxCallsWithoutInput)
                throw EConvertError("Cannot convert character encoding");

            if (inLeft > 0 && inPtr != in.Buffer.get())
                std::memmove(in.Buffer.get(), inPtr, inLeft);
            held = inLeft;
            WriteExactly(out.File.Get(), out.Buffer.get(), produced);
        }

        // Return a stateful target (ISO-2022-JP and the like) to its initial state. The reset
        // sequences are a few bytes, so a small fixed buffer takes them whatever BufferSize is.
        char tail[64];
        for (int call = 0;; ++call) {
            if (call > MaxCallsWithoutInput)
                throw EConvertError("Cannot convert character encoding");
            const char* inPtr = nullptr;
            std::size_t inLeft = 0;
            char* outPtr = tail;
            std::size_t outLeft = sizeof tail;
            Converter.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
            const std::size_t produced = sizeof tail - outLeft;
            if (produced == 0)
                break;
            WriteExactly(out.File.Get(), tail, produced);
        }
    }

    if (!out.File.Close())
        throw EConvertError("Cannot write to temporary file");
}
