#include "libiconv/LegacyProbe.h"

#include "libiconv/IconvResults.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <new>
#include <span>
#include <string_view>
#include <vector>

namespace lmviconv {

namespace {

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

std::unique_ptr<TLegacyTables> Read(const std::string& Name)
{
    // UCS-4LE is built into the C library: no converter module is loaded for it.
    TDescriptor decoder("UCS-4LE", Name.c_str());
    TDescriptor encoder(Name.c_str(), "UCS-4LE");
    if (!decoder.Open() || !encoder.Open())
        return nullptr;
    auto tables = std::make_unique<TLegacyTables>();
    std::vector<std::uint32_t> characters;
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
    const std::string newline("\n\0\0\0\n\0\0\0", 8);
    if (!ConvertRecords(encoder, newline, 4, 1, "\n", [](std::size_t, std::string_view Written) {
            return Written.empty();
        }))
        return nullptr;
    tables->Encode['\n'] = 0x100 | '\n';
    return tables;
}

// The sample's stride among the pairs and characters that are not checked for another reason.
const unsigned Stride = 37;

// Runs Records (each Width bytes with the separator) through Converter and compares what it wrote
// for each with Expected's record; every record must be written.
bool SameRecords(TDescriptor& Converter, const std::string& Records, std::size_t Width, std::size_t OutWidth,
                 std::string_view Separator, const std::vector<std::string>& Expected)
{
    std::size_t same = 0;
    const bool read = ConvertRecords(Converter, Records, Width, OutWidth, Separator,
                                     [&](std::size_t Record, std::string_view Written) {
                                         if (Written == Expected[Record])
                                             ++same;
                                     });
    return read && same == Expected.size();
}

std::string Utf32(std::uint32_t Cp)
{
    return std::string(reinterpret_cast<const char*>(&Cp), 4);
}

// The bytes an Encode entry stands for.
std::string EncodedBytes(std::uint16_t Entry)
{
    if (Entry >> 8 == 1)
        return std::string(1, static_cast<char>(Entry & 0xFF));
    return {static_cast<char>(Entry >> 8), static_cast<char>(Entry & 0xFF)};
}

bool Agree(const std::string& Name, TLegacyTables& Tables, std::span<const std::uint32_t> Encodings)
{
    TDescriptor decoder("UCS-4LE", Name.c_str());
    TDescriptor encoder(Name.c_str(), "UCS-4LE");
    if (!decoder.Open() || !encoder.Open())
        return false;
    const std::string_view newline("\n\0\0\0", 4);
    // The characters read, to be written back.
    std::vector<std::uint32_t> read;

    std::string bytes;
    std::vector<std::string> characters;
    for (unsigned b = 0; b < 0x100; ++b) {
        if (b == '\n' || Tables.Single[b] >= TLegacyTables::Lead)
            continue;
        bytes += static_cast<char>(b);
        bytes += '\n';
        characters.push_back(Utf32(Tables.Single[b]));
        read.push_back(Tables.Single[b]);
    }
    if (!SameRecords(decoder, bytes, 2, 4, newline, characters))
        return false;

    std::string pairs;
    characters.clear();
    const auto ask = [&](unsigned Lead, unsigned Trail) {
        const std::uint32_t cp = Tables.Pair(Lead, Trail);
        pairs += static_cast<char>(Lead);
        pairs += static_cast<char>(Trail);
        pairs += '\n';
        characters.push_back(Utf32(cp));
        read.push_back(cp);
    };
    unsigned offset = 0;
    for (unsigned lead = 0x80; lead < 0x100 && !Tables.Pairs.empty(); ++lead) {
        if (Tables.Single[lead] != TLegacyTables::Lead)
            continue;
        const std::uint16_t* row = Tables.Pairs.data() + ((lead - 0x80) << 8);
        unsigned first = 0;
        while (first < 0x100 && row[first] == 0)
            ++first;
        if (first == 0x100)
            continue;
        unsigned last = 0xFF;
        while (row[last] == 0)
            --last;
        ask(lead, first);
        // Between the ends, the first pair at or after each step; the steps move on by row.
        for (unsigned trail = first + 1 + offset++ % Stride; trail < last; trail += Stride) {
            while (trail < last && row[trail] == 0)
                ++trail;
            if (trail < last)
                ask(lead, trail);
        }
        if (last != first)
            ask(lead, last);
    }
    if (!SameRecords(decoder, pairs, 3, 4, newline, characters))
        return false;

    // ASCII, the characters read above, and every character whose bytes are not the first that
    // read as it.
    for (std::uint32_t c = 0; c < 0x80; ++c)
        read.push_back(c);
    for (std::uint32_t encoding : Encodings)
        read.push_back(encoding >> 16);
    std::string units;
    std::vector<std::string> written;
    for (std::uint32_t c : read) {
        const std::uint16_t entry = c <= 0xFFFF ? Tables.Encode[c] : 0;
        if (c == '\n' || entry == 0)
            continue;
        units += Utf32(c);
        units += '\n';
        units.append(3, '\0');
        written.push_back(EncodedBytes(entry));
    }
    if (!SameRecords(encoder, units, 8, 1, "\n", written))
        return false;
    Tables.FourByte = Tables.DoubleByte && HasFourByteForm(decoder, encoder);
    return true;
}

} // namespace

std::unique_ptr<TLegacyTables> ReadLegacyTables(const std::string& Name)
{
    try {
        return Read(Name);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool LegacyTablesAgree(const std::string& Name, TLegacyTables& Tables, std::span<const std::uint32_t> Encodings)
{
    try {
        return Agree(Name, Tables, Encodings);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void EncodeByReading(TLegacyTables& Tables)
{
    Tables.Encode.assign(0x10001, 0);
    for (unsigned b = 0; b < 0x100; ++b)
        if (Tables.Single[b] <= 0xFFFF && Tables.Encode[Tables.Single[b]] == 0)
            Tables.Encode[Tables.Single[b]] = static_cast<std::uint16_t>(0x100 | b);
    if (Tables.Pairs.empty())
        return;
    for (unsigned lead = 0x80; lead < 0x100; ++lead)
        for (unsigned trail = 0; trail < 0x100; ++trail) {
            const std::uint32_t cp = Tables.Pair(lead, trail);
            if (cp != 0 && Tables.Encode[cp] == 0)
                Tables.Encode[cp] = static_cast<std::uint16_t>(lead << 8 | trail);
        }
}

} // namespace lmviconv
