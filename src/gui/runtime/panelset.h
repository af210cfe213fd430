// The table of one panel set: the panels of a resource with their builders and every control
// with its id and kind. Written by the generator from the panel files; read by the run-time.
#pragma once

#include <span>

class QWidget;

// The widget class of a control; the run-time reads and writes values by it.
enum class CtrlKind {
    PushButton,     // command button; checkable: toggle button
    RadioButton,    // selector
    CheckBox,       // check box or binary switch
    ComboBox,       // ring or drop-down; editable: combo box with a list
    SpinBox,        // integer numeric entry or indicator
    DoubleSpinBox,  // real numeric entry or indicator
    LineEdit,       // string entry or indicator
    Label,          // text message
    Slider,         // slider
    PlainTextEdit,  // text box
    Graph,          // KGraph: graph or strip chart
    Led,            // KLed: lamp
    Timer,          // KTimer: timer control
    ProgressBar,    // progress indicator of a long operation
};

struct PanelDef {
    int resourceId;
    const char *name;           // objectName of the top-level widget
    void (*build)(QWidget *w);  // creates the panel's widgets on w
};

struct CtrlDef {
    int id;
    int resourceId;    // the panel the control belongs to
    const char *name;  // objectName
    CtrlKind kind;
};

// A control of a generated list of marked controls: its panel's resource id and its id.
struct MarkedCtrl {
    int resourceId;
    int control;
};

struct PanelSet {
    const char *resource;  // the resource file name that LoadPanel is given
    std::span<const PanelDef> panels;
    std::span<const CtrlDef> controls;
};

// Makes a panel set known to LoadPanel; called once per set from its generated table.
bool RegisterPanelSet(const PanelSet *set);
