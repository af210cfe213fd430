#include "scripted_line.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/system/timing.h"

namespace {

ScriptedLine *current = nullptr;

const ClockStandIn lineClock{[] { return current->now(); },
                             [](double seconds) { current->wait(seconds); }};

}  // namespace

void ScriptedLine::install(int port) {
    port_ = port;
    current = this;
    SetComStandIn(port, this);
    SetClockStandIn(&lineClock);
    play({});
}

void ScriptedLine::uninstall() {
    SetComStandIn(port_, nullptr);
    SetClockStandIn(nullptr);
    current = nullptr;
}

void ScriptedLine::play(std::vector<Step> steps) {
    steps_ = std::move(steps);
    std::stable_sort(steps_.begin(), steps_.end(),
                     [](const Step &a, const Step &b) { return a.at < b.at; });
    next_ = 0;
    now_ = 0.0;
    input_.clear();
    written_.clear();
    arrived_.clear();
    errors_ = 0;
    vanished_ = false;
}

void ScriptedLine::wait(double seconds) {
    const double until = now_ + std::max(seconds, 0.0);
    now_ = next_ < steps_.size() && steps_[next_].at > now_ ? std::min(until, steps_[next_].at)
                                                            : until;
}

void ScriptedLine::deliverDue() {
    for (; next_ < steps_.size() && steps_[next_].at <= now_; ++next_) {
        const Step &step = steps_[next_];
        if (vanished_) continue;
        input_.insert(input_.end(), step.bytes.begin(), step.bytes.end());
        arrived_.insert(arrived_.end(), step.bytes.begin(), step.bytes.end());
        errors_ |= step.lineErrors;
        vanished_ = step.vanish;
    }
}

int ScriptedLine::write(const void *buffer, int count) {
    deliverDue();
    if (vanished_) return kRS232IOError;
    const auto *bytes = static_cast<const uint8_t *>(buffer);
    written_.insert(written_.end(), bytes, bytes + std::max(count, 0));
    return count;
}

int ScriptedLine::read(void *buffer, int count) {
    deliverDue();
    if (vanished_) return kRS232PortNotOpen;
    const int n = std::clamp(count, 0, static_cast<int>(input_.size()));
    std::memcpy(buffer, input_.data(), static_cast<size_t>(n));
    input_.erase(input_.begin(), input_.begin() + n);
    return n;
}

int ScriptedLine::waiting() {
    deliverDue();
    return vanished_ ? kRS232PortNotOpen : static_cast<int>(input_.size());
}

int ScriptedLine::lineErrors() {
    deliverDue();
    if (vanished_) return kRS232PortNotOpen;
    return std::exchange(errors_, 0);
}

void ScriptedLine::clearInput() {
    deliverDue();
    input_.clear();
}
