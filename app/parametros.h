#pragma once
// The command line: /src=<any path on the disc> /dst=<destination folder> /drm=<folder of the
// source relative to the drive root>, in this order. A value may span several argument words.
#include "text/dstring.h"

// The three values as given; /src= is still any path on the disc.
struct CommandLine {
    DString src, dst, drm;
};

// Reads the program's arguments into line without touching any disc. On failure leaves line
// untouched, assigns a message to error and returns false.
bool ReadCommandLine(CommandLine& line, DString& error);
// The source folder: the drive root of /src= followed by /drm=. On POSIX the root is a mount
// point, found by asking the file system about each folder up to it: never call this on the
// window's thread.
DString SourceFolder(const CommandLine& line);
// The drive root alone, as SourceFolder finds it.
DString SourceRoot(const CommandLine& line);

// Reads the program's arguments. On success sets source (the drive root of /src followed
// by the /drm value) and destination (the /dst value) and returns true. On failure leaves both
// untouched, assigns a message to error and returns false.
bool LeeParametros(DString& source, DString& destination, DString& error);
