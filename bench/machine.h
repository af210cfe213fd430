// The machine's load, printed beside the figures: the load average and how busy all cores were
// between two readings, this program's work and everyone else's.
#pragma once

struct CoreTimes {
    unsigned long long busy = 0, total = 0;  // clock ticks of all cores since boot
};

CoreTimes ReadCoreTimes();

// Share of all cores' time that was busy between the two readings, 0..1.
double BusyShare(const CoreTimes &from, const CoreTimes &to);

// The one-minute load average.
double LoadAverage();

// CPU seconds used by this process so far.
double ProcessCpuSeconds();
