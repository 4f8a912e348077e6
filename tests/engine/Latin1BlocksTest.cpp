// The fast path's Latin-1 <-> UTF-8 blocks, place by place: a character above 0x7F, a cut and a
// wrong sequence at every position in and across the 16- and 32-byte blocks, with the input and
// the output ending everywhere around them, against the C library's iconv over the same buffers.
#include "libiconv/FastTranscoder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

using lmviconv::TTranscodeStop;
using lmviconv::TUnicodeForm;

// Where one call stops, how many bytes it took, what it wrote, and the zeroed room after that
// (the library's callers compare whole buffers with the C library's).
struct TOutcome {
    TTranscodeStop Stop = TTranscodeStop::Done;
    std::size_t Consumed = 0;
    std::string Output;
    std::string Rest;
    bool operator==(const TOutcome&) const = default;
};

std::ostream& operator<<(std::ostream& Stream, const TOutcome& Outcome)
{
    static const char* const Stops[] = {"done", "output full", "unusual"};
    Stream << Stops[static_cast<int>(Outcome.Stop)] << " after " << Outcome.Consumed << " bytes, wrote";
    for (const unsigned char c : Outcome.Output)
        Stream << ' ' << std::hex << static_cast<int>(c) << std::dec;
    Stream << ", then";
    for (const unsigned char c : Outcome.Rest)
        Stream << ' ' << std::hex << static_cast<int>(c) << std::dec;
    return Stream;
}

// Buffers of exactly the given size, so that a read or write past either end shows under the
// sanitizers (new[] of 0 still gives an address).
struct TBuffers {
    TBuffers(const std::string& Input, std::size_t Room)
        : In(new unsigned char[Input.size()]), Out(new unsigned char[Room]())
    {
        std::memcpy(In.get(), Input.data(), Input.size());
    }
    std::unique_ptr<unsigned char[]> In;
    std::unique_ptr<unsigned char[]> Out;
};

TOutcome CLibrary(const char* From, const char* To, const std::string& Input, std::size_t Room)
{
    TBuffers buffers(Input, Room);
    const iconv_t cd = iconv_open(To, From);
    char* in = reinterpret_cast<char*>(buffers.In.get());
    char* out = reinterpret_cast<char*>(buffers.Out.get());
    std::size_t inLeft = Input.size();
    std::size_t outLeft = Room;
    errno = 0;
    const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    const int error = errno;
    iconv_close(cd);
    TOutcome outcome;
    outcome.Stop = result != static_cast<std::size_t>(-1) ? TTranscodeStop::Done
                   : error == E2BIG                       ? TTranscodeStop::OutputFull
                                                          : TTranscodeStop::Unusual;
    outcome.Consumed = Input.size() - inLeft;
    outcome.Output.assign(reinterpret_cast<const char*>(buffers.Out.get()), Room - outLeft);
    outcome.Rest.assign(out, outLeft);
    return outcome;
}

TOutcome Fast(const char* Blocks, TUnicodeForm From, TUnicodeForm To, const std::string& Input, std::size_t Room)
{
    TBuffers buffers(Input, Room);
    const unsigned char* in = buffers.In.get();
    unsigned char* out = buffers.Out.get();
    TOutcome outcome;
    outcome.Stop = lmviconv::FindTranscoder(From, To, Blocks)(in, in + Input.size(), out, out + Room);
    outcome.Consumed = static_cast<std::size_t>(in - buffers.In.get());
    outcome.Output.assign(reinterpret_cast<const char*>(buffers.Out.get()), static_cast<std::size_t>(out - buffers.Out.get()));
    outcome.Rest.assign(reinterpret_cast<const char*>(out), Room - outcome.Output.size());
    return outcome;
}

std::vector<const char*> BlockKinds()
{
    std::vector<const char*> kinds = {"sse2"};
    if (std::string(lmviconv::TranscoderBlocks()) == "avx2")
        kinds.push_back("avx2");
    return kinds;
}

class Latin1Blocks : public ::testing::Test {
protected:
    // Every block kind against the C library for one input, with the output room unlimited and
    // each of Rooms; false (after a failure naming What) on the first difference.
    bool Matches(TUnicodeForm From, TUnicodeForm To, const std::string& Input, const std::vector<std::size_t>& Rooms,
                 const std::string& What)
    {
        const char* from = From == TUnicodeForm::Latin1 ? "ISO-8859-1" : "UTF-8";
        const char* to = To == TUnicodeForm::Latin1 ? "ISO-8859-1" : "UTF-8";
        std::vector<std::size_t> rooms = Rooms;
        rooms.push_back(2 * Input.size() + 8);
        for (const char* kind : BlockKinds())
            for (const std::size_t room : rooms) {
                const TOutcome expected = CLibrary(from, to, Input, room);
                TOutcome actual = Fast(kind, From, To, Input, room);
                // Unusual hands the rest to the C library, which may then find its output full
                // before it looks at the character.
                if (actual.Stop == TTranscodeStop::Unusual && expected.Stop == TTranscodeStop::OutputFull)
                    actual.Stop = expected.Stop;
                if (actual != expected) {
                    ADD_FAILURE() << kind << " " << from << " -> " << to << ", " << What << ", " << Input.size()
                                  << " bytes in, room " << room << ":\n  got      " << actual << "\n  expected " << expected;
                    return false;
                }
            }
        return true;
    }

    // Plain ASCII of a given length, every letter different from its neighbours.
    static std::string Ascii(std::size_t Length)
    {
        std::string text;
        for (std::size_t i = 0; i < Length; ++i)
            text += static_cast<char>('!' + i % 90);
        return text;
    }

    // Three 32-byte blocks and a few bytes: every position of every block, and the tail after.
    static constexpr std::size_t Span = 100;
};

TEST_F(Latin1Blocks, Latin1ToUtf8TakesACharacterAboveAsciiAtEveryPositionAndStopsWhereTheOutputEnds)
{
    for (const char high : {'\x80', '\xBF', '\xC0', '\xE9', '\xFF'})
        for (std::size_t at = 0; at < Span; ++at) {
            std::string text = Ascii(Span);
            text[at] = high;
            // The output ends just before the character, in its middle, and just after it.
            ASSERT_TRUE(Matches(TUnicodeForm::Latin1, TUnicodeForm::Utf8, text, {at, at + 1, at + 2},
                                "byte " + std::to_string(static_cast<unsigned char>(high)) + " at " + std::to_string(at)));
        }
}

TEST_F(Latin1Blocks, DenseLatin1EndsCleanlyAtEveryInputAndOutputLength)
{
    // All above 0x7F, then one in three, so that the lengths of the characters vary.
    for (const int every : {1, 3}) {
        std::string text;
        for (std::size_t i = 0; i < Span; ++i)
            text += i % every == 0 ? static_cast<char>(0x80 + (i * 37) % 128) : static_cast<char>('a' + i % 26);
        for (std::size_t length = 0; length <= Span; ++length) {
            std::vector<std::size_t> rooms;
            for (std::size_t room = 0; room <= 2 * length; ++room)
                rooms.push_back(room);
            ASSERT_TRUE(Matches(TUnicodeForm::Latin1, TUnicodeForm::Utf8, text.substr(0, length), rooms,
                                "one in " + std::to_string(every) + " above 0x7F"));
            ASSERT_TRUE(Matches(TUnicodeForm::Utf8, TUnicodeForm::Latin1,
                                CLibrary("ISO-8859-1", "UTF-8", text.substr(0, length), 4 * length).Output, rooms,
                                "the same as UTF-8"));
        }
    }
}

TEST_F(Latin1Blocks, Utf8ToLatin1TakesATwoByteCharacterAtEveryPositionAndStopsAtItsCut)
{
    for (const char* character : {"\xC2\x80", "\xC3\xA9", "\xC3\xBF"})
        for (std::size_t at = 0; at + 1 < Span; ++at) {
            std::string text = Ascii(Span);
            text.replace(at, 2, character);
            const std::string what = "character at " + std::to_string(at);
            // Whole; output ending before or after it; input ending after its lead byte.
            ASSERT_TRUE(Matches(TUnicodeForm::Utf8, TUnicodeForm::Latin1, text, {at, at + 1}, what));
            ASSERT_TRUE(Matches(TUnicodeForm::Utf8, TUnicodeForm::Latin1, text.substr(0, at + 1), {}, what + ", cut"));
        }
}

TEST_F(Latin1Blocks, Utf8ToLatin1StopsAtEveryWrongSequenceWhereTheCLibraryDoes)
{
    // Lead bytes without their continuation, a lone continuation, overlong forms, characters
    // beyond Latin-1, bytes that are never UTF-8.
    const std::string faults[] = {"\xC3" "A",       "\xC2\xC3\xA9", "\xC3\xC3", "\xA9",          "\x80\x80",
                                  "\xC0\x80",       "\xC1\xBF",     "\xC4\x80", "\xDF\xBF",      "\xE2\x82\xAC",
                                  "\xF0\x9F\x98\x80", "\xFF",       "\xFE",     "\xC3\xA9\xA9"};
    for (const std::string& fault : faults)
        for (std::size_t at = 0; at + fault.size() <= Span; ++at) {
            std::string text = Ascii(Span);
            text.replace(at, fault.size(), fault);
            ASSERT_TRUE(Matches(TUnicodeForm::Utf8, TUnicodeForm::Latin1, text, {},
                                "fault " + std::to_string(&fault - faults) + " at " + std::to_string(at)));
        }
}

// A character whose continuation byte starts the next block is taken by the block before: the
// next block must neither take that byte again nor let a fault right after it through.
TEST_F(Latin1Blocks, Utf8ToLatin1CarriesACharacterAcrossTheBlockEdge)
{
    for (const std::size_t edge : {15u, 31u, 47u, 63u})
        for (std::size_t at = edge + 2; at < Span; ++at)
            for (const char* fault : {"\xA9", "\xC3", "\xC3" "A", "\xE2\x82\xAC", "\xC3\xA9"}) {
                std::string text = Ascii(Span);
                text.replace(edge, 2, "\xC3\xA9");
                text.replace(at, std::strlen(fault), fault);
                text.resize(Span);
                ASSERT_TRUE(Matches(TUnicodeForm::Utf8, TUnicodeForm::Latin1, text, {edge, edge + 1, at},
                                    "character at " + std::to_string(edge) + ", then " + fault + " at " + std::to_string(at)));
            }
}

} // namespace
