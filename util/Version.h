#pragma once

// The program's version: the build's one number (the CMake project version), the same in
// lumiva-batch --version, the About box, the package and the software-centre metadata.
const char* LumivaVersion() noexcept;
