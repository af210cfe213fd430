// A serial line played from a script, on a clock of its own, for driving the frame layer without
// a device: bytes arrive in chunks at set times, line errors are raised, the device vanishes.
// Waits of the frame layer move the clock to the next step or to their end at once, so a
// time-out costs no real time.
#pragma once
#include <cstdint>
#include <vector>

#include "core/system/serial.h"

class ScriptedLine : public ComStandIn {
  public:
    struct Step {
        double at;                   // seconds after the start of the play
        std::vector<uint8_t> bytes;  // arrive at `at`
        int lineErrors = 0;          // ComStatBits raised at `at`
        bool vanish = false;         // the device is gone from `at` on
    };

    // Serves port `port` and the clock from this line, with the clock at 0 and no steps.
    void install(int port);
    // Ends serving the port and the clock.
    void uninstall();

    // Starts a new play: the clock goes back to 0, the queues are emptied.
    void play(std::vector<Step> steps);

    double now() const { return now_; }
    // Advances the clock by `seconds`, or less when a step falls due before.
    void wait(double seconds);

    const std::vector<uint8_t> &written() const { return written_; }  // bytes the program sent
    const std::vector<uint8_t> &arrived() const { return arrived_; }  // bytes that reached it

    int write(const void *buffer, int count) override;
    int read(void *buffer, int count) override;
    int waiting() override;
    int lineErrors() override;
    void clearInput() override;

  private:
    void deliverDue();  // applies every step that is due by now

    int port_ = 0;
    double now_ = 0.0;
    std::vector<Step> steps_;
    size_t next_ = 0;
    std::vector<uint8_t> input_;  // arrived, not yet read
    std::vector<uint8_t> written_, arrived_;
    int errors_ = 0;
    bool vanished_ = false;
};
