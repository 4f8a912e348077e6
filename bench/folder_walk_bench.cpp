// Walks one folder tree with the default rules, several times, and prints the median time, the
// number of files found and the peak resident memory (bench/folders.sh runs it).

#include "folders/FolderWalker.h"
#include "folders/InputExpansion.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: folder_walk_bench FOLDER [REPETITIONS]\n");
        return 64;
    }
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string folder = WalkFolderName(argv[1]);
    std::vector<double> seconds;
    std::size_t found = 0;
    std::size_t unreadable = 0;
    for (int i = 0; i < repetitions; ++i) {
        TFolderWalker walker(TWalkRules{}, [&](const std::string&) { ++unreadable; }, [](std::size_t) { return true; });
        std::vector<TInputFile> files;
        const auto start = std::chrono::steady_clock::now();
        walker.Walk(folder, files);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        found = files.size();
    }
    std::sort(seconds.begin(), seconds.end());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("files %zu unreadable %zu median_s %.4f min_s %.4f peak_rss_mib %.1f\n", found, unreadable,
                seconds[seconds.size() / 2], seconds.front(), usage.ru_maxrss / 1024.0);
    return 0;
}
