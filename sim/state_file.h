// The file that keeps a device's EEPROM and flash across restarts.
#pragma once
#include <string>

#include "frames.h"

bool loadState(const std::string &path, Bytes &image);  // false when missing or unreadable
// Writes to a temporary file beside it and renames it over the old one, so a crash never
// leaves a half-written state.
bool saveState(const std::string &path, const Bytes &image);
