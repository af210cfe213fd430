#include "gui/runtime/ktimer.h"

#include <algorithm>
#include <cmath>

KTimer::KTimer(QWidget *parent) : QWidget(parent) {
    hide();
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &KTimer::tick);
}

void KTimer::setInterval(double seconds) {
    timer_.setInterval(std::max(1, static_cast<int>(std::lround(seconds * 1000.0))));
}

void KTimer::setActive(bool on) {
    if (on)
        timer_.start();
    else
        timer_.stop();
}
