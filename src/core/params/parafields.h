// The fields of the three parameter sets by the names every front shows them by (the tool's
// get --json, the Python module's dicts), and a field set by its name within its limits.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "wire/wire.h"

// The sets by name: 0 "general", 1 "master", 2 "slave".
constexpr const char *PARA_SET_NAMES[] = {"general", "master", "slave"};

// The set of a name: 0..2, or -1 for no set.
int ParaSetOfName(std::string_view name);

// Calls `take` with the name and value of every field of set `set` (0..2), in the order of the
// wire image; the reserved bytes are no field.
void ForEachParaField(const ParaBlock &block, int set,
                      const std::function<void(const char *name, int64_t value)> &take);

// Sets field `name` of set `set` (0..2) to `value`: "" when done, else the problem with nothing
// changed (no such field, a value the field cannot hold, a value beyond the limit the range
// check of the block sets for the CCD line of `pixelCount` pixels).
std::string SetParaField(ParaBlock &block, int set, std::string_view name, int64_t value,
                         int16_t pixelCount);
