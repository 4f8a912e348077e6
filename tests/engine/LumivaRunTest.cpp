// TLumiva over a run of files: one conversion after another on the same engine gives for every
// file what a conversion opened just for it gives, call by call, whatever stopped the one before
// (the engine resets the last descriptor where it can, and cuts the first call short on targets
// with a byte order mark).
#include "engine/Lumiva.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include <iconv.h>

namespace {

struct TCall {
    std::string Out;
    std::size_t Consumed = 0;
    int Error = 0;

    bool operator==(const TCall&) const = default;
};

std::string Show(const TCall& Call)
{
    static const char Hex[] = "0123456789abcdef";
    std::string text = "error " + std::to_string(Call.Error) + ", consumed " + std::to_string(Call.Consumed) + ", out";
    for (const char c : Call.Out) {
        text += ' ';
        text += Hex[static_cast<unsigned char>(c) >> 4];
        text += Hex[static_cast<unsigned char>(c) & 15];
    }
    return text;
}

// One call over the whole text with Space bytes of room, then (when it went through) the flush.
TCall CallEngine(TLumiva& Engine, const std::string& In, std::size_t Space)
{
    std::string out(Space + 64, '\0');
    const char* inPtr = In.data();
    std::size_t inLeft = In.size();
    char* outPtr = out.data();
    std::size_t outLeft = Space;
    TCall call;
    call.Error = Engine.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
    if (call.Error == 0) {
        outLeft += 64;
        Engine.Convert(nullptr, nullptr, &outPtr, &outLeft);
    } else {
        outLeft += 64;
    }
    call.Out.assign(out.data(), outPtr);
    call.Consumed = In.size() - inLeft;
    return call;
}

// The same through the C library, on a descriptor opened for this text alone.
TCall CallFresh(const std::string& From, const std::string& To, std::int32_t Translation, const std::string& In,
                std::size_t Space)
{
    static const char* const Suffixes[] = {"", "//IGNORE", "//TRANSLIT"};
    const iconv_t cd = ::iconv_open((To + Suffixes[Translation]).c_str(), From.c_str());
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << From << " -> " << To;
    std::string out(Space + 64, '\0');
    char* inPtr = const_cast<char*>(In.data());
    std::size_t inLeft = In.size();
    char* outPtr = out.data();
    std::size_t outLeft = Space;
    TCall call;
    errno = 0;
    if (::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
        call.Error = errno;
    outLeft += 64;
    if (call.Error == 0)
        ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    ::iconv_close(cd);
    call.Out.assign(out.data(), outPtr);
    call.Consumed = In.size() - inLeft;
    return call;
}

struct TSource {
    std::string Name;
    std::vector<std::string> Texts; // valid, invalid at once, invalid later, short, empty
};

// Texts in From's bytes; the first characters of each take several bytes where the form allows.
std::vector<TSource> Sources()
{
    const std::string smile = "\xF0\x9F\x98\x80";
    return {
        {"UTF-8",
         {"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC 5 " + smile + " done\n", "\xFF" "abc", "\xE2\x82\xAC ok \xC3(", "\xE2\x82\xAC",
          smile + smile, "", "a", "\xE2\x82"}},
        {"utf8", {"plain text\n", "\xC3\xA9\xC3\xA9\xC3\xA9", "\x80" "x"}},
        {"ISO-8859-1", {"caf\xE9 cr\xE8me\n", "\xFF\xFE", "x"}},
        {"UTF-16LE",
         {std::string("\x3D\xD8\x00\xDE" "a\0b\0", 8), std::string("\x00\xDC" "a\0", 4), std::string("a\0\x00\xD8", 4),
          std::string("\xAC\x20", 2)}},
        {"UTF-16BE", {std::string("\xD8\x3D\xDE\x00\0a", 6), std::string("\xDC\x00\0a", 4)}},
        {"UTF-32LE", {std::string("\x00\xF6\x01\x00" "a\0\0\0", 8), std::string("\x00\x00\x11\x00", 4)}},
        // Plain UTF-16 learns its byte order from a mark: a file in the other order must not
        // leave that order to the next file.
        {"UTF-16", {std::string("\xFE\xFF\0a\0b", 6), std::string("a\0b\0", 4), std::string("\xFF\xFE" "c\0", 4)}},
        {"UTF-32", {std::string("\0\0\xFE\xFF\0\0\0a", 8), std::string("a\0\0\0", 4)}},
    };
}

TEST(LumivaRun, EveryFileOfARunConvertsAsOnAConversionOpenedForIt)
{
    TLumiva engine;
    const std::vector<std::string> targets = {"UTF-16", "UTF-32", "UTF-16LE", "UTF-8", "ISO-8859-1"};
    // Room for nothing, for part of a mark, for a mark and a character, and for everything.
    const std::vector<std::size_t> spaces = {0, 1, 2, 3, 5, 7, 1000};
    int compared = 0;
    for (const TSource& source : Sources())
        for (const std::string& target : targets)
            for (std::int32_t translation = 0; translation <= 2; ++translation)
                for (const std::size_t space : spaces)
                    for (const std::string& text : source.Texts) {
                        engine.Start(source.Name, target, translation);
                        const TCall got = CallEngine(engine, text, space);
                        engine.Close();
                        const TCall expected = CallFresh(source.Name, target, translation, text, space);
                        ++compared;
                        ASSERT_EQ(got, expected)
                            << source.Name << " -> " << target << " translation " << translation << ", room "
                            << space << ", text of " << text.size() << " bytes\n  got      " << Show(got)
                            << "\n  expected " << Show(expected);
                    }
    EXPECT_GT(compared, 1000);
}

// What a kept descriptor held goes with it: another conversion in between, and the engine's
// end, leave the next one as new.
TEST(LumivaRun, AnotherConversionInBetweenStartsAsNew)
{
    TLumiva engine;
    const std::string text = "\xC3\xA9t\xC3\xA9\n";
    const TCall expected = CallFresh("UTF-8", "UTF-16", 0, text, 100);
    for (const char* between : {"UTF-16", "UTF-32", "ISO-8859-1"}) {
        engine.Start("UTF-8", "UTF-16", 0);
        EXPECT_EQ(CallEngine(engine, text, 100), expected);
        engine.Start("UTF-8", between, 1); // Start closes the running conversion
        CallEngine(engine, "\xFF" "abc", 100);
        engine.Close();
        engine.Start("UTF-8", "UTF-16", 0);
        EXPECT_EQ(CallEngine(engine, text, 100), expected) << "after " << between;
        engine.Close();
    }
    // A conversion stopped halfway (its output full) and never flushed.
    engine.Start("UTF-8", "UTF-16", 0);
    CallEngine(engine, text, 3);
    engine.Start("UTF-8", "UTF-16", 0);
    EXPECT_EQ(CallEngine(engine, text, 100), expected);
    engine.Close();
}

} // namespace
