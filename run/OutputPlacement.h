#pragma once

#include "run/ConvertError.h"
#include "settings/ConvertOptions.h"

#include <cstdint>
#include <functional>
#include <string>

class TLogger;

// Where a converted file lands, backups, and the overwrite questions of one run.
// Answers to the question: 0 Yes, 1 Yes to All, 2 No, 3 No to All, 4 Cancel.
class TOutputPlacement {
public:
    // AskOverwrite shows the overwrite question with the given text and returns the answer index.
    using TAskOverwrite = std::function<std::int32_t(const std::string& Text)>;

    TOutputPlacement(const TConvertOptions& Options, TLogger& Logger, TAskOverwrite AskOverwrite,
                     std::function<void()> RequestAbort);

    // Creates OutputDirectory with its parents; raises Exception (not EConvertError).
    void CreateOutputDirectory();
    // Raises Exception "Invalid output identifier" for an unknown Output.
    std::string DestinationFileName(const std::string& Source) const;
    void BackupSourceFile(const std::string& Source);
    // Where the temporary file lies on the destination's file system it is renamed into place
    // rather than copied; DeleteTemporaryFile then has nothing left to delete.
    void CopyToDestination(const std::string& Temporary, const std::string& Destination);
    // Never raises; a failure is a logged warning.
    void DeleteTemporaryFile(const std::string& Temporary);

    std::int32_t BackupAnswer = -1;
    std::int32_t DestinationAnswer = -1;

private:
    const TConvertOptions& Options;
    TLogger& Logger;
    TAskOverwrite AskOverwrite;
    std::function<void()> RequestAbort;
    // The temporary file last renamed into its destination.
    std::string MovedTemporary;
};

// The button-list text of the overwrite question.
inline constexpr const char* OverwriteButtons = "&Yes,\"Yes to &All\",&No,\"No &to All\",Cancel";
