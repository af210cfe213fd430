// Outside programs started and ended by the program (the touch surface's on-screen keyboard).
#pragma once
#include <string>

// Called from the event loop with the handle of a program that ended on its own (not through
// TerminateExecutable); the handle stays valid until TerminateExecutable.
using ExecutableEndedCallback = void (*)(int handle);

// Starts `command` (a program with its arguments, split as a shell would split them) in a
// window of `windowState` (1 normal); the program's handle goes to `handle`, and `ended`, when
// given, hears of its end. 0 when the program runs; negative when it cannot be started, with
// `whyNot`, when given, telling why.
int LaunchExecutableEx(const char *command, int windowState, int *handle,
                       ExecutableEndedCallback ended = nullptr, std::string *whyNot = nullptr);

// Ends the program of `handle` (asks it to end, kills it when it does not); 0, or negative
// for an unknown handle. The handle is invalid afterwards.
int TerminateExecutable(int handle);

// 1 when the program of `handle` has ended (or the handle is unknown), 0 while it runs.
int ExecutableHasTerminated(int handle);

// 1 when the program of `handle` ended with a status other than 0 or by a signal, else 0.
int ExecutableFailed(int handle);

// The last bytes (at most 4 KB) that the program of `handle` wrote on its standard error, which
// is also passed on to the program's own standard error.
std::string ExecutableErrorOutput(int handle);
