// Test entry: a Qt application on the offscreen platform around GoogleTest, with the binary's
// own deadline; for the tests of the core alone (KTAV_TEST_WITHOUT_PANELS) a Qt core application.
#include <gtest/gtest.h>

#ifdef KTAV_TEST_WITHOUT_PANELS
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include <QApplication>
using TestApplication = QApplication;
#endif
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/timing.h"

namespace {

// Ends the binary when it runs past `seconds`, naming the test still running: a hang fails this
// binary with its cause instead of waiting for CTest's time-out. The processes the tests started
// end with it (sim_process.h).
class Deadline {
  public:
    explicit Deadline(double seconds) : thread_([this, seconds] { watch(seconds); }) {}
    ~Deadline() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        ended_.notify_one();
        thread_.join();
    }

  private:
    void watch(double seconds) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (ended_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return done_; }))
            return;
        const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::fprintf(stderr, "\n%s.%s has not ended: the binary's deadline of %g s has passed\n",
                     test ? test->test_suite_name() : "(no test)", test ? test->name() : "",
                     seconds);
        std::fflush(stderr);
        std::_Exit(1);
    }

    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace

int main(int argc, char **argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    SelectEventDispatcher();
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // KTAV_TEST_DEADLINE: seconds the whole binary may run (CTest sets it).
    const double deadline = qEnvironmentVariable("KTAV_TEST_DEADLINE").toDouble();
    std::unique_ptr<Deadline> watch;
    if (deadline > 0) watch = std::make_unique<Deadline>(deadline);
    return RUN_ALL_TESTS();
}
