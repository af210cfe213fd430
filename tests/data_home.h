// The user's folders of a test or benchmark process and of the tools it starts: never the
// user's own. UseOwnUserFolders points them at a folder of the process's own; DataHome points the
// data folder (the records of unfinished table writes) at a fresh one for the life of the object.
#pragma once
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>
#include <utility>

// HOME, XDG_DATA_HOME and XDG_CONFIG_HOME at a temporary folder for the rest of the process.
inline void UseOwnUserFolders() {
    static QTemporaryDir home;
    for (const auto &[name, folder] : {std::pair{"HOME", ""}, std::pair{"XDG_DATA_HOME", "/data"},
                                       std::pair{"XDG_CONFIG_HOME", "/config"}}) {
        const QString path = home.path() + folder;
        QDir().mkpath(path);
        qputenv(name, QFile::encodeName(path));
    }
}

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
