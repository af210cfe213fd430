// k-tav-sim: the sensor-pair simulator executable.
#include <sys/prctl.h>

#include <csignal>
#include <cstdio>

#include "device.h"
#include "options.h"
#include "server.h"
#include "state_file.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) {
    stopRequested = 1;
}

// The random faults put on the replies, for the soak that reads them at the end.
void printFaultCounts(const FaultPlan &faults) {
    std::printf("FAULTS replies=%d dropped=%d cut=%d flipped=%d late=%d garbage=%d\n",
                faults.replies(), faults.randomFaults(RandomFault::Drop),
                faults.randomFaults(RandomFault::Cut), faults.randomFaults(RandomFault::BitFlip),
                faults.randomFaults(RandomFault::Late), faults.randomFaults(RandomFault::Garbage));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
    SimOptions options;
    std::string error;
    switch (parseOptions(argc, argv, options, error)) {
        case ParseOutcome::Help:
            std::fputs(HELP_TEXT, stdout);
            return 0;
        case ParseOutcome::Version:
            std::puts("k-tav-sim " KTAV_VERSION);
            return 0;
        case ParseOutcome::Error:
            std::fprintf(stderr, "k-tav-sim: %s\n", error.c_str());
            return 2;
        case ParseOutcome::Run:
            break;
    }

    Device device(options.device);
    Bytes image;
    // A file that holds something else is not overwritten: it may be the operator's.
    if (!options.stateFile.empty() && loadState(options.stateFile, image) &&
        !device.restorePersistent(image)) {
        std::fprintf(stderr, "k-tav-sim: %s does not hold a device state\n",
                     options.stateFile.c_str());
        return 1;
    }

    if (options.printTable) {
        if (options.stateFile.empty() || image.empty()) {
            std::fprintf(stderr, "k-tav-sim: --print-table needs an existing --state file\n");
            return 1;
        }
        for (uint16_t word : device.flash(options.printTable).words(XFlash::TABLE_PAGE, 2048))
            std::printf("%u\n", word);
        return 0;
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    ::sigaction(SIGTERM, &sa, nullptr);
    // The paced serial line wakes when a frame's last byte is due; the kernel's default slack
    // of 50 us on such a wake-up would add to every frame.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    ::sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Server server(options, device);
    if (!server.start(error)) {
        std::fprintf(stderr, "k-tav-sim: %s\n", error.c_str());
        return 1;
    }
    server.run(stopRequested);
    if (options.faults.faultRate > 0) printFaultCounts(server.faults());
    return 0;
}
