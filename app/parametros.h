#pragma once
// The command line: /src=<any path on the disc> /dst=<destination folder> /drm=<folder of the
// source relative to the drive root>, in this order. A value may span several argument words.
#include "text/dstring.h"

// Reads the program's arguments. On success sets source (the drive root of /src followed
// by the /drm value) and destination (the /dst value) and returns true. On failure leaves both
// untouched, assigns a message to error and returns false.
bool LeeParametros(DString& source, DString& destination, DString& error);
