#include "ArchiveVerify.h"

#include "accounts/PathRules.h"
#include "accounts/StatusFigures.h"
#include "viewer/CurrentPicture.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>

namespace tessaly::verify {

namespace {

QString problemName(Problem problem) {
    switch (problem) {
    case Problem::Missing: return QStringLiteral("missing");
    case Problem::Empty: return QStringLiteral("empty");
    case Problem::SizeDiffers: return QStringLiteral("size-differs");
    case Problem::NotAnImage: return QStringLiteral("not-an-image");
    case Problem::Truncated: return QStringLiteral("truncated");
    case Problem::Unreadable: return QStringLiteral("unreadable");
    case Problem::Stray: return QStringLiteral("stray");
    }
    return {};
}

// The image format a file's extension promises, or nothing to check.
QByteArray formatOfExtension(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "jpeg";
    if (suffix == QLatin1String("png") || suffix == QLatin1String("gif"))
        return suffix.toLatin1();
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        return "tiff";
    return {};
}

// Whether the last bytes of a picture are its format's end marker: a file cut
// short in a download ends anywhere else.
bool endsWhole(QFile& file, const QByteArray& format) {
    static const QByteArray pngEnd("\x00\x00\x00\x00IEND\xae\x42\x60\x82", 12);
    const QByteArray end = format == "jpeg" ? QByteArray("\xff\xd9") : format == "png" ? pngEnd
                           : format == "gif" ? QByteArray(";") : QByteArray();
    if (end.isEmpty())
        return true;
    return file.seek(file.size() - end.size()) && file.read(end.size()) == end;
}

} // namespace

QString findingText(const Finding& f) {
    const QString name = QFileInfo(f.file).fileName();
    if (f.role == QLatin1String("video") && name.isEmpty())
        return QString("the video file of %1 is missing: it was never downloaded").arg(f.flickrID);
    const QString what = f.role.isEmpty() ? QString() : QString("the %1 file %2 of %3").arg(f.role, name, f.flickrID);
    switch (f.problem) {
    case Problem::Missing: return what + QStringLiteral(" is missing");
    case Problem::Empty: return what + QStringLiteral(" is empty");
    case Problem::SizeDiffers: return what + QStringLiteral(" is ") + f.detail;
    case Problem::NotAnImage: return what + QStringLiteral(" ") + f.detail;
    case Problem::Truncated:
        return what + (f.detail.isEmpty() ? QStringLiteral(" is cut short: its picture data does not reach its end")
                                          : QStringLiteral(" is cut short: ") + f.detail);
    case Problem::Unreadable: return what + QStringLiteral(" cannot be decoded: ") + f.detail;
    case Problem::Stray: return QString("%1 is in the picture folder, but no record names it").arg(f.file);
    }
    return {};
}

QJsonObject findingJson(const Finding& f) {
    QJsonObject object{{"problem", problemName(f.problem)}, {"file", f.file}, {"message", findingText(f)}};
    if (!f.flickrID.isEmpty())
        object.insert("flickrID", f.flickrID);
    if (!f.role.isEmpty())
        object.insert("role", f.role);
    return object;
}

ArchiveVerifier::ArchiveVerifier(ArchiveDatabase& database, QString pixPath, bool deep)
    : m_database(database), m_pixPath(std::move(pixPath)), m_deep(deep) {}

void ArchiveVerifier::addFile(const QString& url, const QString& flickrID, const QString& role,
                              qint64 expectedSize) {
    if (viewer::pictureFile(m_pixPath, url).isEmpty())
        return; // the address names no file
    const QString name = paths::lastPathComponent(url);
    // Records that share an address share the file: it is looked at once,
    // named by its own size, and measured when it serves as an original.
    if (const auto it = m_named.constFind(name); it != m_named.cend()) {
        if (expectedSize > 0)
            m_files[*it].expectedSize = expectedSize;
        return;
    }
    m_named.insert(name, m_files.size());
    m_files.append({name, flickrID, role, expectedSize});
}

SqlResult ArchiveVerifier::start() {
    m_files.clear();
    m_named.clear();
    m_findings.clear();
    m_next = 0;
    m_straysListed = false;
    // The files of a record as the file download names them.
    const SqlResult pictures = m_database.exec("SELECT flickrID,url_o,url_l,url_sq,filesize FROM photos", [&](const SqlRow& row) {
        const QString id = row.values[0];
        const QString square = row.value(3);
        const QString large = row.value(2).isEmpty() ? square : row.value(2);
        const QString original = row.value(1).isEmpty() ? large : row.value(1);
        addFile(square, id, QStringLiteral("square"), 0);
        addFile(large, id, QStringLiteral("large"), 0);
        addFile(original, id, QStringLiteral("original"), row.value(4).toLongLong());
        return 0;
    });
    return pictures.ok() ? addVideos() : pictures;
}

SqlResult ArchiveVerifier::addVideos() {
    bool table = false;
    SqlResult result = m_database.exec("SELECT 1 FROM sqlite_master WHERE type='table' AND name='videofiles'",
                                       [&](const SqlRow&) {
                                           table = true;
                                           return 0;
                                       });
    if (!result.ok())
        return result;
    const QString videos = table ? QStringLiteral("SELECT photos.flickrID,videofiles.file,videofiles.size FROM photos "
                                                  "LEFT JOIN videofiles ON videofiles.flickrID=photos.flickrID WHERE "
                                                  "photos.media='video'")
                                 : QStringLiteral("SELECT flickrID,NULL,NULL FROM photos WHERE media='video'");
    return m_database.exec(videos, [&](const SqlRow& row) {
        const QString name = row.value(1);
        if (name.isEmpty() || name.contains(QLatin1Char('/')))
            m_findings.append({row.value(0), QStringLiteral("video"), {}, Problem::Missing, {}});
        else if (!m_named.contains(name))
            addFile(QStringLiteral("/") + name, row.value(0), QStringLiteral("video"), row.value(2).toLongLong());
        return 0;
    });
}

bool ArchiveVerifier::step(int files) {
    for (int n = 0; n < files && m_next < m_files.size(); ++n)
        check(m_files[m_next++]);
    if (m_next < m_files.size())
        return true;
    if (!m_straysListed)
        listStrays();
    return false;
}

void ArchiveVerifier::check(const FileToCheck& file) {
    const QString path = m_pixPath + QLatin1Char('/') + file.name;
    const auto report = [&](Problem problem, const QString& detail = {}) {
        m_findings.append({file.flickrID, file.role, path, problem, detail});
    };
    const QFileInfo info(path);
    if (!info.isFile()) {
        report(Problem::Missing);
        return;
    }
    if (info.size() == 0) {
        report(Problem::Empty);
        return;
    }
    if (file.role == QLatin1String("video")) {
        checkVideo(file, path, info.size());
        return;
    }
    if (file.expectedSize > 0 && info.size() != file.expectedSize) {
        report(Problem::SizeDiffers, QString("%1 bytes, where the archive says %2")
                                         .arg(status::groupedNumber(info.size()), status::groupedNumber(file.expectedSize)));
        return;
    }
    const QByteArray expected = formatOfExtension(path);
    if (expected.isEmpty())
        return;
    QFile data(path);
    if (!data.open(QIODevice::ReadOnly)) {
        report(Problem::Unreadable, data.errorString());
        return;
    }
    QImageReader reader(&data);
    reader.setDecideFormatFromContent(true);
    const QByteArray found = reader.format();
    if (found != expected) {
        report(Problem::NotAnImage, found.isEmpty() ? QString("is not a picture (%1 expected)").arg(QString::fromLatin1(expected))
                                                    : QString("holds %1, not %2").arg(QString::fromLatin1(found), QString::fromLatin1(expected)));
        return;
    }
    if (!endsWhole(data, found)) {
        report(Problem::Truncated);
        return;
    }
    if (m_deep) {
        data.seek(0);
        QImageReader decoder(&data, found);
        if (decoder.read().isNull())
            report(Problem::Unreadable, decoder.errorString());
    }
}

void ArchiveVerifier::checkVideo(const FileToCheck& file, const QString& path, qint64 size) {
    const auto report = [&](Problem problem, const QString& detail) {
        m_findings.append({file.flickrID, file.role, path, problem, detail});
    };
    if (file.expectedSize > 0 && size != file.expectedSize) {
        const QString sizes = QString("%1 bytes, where the archive says %2")
                                  .arg(status::groupedNumber(size), status::groupedNumber(file.expectedSize));
        report(size < file.expectedSize ? Problem::Truncated : Problem::SizeDiffers, sizes);
        return;
    }
    // MP4 and QuickTime files begin with the length and type of a box.
    QFile data(path);
    const QByteArray head = data.open(QIODevice::ReadOnly) ? data.read(8) : QByteArray();
    static const QList<QByteArray> boxes = {"ftyp", "moov", "mdat", "wide", "free", "skip", "pnot"};
    if (!boxes.contains(head.mid(4, 4)))
        report(Problem::NotAnImage, QStringLiteral("is not a video (MP4 or QuickTime expected)"));
}

void ArchiveVerifier::listStrays() {
    m_straysListed = true;
    // Walked, not listed whole: a folder of 300,000 files stays cheap.
    QStringList strays;
    QDirIterator it(m_pixPath, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        if (!m_named.contains(it.fileName()))
            strays << it.fileName();
    }
    strays.sort();
    for (const QString& name : std::as_const(strays))
        m_findings.append({{}, {}, m_pixPath + QLatin1Char('/') + name, Problem::Stray, {}});
}

bool ArchiveVerifier::recordsHold() const {
    for (const Finding& finding : m_findings)
        if (finding.isRecordProblem())
            return false;
    return true;
}

bool moveAside(const QString& pixPath, const QString& file, QString* movedTo, QString* error) {
    const QString aside = pixPath + QStringLiteral("/.broken");
    if (!QDir().mkpath(aside)) {
        *error = QString("the folder %1 cannot be made").arg(aside);
        return false;
    }
    const QFileInfo info(file);
    QString target = aside + QLatin1Char('/') + info.fileName();
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = aside + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('-') + QString::number(n) +
                 (info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix());
    if (!QFile::rename(file, target)) {
        *error = QString("%1 could not be moved to %2").arg(file, aside);
        return false;
    }
    *movedTo = target;
    return true;
}

} // namespace tessaly::verify
