#include "pty_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::array<speed_t, 5> SPEEDS = {B9600, B19200, B38400, B57600, B115200};

struct SpeedRate {
    speed_t speed;
    long rate;
};
constexpr SpeedRate RATES[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},
                               {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
                               {B57600, 57600},   {B115200, 115200}, {B230400, 230400},
                               {B460800, 460800}, {B921600, 921600}};

}  // namespace

PtyLine::~PtyLine() {
    if (!link_.empty()) ::unlink(link_.c_str());
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

bool PtyLine::open(const std::string &link, std::string &error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = std::string("pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    path_ = ::ptsname(master_);
    slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0) {
        error = "pseudo-terminal " + path_ + ": " + std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B115200);
    ::tcsetattr(slave_, TCSANOW, &tio);
    if (!link.empty()) {
        // A link left by an earlier run is replaced; any other file is left alone.
        struct stat st {};
        if (::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(link.c_str());
        if (::symlink(path_.c_str(), link.c_str()) != 0) {
            error = "link " + link + ": " + std::strerror(errno);
            return false;
        }
        link_ = link;
    }
    return true;
}

bool PtyLine::speedMatches(int baudIndex) const {
    // On Linux the master reports the termios the program set on its side of the line.
    termios tio{};
    if (::tcgetattr(master_, &tio) != 0) return true;
    return baudIndex >= 0 && baudIndex < int(SPEEDS.size()) &&
           ::cfgetispeed(&tio) == SPEEDS[baudIndex];
}

long PtyLine::baudRate() const {
    termios tio{};
    if (::tcgetattr(master_, &tio) != 0) return 115200;
    for (const SpeedRate &r : RATES)
        if (r.speed == ::cfgetospeed(&tio)) return r.rate;
    return 115200;
}
