// Panels: loading from the registered panel sets, the handle table, placement, visibility and
// the callback table of each panel.
#include <QApplication>
#include <QFileInfo>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <vector>

#include "gui/runtime/framepaint.h"
#include "gui/runtime/pacer.h"
#include "gui/runtime/runtime.h"
#include "gui/runtime/stylecache.h"

namespace {

std::vector<const PanelSet *> &Sets() {
    static std::vector<const PanelSet *> sets;
    return sets;
}

std::map<int, std::unique_ptr<Panel>> &Panels() {
    static std::map<int, std::unique_ptr<Panel>> panels;
    return panels;
}

int nextHandle = 1;
int dispatching = 0;  // callbacks running: a discarded panel's widgets must outlive them
DispatchGate dispatchGate = nullptr;  // see SetDispatchGate

// The Qt class each kind of control must have in the panel file.
const char *ClassOf(CtrlKind kind) {
    static constexpr const char *kClasses[] = {
        "QPushButton",    "QRadioButton", "QCheckBox", "QComboBox",    "QSpinBox",
        "QDoubleSpinBox", "QLineEdit",    "QLabel",    "QSlider",      "QPlainTextEdit",
        "KGraph",         "KLed",         "KTimer",    "QProgressBar",
    };
    return kClasses[static_cast<int>(kind)];
}

// Resource files are matched by file name, ignoring the directory and the letter case.
const PanelSet *FindSet(const char *resourceFile) {
    if (!resourceFile) return nullptr;
    const QString name = QFileInfo(Text(resourceFile)).fileName();
    for (const PanelSet *set : Sets())
        if (name.compare(QLatin1String(set->resource), Qt::CaseInsensitive) == 0) return set;
    return nullptr;
}

// Finds the controls of the panel's table on its widgets; false when one is missing.
bool CollectControls(const PanelSet &set, const PanelDef &def, Panel &panel) {
    for (const CtrlDef &c : set.controls) {
        if (c.resourceId != def.resourceId) continue;
        auto *w = panel.widget->findChild<QWidget *>(QLatin1String(c.name));
        if (!w || !w->inherits(ClassOf(c.kind))) {
            qWarning("LoadPanel: panel %s has no %s named %s", def.name, ClassOf(c.kind), c.name);
            return false;
        }
        panel.controls.emplace(c.id, Control{w, c.kind});
    }
    return true;
}

// True for the panel itself and every panel inside it or owned by it, windows included.
bool Owns(const QWidget *panel, const QWidget *w) {
    for (; w; w = w->parentWidget())
        if (w == panel) return true;
    return false;
}

void DiscardWidget(QWidget *w) {
    w->hide();
    if (dispatching > 0)
        w->deleteLater();
    else
        delete w;
}

// Places the client area of the panel; positions are relative to the parent panel or, for a
// top-level panel, to the screen. The resize that follows is the program's, not the operator's.
int Place(Panel &p, const QRect &geometry) {
    if (geometry.height() < 0 || geometry.width() < 0) return UIE_BAD_VALUE;
    p.sizing = true;
    p.widget->setGeometry(geometry);
    p.sizing = false;
    return 0;
}

}  // namespace

bool RegisterPanelSet(const PanelSet *set) {
    Sets().push_back(set);
    return true;
}

Panel *FindPanel(int panel) {
    auto it = Panels().find(panel);
    return it == Panels().end() ? nullptr : it->second.get();
}

Control *FindCtrl(int panel, int control) {
    Panel *p = FindPanel(panel);
    if (!p) return nullptr;
    auto it = p->controls.find(control);
    return it == p->controls.end() ? nullptr : &it->second;
}

QWidget *FindCtrlOfKind(int panel, int control, CtrlKind kind, const char *operation, int *error) {
    Control *c = FindCtrl(panel, control);
    if (!c) {
        *error = LookupError(operation, panel, control);
        return nullptr;
    }
    *error = UIE_NOT_SUPPORTED;
    return c->kind == kind ? c->widget : nullptr;
}

int LookupError(const char *operation, int panel, int control) {
    if (panel == 0) return UIE_BAD_PANEL;  // no panel loaded (a tool without windows): quietly
    if (!FindPanel(panel)) {
        qWarning("%s: no panel with handle %d", operation, panel);
        return UIE_BAD_PANEL;
    }
    qWarning("%s: panel %d has no control %d", operation, panel, control);
    return UIE_BAD_CONTROL;
}

void SetDispatchGate(DispatchGate gate) {
    dispatchGate = gate;
}

void Dispatch(int panel, int control, int event, int eventData1, int eventData2) {
    Panel *p = FindPanel(panel);
    if (!p) return;
    if (dispatchGate && !dispatchGate(panel, control, event)) return;
    CtrlCallbackPtr callback = p->callback;
    void *data = p->callbackData;
    if (control != 0) {
        Control *c = FindCtrl(panel, control);
        if (!c) return;
        callback = c->callback;
        data = c->callbackData;
    }
    if (!callback) return;
    ++dispatching;
    callback(panel, control, event, data, eventData1, eventData2);
    --dispatching;
}

int LoadPanel(int parentPanel, const char *resourceFile, int panelResourceId) {
    QWidget *parent = nullptr;
    if (parentPanel != 0) {
        Panel *p = FindPanel(parentPanel);
        if (!p) return LookupError("LoadPanel", parentPanel);
        parent = p->widget;
    }
    PaceRepaints(kRepaintsPerSecond);
    CacheStylePictures();
    const PanelSet *set = FindSet(resourceFile);
    if (!set) {
        qWarning("LoadPanel: no panel resource %s", resourceFile ? resourceFile : "(null)");
        return UIE_LOAD_FAILED;
    }
    auto def = std::find_if(set->panels.begin(), set->panels.end(),
                            [&](const PanelDef &d) { return d.resourceId == panelResourceId; });
    if (def == set->panels.end()) {
        qWarning("LoadPanel: %s has no panel %d", set->resource, panelResourceId);
        return UIE_LOAD_FAILED;
    }
    auto panel = std::make_unique<Panel>();
    panel->widget = new QWidget(parent);
    def->build(panel->widget);
    SkipInnerFramePaints(panel->widget);
    if (!CollectControls(*set, *def, *panel)) {
        delete panel->widget;
        return UIE_LOAD_FAILED;
    }
    if (parent && panel->widget->property("window").toBool()) {
        // A panel file may ask for a window of its own, like the full-screen touch panel: it
        // belongs to its parent panel but is placed on the screen.
        panel->widget->setWindowFlag(Qt::Window);
    } else if (parent) {
        // A child panel covers what lies beneath it and waits for DisplayPanel.
        panel->widget->setAutoFillBackground(true);
        panel->widget->hide();
    } else if (!panel->widget->layout()) {
        // A window smaller than the panel (a small screen) shows it scaled down to fit.
        panel->design = panel->widget->size();
    }
    const int handle = nextHandle++;
    ConnectEvents(handle, *panel);
    Panels().emplace(handle, std::move(panel));
    return handle;
}

int DiscardPanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("DiscardPanel", panel);
    QWidget *w = p->widget;
    std::erase_if(Panels(), [w](const auto &entry) { return Owns(w, entry.second->widget); });
    DiscardWidget(w);
    return 0;
}

int DisplayPanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("DisplayPanel", panel);
    p->widget->show();
    p->widget->raise();
    return 0;
}

int HidePanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("HidePanel", panel);
    p->widget->hide();
    return 0;
}

int SetPanelPos(int panel, int top, int left) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("SetPanelPos", panel);
    QRect g = p->widget->geometry();
    g.moveTo(left, top);
    return Place(*p, g);
}

int SetPanelSize(int panel, int height, int width) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("SetPanelSize", panel);
    return Place(*p, QRect(p->widget->geometry().topLeft(), QSize(width, height)));
}

int SetPanelAttribute(int panel, int attribute, int value) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("SetPanelAttribute", panel);
    QWidget *w = p->widget;
    switch (attribute) {
        case ATTR_VISIBLE:
            w->setVisible(value != 0);
            return 0;
        case ATTR_TOP:
        case ATTR_LEFT:
        case ATTR_HEIGHT:
        case ATTR_WIDTH: {
            QRect g = w->geometry();
            if (attribute == ATTR_TOP) g.moveTop(value);
            if (attribute == ATTR_LEFT) g.moveLeft(value);
            if (attribute == ATTR_HEIGHT) g.setHeight(value);
            if (attribute == ATTR_WIDTH) g.setWidth(value);
            return Place(*p, g);
        }
        case ATTR_WINDOW_ZOOM: {
            if (!w->isWindow()) return UIE_BAD_ATTRIBUTE;
            const Qt::WindowStates zoom = value == VAL_MAXIMIZE      ? Qt::WindowMaximized
                                          : value == VAL_FULL_SCREEN ? Qt::WindowFullScreen
                                                                     : Qt::WindowNoState;
            if (value != VAL_NO_ZOOM && zoom == Qt::WindowNoState) return UIE_BAD_VALUE;
            p->sizing = true;
            w->setWindowState((w->windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen)) |
                              zoom);
            p->sizing = false;
            return 0;
        }
        default:
            return UIE_BAD_ATTRIBUTE;
    }
}

int SetPanelAttribute(int panel, int attribute, const char *value) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("SetPanelAttribute", panel);
    if (attribute != ATTR_TITLE) return UIE_BAD_ATTRIBUTE;
    if (!value) return UIE_BAD_VALUE;
    p->widget->setWindowTitle(Text(value));
    return 0;
}

int GetPanelAttribute(int panel, int attribute, int *value) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("GetPanelAttribute", panel);
    if (!value) return UIE_BAD_VALUE;
    const QWidget *w = p->widget;
    switch (attribute) {
        case ATTR_VISIBLE:
            *value = w->isVisible();
            return 0;
        case ATTR_TOP:
            *value = w->geometry().y();
            return 0;
        case ATTR_LEFT:
            *value = w->geometry().x();
            return 0;
        case ATTR_HEIGHT:
            *value = w->height();
            return 0;
        case ATTR_WIDTH:
            *value = w->width();
            return 0;
        case ATTR_WINDOW_ZOOM:
            *value = w->isFullScreen()  ? VAL_FULL_SCREEN
                     : w->isMaximized() ? VAL_MAXIMIZE
                                        : VAL_NO_ZOOM;
            return 0;
        default:
            return UIE_BAD_ATTRIBUTE;
    }
}

int SetActivePanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("SetActivePanel", panel);
    p->widget->raise();
    p->widget->activateWindow();
    if (!p->widget->isAncestorOf(QApplication::focusWidget())) p->widget->setFocus();
    return 0;
}

int SetActiveCtrl(int panel, int control) {
    Control *c = FindCtrl(panel, control);
    if (!c) return LookupError("SetActiveCtrl", panel, control);
    c->widget->setFocus();
    return 0;
}

int BindCallbacks(int panel, std::span<const CallbackBinding> table) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("BindCallbacks", panel);
    p->callback = nullptr;
    for (auto &[id, c] : p->controls) c.callback = nullptr;
    int result = 0;
    for (const CallbackBinding &b : table) {
        if (b.control == 0) {
            p->callback = b.callback;
            p->callbackData = b.callbackData;
        } else if (Control *c = FindCtrl(panel, b.control)) {
            c->callback = b.callback;
            c->callbackData = b.callbackData;
        } else {
            result = LookupError("BindCallbacks", panel, b.control);
        }
    }
    return result;
}
