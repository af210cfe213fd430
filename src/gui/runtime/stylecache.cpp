#include "gui/runtime/stylecache.h"

#include <QApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QProxyStyle>
#include <QStyleOption>
#include <cstring>

namespace {

class PictureCachingStyle : public QProxyStyle {
  public:
    explicit PictureCachingStyle(const QString &baseStyle) : QProxyStyle(baseStyle) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override {
        const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
        if (element != PE_PanelLineEdit || !frame) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const QString key = keyOf(*option, *painter, element, frame->lineWidth, frame->midLineWidth,
                                  int(frame->features));
        drawCached(key, option, painter, [&](const QRect &rect, QPainter &p) {
            QStyleOptionFrame copy = *frame;
            copy.rect = rect;
            QProxyStyle::drawPrimitive(element, &copy, &p, widget);
        });
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override {
        if (const auto *box = qstyleoption_cast<const QStyleOptionGroupBox *>(option);
            box && control == CC_GroupBox) {
            const QString key =
                keyOf(*option, *painter, 1000 + control, int(box->textAlignment),
                      int(box->textColor.rgba()), int(box->features), box->lineWidth,
                      int(box->subControls), int(box->activeSubControls)) +
                box->text;
            drawCached(key, option, painter, [&](const QRect &rect, QPainter &p) {
                QStyleOptionGroupBox copy = *box;
                copy.rect = rect;
                QProxyStyle::drawComplexControl(control, &copy, &p, widget);
            });
        } else if (const auto *spin = qstyleoption_cast<const QStyleOptionSpinBox *>(option);
                   spin && control == CC_SpinBox) {
            const QString key = keyOf(*option, *painter, 1000 + control, int(spin->buttonSymbols),
                                      int(spin->stepEnabled), int(spin->frame),
                                      int(spin->subControls), int(spin->activeSubControls));
            drawCached(key, option, painter, [&](const QRect &rect, QPainter &p) {
                QStyleOptionSpinBox copy = *spin;
                copy.rect = rect;
                QProxyStyle::drawComplexControl(control, &copy, &p, widget);
            });
        } else {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
        }
    }

  private:
    // The picture's key: what every picture depends on (size, state, direction, palette, font,
    // pixel ratio) and the drawing's own fields, as the raw bytes of a record: a string built
    // without any number formatting.
    template <typename... Fields>
    static QString keyOf(const QStyleOption &option, const QPainter &painter, Fields... fields) {
        const qint64 record[] = {option.rect.width(),
                                 option.rect.height(),
                                 int(option.state),
                                 int(option.direction),
                                 option.palette.cacheKey(),
                                 qint64(qHash(painter.font())),
                                 qRound(painter.device()->devicePixelRatioF() * 100),
                                 fields...};
        QString key(static_cast<qsizetype>(sizeof record / 2), Qt::Uninitialized);
        std::memcpy(key.data(), record, sizeof record);
        return key;
    }

    // Draws through `draw` into a picture of the option's size at the origin, once per key,
    // and copies the picture to the option's place.
    template <typename Draw>
    static void drawCached(const QString &key, const QStyleOption *option, QPainter *painter,
                           Draw draw) {
        QPixmap picture;
        if (!QPixmapCache::find(key, &picture)) {
            const qreal ratio = painter->device()->devicePixelRatioF();
            picture = QPixmap(option->rect.size() * ratio);
            picture.setDevicePixelRatio(ratio);
            picture.fill(Qt::transparent);
            QPainter p(&picture);
            p.setFont(painter->font());
            p.setRenderHints(painter->renderHints());
            draw(QRect(QPoint(0, 0), option->rect.size()), p);
            p.end();
            QPixmapCache::insert(key, picture);
        }
        drawPicture(painter, option->rect, picture);
    }

    // Copies a picture to its place. Under a paint region of several rectangles Qt blends it
    // line by line and hands a blend of about a hundred lines or more to its worker threads,
    // waking them and waiting for them on every repaint; one rectangle at a time it is a copy.
    static void drawPicture(QPainter *painter, const QRect &place, const QPixmap &picture) {
        const QRegion exposed =
            painter->paintEngine() ? painter->paintEngine()->systemClip() : QRegion();
        if (exposed.rectCount() <= 1 || painter->hasClipping()) {
            painter->drawPixmap(place.topLeft(), picture);
            return;
        }
        const QTransform toPlace = painter->deviceTransform().inverted();
        painter->save();
        for (const QRect &rect : exposed) {
            const QRect part = toPlace.mapRect(rect) & place;
            if (part.isEmpty()) continue;
            painter->setClipRect(part);
            painter->drawPixmap(place.topLeft(), picture);
        }
        painter->restore();
    }
};

}  // namespace

void CacheStylePictures() {
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app || dynamic_cast<PictureCachingStyle *>(QApplication::style())) return;
    QApplication::setStyle(new PictureCachingStyle(QApplication::style()->name()));
}
