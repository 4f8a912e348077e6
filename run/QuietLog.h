#pragma once

#include "util/StringList.h"

// The lines of a run log that --quiet keeps: the blocks of the files that failed, the run's own
// error lines outside any file's block, and the summary line (the last).
TStringList QuietLog(const TStringList& Lines);
