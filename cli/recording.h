// What stats and plot share: the recorder file named on the command line and the tolerances.
#pragma once
#include <QCommandLineParser>
#include <optional>

#include "measure/recreader.h"

// Reads the recorder file of the command line: EXIT_OK, EXIT_NO_INPUT when it cannot be read,
// EXIT_DATA when a line does not fit (the problem and its line number are shown).
int LoadRecording(const QCommandLineParser &args, RecFile &out);

// Tolerances around the set-point [µm]; a side not given stays empty.
struct Tolerances {
    std::optional<double> upper, lower;
};
Tolerances TolerancesOf(const QCommandLineParser &args);
