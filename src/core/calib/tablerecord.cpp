#include "core/calib/tablerecord.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const char *sideName(int sensor) {
    return sensor == 1 ? "MASTER" : "SLAVE";
}

QString folder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/K-TAV-PX-MS-Vista";
}

QString recordPath(int serial, int sensor) {
    return QString("%1/table-write-SN%2-%3").arg(folder()).arg(serial).arg(sideName(sensor));
}

}  // namespace

int NoteTableWriteBegun(int serial, int sensor) {
    if (!QDir().mkpath(folder())) return -1;
    // QSaveFile writes a temporary file, flushes it to the disk and renames it into place.
    QSaveFile file(recordPath(serial, sensor));
    if (!file.open(QIODevice::WriteOnly)) return -1;
    file.write(QString("%1 table write of serial number %2 begun %3\n")
                   .arg(sideName(sensor))
                   .arg(serial)
                   .arg(QDateTime::currentDateTime().toString(Qt::ISODate))
                   .toUtf8());
    return file.commit() ? 1 : -1;
}

void NoteTableWriteEnded(int serial, int sensor) {
    QFile::remove(recordPath(serial, sensor));
}

int TableWriteUnfinished(int serial, int sensor) {
    return QFile::exists(recordPath(serial, sensor)) ? 1 : 0;
}
