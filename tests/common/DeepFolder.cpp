#include "tests/common/DeepFolder.h"

#include "tests/common/RunProcess.h"

#include <climits>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lmvtest {

namespace {

const std::string Part(200, 'x');

} // namespace

std::string MakeTooDeepFolder(const std::string& Parent)
{
    int fd = ::open(Parent.c_str(), O_RDONLY | O_DIRECTORY);
    std::string deep = Parent;
    std::string first;
    while (fd >= 0 && first.empty()) {
        if (::mkdirat(fd, Part.c_str(), 0700) != 0)
            break;
        const int next = ::openat(fd, Part.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        deep += "/" + Part;
        if (deep.size() >= PATH_MAX)
            first = deep;
    }
    if (fd >= 0)
        ::close(fd);
    if (first.empty())
        throw std::runtime_error("cannot make a too deep folder below " + Parent);
    return first;
}

void RemoveTooDeepFolder(const std::string& Parent)
{
    // rm walks by relative steps.
    RunProcess({"/bin/rm", "-rf", Parent + "/" + Part}, Environment({}, {}));
}

} // namespace lmvtest
