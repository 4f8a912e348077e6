#include "run/StreamConverter.h"

#include "engine/Lumiva.h"
#include "run/CloseGuard.h"
#include "run/ContentError.h"
#include "run/FailureLocator.h"
#include "run/TextPosition.h"
#include "util/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* ConvertFailed = "Cannot convert character encoding";
// A character is never longer than this: bytes past the stop copied for telling what is there.
constexpr std::size_t LookAhead = 256;
constexpr int MaxCallsWithoutInput = 8;

ssize_t ReadSome(int Fd, char* Data, std::size_t Size)
{
    for (;;) {
        const ssize_t got = ::read(Fd, Data, Size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

// The line and column of the next byte of a pipe's text: every byte the conversion took is
// decoded once more, to code points, on an engine of its own.
class TPositionCounter {
public:
    TPositionCounter(TLumiva& Converter, const std::string& FromEncoding, std::int32_t Translation)
        : Converter(Converter)
    {
        // Invalid input that the conversion skips must not stop the count either.
        Converter.Start(FromEncoding, "UCS-4BE", Translation == 1 ? 1 : 0);
    }
    ~TPositionCounter() { Converter.Close(); }
    TPositionCounter(const TPositionCounter&) = delete;
    TPositionCounter& operator=(const TPositionCounter&) = delete;

    void Take(const char* Data, std::size_t Size)
    {
        Carry.insert(Carry.end(), Data, Data + Size);
        char out[16384];
        for (;;) {
            const char* inPtr = Carry.data();
            std::size_t inLeft = Carry.size();
            char* outPtr = out;
            std::size_t outLeft = sizeof out;
            Converter.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
            const std::size_t produced = sizeof out - outLeft;
            for (std::size_t i = 0; i + 4 <= produced; i += 4) {
                const auto* b = reinterpret_cast<const unsigned char*>(out + i);
                Position.Advance(static_cast<char32_t>(b[0]) << 24 | static_cast<char32_t>(b[1]) << 16 |
                                 static_cast<char32_t>(b[2]) << 8 | static_cast<char32_t>(b[3]));
            }
            Carry.erase(Carry.begin(), Carry.begin() + static_cast<std::ptrdiff_t>(Carry.size() - inLeft));
            if (produced == 0 || Carry.empty())
                return;
        }
    }

    TTextPosition Position;

private:
    TLumiva& Converter;
    std::vector<char> Carry;
};

} // namespace

TStreamConverter::TStreamConverter(TLumiva& Converter, TLumiva& Counter, std::string FromEncoding,
                                   std::string TargetEncoding, std::int32_t Translation, std::int32_t BufferSize,
                                   std::string Signature)
    : Converter(Converter), Counter(Counter), FromEncoding(std::move(FromEncoding)),
      TargetEncoding(std::move(TargetEncoding)), Translation(Translation), BufferSize(BufferSize),
      Signature(std::move(Signature))
{
}

void TStreamConverter::Write(int Out, const char* Data, std::size_t Size)
{
    if (Out >= 0 && !WriteAll(Out, Data, Size))
        throw EConvertError("Cannot write the output");
    BytesWritten += Size;
}

ssize_t TStreamConverter::Pull(int In, char* Data, std::size_t Size)
{
    if (Head.empty())
        return ReadSome(In, Data, Size);
    const std::size_t taken = std::min(Size, Head.size());
    std::copy(Head.begin(), Head.begin() + static_cast<std::ptrdiff_t>(taken), Data);
    Head.remove_prefix(taken);
    return static_cast<ssize_t>(taken);
}

void TStreamConverter::Convert(int In, int Out, std::string_view Sample)
{
    Head = Sample;
    const std::size_t total = BufferSize > 0 ? static_cast<std::size_t>(BufferSize) : 0;
    const std::size_t inSize = std::max<std::size_t>(total / 2, 1);
    const std::size_t outSize = std::max<std::size_t>(total - total / 2, 1);
    struct stat info {};
    // A plain file can be read again from its start to tell where a failure is; a pipe cannot.
    const bool seekable = Head.empty() && ::fstat(In, &info) == 0 && S_ISREG(info.st_mode) && ::lseek(In, 0, SEEK_CUR) == 0;
    std::vector<char> input(inSize);
    std::vector<char> output(outSize);
    BytesRead = 0;
    BytesWritten = 0;

    try {
        Converter.Start(FromEncoding, TargetEncoding, Translation);
    } catch (const TLumiva::EStartError&) {
        throw EConvertError("Cannot start converting character encoding");
    }
    std::optional<TPositionCounter> count;
    if (!seekable) {
        try {
            count.emplace(Counter, FromEncoding, Translation);
        } catch (const TLumiva::EStartError&) {
            // Only the offset can be told then.
        }
    }
    {
        const TCloseGuard closeGuard(Converter);
        Write(Out, Signature.data(), Signature.size());
        std::size_t held = 0;
        bool atEnd = false;
        int callsWithoutInput = 0;
        for (;;) {
            if (!atEnd && held < inSize) {
                const ssize_t got = Pull(In, input.data() + held, inSize - held);
                if (got < 0)
                    throw EConvertError("Cannot read from source file");
                atEnd = got == 0;
                held += static_cast<std::size_t>(got);
                BytesRead += static_cast<std::uint64_t>(got);
            }
            if (held == 0 && atEnd)
                break;
            const char* inPtr = input.data();
            std::size_t inLeft = held;
            char* outPtr = output.data();
            std::size_t outLeft = outSize;
            const int error = Converter.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
            const std::size_t produced = outSize - outLeft;
            Write(Out, output.data(), produced);
            const std::size_t taken = held - inLeft;
            if (count)
                count->Take(input.data(), taken);
            // A character cut by the end of what was read waits for the next read.
            if (taken == 0 && produced == 0 && (atEnd || error != EINVAL || held == inSize)) {
                const TTextPosition where = count ? count->Position : TTextPosition();
                count.reset();
                CountedPosition = where;
                FailOnContent(In, seekable, input.data(), held);
            }
            callsWithoutInput = taken == 0 ? callsWithoutInput + 1 : 0;
            if (callsWithoutInput > MaxCallsWithoutInput && error != EINVAL)
                throw EConvertError(ConvertFailed);
            std::copy(input.begin() + static_cast<std::ptrdiff_t>(taken),
                      input.begin() + static_cast<std::ptrdiff_t>(held), input.begin());
            held = inLeft;
        }
        // Return a stateful target (ISO-2022-JP and the like) to its initial state.
        for (int call = 0;; ++call) {
            if (call > MaxCallsWithoutInput)
                throw EConvertError(ConvertFailed);
            const char* inPtr = nullptr;
            std::size_t inLeft = 0;
            char* outPtr = output.data();
            std::size_t outLeft = outSize;
            Converter.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
            if (outLeft == outSize)
                break;
            Write(Out, output.data(), outSize - outLeft);
        }
    }
}

void TStreamConverter::FailOnContent(int In, bool Seekable, const char* Held, std::size_t HeldSize)
{
    const std::uint64_t offset = BytesRead - HeldSize;
    Converter.Close();
    std::string where;
    try {
        TFailureLocator locator(Converter, FromEncoding, TargetEncoding, Translation);
        if (Seekable) {
            where = locator.Describe(In, offset);
        } else {
            // The bytes from the stop on, with enough of what follows to tell the character.
            const TFd copy(::memfd_create("lumiva-stop", MFD_CLOEXEC));
            std::vector<char> more(LookAhead);
            const ssize_t got = Pull(In, more.data(), more.size());
            if (copy.Get() >= 0 && WriteAll(copy.Get(), Held, HeldSize) &&
                (got <= 0 || WriteAll(copy.Get(), more.data(), static_cast<std::size_t>(got))))
                where = locator.DescribeFrom(copy.Get(), CountedPosition, offset);
        }
    } catch (const std::exception&) {
        // Telling where is a courtesy; the failure itself stands.
    }
    if (where.empty())
        throw EConvertError(std::string(ConvertFailed) + " (offset " + std::to_string(offset) + ")");
    throw EContentError(ConvertFailed, std::move(where));
}
