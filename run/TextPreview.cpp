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
    static const std::array<std::string_view, 4> marks{std::string_view("\xEF\xBB\xBF"),
                                                       std::string_view("\xFF\xFE"), std::string_view("\xFE\xFF"),
                                                       std::string_view("\0\0\xFE\xFF", 4)};
    return std::any_of(marks.begin(), marks.end(), [&](std::string_view Mark) { return Head.substr(0, Mark.size()) == Mark; });
}

std::string LineEnds(const std::u32string& Text)
{
    bool lf = false;
    bool crLf = false;
    bool cr = false;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == U'\n') {
            lf = true;
        } else if (Text[i] == U'\r') {
            if (i + 1 < Text.size() && Text[i + 1] == U'\n') {
                crLf = true;
                ++i;
            } else if (i + 1 < Text.size()) {
                cr = true;
            }
        }
    }
    const int kinds = int(lf) + int(crLf) + int(cr);
    if (kinds > 1)
        return "mixed";
    return lf ? "LF" : crLf ? "CR LF" : cr ? "CR" : "";
}

// Decodes Data into Preview.Text, a byte that does not decode at a time as U+FFFD; the mark is
// set when the decoder reaches MarkAt (an index into Data).
void Decode(TLumiva& Converter, std::string_view Data, bool AtEnd, std::optional<std::size_t> MarkAt,
            TTextPreview& Preview)
{
    std::array<char, 16 * 1024> out;
    const char* in = Data.data();
    const char* const end = Data.data() + Data.size();
    const auto take = [&](const char* OutEnd) {
        for (const char* p = out.data(); p + 4 <= OutEnd; p += 4) {
            char32_t code;
            std::memcpy(&code, p, 4);
            Preview.Text.push_back(code);
        }
    };
    while (in < end) {
        if (MarkAt && !Preview.Mark && static_cast<std::size_t>(in - Data.data()) >= *MarkAt)
            Preview.Mark = Preview.Text.size();
        // Up to the mark first, so that its character is found where it starts.
        const char* stop = MarkAt && !Preview.Mark ? Data.data() + *MarkAt : end;
        std::size_t left = static_cast<std::size_t>(stop - in);
        char* outPtr = out.data();
        std::size_t room = out.size();
        const int error = Converter.Convert(&in, &left, &outPtr, &room);
        take(outPtr);
        if (error == EILSEQ || (error == EINVAL && (stop != end || AtEnd))) {
            if (error == EINVAL && stop != end && in < stop) {
                // A character that runs over the mark: decoded with what follows.
                Preview.Mark = Preview.Text.size();
                continue;
            }
            Preview.Undecodable.push_back({Preview.Text.size(), std::string(in, 1)});
            Preview.Text.push_back(Replacement);
            ++in;
        } else if (error == EINVAL) {
            break; // cut off by the limit
        }
    }
    if (MarkAt && !Preview.Mark && static_cast<std::size_t>(in - Data.data()) >= *MarkAt)
        Preview.Mark = Preview.Text.size();
}

} // namespace

TTextPreview TTextPreview::Read(TLumiva& Converter, const std::string& FileName, const std::string& Encoding,
                                std::optional<std::uint64_t> Mark)
{
    TTextPreview preview;
    struct stat info;
    const TFd file = OpenRegularFile(FileName, info);
    if (file.Get() < 0) {
        preview.Error = "Cannot open file: " + FileName;
        return preview;
    }
    // Around the mark: a quarter of the room before it, on a 4-byte boundary, so that UTF-16 and
    // UTF-32 stay in step.
    if (Mark && *Mark > Limit / 2)
        preview.Start = (*Mark - Limit / 4) & ~std::uint64_t(3);
    std::string head(4, '\0');
    const ssize_t headSize = ReadUpTo(file.Get(), head.data(), head.size(), 0);
    head.resize(headSize > 0 ? static_cast<std::size_t>(headSize) : 0);
    preview.Signature = HasSignature(head);

    std::string data(Limit + 1, '\0');
    const ssize_t read = ReadUpTo(file.Get(), data.data(), data.size(), preview.Start);
    if (read < 0) {
        preview.Error = "Cannot read file: " + FileName;
        return preview;
    }
    const std::size_t got = static_cast<std::size_t>(read);
    const bool atEnd = got <= Limit;
    data.resize(std::min(got, Limit));
    std::optional<std::size_t> markAt;
    if (Mark && *Mark >= preview.Start && *Mark - preview.Start <= data.size())
        markAt = static_cast<std::size_t>(*Mark - preview.Start);
    try {
        Converter.Start(Encoding, "UTF-32LE", 0);
        Decode(Converter, data, atEnd, markAt, preview);
        Converter.Close();
    } catch (const std::exception& e) {
        preview.Error = e.what();
        return preview;
    }
    if (preview.Start == 0 && !preview.Text.empty() && preview.Text.front() == 0xFEFF) {
        preview.Text.erase(0, 1);
        for (TUndecodable& item : preview.Undecodable)
            --item.At;
        if (preview.Mark && *preview.Mark > 0)
            --*preview.Mark;
    }
    preview.LineEnds = ::LineEnds(preview.Text);
    return preview;
}
