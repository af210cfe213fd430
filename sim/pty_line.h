// The simulator's serial line: a pseudo-terminal. The simulator keeps a slave descriptor open
// so the line survives the program closing and re-opening it, and compares the line speed the
// program has set with the device's own.
#pragma once
#include <string>

class PtyLine {
  public:
    PtyLine() = default;
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;
    ~PtyLine();

    // Opens the pseudo-terminal (raw, 115200 baud) and makes `link` point to it if not empty.
    bool open(const std::string &link, std::string &error);

    int fd() const { return master_; }  // the simulator's end
    const std::string &path() const { return path_; }

    // True while the program's side runs at the speed of the baud-rate index.
    bool speedMatches(int baudIndex) const;

    // The baud rate the program has set on its side of the line; 115200 when unknown.
    long baudRate() const;

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::string link_;
};
