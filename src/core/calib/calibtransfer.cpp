#include "core/calib/calibtransfer.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonValue>
#include <algorithm>
#include <bit>
#include <cstdio>

#include "core/calib/calibfile.h"
#include "core/calib/tablerecord.h"
#include "core/link/calibheader.h"
#include "core/link/frame.h"
#include "core/link/identity.h"
#include "core/link/sensorchange.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/link/xflash.h"
#include "core/state/flags.h"
#include "core/system/timing.h"

namespace {

constexpr uint16_t TABLE_PAGE = 0x1200;
constexpr uint16_t COMBINED_SLAVE_PAGE = 0x1600;
constexpr int PAGE_WORDS = 256;
constexpr int SLAVE_BLOCK_WORDS = 8;                // what one write into the SLAVE's flash carries
constexpr double STEP_PAUSE = 0.1;                  // after every erase and page write [s]
constexpr double BLOCK_PAUSE = 0.05;                // after every block into the SLAVE's flash [s]
constexpr int READ_PART_WORDS = XF_MAX_READ_WORDS;  // the words one read-back request asks for

bool tableWriteRunning = false;
unsigned failedAt = 0;  // TableWriteFailedAt()
TableWriteView tableWriteView = nullptr;

// The header write WRITE left to the running loop.
int deferredSensor = 1;
CalibHeader deferredHeader;

// Waits while the sensor programs its flash, handling the operator's input meanwhile.
void pause(double seconds) {
    const double end = Timer() + seconds;
    for (double left = seconds; left > 0; left = end - Timer()) WaitForSystemEvents(left);
}

// Counts the steps of one table write and reports them.
class TableSteps {
  public:
    TableSteps(int sensor, int total, TableProgress progress)
        : side_(sensor == 1 ? "MASTER" : "SLAVE"), total_(total), progress_(progress) {}

    // The table was not touched: "<side> table not written: <why>!". Returns TABLE_FAILED.
    int notWritten(const char *why) {
        char text[STATUS_SIZE * 2];
        std::snprintf(text, sizeof text, "%s table not written: %s!", side_, why);
        SetStatus(text);
        ShowStatus(ST_PA);
        return TABLE_FAILED;
    }

    // A step succeeded: "<side> table <step> of <steps> (<what> k of n): <detail>", the steps
    // counted as the progress is, the detail by default the operation's own status text.
    void done(const char *what, int k, int n, const char *detail = szStatus) {
        char text[STATUS_SIZE * 2];
        ++done_;
        std::snprintf(text, sizeof text, "%s table %d of %d (%s %d of %d): %s", side_, done_,
                      total_, what, k, n, detail);
        SetStatus(text);
        ShowStatus(ST_PA);
        if (progress_) progress_(done_, total_);
    }

    // A step failed, which leaves the table incomplete: the outcome's text, shown once the
    // write is recorded. Returns TABLE_FAILED.
    int failed(const char *what, int k, int n, unsigned address) {
        failedAt = address;
        char text[STATUS_SIZE * 2];
        std::snprintf(text, sizeof text, "%s table %s %d of %d failed at 0x%X: table incomplete!",
                      side_, what, k, n, address);
        SetStatus(text);
        return TABLE_FAILED;
    }

    // The outcome's text of a written table, shown once the write is recorded; returns `result`.
    // The room of `line` takes any `text` of the other steps' size whole; SetStatus cuts it.
    int finished(const char *text, int result) {
        char line[STATUS_SIZE * 3];
        std::snprintf(line, sizeof line, "%s table %s", side_, text);
        SetStatus(line);
        return result;
    }

    const char *side() const { return side_; }

  private:
    const char *side_;
    int total_, done_ = 0;
    TableProgress progress_;
};

// Reads the table back with order 184, 128 words a request, and compares it: TABLE_VERIFIED,
// TABLE_UNVERIFIED when a part cannot be read, TABLE_DIFFERS with the first differing address.
int verify(const TableLayout &layout, const uint16_t *table, TableSteps &steps) {
    const int parts = layout.pages * PAGE_WORDS / READ_PART_WORDS;
    for (int k = 0; k < parts; ++k) {
        const auto address = static_cast<uint16_t>(layout.firstPage + k * READ_PART_WORDS);
        uint16_t back[READ_PART_WORDS];
        if (ReadXFLASH(address, back, sizeof back) != 1) {
            char text[STATUS_SIZE * 2];
            std::snprintf(text, sizeof text, "written, unverified (read-back failed at 0x%X)",
                          unsigned(address));
            return steps.finished(text, TABLE_UNVERIFIED);
        }
        const uint16_t *expected = table + k * READ_PART_WORDS;
        const auto [differs, unused] = std::mismatch(back, back + READ_PART_WORDS, expected);
        if (differs != back + READ_PART_WORDS) {
            char text[STATUS_SIZE * 2];
            std::snprintf(text, sizeof text, "%s table read-back differs at 0x%X: table corrupt!",
                          steps.side(), unsigned(address + (differs - back)));
            SetStatus(text);
            return TABLE_DIFFERS;
        }
        steps.done("read-back", k + 1, parts, "identical");
    }
    return steps.finished("written and verified -> Ok!", TABLE_VERIFIED);
}

// Erases the table's pages, then writes them (MASTER's flash: a page a request; SLAVE's flash:
// 8 words a request). TABLE_UNVERIFIED when every step succeeded, else TABLE_FAILED.
int eraseAndWrite(const TableLayout &layout, const uint16_t *table, TableSteps &steps) {
    const int pages = layout.pages;
    for (int p = 0; p < pages; ++p) {
        const auto page = static_cast<uint16_t>(layout.firstPage + p * PAGE_WORDS);
        const int erased =
            layout.inMasterFlash ? ClearXFLASHpage(page) : ClearXFLASHpageSLAVE(page);
        if (erased != 0) return steps.failed("erase", p + 1, pages, page);
        steps.done("erase", p + 1, pages);
        pause(STEP_PAUSE);
    }
    if (layout.inMasterFlash) {
        for (int p = 0; p < pages; ++p) {
            const auto page = static_cast<uint16_t>(layout.firstPage + p * PAGE_WORDS);
            if (WriteXFLASH(page, table + p * PAGE_WORDS, PAGE_WORDS * 2) != 1)
                return steps.failed("page", p + 1, pages, page);
            steps.done("page", p + 1, pages);
            pause(STEP_PAUSE);
        }
        return TABLE_UNVERIFIED;
    }
    const int blocks = pages * PAGE_WORDS / SLAVE_BLOCK_WORDS;
    for (int b = 0; b < blocks; ++b) {
        const auto address = static_cast<uint16_t>(layout.firstPage + b * SLAVE_BLOCK_WORDS);
        if (WriteXFLASHSLAVE(address, table + b * SLAVE_BLOCK_WORDS, SLAVE_BLOCK_WORDS * 2) != 1)
            return steps.failed("block", b + 1, blocks, address);
        steps.done("block", b + 1, blocks);
        pause(BLOCK_PAUSE);
    }
    return TABLE_UNVERIFIED;
}

// The table write from its record to its end; the caller marks it running. The sensor's header
// says "no table" from before the first erase until the last block is written.
int writeTable(int sensor, const uint16_t *table, TableProgress progress) {
    const TableLayout layout = TableLayoutOf(sensor, HWTYPE);
    const int writes =
        layout.inMasterFlash ? layout.pages : layout.pages * PAGE_WORDS / SLAVE_BLOCK_WORDS;
    const int reads = layout.inMasterFlash ? layout.pages * PAGE_WORDS / READ_PART_WORDS : 0;
    TableSteps steps(sensor, layout.pages + writes + reads, progress);
    const int index = sensor - 1;
    if (ReadCalibDataFromXF(&calib[index], sensor, sizeof(CalibHeader)) != 1)
        return steps.notWritten("cannot read its header");
    CalibHeader own = calib[index], marked = own;
    // A header left without its table by an earlier write gets the loaded table's length back.
    if (own.tableLength == 0)
        own.tableLength = calibToWrite[index].tableLength == 1024 ? 1024 : LIN_TABLE_SIZE;
    marked.tableLength = 0;
    const int serial = hwinfo.serialno;
    if (NoteTableWriteBegun(serial, sensor) != 1)
        return steps.notWritten("cannot record the write");
    if (WriteCalibDataToXF(&marked, sensor, sizeof marked) != 1) {
        NoteTableWriteEnded(serial, sensor);
        return steps.notWritten("cannot mark its header");
    }
    if (eraseAndWrite(layout, table, steps) != TABLE_UNVERIFIED) return TABLE_FAILED;
    if (WriteCalibDataToXF(&own, sensor, sizeof own) != 1)
        return steps.failed("header", 1, 1, XF_CALIB_PAGE);
    calib[index] = own;
    NoteTableWriteEnded(serial, sensor);
    if (layout.inMasterFlash) return verify(layout, table, steps);
    // The SLAVE's flash has no read order.
    return steps.finished("written, unverified (no read-back) -> Ok!", TABLE_UNVERIFIED);
}

const char *resultName(int result) {
    switch (result) {
        case TABLE_VERIFIED:
            return "verified";
        case TABLE_UNVERIFIED:
            return "unverified";
        case TABLE_DIFFERS:
            return "differs";
        default:
            return "failed";
    }
}

// The whole path of the file the table of `sensor` was read from; null when none was.
QJsonValue tableFile(int sensor) {
    const QString file = QFile::decodeName(CalibTableFile(sensor));
    return file.isEmpty() ? QJsonValue() : QJsonValue(QFileInfo(file).absoluteFilePath());
}

// The audit line of a table write: the side, the file the table came from, the SHA-256 of the
// words of the layout (little-endian, as they go to the flash) and the result.
void recordTableWrite(int sensor, const uint16_t *table, int result) {
    const int words = TableLayoutOf(sensor, HWTYPE).pages * PAGE_WORDS;
    RecordSensorChange("calib-table",
                       {{"side", SideName(sensor)},
                        {"file", tableFile(sensor)},
                        {"words", words},
                        {"sha256", QString::fromLatin1(TableDigest(table, words))},
                        {"result", resultName(result)}},
                       result == TABLE_VERIFIED || result == TABLE_UNVERIFIED);
}

// The last two words of a page of the MASTER's flash read back erased: the page was never
// written after its erase, or not to its end. 0 when they cannot be read.
bool pageErased(uint16_t page) {
    uint16_t last[2] = {};
    return ReadXFLASH(static_cast<uint16_t>(page + PAGE_WORDS - 2), last, sizeof last) == 1 &&
           last[0] == 0xFFFF && last[1] == 0xFFFF;
}

}  // namespace

TableLayout TableLayoutOf(int sensor, uint16_t hwType) {
    if (hwType == COMBINED_HWTYPE) return {true, sensor == 1 ? TABLE_PAGE : COMBINED_SLAVE_PAGE, 4};
    return {sensor == 1, TABLE_PAGE, 8};
}

void NoteCombinedHardware(const CalibHeader &header) {
    if (header.typeCode == COMBINED_TYPE_CODE) HWTYPE = COMBINED_HWTYPE;
}

int WriteCalibHeader(int sensor, const CalibHeader &header) {
    const int index = sensor == 1 ? 0 : 1;
    const CalibHeader sent = header;  // `header` may be the `calib` record it replaces
    const int result = WriteCalibDataToXF(&sent, index + 1, sizeof sent);
    NoteCombinedHardware(sent);
    if (result == 1) calib[index] = sent;
    return result;
}

void DeferCalibHeader(int sensor, const CalibHeader &header) {
    deferredSensor = sensor == 1 ? 1 : 2;
    deferredHeader = header;
    wrxf_flag = 1;
    NoteCombinedHardware(header);
}

int WriteDeferredCalibHeader() {
    wrxf_flag = 0;
    return WriteCalibHeader(deferredSensor, deferredHeader);
}

int WriteCalibTable(int sensor, const uint16_t *table, TableProgress progress) {
    if (!SensorChangeAllowed(ST_PA)) return TABLE_FAILED;
    tableWriteRunning = true;
    failedAt = 0;
    if (tableWriteView) tableWriteView(true);
    const int result = writeTable(sensor, table, progress);
    recordTableWrite(sensor, table, result);
    ShowStatus(ST_PA);
    tableWriteRunning = false;
    if (tableWriteView) tableWriteView(false);
    return result;
}

unsigned TableWriteFailedAt() {
    return failedAt;
}

bool TableWriteRunning() {
    return tableWriteRunning;
}

void SetTableWriteView(TableWriteView view) {
    tableWriteView = view;
}

int IncompleteCalibTables(const CalibHeader (&headers)[2]) {
    int sides = 0;
    for (int sensor : {1, 2}) {
        const int bit = sensor == 1 ? 1 : 2;
        if (headers[sensor - 1].tableLength == 0) sides |= bit;
        if (TableWriteUnfinished(hwinfo.serialno, sensor)) sides |= bit;
        const TableLayout layout = TableLayoutOf(sensor, HWTYPE);
        for (int p = 0; layout.inMasterFlash && !(sides & bit) && p < layout.pages; ++p)
            if (pageErased(static_cast<uint16_t>(layout.firstPage + p * PAGE_WORDS))) sides |= bit;
    }
    return sides;
}

const char *IncompleteTablesText(int sides) {
    switch (sides) {
        case 1:
            return "MASTER calibration table incomplete: write it again!";
        case 2:
            return "SLAVE calibration table incomplete: write it again!";
        default:
            return "MASTER and SLAVE calibration tables incomplete: write them again!";
    }
}

QByteArray TableDigest(const uint16_t *table, int words) {
    static_assert(std::endian::native == std::endian::little, "table words go little-endian");
    const QByteArray bytes(reinterpret_cast<const char *>(table), qsizetype(words) * 2);
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

int SwitchLinearisation(uint16_t mode) {
    if (!SensorChangeAllowed(ST_PA)) return -1;
    FillTxBuf(ORD_LINEARISATION, mode, nullptr, 0);
    const bool ok = DataExchange(FRAME_HEADER_SIZE) == 1;
    if (!ok)
        SetTransportFailure("Connection-Error:");
    else if (mode == 1)
        SetStatus("Activate spi-master-linearisation -> Ok!");
    else if (mode == 2)
        SetStatus("Activate spi-slave-linearisation -> Ok!");
    else
        SetStatus("Deactivate spi-slave-linarisation -> Ok!");
    RecordSensorChange("linearisation",
                       {{"mode", mode == 1   ? "master"
                                 : mode == 2 ? "slave"
                                             : "off"}},
                       ok);
    ShowStatus(ST_PA);
    return ok ? 1 : -1;
}
