// The parameter sets as JSON, every field of the sensors' wire image by its name, in the form
// get --json prints them: what the tool prints, the audit log compares and a recording's sidecar
// keeps.
#pragma once
#include <QJsonArray>
#include <QJsonObject>
#include <cstdint>

#include "wire/wire.h"

// The three sets as "general", "master" and "slave".
QJsonObject ParaBlockJson(const ParaBlock &block);

// The name of set 0, 1 or 2: "general", "master" or "slave".
const char *ParaSetName(int set);

// Set `set` (0..2) of `block`, every field by its name (parafields).
QJsonObject ParaSetJson(const ParaBlock &block, int set);
// Set `set` of its 32 wire bytes `page`.
QJsonObject ParaSetJson(int set, const uint8_t *page);

// The fields of set `set` that differ between the pages `before` and `after`, each
// {set, field, old, new}; every field with "old" null when `before` is nullptr (not known).
QJsonArray ParaSetChanges(int set, const uint8_t *before, const uint8_t *after);
