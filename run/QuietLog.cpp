#include "run/QuietLog.h"

#include <string>
#include <vector>

TStringList QuietLog(const TStringList& Lines)
{
    TStringList Kept;
    std::vector<std::string> Block;
    bool InBlock = false;
    for (std::size_t i = 0; i < Lines.Count(); ++i) {
        const std::string& Line = Lines[i];
        if (i + 1 == Lines.Count()) {
            Kept.Add(Line);
            break;
        }
        if (Line == "Convert character encoding:" || Line == "Check character encoding:") {
            Block.assign(1, Line);
            InBlock = true;
            continue;
        }
        if (!InBlock) {
            if (Line.starts_with("[Error] "))
                Kept.Add(Line);
            continue;
        }
        Block.push_back(Line);
        if (Line.starts_with("... ")) {
            if (Line == "... Failed")
                for (const std::string& Each : Block)
                    Kept.Add(Each);
            InBlock = false;
        }
    }
    return Kept;
}
