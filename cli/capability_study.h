// One column of a recording as the statistics of the core see it, shared by capability and
// plot --chart: the figures in one pass over the file, then the rule breaks and the chart's bins
// from the column's values, which are kept (4 bytes a sample) since the limits the rules need
// are known only at the end.
#pragma once
#include <QCommandLineParser>
#include <vector>

#include "core/measure/recreader.h"
#include "core/stats/capability.h"
#include "spc_chart.h"

struct ColumnStudy {
    QString column;     // VAL, MA or SL
    SpecLimits limits;  // [um]
    Capability capability;
    RuleBreaks breaks;
    ControlChart chart;  // in mm; bins only when asked for
};

// The tolerance limits of the command line [um]: capability's --lower/--upper, or a
// set-point (--setpoint, else the recording's) with --tol-upper/--tol-lower; plot's tolerances
// around the set-point. EXIT_OK, or EXIT_USAGE (shown) when tolerances have no set-point.
int SpecLimitsOf(const QCommandLineParser &args, const RecFileHeader &header, SpecLimits &limits);

// Reads the opened recording's --column with --subgroup into `study`, with `bins` chart bins
// (0: none). EXIT_OK, or the reader's failure (shown).
int StudyColumn(const QCommandLineParser &args, RecReader &reader, int bins, ColumnStudy &study);

// A length [um] as millimetres with `decimals`, or "-" and the reason for a figure without one.
std::string Millimetres(const Figure &um, int decimals = 4);
std::string Index(const Figure &f);

// The figures of a capability study as the tool prints them and the report shows them.
std::vector<FigureRow> CapabilityRows(const ColumnStudy &study);
// The lines of the rule breaks: one per rule, with the first points that break it.
std::vector<FigureRow> RuleRows(const ColumnStudy &study);

// Prints what was measured ("name: text") and rows of figures, their names in one column.
void PrintMeasured(const std::vector<std::pair<std::string, std::string>> &lines);
void PrintFigureRows(const std::vector<FigureRow> &rows);
