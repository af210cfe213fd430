#include "calib/calibtransfer.h"

#include <algorithm>
#include <cstdio>

#include "calib/calibfile.h"
#include "link/frame.h"
#include "link/status.h"
#include "link/transport.h"
#include "link/xflash.h"
#include "platform/timing.h"
#include "shared/state.h"

namespace {

constexpr uint16_t TABLE_PAGE = 0x1200;
constexpr uint16_t COMBINED_SLAVE_PAGE = 0x1600;
constexpr int PAGE_WORDS = 256;
constexpr int SLAVE_BLOCK_WORDS = 8;  // what one write into the SLAVE's flash carries
constexpr double STEP_PAUSE = 0.1;    // after every erase and page write [s]
constexpr double BLOCK_PAUSE = 0.05;  // after every block into the SLAVE's flash [s]

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

    // A step succeeded: "<side> table <what> k of n: <detail>", by default the operation's
    // own status text.
    void done(const char *what, int k, int n, const char *detail = szStatus) {
        char text[STATUS_SIZE * 2];
        std::snprintf(text, sizeof text, "%s table %s %d of %d: %s", side_, what, k, n, detail);
        SetStatus(text);
        ShowStatus(ST_PA);
        if (progress_) progress_(++done_, total_);
    }

    // A step failed; `consequence` says what that leaves in the sensor. Returns -1.
    int failed(const char *what, int k, int n, unsigned address,
               const char *consequence = "table incomplete!") {
        char text[STATUS_SIZE * 2];
        std::snprintf(text, sizeof text, "%s table %s %d of %d failed at 0x%X: %s", side_, what, k,
                      n, address, consequence);
        SetStatus(text);
        ShowStatus(ST_PA);
        return -1;
    }

    // The final text of a written table.
    int finished(const char *result) {
        char text[STATUS_SIZE * 2];
        std::snprintf(text, sizeof text, "%s table %s", side_, result);
        SetStatus(text);
        ShowStatus(ST_PA);
        return 1;
    }

    const char *side() const { return side_; }

  private:
    const char *side_;
    int total_, done_ = 0;
    TableProgress progress_;
};

// Reads the pages back with order 184 and compares them with the table. 1, or -1 with the first
// differing address (or the page that could not be read) in the status line.
int verify(const TableLayout &layout, const uint16_t *table, TableSteps &steps) {
    for (int p = 0; p < layout.pages; ++p) {
        const auto page = static_cast<uint16_t>(layout.firstPage + p * PAGE_WORDS);
        uint16_t back[PAGE_WORDS];
        if (ReadXFLASH(page, back, sizeof back) != 1)
            return steps.failed("read-back", p + 1, layout.pages, page, "table unverified!");
        const uint16_t *expected = table + p * PAGE_WORDS;
        const auto [differs, unused] = std::mismatch(back, back + PAGE_WORDS, expected);
        if (differs != back + PAGE_WORDS) {
            char text[STATUS_SIZE * 2];
            std::snprintf(text, sizeof text, "%s table read-back differs at 0x%X: table corrupt!",
                          steps.side(), unsigned(page + (differs - back)));
            SetStatus(text);
            ShowStatus(ST_PA);
            return -1;
        }
        steps.done("read-back", p + 1, layout.pages, "identical");
    }
    return 1;
}

}  // namespace

TableLayout TableLayoutOf(int sensor, uint16_t hwType) {
    if (hwType == COMBINED_HWTYPE) return {true, sensor == 1 ? TABLE_PAGE : COMBINED_SLAVE_PAGE, 4};
    return {sensor == 1, TABLE_PAGE, 8};
}

void NoteCombinedHardware(const CalibHeader &header) {
    if (header.typeCode == COMBINED_TYPE_CODE) HWTYPE = COMBINED_HWTYPE;
}

int WriteCalibHeader(int sensor) {
    const int index = sensor == 1 ? 0 : 1;
    const CalibHeader header = calibToWrite[index];
    const int result = WriteCalibDataToXF(&header, index + 1, sizeof header);
    NoteCombinedHardware(header);
    if (result == 1) calib[index] = header;
    return result;
}

int WriteCalibTable(int sensor, const uint16_t *table, TableProgress progress) {
    const TableLayout layout = TableLayoutOf(sensor, HWTYPE);
    const int pages = layout.pages;
    const int writes = layout.inMasterFlash ? pages : pages * PAGE_WORDS / SLAVE_BLOCK_WORDS;
    TableSteps steps(sensor, pages + writes + (layout.inMasterFlash ? pages : 0), progress);

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
        if (verify(layout, table, steps) != 1) return -1;
        return steps.finished("written and verified -> Ok!");
    }
    for (int b = 0; b < writes; ++b) {
        const auto address = static_cast<uint16_t>(layout.firstPage + b * SLAVE_BLOCK_WORDS);
        if (WriteXFLASHSLAVE(address, table + b * SLAVE_BLOCK_WORDS, SLAVE_BLOCK_WORDS * 2) != 1)
            return steps.failed("block", b + 1, writes, address);
        steps.done("block", b + 1, writes);
        pause(BLOCK_PAUSE);
    }
    // The SLAVE's flash has no read order.
    return steps.finished("written, unverified (no read-back) -> Ok!");
}

int SwitchLinearisation(uint16_t mode) {
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
    ShowStatus(ST_PA);
    return ok ? 1 : -1;
}
