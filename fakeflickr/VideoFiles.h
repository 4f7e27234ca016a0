#pragma once

#include "Photostream.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

#include <optional>

namespace fakeflickr {

// One of the MP4 files Flickr keeps of a video, as flickr.photos.getSizes lists it.
struct VideoSize {
    QString label;  // Flickr's: "Site MP4", "720p", "Video Original", ...
    QString kind;   // in the play address: "site", "720p", "orig", ...
    QSize size;
};

// A video's MP4 sizes, smallest first; "Video Original" only when `withOriginal`.
QList<VideoSize> videoSizes(const Photo& video, bool withOriginal);

// The "source" Flickr gives for a video size: a play address on its web host,
// "/photos/USER/ID/play/KIND/SECRET/" (the original's own secret for "orig"),
// which redirects to the file.
QString videoPlayPath(const QString& userName, const Photo& video, const QString& kind);
// The file the play address redirects to: "ID_SECRET_KIND.mp4", served like the pictures'
// files from "/SERVER/", and named so by the file faults.
QString videoFileName(const Photo& video, const QString& kind);

struct VideoFile {
    int index = 0;
    QString kind;
};
// The video and size of a play address's path, or of a file name; the secret must match,
// the picture be a video with that size. A removed video's addresses still resolve.
std::optional<VideoFile> parseVideoPlayPath(const QString& path, const PhotoLibrary& library);
std::optional<VideoFile> parseVideoFileName(const QString& name, const PhotoLibrary& library);

// A small but valid MP4 ("ftyp", "moov" with one video track of the size's dimensions,
// "mdat"), different for each video and size.
QByteArray makeMp4(const Photo& video, const QString& kind);

} // namespace fakeflickr
