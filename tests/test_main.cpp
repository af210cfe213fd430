// Test entry: a Qt application on the offscreen platform around GoogleTest, with the binary's
// own deadline and user folders of its own; for the tests of the core alone
// (KTAV_TEST_WITHOUT_PANELS) a Qt core application.
#include <gtest/gtest.h>

#ifdef KTAV_TEST_WITHOUT_PANELS
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include <QApplication>
using TestApplication = QApplication;
#endif
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core/system/timing.h"
#include "data_home.h"

int main(int argc, char **argv) {
    UseOwnUserFolders();
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    SelectEventDispatcher();
    TestApplication app(argc, argv);
    // The user's data folder (audit log, records of unfinished table writes) of this binary and
    // of the processes it starts: a temporary one, never the user's own.
    const QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    ::testing::InitGoogleTest(&argc, argv);
    // KTAV_TEST_DEADLINE: seconds the whole binary may run (CTest sets it). Past them the binary
    // ends, naming the test still running: a hang fails with its cause instead of waiting for
    // CTest's time-out. The processes the tests started end with it (sim_process.h).
    const double deadline = qEnvironmentVariable("KTAV_TEST_DEADLINE").toDouble();
    if (deadline > 0)
        std::thread([deadline] {
            std::this_thread::sleep_for(std::chrono::duration<double>(deadline));
            const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
            std::fprintf(
                stderr, "\n%s.%s has not ended: the binary's deadline of %g s has passed\n",
                test ? test->test_suite_name() : "(no test)", test ? test->name() : "", deadline);
            std::fflush(stderr);
            std::_Exit(1);
        }).detach();
    return RUN_ALL_TESTS();
}
