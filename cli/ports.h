// Serial ports as the program numbers them: port n is the device of KTAV_COM<n> when that is
// set, else /dev/ttyS<n-1>.
#pragma once
#include <QString>

// The program's port number of a device path (symbolic links followed); 0 when no port number
// leads to it.
int PortNumberOfDevice(const QString &device);
