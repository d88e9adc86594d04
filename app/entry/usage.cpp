#include "app/entry/usage.h"

#include <cstring>

#include "lumbrake_version.h"

namespace {

const char kUsage[] =
    "Usage: lumbrake-cd /src=<any file on the disc> /dst=<destination folder> "
    "/drm=<folder on the disc>\n"
    "\n"
    "Copies a folder of a disc to a destination folder, with its progress in a window or,\n"
    "without a display, on one terminal line. A file already at the destination is never\n"
    "replaced; hidden files and names that begin with a full stop are left out.\n"
    "\n"
    "  /src=PATH  any path on the disc; only its drive root is used, on Linux the mount\n"
    "             point of the file system that holds it\n"
    "  /dst=PATH  the destination folder; its parent must exist, the folder is created\n"
    "  /drm=PATH  the folder to copy, relative to the drive root\n"
    "\n"
    "The parameters come in this order. A path with blanks may be quoted or not.\n"
    "\n"
    "Example, with a disc mounted at /media/cdrom (copies /media/cdrom/MAPS to ~/maps):\n"
    "  lumbrake-cd /src=/media/cdrom/SETUP.EXE /dst=$HOME/maps /drm=MAPS\n"
    "\n"
    "Exit codes:\n"
    "  0      the copy finished, or it was cancelled (Cancel, Esc, Ctrl-C)\n"
    "  1      the copy ended with an error\n"
    "  2      the parameters were refused\n"
    "  128+n  a termination request (signal n) stopped the copy: 143 SIGTERM, 129 SIGHUP\n"
    "\n"
    "Environment:\n"
    "  LUMBRAKE_UI=tty  the terminal line, even where there is a display\n"
    "  LUMBRAKE_UI=qt   the window; where it cannot open, one line says why and the\n"
    "                   terminal line is used\n"
    "\n"
    "lumbrake-cd --help (or -h) prints this text, lumbrake-cd --version the version.\n";

const char kVersion[] = "lumbrake-cd " LUMBRAKE_VERSION "\n";

} // namespace

const char* StandaloneAnswer(int argc, char** argv) {
    if (argc != 2) return nullptr;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) return kUsage;
    if (std::strcmp(argv[1], "--version") == 0) return kVersion;
    return nullptr;
}
