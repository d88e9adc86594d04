#pragma once
// The helpers are shared with the file and application tests.
#include "scratch.h"
