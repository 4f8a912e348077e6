#pragma once

#include "settings/FolderOptions.h"

class TQuoteIniFile;

// The sections that hold TFolderOptions, written after every other section of the settings file
// so that a file written without them stays the start of one written with them. Missing or
// malformed keys, and masks that cannot be used, take the caller's current values.
TFolderOptions ReadFolderOptions(const TQuoteIniFile& File, const TFolderOptions& Current);
void WriteFolderOptions(TQuoteIniFile& File, const TFolderOptions& Options);
