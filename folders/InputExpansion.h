#pragma once

#include "folders/FolderWalker.h"
#include "util/StringList.h"

#include <string>
#include <vector>

// True when one of Names is a folder (a link to a folder counts: the user named it); the second
// form looks at Names[First] up to Names[End] only.
bool NamesFolder(const TStringList& Names);
bool NamesFolder(const TStringList& Names, std::size_t First, std::size_t End);

// A given folder as the walk takes it: absolute, without "." and ".." parts or a trailing '/'
// (the root is the empty text).
std::string WalkFolderName(const std::string& Name);

// Turns a run's names into its files: a file stays as named, a folder gives way to the files
// the walker finds in it, in place.
class TInputExpansion {
public:
    explicit TInputExpansion(TFolderWalker& Walker) : Walker(Walker) {}

    // False when the walker was stopped; Inputs then holds what was found so far.
    bool Expand(const TStringList& Names, std::vector<TInputFile>& Inputs);

private:
    TFolderWalker& Walker;
};
