#include "touch/keyboard.h"

#include <cstdlib>

#include "ktav_panels.h"
#include "link/status.h"
#include "platform/process.h"
#include "platform/ui/userint.h"
#include "shared/panels.h"

int pKeyboard = 0;

namespace {

constexpr int kNormalWindow = 1;

const char *keyboardCommand() {
    const char *chosen = std::getenv("KTAV_KEYBOARD");
    return chosen && *chosen ? chosen : "onboard";
}

// The keyboard program ended by itself (closed by its own button, or failed right after its
// start): the toggle must not show a keyboard that is not there.
void keyboardEnded(int handle) {
    if (handle != pKeyboard) return;
    TerminateExecutable(handle);
    pKeyboard = 0;
    SetCtrlVal(pTSD, TSD_TOG_KEYBOARD, 0);
    ShowText(ST_TSD, "On-screen keyboard ended!");
}

}  // namespace

int CC_TTOGG_Keyboard(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (!on) {
        if (pKeyboard) TerminateExecutable(pKeyboard);
        pKeyboard = 0;
        return 0;
    }
    // A keyboard left running by an earlier touch session is taken over, not started twice.
    if (pKeyboard && !ExecutableHasTerminated(pKeyboard)) return 0;
    if (LaunchExecutableEx(keyboardCommand(), kNormalWindow, &pKeyboard, keyboardEnded) != 0) {
        pKeyboard = 0;
        SetCtrlVal(panel, control, 0);
        ShowText(ST_TSD, "On-screen keyboard not started!");
    }
    return 0;
}
