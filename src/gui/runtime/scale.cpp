#include <QFont>
#include <QGridLayout>
#include <QLayout>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "gui/runtime/runtime.h"
#include "gui/runtime/screen.h"

namespace {

// The designed sizes are kept on each widget and layout the first time it is scaled, so every
// later scale starts from the design and never compounds.
constexpr const char *kFontSize = "designFontSize";
constexpr const char *kMinSize = "designMinSize";
constexpr const char *kMaxSize = "designMaxSize";
constexpr const char *kMargins = "designMargins";
constexpr const char *kSpacing = "designSpacing";
constexpr const char *kGeometry = "designGeometry";

int scaled(int length, double factor) {
    return static_cast<int>(std::lround(length * factor));
}

QSize scaled(QSize size, double factor) {
    auto one = [factor](int length) {
        return length >= QWIDGETSIZE_MAX ? QWIDGETSIZE_MAX : scaled(length, factor);
    };
    return {one(size.width()), one(size.height())};
}

// Scaled by its corners, so that neighbours that touch in the design touch when scaled.
QRect scaled(QRect r, double factor) {
    const QPoint topLeft(scaled(r.left(), factor), scaled(r.top(), factor));
    const QPoint end(scaled(r.left() + r.width(), factor), scaled(r.top() + r.height(), factor));
    return {topLeft, QSize(end.x() - topLeft.x(), end.y() - topLeft.y())};
}

template <typename T, typename Read>
T design(QObject *object, const char *name, Read read) {
    const QVariant kept = object->property(name);
    if (kept.isValid()) return kept.value<T>();
    const T now = read();
    object->setProperty(name, QVariant::fromValue(now));
    return now;
}

// Fonts set in the panel file are scaled; the others follow their parent's.
bool ownFont(const QWidget *w, bool isPanel) {
    return isPanel || w->testAttribute(Qt::WA_SetFont);
}

void keepDesign(QWidget *w, bool isPanel) {
    if (ownFont(w, isPanel)) design<double>(w, kFontSize, [w] { return w->font().pointSizeF(); });
    design<QSize>(w, kMinSize, [w] { return w->minimumSize(); });
    design<QSize>(w, kMaxSize, [w] { return w->maximumSize(); });
}

void scaleWidget(QWidget *w, bool isPanel, double factor) {
    // A widget whose font Qt set from its parent's after the design was kept has none kept.
    if (const QVariant kept = w->property(kFontSize); kept.isValid()) {
        QFont font = w->font();
        font.setPointSizeF(kept.toDouble() * factor);
        w->setFont(font);
    }
    if (isPanel) return;  // the program sizes panels itself
    w->setMinimumSize(scaled(w->property(kMinSize).toSize(), factor));
    w->setMaximumSize(scaled(w->property(kMaxSize).toSize(), factor));
}

bool isPanel(const QWidget *w) {
    return w->property("resourceId").isValid();
}

// A control, decoration or child panel that its panel places by position, not by a layout.
bool placedByPosition(const QWidget *w) {
    const QWidget *parent = w->parentWidget();
    return parent && isPanel(parent) && !parent->layout();
}

// Scales a panel placed by positions, with its child panels, as a whole: the fonts and the
// place and size of everything placed on it, its own controls shifted by `offset`; its windows of
// their own are left alone.
void scaleWhole(QWidget *panel, double factor, QPoint offset) {
    QList<QWidget *> widgets;
    for (QWidget *w : panel->findChildren<QWidget *>())
        if (w->window() == panel->window()) widgets.append(w);
    keepDesign(panel, true);
    for (QWidget *w : widgets) {
        keepDesign(w, isPanel(w));
        if (placedByPosition(w)) design<QRect>(w, kGeometry, [w] { return w->geometry(); });
    }
    scaleWidget(panel, true, factor);
    for (QWidget *w : widgets) {
        scaleWidget(w, isPanel(w), factor);
        if (placedByPosition(w)) {
            const QRect place = scaled(w->property(kGeometry).toRect(), factor);
            w->setGeometry(w->parentWidget() == panel ? place.translated(offset) : place);
        }
        if (w->property(kSizedToText).toBool()) w->adjustSize();
    }
}

void scaleLayout(QLayout *layout, double factor) {
    const QMargins m =
        design<QMargins>(layout, kMargins, [layout] { return layout->contentsMargins(); });
    layout->setContentsMargins(scaled(m.left(), factor), scaled(m.top(), factor),
                               scaled(m.right(), factor), scaled(m.bottom(), factor));
    if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
        const QSize s = design<QSize>(grid, kSpacing, [grid] {
            return QSize(grid->horizontalSpacing(), grid->verticalSpacing());
        });
        grid->setHorizontalSpacing(scaled(s.width(), factor));
        grid->setVerticalSpacing(scaled(s.height(), factor));
        return;
    }
    const int s = design<int>(layout, kSpacing, [layout] { return layout->spacing(); });
    layout->setSpacing(scaled(s, factor));
}

}  // namespace

int ScalePanelContents(int panel, double factor) {
    Panel *p = FindPanel(panel);
    if (!p) return LookupError("ScalePanelContents", panel);
    if (!(factor > 0.0)) return UIE_BAD_VALUE;
    // Child panels scale with their own call. Every design is kept before anything changes,
    // since a parent's font reaches its children.
    QList<QWidget *> widgets;
    for (QWidget *w : p->widget->findChildren<QWidget *>())
        if (!w->property("resourceId").isValid()) widgets.append(w);
    keepDesign(p->widget, true);
    for (QWidget *w : widgets) keepDesign(w, false);
    scaleWidget(p->widget, true, factor);
    for (QWidget *w : widgets) scaleWidget(w, false, factor);
    for (QLayout *layout : p->widget->findChildren<QLayout *>()) scaleLayout(layout, factor);
    return 0;
}

void FitToWindow(Panel &p) {
    if (p.design.isEmpty()) return;
    const QSize window = p.widget->size();
    const double factor = std::min({1.0, static_cast<double>(window.width()) / p.design.width(),
                                    static_cast<double>(window.height()) / p.design.height()});
    if (!(factor > 0.0)) return;
    // Scaled down, the contents lie in the middle of the window; else where the design has them.
    const QSize shown = scaled(p.design, factor);
    const QPoint offset = factor < 1.0 ? QPoint((window.width() - shown.width()) / 2,
                                                (window.height() - shown.height()) / 2)
                                       : QPoint();
    if (factor == p.scale && offset == p.offset) return;
    p.scale = factor;
    p.offset = offset;
    scaleWhole(p.widget, factor, offset);
}
