#include "platform/utf8_args.h"

namespace platform {

// POSIX hands the program its arguments' bytes unchanged; they are taken as UTF-8.
void utf8_arguments(int&, char**&) {}

} // namespace platform
