// Points the per-user data folder (XDG_DATA_HOME: the record of unfinished table writes) of this
// process and of the tools it starts at a temporary folder for the life of the object.
#pragma once
#include <QTemporaryDir>
#include <QtGlobal>

class DataHome {
  public:
    DataHome()
        : before_(qgetenv("XDG_DATA_HOME")), wasSet_(qEnvironmentVariableIsSet("XDG_DATA_HOME")) {
        qputenv("XDG_DATA_HOME", dir_.path().toUtf8());
    }
    ~DataHome() {
        if (wasSet_)
            qputenv("XDG_DATA_HOME", before_);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    DataHome(const DataHome &) = delete;
    DataHome &operator=(const DataHome &) = delete;

    // The folder that holds the records of unfinished table writes.
    QString records() const { return dir_.path() + "/K-TAV-PX-MS-Vista"; }

  private:
    QTemporaryDir dir_;
    QByteArray before_;
    bool wasSet_;
};
