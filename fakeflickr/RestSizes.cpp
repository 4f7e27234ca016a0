// flickr.photos.getSizes: the picture files of every size, and a video's MP4 files.
#include "RestApi.h"

#include "VideoFiles.h"
#include "Xml.h"

namespace fakeflickr {

namespace {

struct PictureSize {
    char suffix;       // of the file name
    const char* label;
    const char* code;  // in the sizes page address
};
constexpr PictureSize kPictureSizes[] = {
    {'s', "Square", "sq"},     {'t', "Thumbnail", "t"},  {'m', "Small", "s"}, {'-', "Medium", "m"},
    {'z', "Medium 640", "z"}, {'b', "Large", "l"},      {'o', "Original", "o"}};

} // namespace

RestAnswer RestApi::getSizes(const Params& args, const Caller& caller) {
    const auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    if (!p)
        return error(1, QStringLiteral("Photo not found"));
    // As Flickr documents it for this method: a picture the caller may not see is
    // "Permission denied", not unknown.
    if (!p->isPublic && !caller.owner)
        return error(2, QStringLiteral("Permission denied"));
    Xml xml;
    xml.open("sizes").attr("canblog", caller.owner ? 1 : 0).attr("canprint", caller.owner ? 1 : 0)
        .attr("candownload", 1);
    for (const PictureSize& s : kPictureSizes) {
        if (!p->hasSize(s.suffix))
            continue;
        const QSize size = p->pixelSize(s.suffix);
        const QString page = photoPageUrl(*p) + QStringLiteral("sizes/") + QString::fromLatin1(s.code) + QLatin1Char('/');
        xml.open("size").attr("label", QString::fromLatin1(s.label)).attr("width", size.width())
            .attr("height", size.height()).attr("source", fileUrl(*p, s.suffix)).attr("url", page)
            .attr("media", QStringLiteral("photo")).close("size");
    }
    // Only the owner of a Pro account gets the video as it was uploaded.
    for (const VideoSize& v : videoSizes(*p, caller.owner && m_options.pro))
        xml.open("size").attr("label", v.label).attr("width", v.size.width()).attr("height", v.size.height())
            .attr("source", m_baseUrl + videoPlayPath(m_options.userName, *p, v.kind)).attr("url", photoPageUrl(*p))
            .attr("media", QStringLiteral("video")).close("size");
    xml.close("sizes");
    return ok(xml.bytes());
}

} // namespace fakeflickr
