#pragma once
// What the Windows services share among their files.
#include <windows.h>

#include "platform/fs.h"

namespace platform {

// Nothing of a listed entry can be reused here: its questions go by path.
struct ListedEntry {};

// listing.cpp: FILETIME (100 ns since 1601) as seconds since 1970.
int64_t unix_seconds(const FILETIME& t);

} // namespace platform
