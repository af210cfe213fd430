// Parameter files: the parameter block kept on disk as a settings file with the sections
// "PARA0" (general set), "PARA1" (master set) and "PARA2" (slave set). Fields the sensors only
// need at run time (option switch, RS-232 output mode, integration time, baud-rate index,
// mode selector, reserved bytes) are not stored, and reading leaves them as they are.
#pragma once
#include "core/params/inifile.h"
#include "wire/wire.h"

// Writes the block to a parameter file: 1, or negative when the file could not be written (the
// old file is then unchanged).
int WriteParaToIniFile(const ParaBlock &block, const char *path);
// Applies a parameter file to the block: 1, or negative when the file could not be read (the
// block is then unchanged). Missing keys and values that are not integers leave their fields.
int ReadParaFromIniFile(ParaBlock &block, const char *path);

// Puts every stored field of the block into the object, in the file's order.
void PutIniParaTags(IniText ini, const ParaBlock &block);
// Takes every stored field that the object holds as an integer into the block: 16-bit fields
// take its low 16 bits, 32-bit fields the whole value. The number of fields taken.
int GetIniParaTags(IniText ini, ParaBlock &block);
