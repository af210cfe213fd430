#include "core/measure/recfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "core/link/calibheader.h"
#include "core/measure/recsidecar.h"
#include "core/params/paramblock.h"
#include "core/system/timing.h"

namespace {

char lastError[128] = "";

int fail(int error) {
    std::snprintf(lastError, sizeof lastError, "%s", std::strerror(error));
    return -1;
}

// Writes all `count` bytes behind what `fd` holds. A write that stops short is tried again for
// the rest, so that the cause of a failure (full disk, size limit) is the system's own.
bool writeAll(int fd, const char *bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

// Writes `count` bytes to `path`: into a new file (`create`, which must not exist yet: the check
// and the creation are one step) or behind the end of an existing one. Bytes that could not all
// be written are taken back: a new file is removed, an existing one cut back to its length
// before. Plain system calls: this runs once a sample, at increment 0 as fast as the link goes.
int writeBytes(const char *path, const char *bytes, std::size_t count, bool create) {
    const int fd = create ? ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)
                          : ::open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return fail(errno);
    const off_t before = create ? 0 : ::lseek(fd, 0, SEEK_END);
    if (before >= 0 && writeAll(fd, bytes, count)) return ::close(fd) == 0 ? 1 : fail(errno);
    const int error = errno;
    [[maybe_unused]] const bool takenBack =
        create ? ::unlink(path) == 0 : before >= 0 && ::ftruncate(fd, before) == 0;
    ::close(fd);
    return fail(error);
}

// The shortest decimal text that reads back as the same double.
const char *exactReal(double value, char (&text)[32]) {
    const auto result = std::to_chars(text, text + sizeof text - 1, value);
    *result.ptr = '\0';
    return text;
}

}  // namespace

RecHeader CurrentRecHeader(double increment, unsigned samples, bool withCount) {
    return {increment,       samples,
            withCount,       para.ge.measurementMode == 1 ? para.ge.umSetpoint : 0,
            calib[0].offset, calib[1].offset,
            calib[0].range,  calib[1].range};
}

int FormatRecHeader(char *out, std::size_t size, const RecHeader &h, const char *date,
                    const char *time) {
    char increment[32];
    char count[32] = "";
    if (h.withCount) std::snprintf(count, sizeof count, "Number of Samples:\t%u\r\n", h.samples);
    const int n = std::snprintf(out, size,
                                "Date:\t%s\r\n"
                                "Time:\t%s\r\n"
                                "Time-Increment[s]:\t%s\r\n"
                                "%s"
                                "Setpoint-Value [\xB5m]:\t%d\r\n"
                                "Offset-Master [\xB5m]:\t%d\r\n"
                                "Offset-Slave [\xB5m]:\t%d\r\n"
                                "Range-Master [\xB5m]:\t%d\r\n"
                                "Range-Slave [\xB5m]:\t%d\r\n"
                                "TIME\t\tMA[\xB5m]\tSL[\xB5m]\tVAL[\xB5m]\tMA-E\tSL-E\tMA-PIX\tSL-"
                                "PIX\tVAL-PIX\r\n",
                                date, time, exactReal(h.increment, increment), count, h.setpoint,
                                h.offsetMaster, h.offsetSlave, h.rangeMaster, h.rangeSlave);
    return n >= 0 && static_cast<std::size_t>(n) < size ? n : -1;
}

int FormatSampleLine(char (&out)[REC_LINE_SIZE], const char *time, const RawRecord &r) {
    const int n =
        std::snprintf(out, sizeof out, "%.8s\t%d\t%d\t%d\t%u\t%u\t%u\t%u\t%u\r\n", time, r.umA,
                      r.umB, r.umValue, r.edgeA, r.edgeB, r.posA, r.posB, r.posCombined);
    return n < REC_LINE_SIZE ? n : REC_LINE_SIZE - 1;
}

int CreateRecFile(const char *path, const RecHeader &header) {
    char bytes[1024];
    const char *date = DateStr();
    const char *time = TimeStr();
    const int n = FormatRecHeader(bytes, sizeof bytes, header, date, time);
    if (n < 0 || writeBytes(path, bytes, static_cast<std::size_t>(n), true) != 1) return -1;
    // A recording that cannot name the state it is made in is not begun.
    const QString why = WriteRecordingSidecar(QFile::decodeName(path));
    if (why.isEmpty()) return 1;
    ::unlink(path);
    std::snprintf(lastError, sizeof lastError, "%s.json: %s", path, qPrintable(why));
    return -1;
}

int AppendSampleLine(const char *path, const RawRecord &r) {
    char line[REC_LINE_SIZE];
    const int n = FormatSampleLine(line, TimeStr(), r);
    return writeBytes(path, line, static_cast<std::size_t>(n), false);
}

const char *RecFileError() {
    return lastError;
}

void CopyTriggerRecord(const TriggerRecord &rec, RawRecord &r) {
    r.umA = rec.umA;
    r.umB = rec.umB;
    r.umValue = rec.umValue;
    r.edgeA = rec.edgeA;
    r.edgeB = rec.edgeB;
    r.posA = rec.posA;
    r.posB = rec.posB;
    r.posCombined = rec.posCombined;
}
