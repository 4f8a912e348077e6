#include "run/Logger.h"

void TLogger::Add(const std::string& Text)
{
    Lines.Add(Text);
}

void TLogger::AddError(const std::string& Text)
{
    Lines.Add(ErrorPrefix + Text);
    ++ErrorCount;
}

void TLogger::AddWarning(const std::string& Text)
{
    Lines.Add(WarningPrefix + Text);
    ++WarningCount;
}
