#include "util/FileAttributes.h"
#include "util/FileDescriptor.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include <acl/libacl.h>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using lmvtest::TempDir;
using lmvtest::WriteFile;

// A pipe stands for a file system that takes no ACL: the copy cannot keep it, and the result's
// group bits, which would otherwise hold the ACL's mask, fall to what the owning group itself
// had, so that no one reads the result who could not read the source.
TEST(CopyAttributes, WhereNoAclCanBeSetTheGroupBitsFallToTheOwningGroupsOwn)
{
    TempDir dir;
    const std::string source = dir / "source";
    WriteFile(source, "secret\n");
    const struct {
        const char* Acl;
        mode_t Before; // the source's bits, the mask in the group's place
        mode_t After;
    } cases[] = {
        {"u::rw-,u:1000:r--,g::---,m::r--,o::---", 0640, 0600},
        {"u::rw-,u:1000:rw-,g::r--,m::rw-,o::r--", 0664, 0644},
        {"u::rw-,g:1000:rwx,g::rw-,m::r--,o::---", 0640, 0640},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Acl);
        acl_t acl = ::acl_from_text(c.Acl);
        ASSERT_NE(acl, nullptr);
        const int set = ::acl_set_file(source.c_str(), ACL_TYPE_ACCESS, acl);
        ::acl_free(acl);
        if (set != 0)
            GTEST_SKIP() << "this file system takes no ACLs: " << std::strerror(errno);
        const TFd from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat info {};
        ASSERT_EQ(::fstat(from.Get(), &info), 0);
        ASSERT_EQ(info.st_mode & 07777, c.Before);

        int pipe[2];
        ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
        const TFd reader(pipe[0]);
        const TFd writer(pipe[1]);
        // As a result has taken the source's bits before its attributes.
        ASSERT_EQ(::fchmod(writer.Get(), c.Before), 0);
        EXPECT_FALSE(CopyAttributes(from.Get(), writer.Get()));
        ASSERT_EQ(::fstat(writer.Get(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.After);
    }
}

} // namespace
