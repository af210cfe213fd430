#include "gui/app/exchangeguard.h"

#include "core/state/flags.h"
#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

// The controls marked sensorControl in the panel files: those that start an exchange or close
// the link (RUN, VIDEO, TEACH, RESET, SEND, GET, the connection controls, the recorder starts,
// the calibration pop-up's transfers).
constexpr const auto &kSensorControls = ktav_panels_sensorControl;

int savedDimmed[kSensorControls.size()];
bool guarding = false;

}  // namespace

void GuardExchange(bool waiting) {
    if (waiting) {
        guarding = stop_flag != STOP_RUNNING;  // a loop's exchanges leave presses as requests
        if (!guarding) return;
        for (size_t i = 0; i < kSensorControls.size(); ++i) {
            const int panel = PanelHandle(kSensorControls[i].resourceId);
            savedDimmed[i] = 0;
            GetCtrlAttribute(panel, kSensorControls[i].control, ATTR_DIMMED, &savedDimmed[i]);
            SetCtrlAttribute(panel, kSensorControls[i].control, ATTR_DIMMED, 1);
        }
        return;
    }
    if (!guarding) return;
    guarding = false;
    for (size_t i = 0; i < kSensorControls.size(); ++i)
        SetCtrlAttribute(PanelHandle(kSensorControls[i].resourceId), kSensorControls[i].control,
                         ATTR_DIMMED, savedDimmed[i]);
}
