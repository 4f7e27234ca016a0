#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace fakeflickr {

// One EXIF element; an empty clean value means the element has none.
struct ExifEntry {
    QString tagspace;
    int tagspaceId = 0;
    QString tag;
    QString label;
    QString raw;
    QString clean;
};

// A picture of the photostream. Index 0 is the newest upload.
struct Photo {
    int index = 0;
    qint64 id = 0;
    QString secret;
    QString originalSecret;
    QString server;
    int farm = 1;
    QString title;
    QString description;
    QStringList rawTags;  // as their author wrote them
    int license = 0;
    qint64 dateUpload = 0;
    qint64 lastUpdate = 0;
    QString dateTaken;  // "YYYY-MM-DD HH:MM:SS"
    int views = 0;
    bool isVideo = false;
    bool geotagged = false;
    double latitude = 0;
    double longitude = 0;
    int accuracy = 0;
    bool isPublic = true;
    bool isFriend = false;
    bool isFamily = false;
    int permComment = 3;
    int permAddMeta = 2;
    int originalWidth = 0;
    int originalHeight = 0;
    bool hasOriginalUrl = true;

    QString idText() const { return QString::number(id); }
    // Sizes by the file-name suffix: 's' square, 't', 'm', '-' (none), 'z', 'b' large, 'o' original.
    bool hasSize(char suffix) const;
    QSize pixelSize(char suffix) const;
    QString fileName(char suffix) const;  // e.g. 123_abc_s.jpg
    QStringList normalizedTags() const;
};

QString normalizedTag(const QString& raw);
// "YYYY-MM-DD HH:MM:SS" in UTC.
QString formatDateTime(qint64 secondsSinceEpoch);

struct PhotoSet {
    int number = 0;
    QString id;
    QString title;
    QString description;
    int count = 0;
    qint64 dateCreate = 0;
};

// The seeded photostream: every picture is computed from (seed, position) on demand.
class Photostream {
public:
    Photostream(int photos, quint64 seed, int sets = -1);

    int size() const { return m_size; }
    quint64 seed() const { return m_seed; }

    Photo photoAt(int index) const;
    bool isVideoAt(int index) const;
    bool isPublicAt(int index) const;
    qint64 takenSecondsAt(int index) const;
    std::optional<int> indexOfId(const QString& id) const;
    QList<ExifEntry> exifFor(qint64 photoId) const;

    int setCount() const { return m_sets; }
    PhotoSet setAt(int number) const;
    std::optional<int> setNumberOfId(const QString& id) const;
    // Position in the stream of the j-th member of a set (newest first).
    int setMember(int number, int j) const;
    int setVideoCount(int number) const;

private:
    quint64 hash(quint64 ordinal, quint64 salt) const;
    void setBlock(int number, int* start, int* length) const;

    int m_size;
    quint64 m_seed;
    int m_sets;
    qint64 m_idBase;
    qint64 m_setIdBase;
    qint64 m_uploadStep;
};

// The stream plus what happened to it on the service: edits and removed pictures.
class PhotoLibrary {
public:
    explicit PhotoLibrary(Photostream stream) : m_stream(std::move(stream)) {}

    const Photostream& stream() const { return m_stream; }
    // The picture at a position of the generated stream, edits included, removed or not.
    Photo photo(int index) const;
    // A picture still in the stream; nothing for an unknown or removed one.
    std::optional<Photo> photoById(const QString& id) const;
    void store(const Photo& photo);
    // Stores an edit as Flickr does: the picture's lastupdate moves on.
    void storeEdited(Photo photo);
    // Seconds of the date taken, for the counts.
    qint64 takenSeconds(int index) const;
    bool isPublic(int index) const;

    void remove(int index);
    bool isRemoved(int index) const { return m_removed.count(index) > 0; }
    bool hasRemovals() const { return !m_removed.empty(); }

    // The pictures a caller sees, newest first: the owner every one still in the
    // stream, anybody else the public ones.
    int visibleCount(bool owner) const;
    int visibleAt(bool owner, int position) const;
    bool isVisible(bool owner, int index) const { return !isRemoved(index) && (owner || isPublic(index)); }

private:
    const std::vector<int>& view(bool owner) const;

    Photostream m_stream;
    std::unordered_map<int, Photo> m_edited;
    std::unordered_set<int> m_removed;
    // Positions of each view, built when first asked for after a change.
    mutable std::vector<int> m_views[2];
    mutable bool m_viewValid[2] = {false, false};
};

} // namespace fakeflickr
