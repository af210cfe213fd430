// KTimer: the timer control of a panel. Invisible; while active it emits tick() every
// `interval` seconds, which the run-time passes to the control's callback as a timer tick.
#pragma once

#include <QTimer>
#include <QWidget>

class KTimer : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double interval READ interval WRITE setInterval)
    Q_PROPERTY(bool active READ isActive WRITE setActive)

  public:
    explicit KTimer(QWidget *parent = nullptr);

    double interval() const { return timer_.interval() / 1000.0; }
    void setInterval(double seconds);
    bool isActive() const { return timer_.isActive(); }
    void setActive(bool on);

  signals:
    void tick();

  private:
    QTimer timer_;
};
