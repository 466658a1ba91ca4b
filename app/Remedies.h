#pragma once
// What a user can do when the program cannot go on for want of one of its own files: the
// sentence the general error box adds below the error's number and description.
#include <string>

#include "store/RuntimeError.h"

// The remedy for error, given the program's folder, or an empty text when the program
// knows none: a missing logbook (how to make one), a missing or unreadable picture (what
// to put there).
std::string StartupRemedy(const store::RuntimeError& error, const std::string& programFolder);
