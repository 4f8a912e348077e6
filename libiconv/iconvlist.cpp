#include "libiconv/Exports.h"
#include "libiconv/GconvCatalog.h"

#include <iconv.h>
#include <string>
#include <vector>

namespace {

const iconv_t NoHandle = reinterpret_cast<iconv_t>(-1);

// Every encoding name that iconv_open accepts here, grouped, with the name arrays the
// callback receives.
struct TListing {
    std::vector<lmviconv::TNameGroup> Groups;
    std::vector<std::vector<const char*>> Arrays;
};

// Descriptors opened while testing names. They stay open until the whole test is done so that
// the C library loads each module once instead of unloading and reloading it for every alias.
class TOpenedDescriptors {
public:
    explicit TOpenedDescriptors(std::size_t count) { Handles.reserve(count); }
    ~TOpenedDescriptors()
    {
        for (iconv_t handle : Handles)
            iconv_close(handle);
    }
    TOpenedDescriptors(const TOpenedDescriptors&) = delete;
    TOpenedDescriptors& operator=(const TOpenedDescriptors&) = delete;

    bool Open(const char* tocode, const char* fromcode)
    {
        const iconv_t handle = iconv_open(tocode, fromcode);
        if (handle == NoHandle)
            return false;
        Handles.push_back(handle);
        return true;
    }

private:
    std::vector<iconv_t> Handles;
};

// A name is offered only when the C library opens it both as a source and as a target.
TListing BuildListing()
{
    std::vector<lmviconv::TNameGroup> candidates = lmviconv::ReadGconvGroups(lmviconv::GconvFolders());
    std::size_t count = 0;
    for (const auto& group : candidates)
        count += group.size();
    TListing listing;
    {
        TOpenedDescriptors opened(2 * count);
        for (auto& group : candidates) {
            lmviconv::TNameGroup accepted;
            for (auto& name : group)
                if (opened.Open(name.c_str(), "UTF-8") && opened.Open("UTF-8", name.c_str()))
                    accepted.push_back(std::move(name));
            if (!accepted.empty())
                listing.Groups.push_back(std::move(accepted));
        }
    }
    listing.Arrays.reserve(listing.Groups.size());
    for (const auto& group : listing.Groups) {
        std::vector<const char*> array;
        array.reserve(group.size());
        for (const auto& name : group)
            array.push_back(name.c_str());
        listing.Arrays.push_back(std::move(array));
    }
    return listing;
}

// Built once per load of the library: glibc itself reads its configuration only once per
// process, so a later listing could not differ.
const TListing& Listing()
{
    static const TListing listing = BuildListing();
    return listing;
}

} // namespace

// Calls do_one once per encoding with all its names, until do_one returns non-zero. An
// exception thrown by do_one passes through to the caller.
LUMIVA_ICONV_EXPORT void libiconvlist(int (*do_one)(unsigned int namescount, const char* const* names, void* data),
                                      void* data)
{
    if (do_one == nullptr)
        return;
    const TListing* listing = nullptr;
    try {
        listing = &Listing();
    } catch (...) {
        return; // out of memory while listing: nothing to offer
    }
    for (const auto& array : listing->Arrays)
        if (do_one(static_cast<unsigned int>(array.size()), array.data(), data) != 0)
            break;
}
