#include "run/FileOutcome.h"

#include "detect/EncodingGroups.h"
#include "run/ContentError.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <sys/stat.h>

namespace {

// "... (offset 1234)" at the end of Where: the offset, and Where without it.
std::optional<std::uint64_t> CutOffset(std::string& Where)
{
    const std::string mark = " (offset ";
    const std::size_t at = Where.rfind(mark);
    if (at == std::string::npos || Where.empty() || Where.back() != ')')
        return std::nullopt;
    const std::string digits = Where.substr(at + mark.size(), Where.size() - at - mark.size() - 1);
    Where.resize(at);
    try {
        return std::stoull(digits);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// "line L, column C" at the end of Where.
void ReadPlace(const std::string& Where, TFileOutcome& Outcome)
{
    unsigned long long line = 0;
    unsigned long long column = 0;
    const std::size_t at = Where.rfind("line ");
    if (at != std::string::npos && std::sscanf(Where.c_str() + at, "line %llu, column %llu", &line, &column) == 2) {
        Outcome.Line = line;
        Outcome.Column = column;
    }
}

bool StartsWith(std::string_view Text, std::string_view Prefix)
{
    return Text.substr(0, Prefix.size()) == Prefix;
}

} // namespace

std::string OutcomeText(TOutcomeKind Kind)
{
    switch (Kind) {
    case TOutcomeKind::Ok:
        return "OK";
    case TOutcomeKind::AlreadyInTarget:
        return "Already in target encoding";
    case TOutcomeKind::Converted:
        return "Converted";
    case TOutcomeKind::Undetected:
        return "Cannot detect character encoding";
    case TOutcomeKind::Skipped:
        return "Skipped, not a text file";
    case TOutcomeKind::Incomplete:
        return "Incomplete character at the end of the file";
    default:
        return {};
    }
}

bool IsProblem(TOutcomeKind Kind)
{
    switch (Kind) {
    case TOutcomeKind::Ok:
    case TOutcomeKind::AlreadyInTarget:
    case TOutcomeKind::Converted:
    case TOutcomeKind::Skipped:
        return false;
    default:
        return true;
    }
}

void DescribeFailure(const EConvertError& Error, TFileOutcome& Outcome)
{
    Outcome.Error = Error.what();
    const auto* content = dynamic_cast<const EContentError*>(&Error);
    Outcome.Where = content ? content->Where : std::string();
    DescribeFailure(Outcome);
}

void DescribeFailure(TFileOutcome& Outcome)
{
    Outcome.Kind = TOutcomeKind::Failed;
    Outcome.Text = Outcome.Error;
    if (Outcome.Where.empty()) {
        if (Outcome.Text == OutcomeText(TOutcomeKind::Undetected))
            Outcome.Kind = TOutcomeKind::Undetected;
        return;
    }
    std::string where = Outcome.Where;
    Outcome.Offset = CutOffset(where);
    ReadPlace(where, Outcome);
    if (StartsWith(where, "Invalid byte sequence")) {
        Outcome.Kind = TOutcomeKind::InvalidBytes;
    } else if (StartsWith(where, "Incomplete character")) {
        Outcome.Kind = TOutcomeKind::Incomplete;
    } else if (StartsWith(where, "Character ")) {
        Outcome.Kind = TOutcomeKind::Unwritable;
        // The log's "..., at line" reads as one phrase in a table cell.
        if (const std::size_t comma = where.rfind(", at line"); comma != std::string::npos)
            where.erase(comma, 1);
    }
    Outcome.Text = where;
}

bool ReadsAsTarget(const TStringList& Groups, const std::string& Encoding, const std::string& ToEncoding,
                   const std::string& TargetEncoding, const std::string& Signature, const std::string& Source)
{
    if (Encoding.empty() ||
        (!SameEncodingGroup(Groups, Encoding, ToEncoding) && !SameEncodingGroup(Groups, Encoding, TargetEncoding)))
        return false;
    std::ifstream file(Source, std::ios::binary);
    char head[4] = {};
    file.read(head, sizeof head);
    const std::string_view start(head, static_cast<std::size_t>(file.gcount()));
    if (!Signature.empty())
        return StartsWith(start, Signature);
    // No signature written: a source that has one would lose it.
    static const std::array<std::string_view, 3> marks{std::string_view("\xEF\xBB\xBF"), std::string_view("\xFF\xFE"),
                                                       std::string_view("\xFE\xFF")};
    for (const std::string_view mark : marks)
        if (StartsWith(start, mark))
            return false;
    return true;
}

std::uint64_t FileSizeOf(const std::string& FileName)
{
    struct stat st;
    if (::stat(FileName.c_str(), &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}
