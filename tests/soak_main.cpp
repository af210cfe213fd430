// k-tav-soak SECONDS [FAULT-RATE [SEED]]: the fault soak for as long as asked; prints the counts
// and what did not hold, and ends with 1 when something did not.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "core/system/timing.h"
#include "fault_soak.h"

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: k-tav-soak SECONDS [FAULT-RATE [SEED]]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    SelectEventDispatcher();
    QApplication app(argc, argv);
    const double rate = argc > 2 ? std::atof(argv[2]) : 0.02;
    const auto seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1ull;
    return RunFaultSoak(std::atof(argv[1]), rate, seed).violations.empty() ? 0 : 1;
}
