#include "run/RunReport.h"

#include "util/FileDescriptor.h"

#include <cstdio>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t MaxPending = 64 * 1024;
constexpr std::chrono::milliseconds MaxDelay{100};

// Length of the valid UTF-8 sequence at Text[At], or 0.
std::size_t Utf8Length(const std::string& Text, std::size_t At)
{
    const auto Byte = [&](std::size_t i) { return static_cast<unsigned char>(Text[i]); };
    const unsigned char Lead = Byte(At);
    std::size_t Length = 0;
    char32_t Code = 0;
    if (Lead < 0x80)
        return 1;
    if (Lead >= 0xC2 && Lead <= 0xDF) {
        Length = 2;
        Code = Lead & 0x1F;
    } else if (Lead >= 0xE0 && Lead <= 0xEF) {
        Length = 3;
        Code = Lead & 0x0F;
    } else if (Lead >= 0xF0 && Lead <= 0xF4) {
        Length = 4;
        Code = Lead & 0x07;
    } else {
        return 0;
    }
    if (At + Length > Text.size())
        return 0;
    for (std::size_t i = 1; i < Length; ++i) {
        if ((Byte(At + i) & 0xC0) != 0x80)
            return 0;
        Code = Code << 6 | (Byte(At + i) & 0x3F);
    }
    const char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (Code < Least[Length] || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF))
        return 0;
    return Length;
}

std::string Quoted(const std::string& Text)
{
    std::string Out = "\"";
    char Escape[8];
    for (std::size_t i = 0; i < Text.size();) {
        const unsigned char C = static_cast<unsigned char>(Text[i]);
        const std::size_t Length = Utf8Length(Text, i);
        if (Length == 0) {
            std::snprintf(Escape, sizeof Escape, "\\u%04x", 0xDC00u + C);
            Out += Escape;
            ++i;
            continue;
        }
        if (C == '"' || C == '\\') {
            Out += '\\';
            Out += static_cast<char>(C);
        } else if (C < 0x20 || C == 0x7F) {
            std::snprintf(Escape, sizeof Escape, "\\u%04x", static_cast<unsigned>(C));
            Out += Escape;
        } else {
            Out.append(Text, i, Length);
        }
        i += Length;
    }
    return Out + "\"";
}

// The number after Word in Where ("line 3, column 7 (offset 20)").
std::optional<std::uint64_t> NumberAfter(const std::string& Where, const std::string& Word)
{
    const std::size_t At = Where.rfind(Word + " ");
    if (At == std::string::npos)
        return std::nullopt;
    std::size_t i = At + Word.size() + 1;
    if (i >= Where.size() || Where[i] < '0' || Where[i] > '9')
        return std::nullopt;
    std::uint64_t Value = 0;
    for (; i < Where.size() && Where[i] >= '0' && Where[i] <= '9'; ++i)
        Value = Value * 10 + static_cast<std::uint64_t>(Where[i] - '0');
    return Value;
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
    const bool Was = Fd.Get() >= 0;
    if (!Fd.Close())
        Failed = true;
    return Was && !Failed;
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
    std::string Text = "{\"source\":" + Quoted(Outcome.Source) + ",\"destination\":" +
                       (Outcome.Destination.empty() ? std::string("null") : Quoted(Outcome.Destination)) +
                       ",\"encoding\":" + (Outcome.Encoding.empty() ? std::string("null") : Quoted(Outcome.Encoding));
    if (!Outcome.Guesses.empty()) {
        Text += ",\"guesses\":[";
        const char* Separator = "";
        for (const TEncodingGuess& Guess : Outcome.Guesses) {
            char Score[32];
            std::snprintf(Score, sizeof Score, "%.4g", static_cast<double>(Guess.Score));
            Text += std::string(Separator) + "{\"name\":" + Quoted(Guess.Name) + ",\"score\":" + Score + "}";
            Separator = ",";
        }
        Text += "]";
    }
    Text += ",\"result\":" + Quoted(Outcome.Result);
    if (!Outcome.Error.empty()) {
        Text += ",\"error\":" + Quoted(Outcome.Where.empty() ? Outcome.Error : Outcome.Error + ": " + Outcome.Where);
        for (const char* Field : {"line", "column", "offset"})
            if (const auto Number = NumberAfter(Outcome.Where, Field))
                Text += std::string(",\"") + Field + "\":" + std::to_string(*Number);
    }
    Text += ",\"bytes_read\":" + std::to_string(Outcome.BytesRead) +
            ",\"bytes_written\":" + std::to_string(Outcome.BytesWritten) + "}";
    return Text;
}
