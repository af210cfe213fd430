#include "core/system/filesync.h"

#include <unistd.h>

int SyncToDisk(std::FILE *file) {
    if (std::fflush(file) != 0) return -1;
    return fsync(fileno(file)) == 0 ? 0 : -1;
}
