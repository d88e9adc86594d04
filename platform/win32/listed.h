#pragma once
// What the Windows services share among their files.
#include <windows.h>

#include "platform/fs.h"

namespace platform {

// Nothing of a listed entry can be reused here: its questions go by path.
struct ListedEntry {};

} // namespace platform
