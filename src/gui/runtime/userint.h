// The user-interface run-time: panels, controls, graphs, pop-ups and the event loop.
// Panels are integer handles from LoadPanel, controls integer ids generated from the panel files
// (<PANEL>_<CONTROL>). Operations return 0 (LoadPanel: a handle, the plot operations: a plot
// handle) on success and a negative UIE_ code on failure. Colours are 0xRRGGBB.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>

// Failure codes.
inline constexpr int UIE_LOAD_FAILED = -1;    // unknown resource file or panel, control missing
inline constexpr int UIE_BAD_PANEL = -2;      // no panel with that handle
inline constexpr int UIE_BAD_CONTROL = -3;    // no such control on the panel
inline constexpr int UIE_BAD_ATTRIBUTE = -4;  // attribute not valid for that control or panel
inline constexpr int UIE_BAD_VALUE = -5;      // value not valid for that control or attribute
inline constexpr int UIE_BAD_INDEX = -6;      // list item, text line, trace or cursor out of range
inline constexpr int UIE_BAD_PLOT = -7;       // no plot with that handle
inline constexpr int UIE_NOT_SUPPORTED = -8;  // operation not valid for that kind of control

// Event codes passed to callbacks.
inline constexpr int EVENT_COMMIT = 1;
inline constexpr int EVENT_VAL_CHANGED = 2;
inline constexpr int EVENT_LEFT_CLICK = 3;  // eventData1/2: y/x within the control
inline constexpr int EVENT_LEFT_DOUBLE_CLICK = 4;
inline constexpr int EVENT_RIGHT_CLICK = 5;
inline constexpr int EVENT_RIGHT_DOUBLE_CLICK = 6;
inline constexpr int EVENT_KEYPRESS = 7;  // eventData1: the key code
inline constexpr int EVENT_CLOSE = 11;    // to the panel callback of a top-level panel
inline constexpr int EVENT_PANEL_SIZE = 12;
inline constexpr int EVENT_TIMER_TICK = 15;

// Attributes of panels.
inline constexpr int ATTR_TITLE = 1;
inline constexpr int ATTR_VISIBLE = 2;  // panels and controls: 1 shown, 0 hidden
inline constexpr int ATTR_TOP = 3;      // relative to the parent panel, or the screen
inline constexpr int ATTR_LEFT = 4;
inline constexpr int ATTR_HEIGHT = 5;
inline constexpr int ATTR_WIDTH = 6;
inline constexpr int ATTR_WINDOW_ZOOM = 7;  // windows: VAL_NO_ZOOM, VAL_MAXIMIZE, VAL_FULL_SCREEN

// Attributes of controls.
inline constexpr int ATTR_DIMMED = 20;        // 1 dimmed (no input), 0 enabled
inline constexpr int ATTR_TEXT_COLOR = 21;    // text colour
inline constexpr int ATTR_TEXT_BGCOLOR = 22;  // background of the text (a button's face)
inline constexpr int ATTR_LABEL_TEXT = 23;    // caption, or the text of the buddy label
inline constexpr int ATTR_PRECISION = 24;     // decimals of a real numeric control
inline constexpr int ATTR_MIN_VALUE = 25;     // numeric and slider limits
inline constexpr int ATTR_MAX_VALUE = 26;
inline constexpr int ATTR_INCR_VALUE = 27;  // step of the arrows
inline constexpr int ATTR_TOOLTIP_TEXT = 28;
inline constexpr int ATTR_CTRL_MODE = 29;  // VAL_INDICATOR or VAL_HOT
inline constexpr int ATTR_TEXT_POINT_SIZE = 30;
inline constexpr int ATTR_ON_COLOR = 31;   // lamp colour when on
inline constexpr int ATTR_OFF_COLOR = 32;  // lamp colour when off
inline constexpr int ATTR_INTERVAL = 33;   // timer control: seconds between ticks
inline constexpr int ATTR_ENABLED = 34;    // timer control: 1 ticking, 0 stopped
inline constexpr int ATTR_XNAME = 40;      // graph axis names and label decimals
inline constexpr int ATTR_YNAME = 41;
inline constexpr int ATTR_XPRECISION = 42;
inline constexpr int ATTR_YPRECISION = 43;
inline constexpr int ATTR_POINTS_PER_SCREEN = 44;  // strip chart: samples across the chart
inline constexpr int ATTR_SCROLL_MODE = 45;        // strip chart: VAL_CONTINUOUS
inline constexpr int ATTR_NUM_TRACES = 46;         // strip chart: traces, 1..16

// Attributes of graph cursors (SetCursorAttribute) and strip-chart traces (SetTraceAttribute).
inline constexpr int ATTR_CURSOR_POINT_STYLE = 60;
inline constexpr int ATTR_CURSOR_COLOR = 61;
inline constexpr int ATTR_TRACE_COLOR = 62;
inline constexpr int ATTR_TRACE_VISIBLE = 63;

// Attribute and argument values.
inline constexpr int VAL_INDICATOR = 0;
inline constexpr int VAL_HOT = 1;
inline constexpr int VAL_NO_ZOOM = 0;
inline constexpr int VAL_MAXIMIZE = 1;
inline constexpr int VAL_FULL_SCREEN = 2;
inline constexpr int VAL_XAXIS = 0;
inline constexpr int VAL_LEFT_YAXIS = 1;
inline constexpr int VAL_RIGHT_YAXIS = 2;
inline constexpr int VAL_MANUAL = 0;
inline constexpr int VAL_CONTINUOUS = 1;
inline constexpr int VAL_DELAYED_DRAW = 0;
inline constexpr int VAL_IMMEDIATE_DRAW = 1;
inline constexpr int VAL_ALL_PLOTS = -1;
inline constexpr int VAL_THIN_LINE = 0;  // plot styles
inline constexpr int VAL_SCATTER = 1;
inline constexpr int VAL_CONNECTED_POINTS = 5;
inline constexpr int VAL_SIMPLE_DOT = 10;  // point styles
inline constexpr int VAL_SOLID_SQUARE = 13;
inline constexpr int VAL_NO_POINT = 24;
inline constexpr int VAL_OK_BUTTON = 0;  // FileSelectPopup button labels
inline constexpr int VAL_SAVE_BUTTON = 1;
inline constexpr int VAL_SELECT_BUTTON = 2;
inline constexpr int VAL_LOAD_BUTTON = 3;

// Callbacks: control 0 is the panel itself. They return 0.
using CtrlCallbackPtr = int (*)(int panel, int control, int event, void *callbackData,
                                int eventData1, int eventData2);
struct CallbackBinding {
    int control;  // a control id of the panel, or 0 for the panel callback
    CtrlCallbackPtr callback;
    void *callbackData = nullptr;
};

// Panels. A panel is a window when it has no parent (0) or when its file gives the top-level
// widget the bool property `window`; otherwise it lies inside its parent panel.
int LoadPanel(int parentPanel, const char *resourceFile, int panelResourceId);
int DiscardPanel(int panel);  // with its child panels
int DisplayPanel(int panel);  // shows and raises
int HidePanel(int panel);
int SetPanelPos(int panel, int top, int left);
int SetPanelSize(int panel, int height, int width);
int SetPanelAttribute(int panel, int attribute, int value);
int SetPanelAttribute(int panel, int attribute, const char *value);
int GetPanelAttribute(int panel, int attribute, int *value);
int SetActivePanel(int panel);
int SetActiveCtrl(int panel, int control);
int BindCallbacks(int panel, std::span<const CallbackBinding> table);  // replaces earlier ones
// Asked before an event reaches its callback: false keeps it away. nullptr lets every event pass.
using DispatchGate = bool (*)(int panel, int control, int event);
void SetDispatchGate(DispatchGate gate);

// Control values. Text boxes: SetCtrlVal appends. Rings: the value is the item's value.
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char *value);
int GetCtrlVal(int panel, int control, int *value);
int GetCtrlVal(int panel, int control, short *value);
int GetCtrlVal(int panel, int control, unsigned short *value);
int GetCtrlVal(int panel, int control, double *value);
int GetCtrlVal(int panel, int control, char *value, std::size_t size);  // always terminated
template <std::size_t N>
int GetCtrlVal(int panel, int control, char (&value)[N]) {
    return GetCtrlVal(panel, control, value, N);
}

// Control attributes.
int SetCtrlAttribute(int panel, int control, int attribute, int value);
// The same attribute and value on several controls of a panel; the first failure's code.
int SetCtrlsAttribute(int panel, std::initializer_list<int> controls, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, double value);
int SetCtrlAttribute(int panel, int control, int attribute, const char *value);
int GetCtrlAttribute(int panel, int control, int attribute, int *value);
int GetCtrlAttribute(int panel, int control, int attribute, double *value);
int GetCtrlAttribute(int panel, int control, int attribute, char *value, std::size_t size);
int GetCtrlBoundingRect(int panel, int control, int *top, int *left, int *height, int *width);

// Floating help boxes: shows text box `box` of `panel` with `text` at the control's left + dx
// and top + dy, or hides it when it is shown.
int ToggleHelpBox(int panel, int box, int control, int dx, int dy, const char *text);

// Text boxes: lines count from 0.
int ResetTextBox(int panel, int control, const char *text);
int ReplaceTextBoxLine(int panel, int control, int line, const char *text);  // pads with lines

// Lists of rings and combo boxes: indices count from 0; index -1 appends.
int ClearListCtrl(int panel, int control);
int InsertListItem(int panel, int control, int index, const char *label, int value);
int ReplaceListItem(int panel, int control, int index, const char *label, int value);
int DeleteListItem(int panel, int control, int index, int count);  // count -1: to the end
int GetNumListItems(int panel, int control, int *count);
// The index of the first item with that value or label; -1 when there is none.
int GetIndexFromValue(int panel, int control, int *index, int value);
int GetIndexFromLabel(int panel, int control, int *index, const char *label);
int GetValueFromIndex(int panel, int control, int index, int *value);
int GetLabelFromIndex(int panel, int control, int index, char *label, std::size_t size);

// Graphs. Plot operations return a plot handle (> 0).
int PlotXY(int panel, int control, const double *x, const unsigned short *y, int count,
           int plotStyle, int pointStyle, int color);
int PlotXY(int panel, int control, const double *x, const double *y, int count, int plotStyle,
           int pointStyle, int color);
int PlotRectangle(int panel, int control, double x1, double y1, double x2, double y2,
                  int frameColor, int fillColor);
int DeleteGraphPlot(int panel, int control, int plotHandle, int drawMode);  // VAL_ALL_PLOTS
int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max);
int SetGraphCursor(int panel, int control, int cursor, double x, double y);  // cursor 1 or 2
int SetCursorAttribute(int panel, int control, int cursor, int attribute, int value);
// Strip charts: values of all traces interleaved, trace 1 first; appended to each trace.
int PlotStripChart(int panel, int control, const double *values, int count);
int SetTraceAttribute(int panel, int control, int trace, int attribute, int value);  // from 1

// Pop-ups; modal. ConfirmPopup: 1 yes, 0 no. FileSelectPopup: 0 nothing chosen, 1 an existing
// file, 2 a new file, negative on error; the path goes to pathOut.
int MessagePopup(const char *title, const char *message);
int ConfirmPopup(const char *title, const char *message);
// Message and question pop-ups asked over `panel`'s window come in that panel's font with
// buttons at least `pixels` high and twice as wide: for a finger on the touch surface.
int SetPopupTarget(int panel, int pixels);
int FileSelectPopup(const char *defaultDirectory, const char *defaultFileName,
                    const char *filePattern, const char *title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char *pathOut, std::size_t pathSize);
template <std::size_t N>
int FileSelectPopup(const char *defaultDirectory, const char *defaultFileName,
                    const char *filePattern, const char *title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char (&pathOut)[N]) {
    return FileSelectPopup(defaultDirectory, defaultFileName, filePattern, title, buttonLabel,
                           restrictDirectory, restrictExtension, allowCancel, allowMakeDirectory,
                           pathOut, N);
}

// Event loop: RunUserInterface returns the code given to QuitUserInterface.
int RunUserInterface();
int QuitUserInterface(int code);
