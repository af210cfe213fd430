#include "gui/runtime/framepaint.h"

#include <QCoreApplication>
#include <QFrame>
#include <QPaintEvent>
#include <QRegion>

namespace {

// Everything a plain frame paints lies outside its contents rectangle. (A group box is left
// alone: the style fills its inside.)
class InnerPaintFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject *object, QEvent *event) override {
        if (event->type() != QEvent::Paint) return false;
        auto *frame = static_cast<QWidget *>(object);
        const QRegion border = QRegion(frame->rect()) - QRegion(frame->contentsRect());
        return !static_cast<QPaintEvent *>(event)->region().intersects(border);
    }
};

}  // namespace

void SkipInnerFramePaints(QWidget *panel) {
    static InnerPaintFilter *filter = new InnerPaintFilter(QCoreApplication::instance());
    for (QWidget *w : panel->findChildren<QWidget *>())
        if (w->metaObject() == &QFrame::staticMetaObject) w->installEventFilter(filter);
}
