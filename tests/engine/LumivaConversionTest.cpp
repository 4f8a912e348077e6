// TLumiva over the project's conversion library: the real lists, the signature skip, translations.
#include "engine/Lumiva.h"
#include "tests/engine/ConvertOnce.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

namespace {

using lmvtest::TConverted;

class LumivaConversion : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Engine = std::make_unique<TLumiva>(); }
    static void TearDownTestSuite() { Engine.reset(); }
    void TearDown() override { Engine->Close(); }

    static TConverted Convert(const std::string& In, std::size_t OutSpace = 256)
    {
        return lmvtest::ConvertOnce(*Engine, In, OutSpace);
    }

    static inline std::unique_ptr<TLumiva> Engine;
};

std::vector<std::string> SplitGroupLine(const std::string& Line)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = Line.find(',', start);
        names.push_back(Line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return names;
        start = comma + 1;
    }
}

std::string AsciiLower(std::string Name)
{
    for (char& c : Name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return Name;
}

TEST_F(LumivaConversion, Latin1AliasesShareOneSortedGroupLine)
{
    TStringList groups;
    Engine->GetGroups(groups);
    int found = 0;
    for (const auto& line : groups) {
        const auto names = SplitGroupLine(line);
        auto at = [&](const char* name) {
            for (std::size_t i = 0; i < names.size(); ++i)
                if (names[i] == name)
                    return static_cast<long>(i);
            return -1L;
        };
        if (at("ISO-8859-1") < 0)
            continue;
        ++found;
        EXPECT_LT(at("CP819"), at("ISO-8859-1")) << line;
        EXPECT_LT(at("ISO-8859-1"), at("LATIN1")) << line;
        EXPECT_GE(at("CP819"), 0) << line;
    }
    EXPECT_EQ(found, 1);
}

TEST_F(LumivaConversion, NamesAreTheGroupsMembersSortedCaseBlind)
{
    const TStringList& names = Engine->NameList();
    TStringList groups;
    Engine->GetGroups(groups);
    std::size_t members = 0;
    for (const auto& line : groups)
        members += SplitGroupLine(line).size();
    EXPECT_EQ(names.Count(), members);
    EXPECT_GT(groups.Count(), 100u);
    for (std::size_t i = 1; i < names.Count(); ++i)
        ASSERT_LE(CompareText(names[i - 1], names[i]), 0) << names[i - 1] << " / " << names[i];
    for (std::size_t i = 1; i < groups.Count(); ++i)
        ASSERT_LE(CompareText(groups[i - 1], groups[i]), 0) << groups[i - 1] << " / " << groups[i];
    for (const auto& name : names) {
        const std::string lower = AsciiLower(name);
        ASSERT_TRUE(names.Find(lower)) << lower;
    }
}

// The check by opening stands in for the listing wherever no list is shown: it must agree with it.
TEST_F(LumivaConversion, CheckByOpeningAgreesWithTheListing)
{
    TLumiva fresh;
    for (const char* name : {"utf-8", "Latin1", "ISO-10646/UTF8/", "NF_Z_62-010_(1973)"})
        EXPECT_TRUE(fresh.IsValidEncoding(name)) << name;
    for (const char* name : {"", "UTF-8//", "UTF-8//IGNORE", "utf-16le//translit", "UTF-8,IGNORE", " UTF-8",
                             "UTF 8", "UTF-8\t", "NO-SUCH-ENCODING", "UTF-\xC3\xA9"})
        EXPECT_FALSE(fresh.IsValidEncoding(name)) << name;

    const TStringList& names = Engine->NameList();
    for (const auto& name : names) {
        const std::string lower = AsciiLower(name);
        ASSERT_TRUE(fresh.IsValidEncoding(name)) << name;
        ASSERT_TRUE(fresh.IsValidEncoding(lower)) << lower;
        for (const std::string& variant : {name + "//TRANSLIT", name + " ", name + ",IGNORE"})
            ASSERT_EQ(fresh.IsValidEncoding(variant), names.Find(variant)) << variant;
    }
}

// The first call of a conversion from "UTF-8" (in any case, but no other spelling) drops a
// signature; a first call too short to hold one uses up the look all the same.
TEST_F(LumivaConversion, OnlyTheFirstCallFromUtf8DropsTheSignature)
{
    struct TCall {
        std::string In, Out;
        std::size_t Consumed;
    };
    const std::string withMark = std::string("\xFF\xFE" "A\0", 4);
    const std::vector<std::pair<const char*, std::vector<TCall>>> runs = {
        {"UTF-8", {{"\xEF\xBB\xBF" "A", std::string("A\0", 2), 4}, {"\xEF\xBB\xBF" "A", withMark, 4}}},
        {"utf-8", {{"\xEF\xBB\xBF", "", 3}}},
        {"UTF-8", {{"\xEF\xBB", "", 0}, {"\xEF\xBB\xBF" "A", withMark, 4}}},
        {"UTF8", {{"\xEF\xBB\xBF" "A", withMark, 4}}},
    };
    for (const auto& [from, calls] : runs) {
        Engine->Start(from, "UTF-16LE", 0);
        for (const TCall& call : calls) {
            const TConverted converted = Convert(call.In);
            EXPECT_EQ(converted.Out, call.Out) << from;
            EXPECT_EQ(converted.Consumed, call.Consumed) << from;
        }
        Engine->Close();
    }
    Engine->Start("UTF-16LE", "UCS-4LE", 0);
    TConverted converted = Convert(std::string("\xEF\xBB\xBF\x00", 4));
    EXPECT_EQ(converted.Consumed, 4u);
    EXPECT_EQ(converted.Out, std::string("\xEF\xBB\x00\x00\xBF\x00\x00\x00", 8));
}

TEST_F(LumivaConversion, FlushForwardsNoInputAndEndsTheShiftState)
{
    Engine->Start("UTF-8", "ISO-2022-JP", 0);
    // A flush as the very first call has no signature to look at; it uses up the one look.
    char out[64];
    char* outPtr = out;
    std::size_t outLeft = sizeof out;
    Engine->Convert(nullptr, nullptr, &outPtr, &outLeft);
    EXPECT_EQ(outLeft, sizeof out);
    const std::string in = "\xEF\xBB\xBF\xE6\x97\xA5";
    const char* inPtr = in.data();
    std::size_t inLeft = in.size();
    Engine->Convert(&inPtr, &inLeft, &outPtr, &outLeft);
    EXPECT_EQ(inLeft, in.size()) << "the signature, kept, has no place in ISO-2022-JP";
    inPtr += 3;
    inLeft -= 3;
    Engine->Convert(&inPtr, &inLeft, &outPtr, &outLeft);
    EXPECT_EQ(inLeft, 0u);
    const char* none = nullptr;
    Engine->Convert(&none, nullptr, &outPtr, &outLeft);
    const std::string written(out, sizeof out - outLeft);
    ASSERT_GE(written.size(), 8u);
    EXPECT_EQ(written.substr(0, 3), "\x1B$B");
    EXPECT_EQ(written.substr(written.size() - 3), "\x1B(B");
}

TEST_F(LumivaConversion, EachCallTellsWhatStoppedIt)
{
    Engine->Start("UTF-8", "ISO-8859-1", 0);
    const TConverted whole = Convert("a\xC3\xA9");
    EXPECT_EQ(whole.Error, 0);
    EXPECT_EQ(whole.Consumed, 3u);
    // Invalid input and a character the target cannot hold read alike; the caller tells them apart.
    for (const std::string& In : {std::string("a\xFF" "b"), std::string("a\xE2\x82\xAC")}) {
        const TConverted stopped = Convert(In);
        EXPECT_EQ(stopped.Error, EILSEQ);
        EXPECT_EQ(stopped.Consumed, 1u);
    }
    const TConverted cut = Convert("a\xC3");
    EXPECT_EQ(cut.Error, EINVAL);
    EXPECT_EQ(cut.Consumed, 1u);
    const TConverted full = Convert("abc", 2);
    EXPECT_EQ(full.Error, E2BIG);
    EXPECT_EQ(full.Consumed, 2u);
}

TEST_F(LumivaConversion, TranslationsBecomeTargetSuffixes)
{
    const std::string in = "a\xC3\xA9" "b\xE2\x82\xAC" "c";
    Engine->Start("UTF-8", "ASCII", 0);
    TConverted none = Convert(in);
    EXPECT_EQ(none.Out, "a");
    EXPECT_EQ(none.Consumed, 1u);

    Engine->Start("UTF-8", "ascii", 1);
    TConverted ignore = Convert(in);
    EXPECT_EQ(ignore.Out, "abc");
    EXPECT_EQ(ignore.Consumed, in.size());

    Engine->Start("UTF-8", "ASCII", 2);
    TConverted translit = Convert(in);
    EXPECT_EQ(translit.Consumed, in.size());
    EXPECT_EQ(translit.Out.substr(translit.Out.size() - 4), "EURc");
}

} // namespace
