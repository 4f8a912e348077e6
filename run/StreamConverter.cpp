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
        const ssize_t Got = ::read(Fd, Data, Size);
        if (Got >= 0 || errno != EINTR)
            return Got;
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
        char Out[16384];
        for (;;) {
            const char* InPtr = Carry.data();
            std::size_t InLeft = Carry.size();
            char* OutPtr = Out;
            std::size_t OutLeft = sizeof Out;
            Converter.Convert(&InPtr, &InLeft, &OutPtr, &OutLeft);
            const std::size_t Produced = sizeof Out - OutLeft;
            for (std::size_t i = 0; i + 4 <= Produced; i += 4) {
                const auto* B = reinterpret_cast<const unsigned char*>(Out + i);
                Position.Advance(static_cast<char32_t>(B[0]) << 24 | static_cast<char32_t>(B[1]) << 16 |
                                 static_cast<char32_t>(B[2]) << 8 | static_cast<char32_t>(B[3]));
            }
            Carry.erase(Carry.begin(), Carry.begin() + static_cast<std::ptrdiff_t>(Carry.size() - InLeft));
            if (Produced == 0 || Carry.empty())
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
    const std::size_t Taken = std::min(Size, Head.size());
    std::copy(Head.begin(), Head.begin() + static_cast<std::ptrdiff_t>(Taken), Data);
    Head.remove_prefix(Taken);
    return static_cast<ssize_t>(Taken);
}

void TStreamConverter::Convert(int In, int Out, std::string_view Sample)
{
    Head = Sample;
    const std::size_t Total = BufferSize > 0 ? static_cast<std::size_t>(BufferSize) : 0;
    const std::size_t InSize = std::max<std::size_t>(Total / 2, 1);
    const std::size_t OutSize = std::max<std::size_t>(Total - Total / 2, 1);
    struct stat Info {};
    // A plain file can be read again from its start to tell where a failure is; a pipe cannot.
    const bool Seekable = Head.empty() && ::fstat(In, &Info) == 0 && S_ISREG(Info.st_mode) && ::lseek(In, 0, SEEK_CUR) == 0;
    std::vector<char> Input(InSize);
    std::vector<char> Output(OutSize);
    BytesRead = 0;
    BytesWritten = 0;

    try {
        Converter.Start(FromEncoding, TargetEncoding, Translation);
    } catch (const TLumiva::EStartError&) {
        throw EConvertError("Cannot start converting character encoding");
    }
    std::optional<TPositionCounter> Count;
    if (!Seekable) {
        try {
            Count.emplace(Counter, FromEncoding, Translation);
        } catch (const TLumiva::EStartError&) {
            // Only the offset can be told then.
        }
    }
    {
        const TCloseGuard CloseGuard(Converter);
        Write(Out, Signature.data(), Signature.size());
        std::size_t Held = 0;
        bool AtEnd = false;
        int CallsWithoutInput = 0;
        for (;;) {
            if (!AtEnd && Held < InSize) {
                const ssize_t Got = Pull(In, Input.data() + Held, InSize - Held);
                if (Got < 0)
                    throw EConvertError("Cannot read from source file");
                AtEnd = Got == 0;
                Held += static_cast<std::size_t>(Got);
                BytesRead += static_cast<std::uint64_t>(Got);
            }
            if (Held == 0 && AtEnd)
                break;
            const char* InPtr = Input.data();
            std::size_t InLeft = Held;
            char* OutPtr = Output.data();
            std::size_t OutLeft = OutSize;
            const int Error = Converter.Convert(&InPtr, &InLeft, &OutPtr, &OutLeft);
            const std::size_t Produced = OutSize - OutLeft;
            Write(Out, Output.data(), Produced);
            const std::size_t Taken = Held - InLeft;
            if (Count)
                Count->Take(Input.data(), Taken);
            // A character cut by the end of what was read waits for the next read.
            if (Taken == 0 && Produced == 0 && (AtEnd || Error != EINVAL || Held == InSize)) {
                const TTextPosition Where = Count ? Count->Position : TTextPosition();
                Count.reset();
                CountedPosition = Where;
                FailOnContent(In, Seekable, Input.data(), Held);
            }
            CallsWithoutInput = Taken == 0 ? CallsWithoutInput + 1 : 0;
            if (CallsWithoutInput > MaxCallsWithoutInput && Error != EINVAL)
                throw EConvertError(ConvertFailed);
            std::copy(Input.begin() + static_cast<std::ptrdiff_t>(Taken),
                      Input.begin() + static_cast<std::ptrdiff_t>(Held), Input.begin());
            Held = InLeft;
        }
        // Return a stateful target (ISO-2022-JP and the like) to its initial state.
        for (int Call = 0;; ++Call) {
            if (Call > MaxCallsWithoutInput)
                throw EConvertError(ConvertFailed);
            const char* InPtr = nullptr;
            std::size_t InLeft = 0;
            char* OutPtr = Output.data();
            std::size_t OutLeft = OutSize;
            Converter.Convert(&InPtr, &InLeft, &OutPtr, &OutLeft);
            if (OutLeft == OutSize)
                break;
            Write(Out, Output.data(), OutSize - OutLeft);
        }
    }
}

void TStreamConverter::FailOnContent(int In, bool Seekable, const char* Held, std::size_t HeldSize)
{
    const std::uint64_t Offset = BytesRead - HeldSize;
    Converter.Close();
    std::string Where;
    try {
        TFailureLocator Locator(Converter, FromEncoding, TargetEncoding, Translation);
        if (Seekable) {
            Where = Locator.Describe(In, Offset);
        } else {
            // The bytes from the stop on, with enough of what follows to tell the character.
            const TFd Copy(::memfd_create("lumiva-stop", MFD_CLOEXEC));
            std::vector<char> More(LookAhead);
            const ssize_t Got = Pull(In, More.data(), More.size());
            if (Copy.Get() >= 0 && WriteAll(Copy.Get(), Held, HeldSize) &&
                (Got <= 0 || WriteAll(Copy.Get(), More.data(), static_cast<std::size_t>(Got))))
                Where = Locator.DescribeFrom(Copy.Get(), CountedPosition, Offset);
        }
    } catch (const std::exception&) {
        // Telling where is a courtesy; the failure itself stands.
    }
    if (Where.empty())
        throw EConvertError(std::string(ConvertFailed) + " (offset " + std::to_string(Offset) + ")");
    throw EContentError(ConvertFailed, std::move(Where));
}
