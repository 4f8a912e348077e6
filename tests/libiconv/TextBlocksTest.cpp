// The fast path's blocks for mixed text (Latin-1 <-> UTF-8, UTF-8 <-> UTF-16), place by place: a
// character, a cut and a wrong sequence at every position in and across the 16-, 32- and 64-byte
// blocks, with the input and the output ending everywhere around them, against the C library's
// iconv over the same buffers.
#include "libiconv/FastTranscoder.h"
#include "tests/common/BlockKinds.h"
#include "tests/common/IconvCall.h"
#include "tests/common/IconvOnce.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using lmviconv::TTranscodeStop;
using lmviconv::TUnicodeForm;

// Where one call stopped, and how many bytes it took and the whole room after it, zeroed before
// the call, with the end of the output marked (the library's callers compare whole buffers).
struct TOutcome {
    TTranscodeStop Stop;
    std::string Text;
};

const char* NameOf(TUnicodeForm Form)
{
    switch (Form) {
    case TUnicodeForm::Latin1:
        return "ISO-8859-1";
    case TUnicodeForm::Utf16Le:
        return "UTF-16LE";
    case TUnicodeForm::Utf16Be:
        return "UTF-16BE";
    default:
        return "UTF-8";
    }
}

// One call over buffers of exactly the input's and the room's size, so that a read or write past
// either end shows under the sanitizers. Blocks: a block kind, or nullptr for the C library.
TOutcome Convert(const char* Blocks, TUnicodeForm From, TUnicodeForm To, const std::string& Input, std::size_t Room)
{
    const auto in = std::make_unique<unsigned char[]>(Input.size());
    const auto out = std::make_unique<unsigned char[]>(Room);
    std::memcpy(in.get(), Input.data(), Input.size());
    const unsigned char* inPtr = in.get();
    unsigned char* outPtr = out.get();
    TOutcome outcome{TTranscodeStop::Done, {}};
    if (Blocks != nullptr) {
        outcome.Stop = lmviconv::FindTranscoder(From, To, Blocks)(inPtr, inPtr + Input.size(), outPtr, outPtr + Room);
    } else {
        outcome.Stop = lmvtest::IconvCall(NameOf(From), NameOf(To), inPtr, Input.size(), outPtr, Room);
    }
    outcome.Text = std::to_string(inPtr - in.get()) + " bytes taken, room:";
    for (std::size_t i = 0; i < Room; ++i)
        outcome.Text += (out.get() + i == outPtr ? " | " : " ") + std::to_string(out[i]);
    return outcome;
}

class TextBlocks : public ::testing::Test {
protected:
    // Every block kind against the C library for one input, with the output room unlimited and
    // each of Rooms; false (after a failure naming What) on the first difference.
    bool Matches(TUnicodeForm From, TUnicodeForm To, const std::string& Input, const std::vector<std::size_t>& Rooms,
                 const std::string& What)
    {
        std::vector<std::size_t> rooms = Rooms;
        rooms.push_back(4 * Input.size() + 8);
        for (const char* kind : lmvtest::BlockKinds())
            for (const std::size_t room : rooms) {
                const TOutcome expected = Convert(nullptr, From, To, Input, room);
                const TOutcome actual = Convert(kind, From, To, Input, room);
                // Unusual hands the rest to the C library, which may then find its output full
                // before it looks at the character.
                const bool handedOver = actual.Stop == TTranscodeStop::Unusual && expected.Stop == TTranscodeStop::OutputFull;
                if ((actual.Stop != expected.Stop && !handedOver) || actual.Text != expected.Text) {
                    ADD_FAILURE() << kind << " " << NameOf(From) << " -> " << NameOf(To) << ", " << What << ", "
                                  << Input.size() << " bytes in, room " << room << ":\n  got stop "
                                  << static_cast<int>(actual.Stop) << ", " << actual.Text << "\n  expected stop "
                                  << static_cast<int>(expected.Stop) << ", " << expected.Text;
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

class Latin1Blocks : public TextBlocks {
protected:
    // Three 64-byte blocks (the AVX-512 ones) and a few bytes.
    static constexpr std::size_t Span = 200;
};
class Utf16Blocks : public TextBlocks {
protected:
    // Exactly Length bytes of UTF-8 whose characters take three, two and one bytes in turn,
    // from the one Phase picks.
    static std::string Mixed(std::size_t Length, std::size_t Phase = 0)
    {
        static const std::string characters[] = {"\xE4\xB8\xAD", "\xD0\xB6", "a", "\xEF\xBF\xBD", "\xC3\xA9", "7"};
        std::string text;
        for (std::size_t i = Phase; text.size() < Length; ++i) {
            const std::string& next = characters[i % std::size(characters)];
            text += next.size() <= Length - text.size() ? next : std::string(Length - text.size(), 'z');
        }
        return text;
    }

    bool BothOrders(const std::string& Input, const std::vector<std::size_t>& Rooms, const std::string& What)
    {
        return Matches(TUnicodeForm::Utf8, TUnicodeForm::Utf16Le, Input, Rooms, What) &&
               Matches(TUnicodeForm::Utf8, TUnicodeForm::Utf16Be, Input, Rooms, What);
    }
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
                                *lmvtest::IconvOnce("ISO-8859-1", "UTF-8", text.substr(0, length)), rooms,
                                "the same as UTF-8"));
        }
    }
}

TEST_F(Latin1Blocks, Utf8ToLatin1TakesOrStopsAtEverySequenceInEveryPosition)
{
    // Characters of Latin-1; lead bytes without their continuation, a lone continuation,
    // overlong forms, characters beyond Latin-1, bytes that are never UTF-8.
    const std::string sequences[] = {"\xC2\x80", "\xC3\xA9",     "\xC3\xBF", "\xC3" "A", "\xC2\xC3\xA9", "\xC3\xC3",
                                     "\xA9",     "\x80\x80",     "\xC0\x80", "\xC1\xBF", "\xC4\x80",     "\xDF\xBF",
                                     "\xFF",     "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xC3\xA9\xA9", "\xC3\xA9\xFF",
                                     "\xC3\xC0"};
    for (const std::string& sequence : sequences)
        for (std::size_t at = 0; at + sequence.size() <= Span; ++at) {
            std::string text = Ascii(Span);
            text.replace(at, sequence.size(), sequence);
            const std::string what = "sequence " + std::to_string(&sequence - sequences) + " at " + std::to_string(at);
            // The output ending before it and after its first character; the input ending
            // after its first byte.
            ASSERT_TRUE(Matches(TUnicodeForm::Utf8, TUnicodeForm::Latin1, text, {at, at + 1}, what));
            ASSERT_TRUE(Matches(TUnicodeForm::Utf8, TUnicodeForm::Latin1, text.substr(0, at + 1), {}, what + ", cut"));
        }
}

// A character whose continuation byte starts the next block is taken by the block before: the
// next block must neither take that byte again nor let a fault right after it through.
TEST_F(Latin1Blocks, Utf8ToLatin1CarriesACharacterAcrossTheBlockEdge)
{
    for (const std::size_t edge : {15u, 31u, 47u, 63u, 127u})
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

// Every length of character at its edges, and what the C library must decide on: surrogates,
// overlong forms, four bytes, cut characters, stray and surplus continuation bytes, a run of
// them longer than a block, bytes that are never UTF-8; each at every position of three blocks,
// after text of all three lengths, so that it meets a character cut by the block edge too.
TEST_F(Utf16Blocks, TakesOrStopsAtEverySequenceInEveryPosition)
{
    const std::string sequences[] = {"\xC2\x80",     "\xDF\xBF",     "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                                     "\xEF\xBF\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xE0\x9F\xBF", "\xC1\xBF",
                                     "\xC0\x80",     "\xF0\x9F\x98\x80", "\x80",      "\xBF\xBF",     "\xC3" "A",
                                     "\xE4\xB8" "A", "\xE4\xB8\xAD\xAD", "\xC3\xA9\xA9", "\xFF",      "\xF8\x88\x80\x80\x80",
                                     std::string(40, '\x80')};
    for (const std::string& sequence : sequences)
        for (const std::size_t phase : {0u, 1u, 2u})
            for (std::size_t at = 0; at + sequence.size() <= Span; ++at) {
                std::string text = Mixed(at, phase) + sequence;
                text += Mixed(Span + 40 - text.size(), phase + 1);
                const std::size_t before = lmvtest::IconvOnce("UTF-16LE", "UTF-8", text.substr(0, at))->size();
                const std::string what = "sequence " + std::to_string(&sequence - sequences) + " at " +
                                         std::to_string(at) + ", phase " + std::to_string(phase);
                // The output ending before it and in it; the input ending after its first byte.
                ASSERT_TRUE(BothOrders(text, {before, before + 1, before + 2}, what));
                ASSERT_TRUE(BothOrders(text.substr(0, at + 1), {}, what + ", cut"));
            }
}

TEST_F(Utf16Blocks, MixedTextEndsCleanlyAtEveryInputAndOutputLength)
{
    for (const std::size_t phase : {0u, 1u, 2u, 3u}) {
        const std::string text = Mixed(Span, phase);
        for (std::size_t length = 0; length <= Span; ++length) {
            std::vector<std::size_t> rooms;
            for (std::size_t room = 0; room <= 2 * length; ++room)
                rooms.push_back(room);
            ASSERT_TRUE(BothOrders(text.substr(0, length), rooms, "phase " + std::to_string(phase)));
        }
    }
}

// UTF-16 to UTF-8 in both byte orders: units of one, two and three UTF-8 bytes at their edges, a
// pair of surrogates, each surrogate alone, and a unit cut in half, at every position of three
// blocks in ASCII and in text of two-byte characters, with the output ending around each.
TEST_F(Utf16Blocks, Utf16ToUtf8TakesOrStopsAtEveryUnitInEveryPosition)
{
    const std::vector<std::uint16_t> sequences[] = {{0x7F},   {0x80},   {0xE9},   {0x7FF},  {0x800},          {0x20AC},
                                                    {0xD7FF}, {0xE000}, {0xFFFF}, {0xFEFF}, {0xD83D, 0xDE00}, {0xD83D},
                                                    {0xDE00}, {0xDE00, 0xD83D}, {0xD83D, 0x41}};
    for (const bool big : {false, true})
        for (const std::uint16_t filler : {std::uint16_t{'a'}, std::uint16_t{0x436}})
            for (const auto& sequence : sequences)
                for (std::size_t at = 0; at + sequence.size() <= Span / 2; ++at) {
                    std::vector<std::uint16_t> units(Span / 2, filler);
                    for (std::size_t i = 0; i < units.size(); ++i)
                        units[i] = static_cast<std::uint16_t>(filler + i % 7);
                    std::copy(sequence.begin(), sequence.end(), units.begin() + static_cast<std::ptrdiff_t>(at));
                    std::string text;
                    for (const std::uint16_t unit : units) {
                        const char low = static_cast<char>(unit & 0xFF);
                        const char high = static_cast<char>(unit >> 8);
                        text += big ? std::string{high, low} : std::string{low, high};
                    }
                    const TUnicodeForm from = big ? TUnicodeForm::Utf16Be : TUnicodeForm::Utf16Le;
                    const std::size_t before =
                        lmvtest::IconvOnce("UTF-8", big ? "UTF-16BE" : "UTF-16LE", text.substr(0, 2 * at))->size();
                    const std::string what = std::string(big ? "big" : "little") + " endian, sequence " +
                                             std::to_string(&sequence - sequences) + " at " + std::to_string(at) +
                                             " after " + std::to_string(filler);
                    ASSERT_TRUE(Matches(from, TUnicodeForm::Utf8, text, {before, before + 1, before + 2}, what));
                    ASSERT_TRUE(Matches(from, TUnicodeForm::Utf8, text.substr(0, 2 * at + 1), {}, what + ", cut"));
                }
}

} // namespace
