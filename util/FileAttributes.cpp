#include "util/FileAttributes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <endian.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace {

// The value of one attribute through Read (sized first); nothing when it cannot be read.
template <class TRead>
bool ReadValue(TRead Read, std::string& Value)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const ssize_t size = Read(nullptr, 0);
        if (size < 0)
            return false;
        Value.resize(static_cast<std::size_t>(size));
        const ssize_t got = Read(Value.data(), Value.size());
        if (got >= 0) {
            Value.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    return false;
}

bool Unsupported(int Error)
{
    return Error == ENOTSUP || Error == ENOSYS;
}

bool CopyExtendedAttributes(const char* From, int To)
{
    std::string names;
    if (!ReadValue([From](char* Data, std::size_t Size) { return ::listxattr(From, Data, Size); }, names))
        return Unsupported(errno);
    bool kept = true;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* const name = names.c_str() + at;
        if (std::strncmp(name, "user.", 5) != 0 && std::strncmp(name, "security.", 9) != 0)
            continue;
        std::string value;
        std::string now;
        if (!ReadValue([From, name](char* Data, std::size_t Size) { return ::getxattr(From, name, Data, Size); },
                       value)) {
            kept = false;
            continue;
        }
        // The new file may have it already (a security label given by the system).
        if (ReadValue([To, name](char* Data, std::size_t Size) { return ::fgetxattr(To, name, Data, Size); }, now) &&
            now == value)
            continue;
        if (::fsetxattr(To, name, value.data(), value.size(), 0) != 0)
            kept = false;
    }
    return kept;
}

// The owning group's own permission under an ACL's mask, from the attribute's value: what its
// group bits stand for without the ACL.
mode_t GroupBits(const std::string& Acl)
{
    unsigned group = 0;
    unsigned mask = ACL_READ | ACL_WRITE | ACL_EXECUTE;
    for (std::size_t at = sizeof(posix_acl_xattr_header); at + sizeof(posix_acl_xattr_entry) <= Acl.size();
         at += sizeof(posix_acl_xattr_entry)) {
        posix_acl_xattr_entry entry;
        std::memcpy(&entry, Acl.data() + at, sizeof entry);
        const unsigned perms = le16toh(entry.e_perm) & (ACL_READ | ACL_WRITE | ACL_EXECUTE);
        if (le16toh(entry.e_tag) == ACL_GROUP_OBJ)
            group = perms;
        else if (le16toh(entry.e_tag) == ACL_MASK)
            mask = perms;
    }
    return static_cast<mode_t>((group & mask) << 3);
}

// The kernel keeps an access ACL as one attribute, and only when it says more than the permission
// bits. Copied as it is, it needs no library, which every start of the program would load.
bool CopyAccessAcl(const char* From, int To)
{
    static constexpr char Name[] = "system.posix_acl_access";
    std::string acl;
    if (!ReadValue([From](char* Data, std::size_t Size) { return ::getxattr(From, Name, Data, Size); }, acl))
        return errno == ENODATA || Unsupported(errno);
    if (::fsetxattr(To, Name, acl.data(), acl.size(), 0) == 0)
        return true;
    struct stat now;
    if (::fstat(To, &now) == 0)
        ::fchmod(To, (now.st_mode & 07707) | GroupBits(acl));
    return false;
}

} // namespace

bool CopyAttributes(int From, int To)
{
    // Through /proc any descriptor reads like a name, a path-only one too.
    char from[40];
    std::snprintf(from, sizeof from, "/proc/self/fd/%d", From);
    const bool attributes = CopyExtendedAttributes(from, To);
    return CopyAccessAcl(from, To) && attributes;
}
