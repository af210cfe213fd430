// The settings engine: an in-memory object of named sections holding named items with text
// values, read from and written to the section/key text files of the program (the application
// settings file and the parameter files).
//
// Files are written with CR LF line ends: "[name]", one "tag = value" line per item, an empty
// line after each section. String values are quoted and escaped; values longer than 80
// characters are split over "tag Line0001 = ..." pieces, which reading joins again (a piece
// continues a group only with the group's tag and the next counter; pieces are quoted where
// blanks or quotes at their edges would otherwise be lost). No line written is longer than the
// 1023 characters reading takes, so whatever is written reads back the same. Comment
// lines (";") read from a file are written back in their places. Lookups ignore letter case
// and surrounding blanks. A file is replaced only as a whole: the object is written to a
// temporary file "<target>.NNN.tmp" (the first free of NNN = 000..999) in the target's folder,
// with the target's permissions, put on the disk, and then renamed over the target. A target
// that is a symbolic link stays one: the file it names is replaced.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct IniObject;
using IniText = IniObject *;

// Creates an empty object (items keep the order in which they are added; the program passes 0
// for automatic sorting, which is not offered). nullptr when memory runs out.
IniText Ini_New(int automaticSorting);
// Frees the object and everything in it.
void Ini_Dispose(IniText ini);

// An object that is disposed of when its owner goes out of scope; empty when memory runs out.
using IniOwner = std::unique_ptr<IniObject, decltype(&Ini_Dispose)>;
inline IniOwner NewIniOwner() {
    return IniOwner(Ini_New(0), Ini_Dispose);
}

// Adds the file's sections and items to the object: 0, or negative when it cannot be read.
int Ini_ReadFromFile(IniText ini, const char *path);
// Replaces the file by the object's text: 0, or negative with the old file left as it was and
// no temporary file left behind; `whyNot`, when given, then tells the cause ("Permission
// denied", "No space left on device").
int Ini_WriteToFile(IniText ini, const char *path, std::string *whyNot = nullptr);
// Removes the temporary files "<path>.NNN.tmp" that a write cut short (the program killed, a
// power cut) left beside the file; the number removed.
int Ini_RemoveTemporaryFiles(const char *path);

// Add an item to a section, replacing every item of the same tag there: 0 or negative. Names
// that would not read back are refused: empty, over 255 characters, with a line end; tags that
// hold "=", begin with ";" or "[", or end in " Line" and digits (the form of a value's pieces).
int Ini_PutInt(IniText ini, const char *section, const char *tag, int32_t value);
int Ini_PutString(IniText ini, const char *section, const char *tag, const char *value);

// 1 = found and stored; 0 = missing; negative = not a decimal 32-bit integer. On 0 and negative
// results *value is left unchanged.
int Ini_GetInt(IniText ini, const char *section, const char *tag, int32_t *value);
// 1 = found, unescaped and copied (at most size - 1 characters and a terminating zero);
// 0 = missing (empty text stored); negative = no buffer.
int Ini_GetStringIntoBuffer(IniText ini, const char *section, const char *tag, char *buffer,
                            size_t size);
