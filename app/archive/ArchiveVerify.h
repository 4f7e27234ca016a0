#pragma once

#include "ArchiveDatabase.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>

namespace tessaly::verify {

enum class Problem {
    Missing,     // the record names a file that is not there
    Empty,       // a file of 0 bytes
    SizeDiffers, // an original whose size is not the one the archive stored
    NotAnImage,  // a file whose first bytes are not an image of its extension
    Truncated,   // a picture whose data does not reach its end marker
    Unreadable,  // a picture that does not decode (only when checked in depth)
    Stray,       // a file in the picture folder that no record names
};

struct Finding {
    QString flickrID; // empty for a stray file
    QString role;     // "original", "large", "square", "video"; empty for a stray file
    QString file;     // the path
    Problem problem = Problem::Missing;
    QString detail;

    // Something is wrong with a record's file (strays are only listed).
    bool isRecordProblem() const { return problem != Problem::Stray; }
    // A file that is there but must not be kept as it is.
    bool isBrokenFile() const { return isRecordProblem() && problem != Problem::Missing; }
};

// One line: what is wrong, with the picture and the file named.
QString findingText(const Finding& finding);
QJsonObject findingJson(const Finding& finding);

// Walks an archive and its picture folder, a slice at a time so that a
// window stays responsive and shows how far it got: every file each record
// names (original, large, square) is looked at once, then the folder's own
// files are compared with the names.
class ArchiveVerifier {
public:
    ArchiveVerifier(ArchiveDatabase& database, QString pixPath, bool deep);

    // Reads the records and lists the picture folder.
    SqlResult start();
    // Checks up to `files` more files; answers false once all are checked.
    bool step(int files = 1000);

    qint64 filesChecked() const { return m_next; }
    qint64 filesTotal() const { return m_files.size(); }
    const QList<Finding>& findings() const { return m_findings; }
    // No record lacks a sound file (stray files do not count).
    bool recordsHold() const;

private:
    // Names only, shared with m_named: a large archive's list stays small.
    struct FileToCheck {
        QString name;
        QString flickrID;
        QString role;
        qint64 expectedSize = 0; // 0: not known
    };
    void addFile(const QString& url, const QString& flickrID, const QString& role, qint64 expectedSize);
    SqlResult addVideos();
    void check(const FileToCheck& file);
    void checkVideo(const FileToCheck& file, const QString& path, qint64 size);
    void listStrays();

    ArchiveDatabase& m_database;
    QString m_pixPath;
    bool m_deep;
    QList<FileToCheck> m_files;
    // The file names the records name, with their place in m_files.
    QHash<QString, qsizetype> m_named;
    qsizetype m_next = 0;
    bool m_straysListed = false;
    QList<Finding> m_findings;
};

// Moves a broken file into the picture folder's ".broken" folder, never
// deleting anything: a name taken there gets a number. Answers where it went.
bool moveAside(const QString& pixPath, const QString& file, QString* movedTo, QString* error);

} // namespace tessaly::verify
