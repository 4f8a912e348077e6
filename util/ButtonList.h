#pragma once

#include "util/StringList.h"

#include <string>

// Fills Buttons from a button-list text such as &Yes,"Yes to &All",&No: items separated by commas,
// blanks and control characters around them skipped, a quoted item may hold commas and blanks
// and "" for one quote, two commas give an empty item, a trailing comma a final empty item.
void ParseButtonList(const std::string& Text, TStringList& Buttons);
