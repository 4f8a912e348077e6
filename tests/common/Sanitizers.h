#pragma once

namespace lmvtest {

// Whether this build runs under AddressSanitizer, which reserves terabytes of address space for
// its shadow memory: a limit on the address space cannot be tested there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool UnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool UnderAddressSanitizer = true;
#else
inline constexpr bool UnderAddressSanitizer = false;
#endif
#else
inline constexpr bool UnderAddressSanitizer = false;
#endif

} // namespace lmvtest
