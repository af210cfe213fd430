#include "gui/touch/keyboard.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "core/link/status.h"
#include "core/system/process.h"
#include "gui/panels/handles.h"
#include "gui/runtime/screen.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

int pKeyboard = 0;

namespace {

constexpr int kNormalWindow = 1;

struct ScreenSize {
    int height = 480, width = 800;  // the design's, when the screen's is not known
};

ScreenSize screenSize() {
    ScreenSize screen;
    GetScreenSize(&screen.height, &screen.width);
    return screen;
}

// The command of KTAV_KEYBOARD, or onboard over the lower part of the screen.
std::string keyboardCommand() {
    const char *chosen = std::getenv("KTAV_KEYBOARD");
    if (chosen && *chosen) return chosen;
    const ScreenSize screen = screenSize();
    const int height = KeyboardHeight(screen.height);
    return "onboard -x 0 -y " + std::to_string(screen.height - height) + " -s " +
           std::to_string(screen.width) + "x" + std::to_string(height);
}

// Keeps the touch surface's field being typed into clear of the keyboard while it is up.
void keepFieldsVisible(bool up) {
    KeepFocusAbove(pTSD, up ? KeyboardHeight(screenSize().height) : 0);
}

// Causes the keyboard program is known to meet, found in what it wrote on its standard error
// (in lower case), and how the status line tells them.
constexpr struct {
    const char *found;
    const char *says;
} kKnownCauses[] = {
    {"cannot open display", "needs a display"},
    {"dbus", "needs a D-Bus session"},
    {"d-bus", "needs a D-Bus session"},
};
constexpr size_t kMaxCauseLength = 80;

// Why the keyboard program failed: a known cause, else the last line it wrote on its standard
// error; empty when it ended well (closed by its own button) or said nothing.
std::string failureCause(int handle) {
    if (!ExecutableFailed(handle)) return {};
    std::string output = ExecutableErrorOutput(handle);
    std::string lower = output;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto &cause : kKnownCauses)
        if (lower.find(cause.found) != std::string::npos) return cause.says;
    while (!output.empty() && std::isspace(static_cast<unsigned char>(output.back())))
        output.pop_back();
    return output.substr(output.find_last_of('\n') + 1).substr(0, kMaxCauseLength);
}

// The keyboard program ended by itself (closed by its own button, or failed right after its
// start): the toggle must not show a keyboard that is not there, and a failure says why.
void keyboardEnded(int handle) {
    if (handle != pKeyboard) return;
    const std::string cause = failureCause(handle);
    TerminateExecutable(handle);
    pKeyboard = 0;
    keepFieldsVisible(false);
    SetCtrlVal(pTSD, TSD_TOG_KEYBOARD, 0);
    ShowText(ST_TSD, cause.empty() ? "On-screen keyboard ended!"
                                   : ("On-screen keyboard ended: " + cause).c_str());
}

}  // namespace

int KeyboardHeight(int screenHeight) {
    return screenHeight * 2 / 5;
}

int CC_TTOGG_Keyboard(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (!on) {
        if (pKeyboard) TerminateExecutable(pKeyboard);
        pKeyboard = 0;
        keepFieldsVisible(false);
        return 0;
    }
    // A keyboard left running by an earlier touch session is taken over, not started twice.
    if (pKeyboard && !ExecutableHasTerminated(pKeyboard)) return 0;
    std::string whyNot;
    if (LaunchExecutableEx(keyboardCommand().c_str(), kNormalWindow, &pKeyboard, keyboardEnded,
                           &whyNot) != 0) {
        pKeyboard = 0;
        SetCtrlVal(panel, control, 0);
        ShowText(ST_TSD, ("On-screen keyboard not started: " + whyNot).c_str());
        return 0;
    }
    keepFieldsVisible(true);
    return 0;
}
