#include "run/TextPreview.h"

#include "engine/Lumiva.h"
#include "util/FileDescriptor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool HasSignature(std::string_view Head)
{
    static const std::array<std::string_view, 4> Marks{std::string_view("\xEF\xBB\xBF"),
                                                       std::string_view("\xFF\xFE"), std::string_view("\xFE\xFF"),
                                                       std::string_view("\0\0\xFE\xFF", 4)};
    return std::any_of(Marks.begin(), Marks.end(), [&](std::string_view Mark) { return Head.substr(0, Mark.size()) == Mark; });
}

std::string LineEnds(const std::u32string& Text)
{
    bool Lf = false;
    bool CrLf = false;
    bool Cr = false;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == U'\n') {
            Lf = true;
        } else if (Text[i] == U'\r') {
            if (i + 1 < Text.size() && Text[i + 1] == U'\n') {
                CrLf = true;
                ++i;
            } else if (i + 1 < Text.size()) {
                Cr = true;
            }
        }
    }
    const int Kinds = int(Lf) + int(CrLf) + int(Cr);
    if (Kinds > 1)
        return "mixed";
    return Lf ? "LF" : CrLf ? "CR LF" : Cr ? "CR" : "";
}

// Decodes Data into Preview.Text, a byte that does not decode at a time as U+FFFD; the mark is
// set when the decoder reaches MarkAt (an index into Data).
void Decode(TLumiva& Converter, std::string_view Data, bool AtEnd, std::optional<std::size_t> MarkAt,
            TTextPreview& Preview)
{
    std::array<char, 16 * 1024> Out;
    const char* In = Data.data();
    const char* const End = Data.data() + Data.size();
    const auto Take = [&](const char* OutEnd) {
        for (const char* p = Out.data(); p + 4 <= OutEnd; p += 4) {
            char32_t Code;
            std::memcpy(&Code, p, 4);
            Preview.Text.push_back(Code);
        }
    };
    while (In < End) {
        if (MarkAt && !Preview.Mark && static_cast<std::size_t>(In - Data.data()) >= *MarkAt)
            Preview.Mark = Preview.Text.size();
        // Up to the mark first, so that its character is found where it starts.
        const char* Stop = MarkAt && !Preview.Mark ? Data.data() + *MarkAt : End;
        std::size_t Left = static_cast<std::size_t>(Stop - In);
        char* OutPtr = Out.data();
        std::size_t Room = Out.size();
        const int Error = Converter.Convert(&In, &Left, &OutPtr, &Room);
        Take(OutPtr);
        if (Error == EILSEQ || (Error == EINVAL && (Stop != End || AtEnd))) {
            if (Error == EINVAL && Stop != End && In < Stop) {
                // A character that runs over the mark: decoded with what follows.
                Preview.Mark = Preview.Text.size();
                continue;
            }
            Preview.Undecodable.push_back({Preview.Text.size(), std::string(In, 1)});
            Preview.Text.push_back(Replacement);
            ++In;
        } else if (Error == EINVAL) {
            break; // cut off by the limit
        }
    }
    if (MarkAt && !Preview.Mark && static_cast<std::size_t>(In - Data.data()) >= *MarkAt)
        Preview.Mark = Preview.Text.size();
}

} // namespace

TTextPreview TTextPreview::Read(TLumiva& Converter, const std::string& FileName, const std::string& Encoding,
                                std::optional<std::uint64_t> Mark)
{
    TTextPreview Preview;
    struct stat Info;
    const TFd File = OpenRegularFile(FileName, Info);
    if (File.Get() < 0) {
        Preview.Error = "Cannot open file: " + FileName;
        return Preview;
    }
    // Around the mark: a quarter of the room before it, on a 4-byte boundary, so that UTF-16 and
    // UTF-32 stay in step.
    if (Mark && *Mark > Limit / 2)
        Preview.Start = (*Mark - Limit / 4) & ~std::uint64_t(3);
    std::string Head(4, '\0');
    const ssize_t HeadSize = ReadUpTo(File.Get(), Head.data(), Head.size(), 0);
    Head.resize(HeadSize > 0 ? static_cast<std::size_t>(HeadSize) : 0);
    Preview.Signature = HasSignature(Head);

    std::string Data(Limit + 1, '\0');
    const ssize_t Read = ReadUpTo(File.Get(), Data.data(), Data.size(), Preview.Start);
    if (Read < 0) {
        Preview.Error = "Cannot read file: " + FileName;
        return Preview;
    }
    const std::size_t Got = static_cast<std::size_t>(Read);
    const bool AtEnd = Got <= Limit;
    Data.resize(std::min(Got, Limit));
    std::optional<std::size_t> MarkAt;
    if (Mark && *Mark >= Preview.Start && *Mark - Preview.Start <= Data.size())
        MarkAt = static_cast<std::size_t>(*Mark - Preview.Start);
    try {
        Converter.Start(Encoding, "UTF-32LE", 0);
        Decode(Converter, Data, AtEnd, MarkAt, Preview);
        Converter.Close();
    } catch (const std::exception& E) {
        Preview.Error = E.what();
        return Preview;
    }
    if (Preview.Start == 0 && !Preview.Text.empty() && Preview.Text.front() == 0xFEFF) {
        Preview.Text.erase(0, 1);
        for (TUndecodable& Item : Preview.Undecodable)
            --Item.At;
        if (Preview.Mark && *Preview.Mark > 0)
            --*Preview.Mark;
    }
    Preview.LineEnds = ::LineEnds(Preview.Text);
    return Preview;
}
