#pragma once

#include <cstddef>
#include <iconv.h>

namespace lmviconv {

// What the C library's iconv and iconv_open return on failure.
inline constexpr std::size_t Failure = static_cast<std::size_t>(-1);
inline const iconv_t Closed = reinterpret_cast<iconv_t>(-1);

} // namespace lmviconv
