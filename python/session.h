// What the module keeps for the process. The core's state (the transport, the parameter block,
// the identity) has static lifetime and exists once per process, so one pair at a time is open
// in it, and it is used from the thread that opened the first one, where the core's sockets and
// serial ports deliver their events.
#pragma once
#include <pybind11/pybind11.h>

// Prepares the core for a pair: the application object its sockets and serial ports need (made
// once, in the calling thread) and a link view that keeps the status texts instead of printing
// them. Raises RuntimeError in another thread than the one that made the application object.
void PrepareCore();

// Raises RuntimeError unless the calling thread is the one the core works in.
void RequireCoreThread();

// Marks `pair` as the process's open pair; raises RuntimeError when another one is open.
void ClaimCore(const void *pair);
// Gives the core up again when `pair` holds it.
void ReleaseCore(const void *pair);

// Runs `call` with the GIL released, so that other Python threads run while the core waits for
// the sensor. `call` must not touch Python objects.
template <class Call>
auto Unlocked(Call &&call) {
    pybind11::gil_scoped_release released;
    return call();
}

// The frame layer's cause of the last failed exchange ("TIMEOUT!", "server closed"); empty when
// none was told since ForgetFailureCause().
const char *LastFailureCause();
void ForgetFailureCause();
