#include "machine.h"

#include <sys/resource.h>

#include <cstdio>

CoreTimes ReadCoreTimes() {
    CoreTimes t;
    FILE *f = std::fopen("/proc/stat", "r");
    if (!f) return t;
    unsigned long long v[8] = {};
    if (std::fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3],
                    &v[4], &v[5], &v[6], &v[7]) == 8) {
        for (unsigned long long x : v) t.total += x;
        t.busy = t.total - v[3] - v[4];  // all but idle and waiting for input/output
    }
    std::fclose(f);
    return t;
}

double BusyShare(const CoreTimes &from, const CoreTimes &to) {
    const unsigned long long total = to.total - from.total;
    return total ? double(to.busy - from.busy) / double(total) : 0.0;
}

double LoadAverage() {
    double load = 0.0;
    FILE *f = std::fopen("/proc/loadavg", "r");
    if (!f) return load;
    if (std::fscanf(f, "%lf", &load) != 1) load = 0.0;
    std::fclose(f);
    return load;
}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
