#pragma once

#include <sys/stat.h>

// A file its owner made read-only, decided by its permission bits alone: access() lets root write
// anything, so it would let a run as root replace such a file. Root counts as the owner; anyone
// else by the bits of their class (owner, group, others).
bool IsReadOnlyFile(const struct stat& Info);
