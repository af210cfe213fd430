// Command line of the simulator executable.
#pragma once
#include <string>

#include "device.h"
#include "fault_plan.h"

struct SimOptions {
    std::string tcpHost = "127.0.0.1";
    int tcpPort = 10001;
    bool pty = false;
    std::string ptyLink;    // symbolic link made to the pseudo-terminal, if given
    std::string stateFile;  // EEPROM and flash kept here across restarts, if given
    long wireBaud = 0;      // pace of the pseudo-terminal's bytes; 0: the speed the program set
    bool verbose = false;
    int printTable = 0;  // 1 MASTER, 2 SLAVE: print that table from the state file and end
    DeviceConfig device;
    FaultOptions faults;
};

enum class ParseOutcome { Run, Help, Version, Error };

// Fills `out` from the arguments; on Error, `error` says what was wrong.
ParseOutcome parseOptions(int argc, char **argv, SimOptions &out, std::string &error);

extern const char *const HELP_TEXT;
