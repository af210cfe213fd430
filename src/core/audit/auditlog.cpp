#include "core/audit/auditlog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

constexpr char kStartText[] = "K-TAV-PX-MS-Vista audit log begun ";
constexpr std::string_view kHashKey = ",\"hash\":\"";
constexpr qsizetype kHexSize = 64;
constexpr qsizetype kSuffixSize = qsizetype(kHashKey.size()) + kHexSize + 2;  // ...hex"}
constexpr qint64 kTailChunk = 4096;

QByteArray sha256Hex(const QByteArray &bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// "prev" of the first line: the start text with the time the log began.
QByteArray startHash(const QJsonObject &first) {
    return sha256Hex(kStartText + first.value("time").toString().toUtf8());
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The hash a line ends with, or an empty one when it does not end as a line of the log.
QByteArray hashOf(const QByteArray &line) {
    if (line.size() < kSuffixSize + 2 || !line.endsWith("\"}") ||
        line.mid(line.size() - kSuffixSize, qsizetype(kHashKey.size())) != kHashKey.data())
        return {};
    return line.mid(line.size() - kHexSize - 2, kHexSize);
}

// The line without its hash, as the hash was taken of it.
QByteArray bodyOf(const QByteArray &line) {
    return line.left(line.size() - kSuffixSize) + '}';
}

// A file descriptor, closed when it goes (which also releases its lock).
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Where the whole lines of an open log end (after its last line end) and the last whole line.
struct Tail {
    qint64 size = 0, end = 0;
    QByteArray last;
};

// Reads the log backwards from its end until its last whole line is found.
bool readTail(int fd, Tail &tail) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    tail.size = st.st_size;
    QByteArray bytes;  // the log from `from` to its end
    qint64 from = tail.size;
    for (;;) {
        const std::string_view view(bytes.constData(), size_t(bytes.size()));
        const size_t end = view.rfind('\n');
        const size_t before = end == 0 || end == view.npos ? view.npos : view.rfind('\n', end - 1);
        if (end != view.npos && (before != view.npos || from == 0)) {
            const size_t begin = before == view.npos ? 0 : before + 1;
            tail.end = from + qint64(end) + 1;
            tail.last = bytes.mid(qsizetype(begin), qsizetype(end - begin));
            return true;
        }
        if (from == 0) return true;  // no whole line yet
        const qint64 chunk = std::min(from, kTailChunk);
        from -= chunk;
        QByteArray more(qsizetype(chunk), '\0');
        if (::pread(fd, more.data(), size_t(chunk), from) != chunk) return false;
        bytes.prepend(more);
    }
}

// The line of `entry` after the line `last` (empty for the first line).
QByteArray chainedLine(QJsonObject entry, const QByteArray &last) {
    QByteArray prev = last.isEmpty() ? startHash(entry) : hashOf(last);
    if (prev.isEmpty()) prev = sha256Hex(last);  // after a line that is none of the log's
    entry.insert("prev", QString::fromLatin1(prev));
    QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact);
    const QByteArray hash = sha256Hex(line);
    line.chop(1);
    return line + kHashKey.data() + hash + "\"}";
}

// Cuts a part of a line that could not be written whole off the log again.
void takeBack(int fd, qint64 size) {
    if (::ftruncate(fd, size) != 0) return;  // the write's own cause is the one told
}

// A new log's name in its folder on the disk as well.
void syncFolder(const QString &path) {
    const Descriptor folder{::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                                   O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd >= 0) ::fsync(folder.fd);
}

// Opens the log for appending (`mode` O_WRONLY or O_RDWR), creating it and its folder when
// missing; errno tells why it could not be opened.
int openLog(const QString &path, int mode) {
    QDir().mkpath(QFileInfo(path).absolutePath());  // else the open below tells why not
    return ::open(QFile::encodeName(path).constData(), mode | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}

// What is wrong with `line` after a line of hash `prev` (empty: the first line); an empty text
// when it follows it. `prev` becomes the line's own hash.
QString checkLine(const QByteArray &line, QByteArray &prev) {
    const QByteArray hash = hashOf(line);
    if (hash.isEmpty()) {
        prev = sha256Hex(line);  // as the next line was chained to it
        return "not a line of the audit log (it does not end with its hash)";
    }
    const QByteArray body = bodyOf(line);
    const QJsonObject entry = QJsonDocument::fromJson(body).object();
    const QByteArray wanted = prev.isEmpty() ? startHash(entry) : prev;
    const bool first = prev.isEmpty();
    prev = hash;
    if (sha256Hex(body) != hash) return "changed after it was written (its hash does not match it)";
    if (entry.value("prev").toString().toLatin1() == wanted) return {};
    return first ? "the log does not begin with this line (lines before it were removed)"
                 : "does not follow the line before it (a line was removed or inserted here)";
}

}  // namespace

QString AppendAuditLine(const QString &path, QJsonObject entry) {
    const bool isNew = !QFileInfo::exists(path);
    const Descriptor log{openLog(path, O_RDWR)};
    if (log.fd < 0 || ::flock(log.fd, LOCK_EX) != 0) return systemError();
    Tail tail;
    if (!readTail(log.fd, tail)) return systemError();
    if (tail.end < tail.size && ::ftruncate(log.fd, tail.end) != 0) return systemError();
    const QByteArray line = chainedLine(std::move(entry), tail.last) + '\n';
    const ssize_t written = ::write(log.fd, line.constData(), size_t(line.size()));
    if (written != line.size()) {
        const QString why = written < 0 ? systemError() : QString("the disk took only part of it");
        takeBack(log.fd, tail.end);
        return why;
    }
    if (::fsync(log.fd) != 0) return systemError();
    if (isNew) syncFolder(path);
    return {};
}

QString AuditLogProblem(const QString &path) {
    const Descriptor log{openLog(path, O_WRONLY)};
    return log.fd < 0 ? systemError() : QString();
}

AuditCheck VerifyAuditLog(const QString &path) {
    AuditCheck check;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        check.error = file.errorString();
        return check;
    }
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (!line.endsWith('\n')) {
            check.cutShort = true;
            break;
        }
        line.chop(1);
        ++check.lines;
        const QString why = checkLine(line, check.lastHash);
        if (!why.isEmpty() && check.broken == 0) {
            check.broken = check.lines;
            check.why = why;
        }
    }
    return check;
}

QByteArray LastAuditHash(const QString &path) {
    const Descriptor log{::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)};
    Tail tail;
    if (log.fd < 0 || !readTail(log.fd, tail)) return {};
    return hashOf(tail.last);
}

bool ForEachAuditEntry(const QString &path, const AuditEntryTaker &take) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    for (qint64 n = 1; !file.atEnd(); ++n) {
        QByteArray line = file.readLine();
        if (!line.endsWith('\n')) break;
        line.chop(1);
        take(QJsonDocument::fromJson(line).object(), line, n);
    }
    return true;
}

QList<QByteArray> AuditLinesAfter(const QString &path, qint64 offset) {
    QFile file(path);
    QList<QByteArray> lines;
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset)) return lines;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (!line.endsWith('\n')) break;
        line.chop(1);
        lines << line;
    }
    return lines;
}
