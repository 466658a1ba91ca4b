#pragma once
// The general handling of run-time errors. Every handler of the program runs inside
// Guard: a RuntimeError (or any other exception) ends that handler and goes to the
// general handler, which shows "Run-time error 'N':" and the description in a box titled
// with the program's title and then ends the program with a non-zero exit status.
#include <QString>
#include <functional>

#include "store/RuntimeError.h"

namespace platform {

using store::RuntimeError;

inline constexpr int kRuntimeErrorExitCode = 1;

// The text of the general error box: the number, the description and, where the program
// knows one, what the user can do about it.
QString RuntimeErrorText(const RuntimeError& error);

// What the user can do about an error, in a sentence or two, or nothing. The program
// knows its files and tools, which the layers below do not: it names the remedies.
using RemedyFinder = std::function<std::string(const RuntimeError&)>;
void setRemedyFinder(RemedyFinder finder);

// Shows the box and ends the program (or calls the handler a test installed).
void HandleRuntimeError(const RuntimeError& error);

// Test seam: an empty function restores the real handler.
using RuntimeErrorHandler = std::function<void(const RuntimeError&)>;
void setRuntimeErrorHandler(RuntimeErrorHandler handler);

// Runs f; returns false when it failed (after the general handler ran).
bool Guard(const std::function<void()>& f);

} // namespace platform
