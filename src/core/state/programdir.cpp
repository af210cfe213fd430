#include "core/state/programdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <string>

char dir_name[PATH_SIZE];
char proj_dir[PATH_SIZE];
char appini_pathname[PATH_SIZE];
char rec_fname[PATH_SIZE];
char para_pathname[PATH_SIZE];
char file_name[PATH_SIZE];

namespace {

constexpr const char *kLongestName = "PX-MS-Vista.ini";  // of the names made in the directory

bool writableDirectory(const QString &path) {
    const QFileInfo info(path);
    return info.isDir() && info.isWritable();
}

QString programDirectory(const char *dir) {
    const QString path =
        dir && *dir ? QString::fromLocal8Bit(dir) : QCoreApplication::applicationDirPath();
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool fits(const QString &directory) {
    return (directory + "/" + kLongestName).toLocal8Bit().size() < PATH_SIZE;
}

}  // namespace

const char *ProgramDirectoryTooLong(const char *dir) {
    static QByteArray path;
    path = programDirectory(dir).toLocal8Bit();
    return fits(QString::fromLocal8Bit(path)) ? nullptr : path.constData();
}

int SetProgramDirectory(const char *dir) {
    QString path = programDirectory(dir);
    int fellBack = 0;
    if (fits(path)) QDir().mkpath(path);
    if (!fits(path) || !writableDirectory(path)) {
        path = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir().mkpath(path);
        fellBack = 1;
    }
    const QByteArray bytes = QDir::cleanPath(QFileInfo(path).absoluteFilePath()).toLocal8Bit();
    std::snprintf(dir_name, sizeof dir_name, "%s", bytes.constData());
    std::snprintf(proj_dir, sizeof proj_dir, "%s", bytes.constData());
    MakeProgramPath("PX-MS-Vista.ini", appini_pathname);
    MakeProgramPath("RECORD.DAT", rec_fname);
    para_pathname[0] = file_name[0] = '\0';
    return fellBack;
}

void MakeProgramPath(const char *name, char (&out)[PATH_SIZE]) {
    const std::string path = std::string(dir_name) + "/" + name;
    std::snprintf(out, sizeof out, "%s", path.c_str());
}
