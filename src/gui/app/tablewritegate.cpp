#include "gui/app/tablewritegate.h"

#include <algorithm>
#include <array>

#include "core/calib/calibtransfer.h"
#include "core/link/status.h"
#include "gui/app/linkview.h"
#include "gui/app/shell.h"
#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

// The controls marked sensorControl and those marked tableWriteHeld in the panel files: sensor
// operations, STOP, the surface switch, the desktop tabs and touch views under which the
// progress would vanish, the connection controls, the recorder starts and the calibration
// pop-up's own transfer controls.
constexpr auto kHeldControls = [] {
    std::array<MarkedCtrl, ktav_panels_sensorControl.size() + ktav_panels_tableWriteHeld.size()>
        held{};
    auto rest = std::ranges::copy(ktav_panels_sensorControl, held.begin()).out;
    std::ranges::copy(ktav_panels_tableWriteHeld, rest);
    return held;
}();

int savedDimmed[kHeldControls.size()];
bool closeHeld = false;
bool closeFromTouch = false;

bool isHeld(int panel, int control) {
    for (const MarkedCtrl &c : kHeldControls)
        if (c.control == control && PanelHandle(c.resourceId) == panel) return true;
    return false;
}

// Lets an event through unless a table write runs and it would disturb it. Help boxes (right
// click) and the panels' own size events stay available.
bool gate(int panel, int control, int event) {
    if (!TableWriteRunning()) return true;
    if (control == 0) {
        const bool mainPanel = panel == pPA || panel == pTSD;
        return !(mainPanel && event == EVENT_CLOSE && HoldCloseForTableWrite(panel == pTSD));
    }
    if (event == EVENT_RIGHT_CLICK || !isHeld(panel, control)) return true;
    ShowText(ST_ALL, "Writing the calibration table: wait until it is done!");
    return false;
}

// Dims the held controls while the write runs; afterwards each gets back the state it had, and
// a held close is carried out.
void onTableWrite(bool running) {
    for (size_t i = 0; i < kHeldControls.size(); ++i) {
        const int panel = PanelHandle(kHeldControls[i].resourceId);
        const int control = kHeldControls[i].control;
        if (running) {
            savedDimmed[i] = 0;
            GetCtrlAttribute(panel, control, ATTR_DIMMED, &savedDimmed[i]);
        }
        SetCtrlAttribute(panel, control, ATTR_DIMMED, running ? 1 : savedDimmed[i]);
    }
    if (running || !closeHeld) return;
    closeHeld = false;
    SetStatusNote(nullptr);
    ShowText(ST_ALL, "Calibration table write ended: closing as asked.");
    CloseProgram(closeFromTouch);
}

}  // namespace

void InstallTableWriteGate() {
    SetDispatchGate(gate);
    SetTableWriteView(onTableWrite);
}

bool HoldCloseForTableWrite(bool fromTouchPanel) {
    if (!TableWriteRunning()) return false;
    closeHeld = true;
    closeFromTouch = fromTouchPanel;
    ShowText(ST_ALL, "Writing the calibration table: closing when it is done.");
    SetStatusNote("Closing when done: ");  // the table's progress texts follow
    return true;
}
