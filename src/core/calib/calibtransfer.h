// Calibration data into the sensors' flash: the header record, the linearisation table in the
// page layout of the hardware (separate sensors, or the combined hardware that keeps both
// tables in the MASTER's flash), and the pair's linearisation mode.
#pragma once
#include <QByteArray>
#include <cstdint>

#include "wire/wire.h"

constexpr int32_t COMBINED_TYPE_CODE = 611632;  // header type of the combined hardware
constexpr uint16_t COMBINED_HWTYPE = 22;

// Where a sensor's (1 master, 2 slave) table lies for a hardware type: in which flash, from
// which page and over how many pages of 256 entries.
struct TableLayout {
    bool inMasterFlash;  // written with the MASTER's own orders, so it can be read back
    uint16_t firstPage;
    int pages;
};
TableLayout TableLayoutOf(int sensor, uint16_t hwType);

// A header with the combined hardware's type code makes HWTYPE 22.
void NoteCombinedHardware(const CalibHeader &header);

// Writes `header` as the calibration header of `sensor` (1 MASTER, 2 SLAVE) and notes the
// combined hardware: 1 written (it is then the sensor's `calib` header), -1 failed (the status
// line says why).
int WriteCalibHeader(int sensor, const CalibHeader &header);

// Leaves the header write of WRITE to the running loop: `header` for `sensor`, as they were when
// WRITE was pressed, whatever the pop-up shows by the time the loop serves it (wrxf_flag).
void DeferCalibHeader(int sensor, const CalibHeader &header);
// The deferred header write, by the loop that serves wrxf_flag: the result of WriteCalibHeader.
int WriteDeferredCalibHeader();

// Told after every step of a table write: `done` of `total` steps (erases, writes, read-backs).
using TableProgress = void (*)(int done, int total);

// Results of a table write.
enum TableResult {
    TABLE_VERIFIED = 1,    // written, and read back equal
    TABLE_UNVERIFIED = 2,  // written, but it could not be read back (the SLAVE's own flash never)
    TABLE_FAILED = -1,     // a step failed or the write could not be recorded: incomplete
    TABLE_DIFFERS = -2,    // written, but read back different
};

// Erases and writes a sensor's table in the layout of HWTYPE, pausing after every step as the
// flash needs, and keeps the interface responsive meanwhile. Nothing is sent when the audit log
// cannot be written; the write is recorded there (side, file, the table's SHA-256, result) before
// its outcome is shown. A table left incomplete is told by the sensor itself to any PC: before
// the first erase the sensor's own header (read afresh) is written with table length 0, a header
// without a table, and after the last block the header again as it was. A sensor whose header
// had table length 0 already gets the length of the loaded file's header (calibToWrite). The
// write is also recorded as begun and ended in the user's data folder. A table in the MASTER's
// flash is read back and compared. Stops at the first failed step. A TableResult; the status
// line names a failed page, block or address and says what that leaves in the sensor.
int WriteCalibTable(int sensor, const uint16_t *table, TableProgress progress);

// The flash address of the erase, page or block at which the last table write failed; 0 when it
// failed at no step (or did not fail).
unsigned TableWriteFailedAt();

// True from the start of a table write to its end: nothing else may talk to the sensor, change
// the view or close the program meanwhile.
bool TableWriteRunning();
// Told when a table write starts (true) and when it has ended (false).
using TableWriteView = void (*)(bool running);
void SetTableWriteView(TableWriteView view);

// The sides whose table is incomplete (bit 0 MASTER, bit 1 SLAVE): a header in `headers` whose
// table length is 0, a write recorded as begun and not ended for this pair (hwinfo.serialno), or
// a table in the MASTER's flash whose pages read back erased. Reads only the last two words of
// each table page.
int IncompleteCalibTables(const CalibHeader (&headers)[2]);
// The warning for a result of IncompleteCalibTables() other than 0.
const char *IncompleteTablesText(int sides);

// The SHA-256 of the first `words` words of a table, little-endian as they go to the flash, in
// hexadecimal.
QByteArray TableDigest(const uint16_t *table, int words);

// Order 0x13: 0 off, 1 master linearisation, 2 slave linearisation. 1 or -1; the status line
// of the main panel says which, once the switch is recorded in the audit log.
int SwitchLinearisation(uint16_t mode);
