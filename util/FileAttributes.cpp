#include "util/FileAttributes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace {

// Owns a libacl object.
class TAcl {
public:
    explicit TAcl(acl_t Acl) noexcept : Acl(Acl) {}
    ~TAcl()
    {
        if (Acl)
            ::acl_free(Acl);
    }
    TAcl(const TAcl&) = delete;
    TAcl& operator=(const TAcl&) = delete;
    acl_t Get() const noexcept { return Acl; }

private:
    acl_t Acl;
};

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

// The owning group's own permission under an ACL's mask: what its group bits stand for without it.
mode_t GroupBits(acl_t Acl)
{
    acl_perm_t group = 0;
    acl_perm_t mask = ACL_READ | ACL_WRITE | ACL_EXECUTE;
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(Acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        acl_permset_t set;
        if (::acl_get_tag_type(entry, &tag) != 0 || ::acl_get_permset(entry, &set) != 0)
            continue;
        acl_perm_t perms = 0;
        for (const acl_perm_t perm : {ACL_READ, ACL_WRITE, ACL_EXECUTE})
            if (::acl_get_perm(set, perm) == 1)
                perms |= perm;
        if (tag == ACL_GROUP_OBJ)
            group = perms;
        else if (tag == ACL_MASK)
            mask = perms;
    }
    return static_cast<mode_t>((group & mask) << 3);
}

bool CopyAccessAcl(const char* From, int To)
{
    const TAcl acl(::acl_get_file(From, ACL_TYPE_ACCESS));
    if (!acl.Get())
        return Unsupported(errno);
    // An ACL of the owner, group and other entries alone is the permission bits, set already.
    if (::acl_equiv_mode(acl.Get(), nullptr) == 0 || ::acl_set_fd(To, acl.Get()) == 0)
        return true;
    struct stat now;
    if (::fstat(To, &now) == 0)
        ::fchmod(To, (now.st_mode & 07707) | GroupBits(acl.Get()));
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
