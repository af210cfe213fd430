// Putting written bytes on the disk itself, not only into the system's cache, so that a file
// that replaces another is whole after a power cut.
#pragma once
#include <cstdio>

// Flushes the stream's buffer and waits until the file's bytes are on the disk: 0, or -1 with
// errno telling why.
int SyncToDisk(std::FILE *file);
