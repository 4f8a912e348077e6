#pragma once

#include <functional>

// Gives the file To (open for writing) the access ACL of the file From and its extended
// attributes in the user. and security. namespaces, as a faithful copy keeps them. From may be
// any descriptor, a path-only one included. Where an ACL cannot be set, To's group bits are
// narrowed to what the owning group had, so that To is never more open than From. False when
// anything could not be kept (the file system or the caller's rights refuse it).
bool CopyAttributes(int From, int To);

// How a result or a copy gets its source's attributes: CopyAttributes, or in a test one that fails.
using TAttributeCopy = std::function<bool(int From, int To)>;
