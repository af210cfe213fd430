// Time and event-loop helpers of the run-time layer.
#pragma once
#include <functional>

// Chooses Qt's own event dispatcher over GLib's: it wakes for socket and serial bytes with less
// work per wake-up. Call before the application object is created.
void SelectEventDispatcher();

// Seconds since an arbitrary origin, sub-millisecond resolution; only differences are used.
double Timer();

// Blocks the caller for `seconds` (no events are processed meanwhile).
void Delay(double seconds);

// Runs pending user-interface, socket and timer events, then returns.
void ProcessSystemEvents();

// Sleeps until an event arrives (socket or serial bytes, input, timers) or `seconds` have passed,
// and processes what arrived. Lets wait loops take a reply the moment it comes without spinning.
void WaitForSystemEvents(double seconds);

// Runs `call` from the event loop once the callbacks running now have returned.
void PostDeferredCall(std::function<void()> call);

// Today's date as "MM-DD-YYYY" and the local time as "HH:MM:SS" (24 hours), fixed width with
// leading zeros. The text lives in a static buffer that the next call overwrites.
const char *DateStr();
const char *TimeStr();

// A stand-in clock for lines played from a script: Timer() reads `now` and WaitForSystemEvents
// calls `wait` instead of sleeping, so that a time-out passes at once. nullptr: the real clock.
struct ClockStandIn {
    double (*now)();
    void (*wait)(double seconds);
};
void SetClockStandIn(const ClockStandIn *clock);
