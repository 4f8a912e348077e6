#include "libiconv/LegacyTables.h"

#include "libiconv/UnicodeFormNames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

namespace lmviconv {

namespace {

const std::size_t Failure = static_cast<std::size_t>(-1);
const iconv_t Closed = reinterpret_cast<iconv_t>(-1);

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

class TDescriptor {
public:
    TDescriptor(const char* To, const char* From) : Handle(iconv_open(To, From)) {}
    ~TDescriptor()
    {
        if (Handle != Closed)
            iconv_close(Handle);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    bool Open() const { return Handle != Closed; }
    void Reset() { iconv(Handle, nullptr, nullptr, nullptr, nullptr); }
    std::size_t Convert(char** In, std::size_t* InLeft, char** Out, std::size_t* OutLeft)
    {
        return iconv(Handle, In, InLeft, Out, OutLeft);
    }

private:
    iconv_t Handle;
};

std::uint32_t Utf32At(const char* p)
{
    std::uint32_t cp = 0;
    std::memcpy(&cp, p, 4);
    return cp;
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

enum class TByteKind { Character, Invalid, Lead, Irregular };

// One byte alone through the decoder, with nothing more to come and no flush: exactly one
// character, or an error. Anything else (no output until a flush, two characters) is a converter
// that keeps or combines characters.
TByteKind DecodeByte(TDescriptor& Decoder, unsigned char Byte, std::uint32_t& Cp)
{
    Decoder.Reset();
    char in[1] = {static_cast<char>(Byte)};
    char out[16];
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    const std::size_t result = Decoder.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
    if (result == Failure)
        return errno == EILSEQ ? TByteKind::Invalid : errno == EINVAL ? TByteKind::Lead : TByteKind::Irregular;
    if (result != 0 || inLeft != 0 || outPtr - out != 4)
        return TByteKind::Irregular;
    Cp = Utf32At(out);
    return TByteKind::Character;
}

// Runs Input (records of Width bytes, each ending in '\n' as the converter's source reads it)
// through Converter in as few calls as the errors allow, and hands Visit, for each record, what
// the converter wrote for it without the separator (OutWidth-byte units); a record it failed on
// is not visited. False when the separators written do not match the records read (a record
// wrote a separator of its own): nothing can be told then.
template <class TVisit>
bool ConvertRecords(TDescriptor& Converter, const std::string& Input, std::size_t Width, std::size_t OutWidth,
                    std::string_view Separator, TVisit Visit)
{
    const std::size_t records = Input.size() / Width;
    // Room for a part of the records at a time, not cleared: only what the converter wrote is
    // read. Fresh pages cost more than the calls that fill them again.
    const std::size_t room = std::min<std::size_t>(records * (4 * OutWidth + Separator.size()) + 64, 32 * 1024);
    const std::unique_ptr<char[]> out(new char[room]);
    std::vector<std::string_view> pieces;
    std::size_t record = 0;
    while (record < records) {
        Converter.Reset();
        char* in = const_cast<char*>(Input.data()) + record * Width;
        std::size_t inLeft = Input.size() - record * Width;
        char* outPtr = out.get();
        std::size_t outLeft = room;
        const std::size_t result = Converter.Convert(&in, &inLeft, &outPtr, &outLeft);
        const bool full = result == Failure && errno == E2BIG;
        const std::size_t stoppedAt = (Input.size() - inLeft) / Width;
        // Each record converted before the stop ends with the separator; the one stopped on
        // may have written a part.
        const std::string_view written(out.get(), static_cast<std::size_t>(outPtr - out.get()));
        pieces.clear();
        std::size_t start = 0;
        for (std::size_t at = 0; at + Separator.size() <= written.size(); at += OutWidth) {
            if (written.substr(at, Separator.size()) == Separator) {
                pieces.push_back(written.substr(start, at - start));
                start = at + Separator.size();
                at = start - OutWidth;
            }
        }
        if (pieces.size() != stoppedAt - record)
            return false;
        for (std::size_t r = record; r < stoppedAt; ++r)
            Visit(r, pieces[r - record]);
        if (result != Failure)
            break;
        // With the room full, the record stopped on is asked about again; else it failed.
        record = full ? stoppedAt : stoppedAt + 1;
    }
    return true;
}

// Every pair of the lead bytes with the trail bytes through the decoder; only trail bytes that
// start a character with one of a few sampled leads are asked about for the rest, as each
// invalid pair costs a call (a pair not asked about is left to the C library).
bool ReadPairs(TDescriptor& Decoder, TLegacyTables& Tables, std::vector<std::uint32_t>& Characters)
{
    Tables.Pairs.assign(128 * 256, 0);
    const std::string_view newline("\n\0\0\0", 4);
    const auto read = [&](const std::vector<unsigned>& Leads, const std::vector<unsigned>& Trails) {
        std::string pairs;
        for (unsigned lead : Leads) {
            for (unsigned trail : Trails) {
                pairs += static_cast<char>(lead);
                pairs += static_cast<char>(trail);
                pairs += '\n';
            }
        }
        return ConvertRecords(Decoder, pairs, 3, 4, newline, [&](std::size_t Record, std::string_view Written) {
            if (Written.size() != 4)
                return;
            const std::uint32_t value = Utf32At(Written.data());
            if (value > 0xFFFF)
                Tables.PairsBeyondBmp.push_back(value);
            if (value == 0 || value > 0xFFFF)
                return;
            const auto lead = static_cast<unsigned char>(pairs[Record * 3]);
            const auto trail = static_cast<unsigned char>(pairs[Record * 3 + 1]);
            std::uint16_t& entry = Tables.Pairs[(lead - 0x80u) << 8 | trail];
            if (entry == 0)
                Characters.push_back(value);
            entry = static_cast<std::uint16_t>(value);
        });
    };
    std::vector<unsigned> leads;
    std::vector<unsigned> sampled;
    for (unsigned lead = 0x80; lead < 0x100; ++lead) {
        if (Tables.Single[lead] != TLegacyTables::Lead)
            continue;
        if (leads.empty() || lead % 8 == 1)
            sampled.push_back(lead);
        leads.push_back(lead);
    }
    std::vector<unsigned> all;
    for (unsigned trail = 0; trail < 0x100; ++trail)
        all.push_back(trail);
    if (!read(sampled, all))
        return false;
    std::vector<unsigned> trails;
    for (unsigned trail = 0; trail < 0x100; ++trail)
        for (unsigned lead : sampled)
            if (Tables.Pair(lead, trail) != 0) {
                trails.push_back(trail);
                break;
            }
    return read(leads, trails);
}

// Whether the converter writes and reads the characters beyond the BMP as GB18030's four bytes:
// a sample from each end and between, both ways.
bool HasFourByteForm(TDescriptor& Decoder, TDescriptor& Encoder)
{
    static const std::uint32_t Samples[] = {0x10000, 0x10001, 0x1000A, 0x1007E, 0x104EC, 0x1F600, 0x20000, 0x2A6D6, 0xE0100, 0x10FFFF};
    std::string units;
    std::string expected;
    for (std::uint32_t cp : Samples) {
        units.append(reinterpret_cast<const char*>(&cp), 4);
        unsigned char bytes[4];
        TLegacyTables::WriteFourBytes(bytes, cp);
        if (TLegacyTables::FourByteCharacter(bytes) != cp)
            return false;
        expected.append(reinterpret_cast<const char*>(bytes), 4);
    }
    const auto convert = [](TDescriptor& Converter, const std::string& Input) {
        Converter.Reset();
        std::string out(Input.size() * 2, '\0');
        char* in = const_cast<char*>(Input.data());
        std::size_t inLeft = Input.size();
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        if (Converter.Convert(&in, &inLeft, &outPtr, &outLeft) != 0)
            return std::string();
        out.resize(out.size() - outLeft);
        return out;
    };
    return convert(Encoder, units) == expected && convert(Decoder, expected) == units;
}

std::unique_ptr<TLegacyTables> Build(const std::string& Name)
{
    // UCS-4LE is built into the C library: no converter module is loaded for it.
    TDescriptor decoder("UCS-4LE", Name.c_str());
    TDescriptor encoder(Name.c_str(), "UCS-4LE");
    if (!decoder.Open() || !encoder.Open())
        return nullptr;
    auto tables = std::make_unique<TLegacyTables>();
    std::vector<std::uint32_t> characters;
    bool asciiSame = true;
    for (unsigned b = 0; b < 0x100; ++b) {
        std::uint32_t cp = 0;
        switch (DecodeByte(decoder, static_cast<unsigned char>(b), cp)) {
        case TByteKind::Character:
            tables->Single[b] = cp;
            if (cp <= 0xFFFF)
                characters.push_back(cp);
            break;
        case TByteKind::Invalid:
            tables->Single[b] = TLegacyTables::Invalid;
            break;
        case TByteKind::Lead:
            if (b < 0x80)
                return nullptr;
            tables->Single[b] = TLegacyTables::Lead;
            tables->DoubleByte = true;
            break;
        default:
            return nullptr;
        }
        asciiSame = asciiSame && (b >= 0x80 || tables->Single[b] == b);
    }
    for (std::uint32_t c = 0; c < 0x80; ++c)
        characters.push_back(c);
    if (tables->DoubleByte && !ReadPairs(decoder, *tables, characters))
        return nullptr;
    tables->FourByte = tables->DoubleByte && HasFourByteForm(decoder, encoder);

    // The reverse, as the C library writes each of these characters.
    tables->Encode.assign(0x10001, 0);
    std::string units;
    for (std::uint32_t c : characters) {
        if (c == '\n')
            continue; // the separator; asked about alone below
        const std::uint32_t record[2] = {c, '\n'};
        units.append(reinterpret_cast<const char*>(record), sizeof record);
    }
    const bool read = ConvertRecords(encoder, units, 8, 1, "\n", [&](std::size_t Record, std::string_view Written) {
        const std::uint32_t c = Utf32At(units.data() + Record * 8);
        const auto first = Written.empty() ? 0u : static_cast<unsigned char>(Written[0]);
        if (Written.size() == 1)
            tables->Encode[c] = static_cast<std::uint16_t>(0x100 | first);
        else if (Written.size() == 2 && first >= 0x80 && tables->DoubleByte)
            tables->Encode[c] = static_cast<std::uint16_t>(first << 8 | static_cast<unsigned char>(Written[1]));
    });
    if (!read)
        return nullptr;
    const std::string newline = "\n\0\0\0\n\0\0\0";
    if (!ConvertRecords(encoder, newline, 4, 1, "\n", [](std::size_t, std::string_view Written) {
            return Written.empty();
        }))
        return nullptr;
    tables->Encode['\n'] = 0x100 | '\n';
    for (std::uint32_t c = 0; c < 0x80; ++c)
        asciiSame = asciiSame && tables->Encode[c] == (0x100 | c);
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

} // namespace

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
        return built.emplace(*name, Build(*name)).first->second.get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace lmviconv
