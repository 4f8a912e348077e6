// The double-byte tables written at build time: opened, they are the tables the C library's
// converter gives when read at open; a table the C library does not agree with (another
// machine's, a stale one) is not used, and the tables are read from the C library instead.
#include "libiconv/GeneratedLegacyTable.h"
#include "libiconv/LegacyTableCache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using lmviconv::TGeneratedLegacyTable;
using lmviconv::TLegacyTables;

const char* const Generated[] = {"CP932", "SHIFT_JIS", "EUC-JP", "GBK", "CP936", "GB18030", "CP949", "EUC-KR", "BIG5", "CP950"};

void ExpectSameTables(const TLegacyTables& Actual, const TLegacyTables& Expected)
{
    EXPECT_TRUE(std::equal(std::begin(Actual.Single), std::end(Actual.Single), std::begin(Expected.Single)));
    EXPECT_EQ(Actual.DoubleByte, Expected.DoubleByte);
    EXPECT_EQ(Actual.AsciiSame, Expected.AsciiSame);
    EXPECT_EQ(Actual.FourByte, Expected.FourByte);
    EXPECT_EQ(Actual.PairsBeyondBmp, Expected.PairsBeyondBmp);
    EXPECT_EQ(Actual.Pairs, Expected.Pairs);
    EXPECT_EQ(Actual.Encode, Expected.Encode);
    EXPECT_EQ(Actual.Utf8Steps, Expected.Utf8Steps);
    EXPECT_TRUE(std::equal(std::begin(Actual.LeadBytes), std::end(Actual.LeadBytes), std::begin(Expected.LeadBytes)));
}

// A copy of a generated table whose arrays can be changed.
struct TTableCopy {
    explicit TTableCopy(const TGeneratedLegacyTable& From)
        : Single(From.Single, From.Single + 256), Rows(From.Rows, From.Rows + RowCount(From)),
          Encodings(From.Encodings, From.Encodings + From.EncodingCount),
          BeyondBmp(From.PairsBeyondBmp, From.PairsBeyondBmp + From.PairsBeyondBmpCount), Table(From)
    {
    }
    static std::size_t RowCount(const TGeneratedLegacyTable& From)
    {
        const auto leads = std::count(From.Single + 0x80, From.Single + 0x100, TLegacyTables::Lead);
        return static_cast<std::size_t>(leads) * (From.LastTrail - From.FirstTrail + 1);
    }
    const TGeneratedLegacyTable* Get()
    {
        Table.Single = Single.data();
        Table.Rows = Rows.data();
        Table.Encodings = Encodings.data();
        Table.EncodingCount = Encodings.size();
        Table.PairsBeyondBmp = BeyondBmp.data();
        return &Table;
    }
    std::vector<std::uint32_t> Single;
    std::vector<std::uint16_t> Rows;
    std::vector<std::uint32_t> Encodings;
    std::vector<std::uint32_t> BeyondBmp;
    TGeneratedLegacyTable Table;
};

TEST(GeneratedLegacyTables, AreWhatTheCLibraryGivesForEveryDoubleByteEncoding)
{
    for (const char* name : Generated) {
        SCOPED_TRACE(name);
        const TGeneratedLegacyTable* generated = lmviconv::GeneratedLegacyTableFor(name);
        ASSERT_NE(generated, nullptr);
        const std::unique_ptr<TLegacyTables> fromGenerated = lmviconv::BuildLegacyTables(name, generated);
        const std::unique_ptr<TLegacyTables> fromLibrary = lmviconv::BuildLegacyTables(name, nullptr);
        ASSERT_TRUE(fromGenerated && fromLibrary);
        ExpectSameTables(*fromGenerated, *fromLibrary);
    }
    // Encodings without one are read from the C library.
    EXPECT_EQ(lmviconv::GeneratedLegacyTableFor("JOHAB"), nullptr);
    ASSERT_NE(lmviconv::LegacyTablesFor("JOHAB"), nullptr);
    EXPECT_TRUE(lmviconv::LegacyTablesFor("JOHAB")->DoubleByte);
}

TEST(GeneratedLegacyTables, ThatTheCLibraryDisagreesWithAreNotUsed)
{
    const std::unique_ptr<TLegacyTables> gbk = lmviconv::BuildLegacyTables("GBK", nullptr);
    const std::unique_ptr<TLegacyTables> cp932 = lmviconv::BuildLegacyTables("CP932", nullptr);
    ASSERT_TRUE(gbk && cp932);
    const TGeneratedLegacyTable& gbkTable = *lmviconv::GeneratedLegacyTableFor("GBK");
    const TGeneratedLegacyTable& cp932Table = *lmviconv::GeneratedLegacyTableFor("CP932");
    const auto expectFallback = [](const char* Name, TTableCopy& Copy, const TLegacyTables& Library) {
        const std::unique_ptr<TLegacyTables> built = lmviconv::BuildLegacyTables(Name, Copy.Get());
        ASSERT_NE(built, nullptr);
        ExpectSameTables(*built, Library);
    };
    {
        SCOPED_TRACE("another character for the first pair of a row");
        TTableCopy copy(gbkTable);
        const std::size_t width = gbkTable.LastTrail - gbkTable.FirstTrail + 1;
        std::uint16_t* row = copy.Rows.data() + 40 * width;
        std::uint16_t* first = std::find_if(row, row + width, [](std::uint16_t Cp) { return Cp != 0; });
        ASSERT_NE(first, row + width);
        *first = static_cast<std::uint16_t>(*first + 1);
        expectFallback("GBK", copy, *gbk);
    }
    {
        SCOPED_TRACE("a lead byte taken for a character of its own");
        TTableCopy copy(gbkTable);
        copy.Single[0x81] = 0x00C0;
        copy.Rows.erase(copy.Rows.begin(), copy.Rows.begin() + (gbkTable.LastTrail - gbkTable.FirstTrail + 1));
        expectFallback("GBK", copy, *gbk);
    }
    {
        SCOPED_TRACE("a character written with other bytes");
        TTableCopy copy(cp932Table);
        ASSERT_FALSE(copy.Encodings.empty());
        copy.Encodings.back() ^= 1;
        expectFallback("CP932", copy, *cp932);
    }
    {
        SCOPED_TRACE("a character the C library writes otherwise left out");
        TTableCopy copy(cp932Table);
        copy.Encodings.erase(copy.Encodings.begin());
        expectFallback("CP932", copy, *cp932);
    }
    {
        SCOPED_TRACE("another encoding's table");
        TTableCopy copy(*lmviconv::GeneratedLegacyTableFor("EUC-KR"));
        expectFallback("GBK", copy, *gbk);
    }
}

} // namespace
