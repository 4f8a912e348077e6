#include "libiconv/LegacyTableCache.h"

#include "libiconv/UnicodeFormNames.h"

#include "libiconv/GeneratedLegacyTable.h"
#include "libiconv/LegacyProbe.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

namespace lmviconv {

namespace {

// Encodings that keep a state between characters or combine them, in any spelling: the C
// library keeps their work. The single-byte ones that combine are also caught by the probe.
bool KeepsState(std::string_view Name)
{
    static const char* const Parts[] = {"2022", "UTF", "UCS", "HKSCS", "JISX0213", "1255", "1258", "TCVN", "UNICODE"};
    for (const char* part : Parts)
        if (Name.find(part) != std::string_view::npos)
            return true;
    return false;
}

// A character of the BMP as UTF-8 bytes in a little-endian 32-bit value; 0 for anything else.
std::uint32_t Utf8Form(std::uint32_t Cp)
{
    if (Cp == 0 || Cp > 0xFFFF)
        return 0;
    if (Cp < 0x80)
        return Cp;
    if (Cp < 0x800)
        return (0xC0 | Cp >> 6) | (0x80 | (Cp & 0x3F)) << 8;
    return (0xE0 | Cp >> 12) | (0x80 | (Cp >> 6 & 0x3F)) << 8 | (0x80 | (Cp & 0x3F)) << 16;
}

// Utf8Steps' entry for a character of Length bytes here: 0 for none, or one beyond the BMP.
std::uint32_t Utf8Step(std::uint32_t Cp, std::uint32_t Length)
{
    if (Cp > 0xFFFF || (Cp == 0 && Length == 2))
        return 0;
    const std::uint32_t utf8Length = Cp < 0x80 ? 1 : Cp < 0x800 ? 2 : 3;
    return Utf8Form(Cp) | utf8Length << 24 | Length << 28;
}

// The tables the kernels read, from Single, Pairs and Encode.
std::unique_ptr<TLegacyTables> Expand(std::unique_ptr<TLegacyTables> tables)
{
    bool asciiSame = true;
    for (std::uint32_t c = 0; c < 0x80; ++c)
        asciiSame = asciiSame && tables->Single[c] == c && tables->Encode[c] == (0x100 | c);
    tables->AsciiSame = asciiSame;

    for (unsigned b = 0; b < 0x80; ++b)
        tables->SingleUtf8[b] = Utf8Form(tables->Single[0x80 + b]);
    if (tables->DoubleByte && asciiSame) {
        tables->Utf8Steps.assign(0x10000, 0);
        std::uint32_t* steps = tables->Utf8Steps.data();
        for (unsigned first = 0; first < 0x100; ++first, steps += 0x100) {
            const std::uint32_t single = tables->Single[first];
            if (single == TLegacyTables::Lead) {
                tables->LeadBytes[first - 0x80] = 0xFF;
                for (unsigned second = 0; second < 0x100; ++second)
                    steps[second] = Utf8Step(tables->Pair(first, second), 2);
            } else if (single != TLegacyTables::Invalid) {
                std::fill(steps, steps + 0x100, Utf8Step(single, 1));
            }
        }
    }
    if (!tables->DoubleByte && asciiSame) {
        for (unsigned b = 0; b < 0x80; ++b) {
            const std::uint32_t value = tables->Single[0x80 + b];
            if (value > 0xFFFF)
                continue; // invalid, or beyond the BMP: the first UTF-8 byte stays 0
            tables->UnitBytes[0][b] = static_cast<std::uint8_t>(value);
            tables->UnitBytes[1][b] = static_cast<std::uint8_t>(value >> 8);
            if (value < 0x80) {
                tables->Utf8Bytes[0][b] = static_cast<std::uint8_t>(value);
            } else if (value < 0x800) {
                tables->Utf8Bytes[0][b] = static_cast<std::uint8_t>(0xC0 | value >> 6);
                tables->Utf8Bytes[1][b] = static_cast<std::uint8_t>(0x80 | (value & 0x3F));
            } else {
                tables->Utf8Bytes[0][b] = static_cast<std::uint8_t>(0xE0 | value >> 12);
                tables->Utf8Bytes[1][b] = static_cast<std::uint8_t>(0x80 | (value >> 6 & 0x3F));
                tables->Utf8Bytes[2][b] = static_cast<std::uint8_t>(0x80 | (value & 0x3F));
            }
        }
        for (unsigned lead = 0xC2; lead < 0xE0; ++lead) {
            TLegacyTables::TLeadRow row{static_cast<std::uint8_t>(lead), {}};
            bool any = false;
            for (unsigned low = 0; low < 64; ++low) {
                const std::uint16_t bytes = tables->Encode[(lead & 0x1F) << 6 | low];
                row.Bytes[low] = static_cast<std::uint8_t>(bytes);
                any = any || bytes != 0;
            }
            if (any)
                tables->LeadRows.push_back(row);
        }
    }
    return tables;
}

// Generated's tables as they were on the build machine; nothing when its rows do not fit.
std::unique_ptr<TLegacyTables> FromGenerated(const TGeneratedLegacyTable& Generated)
{
    auto tables = std::make_unique<TLegacyTables>();
    std::copy(Generated.Single, Generated.Single + 256, tables->Single);
    tables->DoubleByte = true;
    tables->Pairs.assign(128 * 256, 0);
    const unsigned width = Generated.LastTrail - Generated.FirstTrail + 1;
    if (Generated.FirstTrail > Generated.LastTrail || Generated.LastTrail > 0xFF)
        return nullptr;
    const std::uint16_t* row = Generated.Rows;
    for (unsigned lead = 0x80; lead < 0x100; ++lead) {
        if (tables->Single[lead] != TLegacyTables::Lead)
            continue;
        std::copy(row, row + width, tables->Pairs.begin() + ((lead - 0x80) << 8 | Generated.FirstTrail));
        row += width;
    }
    EncodeByReading(*tables);
    for (std::size_t i = 0; i < Generated.EncodingCount; ++i)
        tables->Encode[Generated.Encodings[i] >> 16] = static_cast<std::uint16_t>(Generated.Encodings[i]);
    tables->PairsBeyondBmp.assign(Generated.PairsBeyondBmp, Generated.PairsBeyondBmp + Generated.PairsBeyondBmpCount);
    return tables;
}

} // namespace

std::unique_ptr<TLegacyTables> BuildLegacyTables(const std::string& Name, const TGeneratedLegacyTable* Generated)
{
    std::unique_ptr<TLegacyTables> tables;
    if (Generated != nullptr) {
        tables = FromGenerated(*Generated);
        if (tables && !LegacyTablesAgree(Name, *tables, {Generated->Encodings, Generated->EncodingCount}))
            tables.reset();
    }
    if (!tables)
        tables = ReadLegacyTables(Name);
    return tables ? Expand(std::move(tables)) : nullptr;
}

const TLegacyTables* LegacyTablesFor(const char* Code)
{
    try {
        const std::optional<std::string> name = CharsetNameOf(Code);
        if (!name || KeepsState(*name))
            return nullptr;
        static std::mutex lock;
        static std::map<std::string, std::unique_ptr<TLegacyTables>> built;
        const std::lock_guard<std::mutex> guard(lock);
        const auto found = built.find(*name);
        if (found != built.end())
            return found->second.get();
        return built.emplace(*name, BuildLegacyTables(*name, GeneratedLegacyTableFor(name->c_str()))).first->second.get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace lmviconv
