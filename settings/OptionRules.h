#pragma once

#include <string>

// The rules option values must meet before a run, shared by the main window and the command
// line. Each check returns the message to show, or an empty text when the value passes.

inline constexpr const char* SelectAnItemMessage = "Select an item";
inline constexpr const char* SelectAnItemInTheListMessage = "Select an item in the list";

// The buffer size as typed: a number greater than 0.
std::string CheckBufferSize(const std::string& Text);
// The output directory: some text, and an absolute path.
std::string CheckOutputDirectory(const std::string& Text);
// An output or backup prefix: some text, and no character a file name may not hold.
std::string CheckPrefix(const std::string& Text);
