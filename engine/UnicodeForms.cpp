#include "engine/UnicodeForms.h"

#include "util/Exception.h"
#include "util/StringList.h"

namespace {

// The choices of UTF-16 and UTF-32 share one table: 1 Without BOM, 3 LE with BOM, 4 BE with BOM.
void ResolveWideForm(std::int32_t Choice, const char* BigEndian, const char* LittleEndian,
                     const std::string& BigMark, const std::string& LittleMark, const char* Error,
                     std::string& TargetEncoding, std::string& Signature)
{
    switch (Choice) {
    case 0:
        return;
    case 1:
        TargetEncoding = BigEndian;
        return;
    case 3:
        TargetEncoding = LittleEndian;
        Signature += LittleMark;
        return;
    case 4:
        TargetEncoding = BigEndian;
        Signature += BigMark;
        return;
    default:
        throw Exception(Error);
    }
}

} // namespace

void ResolveTargetEncoding(const std::string& ToEncoding, std::int32_t Utf8, std::int32_t Utf16,
                           std::int32_t Utf32, std::string& TargetEncoding, std::string& Signature)
{
    using namespace std::string_literals;
    TargetEncoding = ToEncoding;
    if (SameText(TargetEncoding, "UTF-8")) {
        switch (Utf8) {
        case 0:
        case 1:
            return;
        case 2:
            Signature += "\xEF\xBB\xBF"s;
            return;
        default:
            throw Exception("Invalid UTF-8 specification");
        }
    }
    if (SameText(TargetEncoding, "UTF-16")) {
        ResolveWideForm(Utf16, "UTF-16BE", "UTF-16LE", "\xFE\xFF"s, "\xFF\xFE"s,
                        "Invalid UTF-16 specification", TargetEncoding, Signature);
        return;
    }
    if (SameText(TargetEncoding, "UTF-32")) {
        ResolveWideForm(Utf32, "UTF-32BE", "UTF-32LE", "\x00\x00\xFE\xFF"s, "\xFF\xFE\x00\x00"s,
                        "Invalid UTF-32 specification", TargetEncoding, Signature);
    }
}
