#include "gui/runtime/userint.h"

int ToggleHelpBox(int panel, int box, int control, int dx, int dy, const char *text) {
    int top = 0, left = 0, height = 0, width = 0;
    if (const int result = GetCtrlBoundingRect(panel, control, &top, &left, &height, &width))
        return result;
    SetCtrlAttribute(panel, box, ATTR_LEFT, left + dx);
    SetCtrlAttribute(panel, box, ATTR_TOP, top + dy);
    int visible = 0;
    GetCtrlAttribute(panel, box, ATTR_VISIBLE, &visible);
    SetCtrlAttribute(panel, box, ATTR_VISIBLE, !visible);
    return ResetTextBox(panel, box, text);
}
