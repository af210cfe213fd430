#include <QFont>
#include <QGridLayout>
#include <QLayout>
#include <QWidget>
#include <cmath>

#include "platform/ui/runtime.h"
#include "platform/ui/screen.h"

namespace {

// The designed sizes are kept on each widget and layout the first time it is scaled, so every
// later scale starts from the design and never compounds.
constexpr const char *kFontSize = "designFontSize";
constexpr const char *kMinSize = "designMinSize";
constexpr const char *kMaxSize = "designMaxSize";
constexpr const char *kMargins = "designMargins";
constexpr const char *kSpacing = "designSpacing";

int scaled(int length, double factor) {
    return static_cast<int>(std::lround(length * factor));
}

QSize scaled(QSize size, double factor) {
    auto one = [factor](int length) {
        return length >= QWIDGETSIZE_MAX ? QWIDGETSIZE_MAX : scaled(length, factor);
    };
    return {one(size.width()), one(size.height())};
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
