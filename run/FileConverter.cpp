#include "run/FileConverter.h"

#include "engine/Lumiva.h"
#include "run/ChunkStreams.h"
#include "run/CloseGuard.h"
#include "run/ContentError.h"
#include "run/FailureLocator.h"
#include "run/SourceFile.h"
#include "util/FileDescriptor.h"
#include "util/Mysysutils.h"

#include <algorithm>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TFileConverter::TFileConverter(TLumiva& Converter, std::string FromEncoding, std::string TargetEncoding,
                               std::int32_t Translation, std::int32_t BufferSize, std::string Signature)
    : Converter(Converter), FromEncoding(std::move(FromEncoding)), TargetEncoding(std::move(TargetEncoding)),
      Translation(Translation), BufferSize(BufferSize), Signature(std::move(Signature))
{
}

void TFileConverter::CheckFile(const std::string& SourceName)
{
    TSourceFile source(SourceName);
    CheckFile(source);
}

void TFileConverter::CheckFile(TSourceFile& Source)
{
    const TFd discard(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    ConvertFile(Source, discard.Get());
}

void TFileConverter::ConvertFile(const std::string& SourceName, int TempFile)
{
    TSourceFile source(SourceName);
    ConvertFile(source, TempFile);
}

void TFileConverter::FailOnContent(int Fd, std::uint64_t Offset)
{
    const char* const message = "Cannot convert character encoding";
    std::string where;
    try {
        where = TFailureLocator(Converter, FromEncoding, TargetEncoding, Translation).Describe(Fd, Offset);
    } catch (const std::exception&) {
        // Telling where is a courtesy; the failure itself stands.
    }
    if (where.empty())
        throw EConvertError(message);
    throw EContentError(message, std::move(where));
}

void TFileConverter::ConvertFile(TSourceFile& Source, int TempFile)
{
    const std::size_t total = BufferSize > 0 ? static_cast<std::size_t>(BufferSize) : 0;
    const std::size_t inSize = total / 2;
    const std::size_t outSize = total - inSize;

    // The source's, closed by it.
    const TFd in(Source.Fd(), false);
    if (in.Get() < 0)
        throw EConvertError("Cannot open source file");
    if (!Source.SampleRead())
        throw EConvertError("Cannot read from source file");
    const struct stat& source = Source.Info();
    // A file read in one go needs no advice.
    if (static_cast<std::uint64_t>(source.st_size) > inSize)
        ::posix_fadvise(in.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    // The caller's file: written here, closed by the caller.
    TFd out(TempFile, false);
    if (out.Get() < 0)
        throw EConvertError("Cannot create temporary file");

    try {
        Converter.Start(FromEncoding, TargetEncoding, Translation);
    } catch (const TLumiva::EStartError&) {
        throw EConvertError("Cannot start converting character encoding");
    }
    {
        const TCloseGuard closeGuard(Converter);

        WriteExactly(out.Get(), Signature.data(), Signature.size());

        const std::uint64_t size = static_cast<std::uint64_t>(source.st_size);
        // An input buffer of no bytes could never take the source in.
        if (size > 0 && inSize == 0)
            throw EConvertError("Cannot convert character encoding");
        TChunkStreams streams =
            OpenChunkStreams(in.Get(), size, out.Get(), inSize, outSize, StreamAbove, Source.Sample());
        try {
            ConvertChunks(*streams.Input, inSize, *streams.Output, outSize, in.Get(), size);
        } catch (const EConvertError&) {
            // What was converted before the failure lands in the file, and a write that failed
            // earlier is what is reported.
            streams.Output->Drain();
            throw;
        }
        streams.Output->Drain();
        streams = {};

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
            WriteExactly(out.Get(), tail, produced);
        }
    }

    if (!out.Close())
        throw EConvertError("Cannot write to temporary file");
}

void TFileConverter::ConvertChunks(TChunkInput& Input, std::size_t InSize, TChunkOutput& Output, std::size_t OutSize,
                                   int SourceFd, std::uint64_t Size)
{
    std::uint64_t remaining = Size;
    std::size_t held = 0;
    int callsWithoutInput = 0;
    for (;;) {
        const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(InSize - held, remaining));
        const char* const data = Input.Take(held, room);
        held += room;
        remaining -= room;
        if (OnRead)
            OnRead(Size - remaining, Size);
        if (held == 0)
            break;

        const char* inPtr = data;
        std::size_t inLeft = held;
        char* outPtr = Output.Room();
        std::size_t outLeft = OutSize;
        Converter.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
        const std::size_t produced = OutSize - outLeft;
        // Consuming (also a dropped signature or dropped characters) or producing is progress;
        // a call that does neither would be repeated on the same bytes forever.
        if (inLeft == held && produced == 0) {
            // The locator reads the source itself, and earlier output is written first.
            Input.Stop();
            Output.Drain();
            FailOnContent(SourceFd, Size - remaining - held);
        }
        callsWithoutInput = inLeft == held ? callsWithoutInput + 1 : 0;
        if (callsWithoutInput > MaxCallsWithoutInput)
            throw EConvertError("Cannot convert character encoding");

        Input.Consume(held - inLeft, held);
        held = inLeft;
        Output.Put(produced);
    }
}
