#pragma once

#include "util/Exception.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One line of a sources file: a file and the encoding to read it with; an empty encoding (or
// "auto") has the file detected.
struct TSourceEntry {
    std::string Encoding;
    std::string Path;
};

// Lists of files with an encoding each, one "ENCODING<TAB>PATH" line per file, in UTF-8: written
// by the Review window, read by lumiva-batch --sources.
class TSourcesFile {
public:
    // A line that cannot be taken; the message names its line number.
    class EBadLine : public Exception {
    public:
        using Exception::Exception;
    };

    // Empty lines name nothing; a line may end in CR LF. IsValid (may be empty) checks each
    // encoding name other than "auto".
    static std::vector<TSourceEntry> Parse(std::string_view Text,
                                           const std::function<bool(const std::string&)>& IsValid = {});
    // Raises Exception when the file cannot be read.
    static std::vector<TSourceEntry> Read(const std::string& FileName,
                                          const std::function<bool(const std::string&)>& IsValid = {});
    static std::string Format(const std::vector<TSourceEntry>& Entries);
    // Raises Exception when the file cannot be written.
    static void Write(const std::string& FileName, const std::vector<TSourceEntry>& Entries);
    // True for the encodings that have the file detected.
    static bool Detects(const std::string& Encoding);
};
