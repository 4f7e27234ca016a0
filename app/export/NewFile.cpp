#include "NewFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly::exporter {

namespace {

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The mode a file made with open() would get under the user's umask.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Last resort where the file system links nothing: created exclusively,
// never through a link; removed again when it cannot be written whole.
bool createExclusively(const QByteArray& target, const QByteArray& bytes, QString* error) {
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, newFileMode());
    if (fd < 0) {
        *error = errnoText(errno);
        return false;
    }
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    if (written)
        return true;
    ::unlink(target.constData());
    *error = errnoText(saved);
    return false;
}

} // namespace

bool nameTaken(const QString& path) {
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

namespace {

// Gives the finished temporary file its name, if the name is still free.
bool placeTemporary(QTemporaryFile& temp, const QString& path, QString* error) {
    if (!temp.flush() || ::fsync(int(temp.handle())) != 0 || ::fchmod(int(temp.handle()), newFileMode()) != 0) {
        *error = temp.errorString();
        return false;
    }
    const QByteArray target = QFile::encodeName(path);
    const QByteArray source = QFile::encodeName(temp.fileName());
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) {
        temp.setAutoRemove(false);
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        *error = errno == EEXIST ? QStringLiteral("a file of that name is already there") : errnoText(errno);
        return false;
    }
    // No renaming without replacing here: a hard link never replaces either.
    if (::link(source.constData(), target.constData()) == 0)
        return true; // the temporary name goes with the QTemporaryFile
    if (errno == EEXIST) {
        *error = QStringLiteral("a file of that name is already there");
        return false;
    }
    temp.seek(0);
    return createExclusively(target, temp.readAll(), error);
}

QString temporaryTemplate(const QString& path) {
    return QFileInfo(path).absolutePath() + QStringLiteral("/.tessaly-XXXXXX");
}

} // namespace

bool writeNewFile(const QString& path, const QByteArray& bytes, QString* error) {
    QTemporaryFile temp(temporaryTemplate(path));
    if (!temp.open() || temp.write(bytes) != bytes.size()) {
        *error = temp.errorString();
        return false;
    }
    return placeTemporary(temp, path, error);
}

bool copyAsNewFile(const QString& source, const QString& path, const TemporaryChange& change, QString* error) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    QTemporaryFile temp(temporaryTemplate(path));
    if (!temp.open()) {
        *error = temp.errorString();
        return false;
    }
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (temp.write(chunk) != chunk.size()) {
            *error = temp.errorString();
            return false;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        *error = in.errorString();
        return false;
    }
    if (change) {
        // The change works on the file by its name: what the handle holds is written first.
        if (!temp.flush()) {
            *error = temp.errorString();
            return false;
        }
        if (!change(temp.fileName(), error))
            return false;
        // A change may have put a new file in its place: the name is what counts.
        temp.close();
        if (!temp.open()) {
            *error = temp.errorString();
            return false;
        }
    }
    return placeTemporary(temp, path, error);
}

} // namespace tessaly::exporter
