// A result that replaces a file, and every backup, keeps that file's ACL and its user. and
// security. extended attributes: no one who could not read the source can read either.

#include "tests/common/TestSupport.h"
#include "tests/faults/BatchRunner.h"
#include "tests/faults/FaultSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using namespace lmvfault;
using lmvtest::ReadFile;
using lmvtest::WriteFile;

// The access ACL in its short text form; empty when there is none beyond the permission bits.
std::string AclText(const std::string& Name)
{
    acl_t acl = ::acl_get_file(Name.c_str(), ACL_TYPE_ACCESS);
    if (!acl)
        return "(none)";
    std::string text;
    if (::acl_equiv_mode(acl, nullptr) != 0) {
        char* const chars = ::acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE | TEXT_NUMERIC_IDS);
        text = chars;
        ::acl_free(chars);
    }
    ::acl_free(acl);
    return text;
}

std::string Attribute(const std::string& Name, const char* Key)
{
    char value[256];
    const ssize_t n = ::getxattr(Name.c_str(), Key, value, sizeof value);
    return n < 0 ? "(missing)" : std::string(value, static_cast<std::size_t>(n));
}

mode_t Mode(const std::string& Name)
{
    struct stat info {};
    ::stat(Name.c_str(), &info);
    return info.st_mode & 07777;
}

using KeptPermissions = TFolderTest;

TEST_F(KeptPermissions, ReplacedFilesAndBackupsKeepTheAclAndExtendedAttributes)
{
    const std::string source = Src + "/s.txt";
    WriteFile(source, "secret\n");
    ASSERT_EQ(::chmod(source.c_str(), 0600), 0);
    acl_t acl = ::acl_from_text("u::rw-,u:1000:r--,g::---,m::r--,o::---");
    ASSERT_NE(acl, nullptr);
    const int set = ::acl_set_file(source.c_str(), ACL_TYPE_ACCESS, acl);
    ::acl_free(acl);
    if (set != 0)
        GTEST_SKIP() << "this file system takes no ACLs: " << std::strerror(errno);
    if (::setxattr(source.c_str(), "user.comment", "keep", 4, 0) != 0)
        GTEST_SKIP() << "this file system takes no user attributes: " << std::strerror(errno);
    const std::string acls = AclText(source);
    ASSERT_EQ(acls, "u::rw-,u:1000:r--,g::---,m::r--,o::---");

    const TOutcome outcome = Run({"--to", "UTF-16", "--overwrite", source});
    const TRunLog log = CheckedLog(outcome);
    ExpectEntry(log, source, "", outcome);
    for (const std::string& name : {source, Src + "/Backup - s.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(AclText(name), acls);
        EXPECT_EQ(Mode(name), 0640u) << "the group bits stand for the mask";
        EXPECT_EQ(Attribute(name, "user.comment"), "keep");
    }
    EXPECT_NE(ReadFile(source), "secret\n");
}

} // namespace
