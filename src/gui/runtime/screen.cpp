#include "gui/runtime/screen.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include "gui/runtime/indicators.h"
#include "gui/runtime/runtime.h"

namespace {
int nextRuntimeControl = 1000000;  // above every id the generator gives
}  // namespace

int NewCtrl(int panel, int style, const char *label, int top, int left) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("NewCtrl", panel);
    if (style != CTRL_TEXT_MSG) return UIE_NOT_SUPPORTED;
    auto *text = new QLabel(Text(label), p->widget);
    text->setAutoFillBackground(true);
    text->move(left, top);
    text->adjustSize();
    text->show();
    const int id = nextRuntimeControl++;
    p->controls.emplace(id, Control{text, CtrlKind::Label});
    return id;
}

int SizeCtrlToText(int panel, int control) {
    int error = 0;
    QWidget *label = FindCtrlOfKind(panel, control, CtrlKind::Label, "SizeCtrlToText", &error);
    if (!label) return error;
    label->adjustSize();
    label->setProperty(kSizedToText, true);  // and keeps fitting it when its panel is scaled
    return 0;
}

int DisplayImageFile(int panel, int control, const char *path) {
    int error = 0;
    auto *label = static_cast<QLabel *>(
        FindCtrlOfKind(panel, control, CtrlKind::Label, "DisplayImageFile", &error));
    if (!label) return error;
    const QPixmap picture(Text(path));
    if (picture.isNull()) return UIE_BAD_VALUE;
    label->setPixmap(picture);
    return 0;
}

int SetWaitCursor(int on) {
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) return 0;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    return 0;
}

int GetScreenSize(int *height, int *width) {
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) return UIE_NOT_SUPPORTED;
    *height = screen->geometry().height();
    *width = screen->geometry().width();
    return 0;
}

int SavePanelImage(int panel, const char *path) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("SavePanelImage", panel);
    ShowPendingValues(nullptr);
    return p->widget->grab().save(Text(path), "PNG") ? 0 : UIE_BAD_VALUE;
}
