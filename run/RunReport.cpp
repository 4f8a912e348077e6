#include "run/RunReport.h"

#include "util/FileDescriptor.h"
#include "util/Mysysutils.h"

#include <cstdio>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t MaxPending = 64 * 1024;
constexpr std::chrono::milliseconds MaxDelay{100};

// Printable ASCII that needs no escape.
bool IsPlain(char Byte)
{
    const unsigned char c = static_cast<unsigned char>(Byte);
    return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
}

std::string Quoted(const std::string& Text)
{
    std::string out;
    out.reserve(Text.size() + 2);
    out += '"';
    char escape[8];
    for (std::size_t i = 0; i < Text.size();) {
        // Paths are mostly plain ASCII: a run of it goes over at once, not byte by byte.
        std::size_t plain = i;
        while (plain < Text.size() && IsPlain(Text[plain]))
            ++plain;
        if (plain > i) {
            out.append(Text, i, plain - i);
            i = plain;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(Text[i]);
        const std::size_t length =
            Utf8SequenceLength(reinterpret_cast<const unsigned char*>(Text.data()) + i, Text.size() - i);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\u%04x", 0xDC00u + c);
            out += escape;
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out.append(Text, i, length);
        }
        i += length;
    }
    out += '"';
    return out;
}

// The number after Word in Where ("line 3, column 7 (offset 20)").
std::optional<std::uint64_t> NumberAfter(const std::string& Where, const std::string& Word)
{
    const std::size_t at = Where.rfind(Word + " ");
    if (at == std::string::npos)
        return std::nullopt;
    std::size_t i = at + Word.size() + 1;
    if (i >= Where.size() || Where[i] < '0' || Where[i] > '9')
        return std::nullopt;
    std::uint64_t value = 0;
    for (; i < Where.size() && Where[i] >= '0' && Where[i] <= '9'; ++i)
        value = value * 10 + static_cast<std::uint64_t>(Where[i] - '0');
    return value;
}

} // namespace

TRunReport::TRunReport(const std::string& Name)
    : Fd(::open(Name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666))
{
}

TRunReport::TRunReport(TFd Fd) : Fd(std::move(Fd)) {}

TRunReport::~TRunReport()
{
    Close();
}

bool TRunReport::Close()
{
    Write();
    const bool was = Fd.Get() >= 0;
    if (!Fd.Close())
        Failed = true;
    return was && !Failed;
}

void TRunReport::Add(const TFileOutcome& Outcome)
{
    if (Fd.Get() < 0 || Failed)
        return;
    Pending += Line(Outcome);
    Pending += '\n';
    if (Pending.size() >= MaxPending || std::chrono::steady_clock::now() - Written >= MaxDelay)
        Write();
}

void TRunReport::Write()
{
    if (Fd.Get() >= 0 && !Failed && !Pending.empty())
        Failed = !WriteAll(Fd.Get(), Pending.data(), Pending.size());
    Pending.clear();
    Written = std::chrono::steady_clock::now();
}

std::string TRunReport::Line(const TFileOutcome& Outcome)
{
    std::string text = "{\"source\":" + Quoted(Outcome.Source) + ",\"destination\":" +
                       (Outcome.Destination.empty() ? std::string("null") : Quoted(Outcome.Destination)) +
                       ",\"encoding\":" + (Outcome.Encoding.empty() ? std::string("null") : Quoted(Outcome.Encoding));
    if (!Outcome.Guesses.empty()) {
        text += ",\"guesses\":[";
        const char* separator = "";
        for (const TEncodingGuess& guess : Outcome.Guesses) {
            char score[32];
            std::snprintf(score, sizeof score, "%.4g", static_cast<double>(guess.Score));
            text += std::string(separator) + "{\"name\":" + Quoted(guess.Name) + ",\"score\":" + score + "}";
            separator = ",";
        }
        text += "]";
    }
    text += ",\"result\":" + Quoted(Outcome.Result);
    if (!Outcome.Error.empty()) {
        text += ",\"error\":" + Quoted(Outcome.Where.empty() ? Outcome.Error : Outcome.Error + ": " + Outcome.Where);
        for (const char* field : {"line", "column", "offset"})
            if (const auto number = NumberAfter(Outcome.Where, field))
                text += std::string(",\"") + field + "\":" + std::to_string(*number);
    }
    text += ",\"bytes_read\":" + std::to_string(Outcome.BytesRead) +
            ",\"bytes_written\":" + std::to_string(Outcome.BytesWritten) + "}";
    return text;
}
