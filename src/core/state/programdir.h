// The program directory and the file names the program works with.
#pragma once

constexpr int PATH_SIZE = 260;

extern char dir_name[PATH_SIZE];         // the program directory
extern char proj_dir[PATH_SIZE];         // start directory of the file dialogs (the same)
extern char appini_pathname[PATH_SIZE];  // the application settings file "PX-MS-Vista.ini"
extern char rec_fname[PATH_SIZE];        // the recorder file, "RECORD.DAT" at start
extern char para_pathname[PATH_SIZE];    // the last parameter file
extern char file_name[PATH_SIZE];

// Sets the program directory: `dir` when given, else the executable's folder. When that folder
// is not writable, or its file names would not fit PATH_SIZE, the user's configuration folder is
// taken instead; returns 1 then (the caller says so in the status line), else 0. Fills the
// settings and recorder file names.
int SetProgramDirectory(const char *dir);

// The absolute program directory `dir` names when the file names made in it would not fit
// PATH_SIZE (a name cut to fit would name another file), else nullptr.
const char *ProgramDirectoryTooLong(const char *dir);

// `name` inside the program directory, into `out`.
void MakeProgramPath(const char *name, char (&out)[PATH_SIZE]);
