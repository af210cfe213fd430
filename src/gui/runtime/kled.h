// KLed: a round lamp with an optional caption beside it, on or off in two colours.
#pragma once

#include <QColor>
#include <QWidget>

class KLed : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool on READ isOn WRITE setOn)
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)
    Q_PROPERTY(QColor offColor READ offColor WRITE setOffColor)
    Q_PROPERTY(QString text READ text WRITE setText)

  public:
    explicit KLed(QWidget *parent = nullptr);

    bool isOn() const { return on_; }
    void setOn(bool on);
    QColor onColor() const { return onColor_; }
    void setOnColor(const QColor &color);
    QColor offColor() const { return offColor_; }
    void setOffColor(const QColor &color);
    QString text() const { return text_; }
    void setText(const QString &text);

    QSize sizeHint() const override;
    // A lamp never shrinks below its caption, so the caption is never cut.
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    bool on_ = false;
    QColor onColor_{0x00, 0xC0, 0x00};
    QColor offColor_{0x30, 0x40, 0x30};
    QString text_;
};
