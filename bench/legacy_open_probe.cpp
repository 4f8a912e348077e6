// The processor time of a process's first open of a legacy encoding through the conversion library
// named (bench/legacy_open.py runs it, once per process). The C library's own converter modules
// are loaded before, so the time is what the library adds: its tables for the encoding.
#include <cstdio>
#include <ctime>
#include <dlfcn.h>
#include <iconv.h>

namespace {

double CpuMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s LIBRARY.so ENCODING\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    using TOpen = iconv_t (*)(const char*, const char*);
    using TClose = int (*)(iconv_t);
    const auto open = reinterpret_cast<TOpen>(dlsym(library, "libiconv_open"));
    const auto close = reinterpret_cast<TClose>(dlsym(library, "libiconv_close"));
    if (open == nullptr || close == nullptr)
        return 1;
    const iconv_t invalid = reinterpret_cast<iconv_t>(-1);
    const char* const encoding = argv[2];
    const char* const directions[2][2] = {{"UTF-8", encoding}, {encoding, "UTF-8"}};
    for (const auto& direction : directions) {
        const iconv_t plain = iconv_open(direction[0], direction[1]);
        if (plain == invalid)
            return 1;
        iconv_close(plain);
    }
    const double start = CpuMicroseconds();
    const iconv_t converter = open("UTF-8", encoding);
    const double end = CpuMicroseconds();
    if (converter == invalid)
        return 1;
    close(converter);
    std::printf("%.1f\n", end - start);
    return 0;
}
