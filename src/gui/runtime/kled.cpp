#include "gui/runtime/kled.h"

#include <QPainter>
#include <algorithm>

KLed::KLed(QWidget *parent) : QWidget(parent) {}

void KLed::setOn(bool on) {
    if (on_ == on) return;
    on_ = on;
    update();
}

void KLed::setOnColor(const QColor &color) {
    onColor_ = color;
    update();
}

void KLed::setOffColor(const QColor &color) {
    offColor_ = color;
    update();
}

void KLed::setText(const QString &text) {
    text_ = text;
    updateGeometry();
    update();
}

QSize KLed::sizeHint() const {
    const int lamp = fontMetrics().height() + 4;
    const int caption = text_.isEmpty() ? 0 : fontMetrics().horizontalAdvance(text_) + lamp / 2;
    return {lamp + caption, lamp};
}

QSize KLed::minimumSizeHint() const {
    return sizeHint();
}

void KLed::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The lamp is as high as the caption's line, as sizeHint reckons it, however high the
    // control is drawn.
    const int d = std::min({width(), height(), fontMetrics().height() + 4}) - 2;
    const QRectF lamp(1, (height() - d) / 2.0, d, d);
    painter.setPen(QPen(palette().color(QPalette::Dark), 1));
    painter.setBrush(on_ ? onColor_ : offColor_);
    painter.drawEllipse(lamp);
    if (text_.isEmpty()) return;
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect caption(d + d / 2, 0, width() - d - d / 2, height());
    painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter, text_);
}
