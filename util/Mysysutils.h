#pragma once

#include <string>

// Stateless file-system and path helpers. None of them throws: failures show in the result.

// Special folder numbers understood by GetSpecialFolderPath.
inline constexpr int CSIDL_DESKTOP = 0;

// 1-based byte position of the first character a file name may not hold, 0 when none.
// Steps whole characters of the locale's character set.
int InvalidFileNameCharPos(const std::string& Text);

// Linux has no short names: the path comes back unchanged.
std::string GetLongFileName(const std::string& Path);

// The path of a special folder (CSIDL_DESKTOP: the user's desktop), empty when unknown.
std::string GetSpecialFolderPath(int Folder);

// True for an absolute path.
bool HasDrive(const std::string& Path);

// Everything up to and including the last '/', or empty.
std::string ExtractFilePath(const std::string& Path);
// Everything after the last '/'.
std::string ExtractFileName(const std::string& Path);
// The folder a dialog remembers: the folder part without its trailing '/', except for the root.
std::string ExtractFileDir(const std::string& Path);
// A relative name made absolute against the current directory, links not resolved.
std::string ExpandFileName(const std::string& Path);
// The same against Folder (an absolute folder ending with '/'); empty Folder: Path unchanged.
std::string ExpandFileName(const std::string& Path, const std::string& Folder);
// The current directory ending with '/', empty when it cannot be read.
std::string CurrentFolder();
// Path without "." components and doubled separators: "./a", "a//b" and "/x/./y" become "a",
// "a/b" and "/x/y". ".." stays: with symbolic links it cannot be removed safely.
std::string TidyFileName(const std::string& Path);
// Length in bytes of the character of the locale's set that starts at Text[Index] (at least 1).
std::size_t CharLength(const std::string& Text, std::size_t Index);
// Length in bytes of the well-formed UTF-8 sequence at Data, of which Left bytes can be read; 0 when
// there is none (no overlong form, surrogate or value past U+10FFFF). Names that are no UTF-8 go
// to the window and to reports byte for byte by what it refuses.
std::size_t Utf8SequenceLength(const unsigned char* Data, std::size_t Left);
// Message with a full stop added when its last character sorts after "." (the error reports' rule).
std::string WithFullStop(const std::string& Message);
