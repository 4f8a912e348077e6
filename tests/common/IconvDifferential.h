#pragma once

// The conversion library's fast path against the C library's path, call by call. Header-only,
// so that the fuzzers (a separate build) use it too.

#include <cerrno>
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace lmvtest {

// The library's entry points, as the engine finds them.
struct TLibiconvEntries {
    void* (*Open)(const char*, const char*) = nullptr;
    std::size_t (*Convert)(void*, char**, std::size_t*, char**, std::size_t*) = nullptr;
    int (*Close)(void*) = nullptr;
};

// The encodings with a fast path, in spellings the C library takes.
inline const std::vector<std::string>& FastPathNames()
{
    static const std::vector<std::string> names = {"UTF-8",      "UTF-16",   "UTF-16LE", "UTF-16BE", "UTF-32",
                                                   "UTF-32LE",   "UTF-32BE", "ISO-8859-1", "ASCII"};
    return names;
}

// Converts Input from From to To plus Suffix ("", "//IGNORE", "//TRANSLIT") on two descriptors
// with the same calls: one on the fast path, one with a blank after each name, which the C
// library ignores and the fast path leaves to the C library. The input arrives in pieces, the
// output goes to buffers of sizes drawn from Seed, from empty to large, with a reset now and
// then; after an error that stops a caller, the caller skips a byte and goes on. Empty when
// every call gives the same result, errno, consumed and written bytes; else the first difference.
inline std::string CompareWithCLibraryPath(const TLibiconvEntries& Library, const std::string& From,
                                           const std::string& To, const std::string& Suffix, const std::string& Input,
                                           std::uint64_t Seed)
{
    const std::string what = From + " -> " + To + Suffix + ": ";
    void* fast = Library.Open((To + Suffix).c_str(), From.c_str());
    void* slow = Library.Open((To + " " + Suffix).c_str(), (From + " ").c_str());
    void* const failed = reinterpret_cast<void*>(static_cast<std::uintptr_t>(-1));
    if (fast == failed || slow == failed) {
        if (fast != failed)
            Library.Close(fast);
        if (slow != failed)
            Library.Close(slow);
        return what + "cannot open";
    }
    std::mt19937_64 random(Seed);
    const auto size = [&random]() -> std::size_t {
        switch (random() % 4) {
        case 0:
            return random() % 8;
        case 1:
            return random() % 80;
        case 2:
            return random() % 1200;
        default:
            return random() % 70000;
        }
    };
    std::string problem;
    std::size_t position = 0;
    std::size_t available = 0;
    std::vector<char> fastOut;
    std::vector<char> slowOut;
    bool finished = false;
    for (int call = 0; call < 20000 && !finished && problem.empty(); ++call) {
        const bool reset = random() % 40 == 0 || position == Input.size();
        finished = position == Input.size();
        available = std::min(Input.size(), std::max(available, position + size()));
        const std::size_t space = size();
        // One byte more, so that even an empty buffer has an address: the C library asserts one.
        fastOut.assign(space + 1, '\0');
        slowOut.assign(space + 1, '\0');
        char* fastIn = const_cast<char*>(Input.data()) + position;
        char* slowIn = fastIn;
        std::size_t fastInLeft = available - position;
        std::size_t slowInLeft = fastInLeft;
        char* fastOutPtr = fastOut.data();
        char* slowOutPtr = slowOut.data();
        std::size_t fastOutLeft = space;
        std::size_t slowOutLeft = space;
        errno = 0;
        const std::size_t fastResult = reset ? Library.Convert(fast, nullptr, nullptr, &fastOutPtr, &fastOutLeft)
                                             : Library.Convert(fast, &fastIn, &fastInLeft, &fastOutPtr, &fastOutLeft);
        const int fastError = errno;
        errno = 0;
        const std::size_t slowResult = reset ? Library.Convert(slow, nullptr, nullptr, &slowOutPtr, &slowOutLeft)
                                             : Library.Convert(slow, &slowIn, &slowInLeft, &slowOutPtr, &slowOutLeft);
        const int slowError = errno;
        const std::size_t failure = static_cast<std::size_t>(-1);
        const auto at = [&]() {
            return what + "call " + std::to_string(call) + " at byte " + std::to_string(position) + " with " +
                   std::to_string(available - position) + " in, " + std::to_string(space) + " out: ";
        };
        const auto consumed = [&](const char* in) { return std::to_string(in - Input.data() - static_cast<std::ptrdiff_t>(position)); };
        // With "//IGNORE" the C library reports a dropped sequence only when it lies in the last
        // of its internal steps of the call (glibc 2.36): the fast path, which hands the call over
        // at that sequence, keeps the report that the C library's path loses.
        const bool reportKept = Suffix.find("IGNORE") != std::string::npos && fastResult == failure && fastError == EILSEQ &&
                                slowResult == 0 && fastIn == slowIn && fastOutLeft == slowOutLeft && fastOut == slowOut;
        if (fastResult != slowResult && !reportKept)
            problem = at() + "result " + std::to_string(static_cast<long long>(fastResult)) + " instead of " +
                      std::to_string(static_cast<long long>(slowResult)) + " (errno " + std::to_string(fastError) + " and " +
                      std::to_string(slowError) + ", consumed " + consumed(fastIn) + " and " + consumed(slowIn) + ")";
        else if (fastResult == failure && fastError != slowError && !reportKept)
            problem = at() + "errno " + std::to_string(fastError) + " instead of " + std::to_string(slowError);
        else if (fastIn != slowIn)
            problem = at() + "consumed " + consumed(fastIn) + " instead of " + consumed(slowIn);
        else if (fastOutLeft != slowOutLeft || fastOut != slowOut)
            problem = at() + "wrote " + std::to_string(space - fastOutLeft) + " bytes, not the " +
                      std::to_string(space - slowOutLeft) + " expected";
        if (reset)
            continue;
        position = static_cast<std::size_t>(fastIn - Input.data());
        // A caller that meets invalid input, or an incomplete end, skips a byte.
        if (fastResult == failure && position < Input.size() &&
            ((fastError == EILSEQ && fastInLeft > 0) ||
             (fastError == EINVAL && available == Input.size())))
            ++position;
    }
    Library.Close(fast);
    Library.Close(slow);
    return problem;
}

} // namespace lmvtest
