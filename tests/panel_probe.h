// Reading what a panel shows, for the tests: a control's value, text or attribute, with a
// recognisable value (-1, empty) when the control cannot be read.
#pragma once
#include <string>

#include "platform/ui/userint.h"

inline int value(int panel, int control) {
    int v = -1;
    GetCtrlVal(panel, control, &v);
    return v;
}

inline double real(int panel, int control) {
    double v = -1;
    GetCtrlVal(panel, control, &v);
    return v;
}

inline std::string text(int panel, int control) {
    char buffer[8192] = "";
    GetCtrlVal(panel, control, buffer, sizeof buffer);
    return buffer;
}

inline int attribute(int panel, int control, int which) {
    int v = -1;
    GetCtrlAttribute(panel, control, which, &v);
    return v;
}

inline int dimmed(int panel, int control) {
    return attribute(panel, control, ATTR_DIMMED);
}
