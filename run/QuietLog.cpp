#include "run/QuietLog.h"

#include <string>
#include <vector>

TStringList QuietLog(const TStringList& Lines)
{
    TStringList kept;
    std::vector<std::string> block;
    bool inBlock = false;
    for (std::size_t i = 0; i < Lines.Count(); ++i) {
        const std::string& line = Lines[i];
        if (i + 1 == Lines.Count()) {
            kept.Add(line);
            break;
        }
        if (line == "Convert character encoding:" || line == "Check character encoding:") {
            block.assign(1, line);
            inBlock = true;
            continue;
        }
        if (!inBlock) {
            if (line.starts_with("[Error] "))
                kept.Add(line);
            continue;
        }
        block.push_back(line);
        if (line.starts_with("... ")) {
            if (line == "... Failed")
                for (const std::string& each : block)
                    kept.Add(each);
            inBlock = false;
        }
    }
    return kept;
}
