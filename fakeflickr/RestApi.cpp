#include "RestApi.h"

#include "Faults.h"
#include "Xml.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace fakeflickr {

QString coordinateText(double value) {
    QString text = QString::number(value, 'f', 6);
    while (text.contains(QLatin1Char('.')) && (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

std::optional<qint64> parseFlickrDate(const QString& text) {
    bool ok = false;
    const qint64 seconds = text.trimmed().toLongLong(&ok);
    if (ok)
        return seconds;
    QDateTime when = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!when.isValid())
        when = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
    when.setTimeSpec(Qt::UTC);
    return when.isValid() ? std::optional<qint64>(when.toSecsSinceEpoch()) : std::nullopt;
}

namespace {

// A taken_dates or dates entry; 0 when it is no date.
qint64 dateBound(const QString& text) {
    return parseFlickrDate(text).value_or(0);
}

const char* const kSizes[] = {"sq", "t", "s", "m", "z", "l", "o"};
const char kSuffixes[] = {'s', 't', 'm', '-', 'z', 'b', 'o'};

} // namespace

RestApi::Paging RestApi::paging(const Params& args, int total, int defaultPerPage) {
    Paging p;
    bool ok = false;
    p.perPage = args.value(QStringLiteral("per_page")).toInt(&ok);
    if (!ok || p.perPage < 1)
        p.perPage = defaultPerPage;
    p.perPage = std::min(p.perPage, kMaxPerPage);
    p.page = args.value(QStringLiteral("page")).toInt(&ok);
    if (!ok || p.page < 1)
        p.page = 1;
    p.pages = (total + p.perPage - 1) / p.perPage;
    p.first = int(std::min<qint64>(qint64(p.page - 1) * p.perPage, total));
    return p;
}

RestApi::RestApi(PhotoLibrary& library, const Options& options, QString nsid)
    : m_library(library), m_options(options), m_nsid(std::move(nsid)) {}

const QHash<QString, RestApi::Handler>& RestApi::handlers() {
    static const QHash<QString, Handler> table = {
        {"flickr.photos.getCounts", &RestApi::getCounts},
        {"flickr.people.getPhotos", &RestApi::getPhotos},
        {"flickr.photosets.getList", &RestApi::setsGetList},
        {"flickr.photosets.getPhotos", &RestApi::setsGetPhotos},
        {"flickr.photos.getPerms", &RestApi::getPerms},
        {"flickr.photos.getExif", &RestApi::getExif},
        {"flickr.test.login", &RestApi::testLogin},
        {"flickr.urls.getUserProfile", &RestApi::getUserProfile},
        {"flickr.tags.getListPhoto", &RestApi::tagsGetListPhoto},
        {"flickr.photos.getInfo", &RestApi::getInfo},
        {"flickr.photos.getSizes", &RestApi::getSizes},
        {"flickr.photosets.getInfo", &RestApi::setsGetInfo},
        {"flickr.auth.oauth.checkToken", &RestApi::checkToken},
        {"flickr.test.echo", &RestApi::testEcho},
        {"flickr.test.null", &RestApi::testNull},
        {"flickr.people.getInfo", &RestApi::peopleGetInfo},
        {"flickr.people.findByUsername", &RestApi::findByUsername},
        {"flickr.collections.getTree", &RestApi::collectionsGetTree},
        {"flickr.photos.search", &RestApi::search},
        {"flickr.photos.getNotInSet", &RestApi::getNotInSet},
        {"flickr.photos.recentlyUpdated", &RestApi::recentlyUpdated},
        {"flickr.photos.setMeta", &RestApi::setMeta},
        {"flickr.photos.setTags", &RestApi::setTags},
        {"flickr.photos.setDates", &RestApi::setDates},
        {"flickr.photos.setPerms", &RestApi::setPerms},
        {"flickr.photos.licenses.setLicense", &RestApi::setLicense},
        {"flickr.photos.geo.setLocation", &RestApi::setLocation},
    };
    return table;
}

bool RestApi::isWriteMethod(const QString& method) {
    static const QSet<QString> writes = {
        "flickr.photos.setMeta", "flickr.photos.setTags", "flickr.photos.setDates",
        "flickr.photos.setPerms", "flickr.photos.licenses.setLicense", "flickr.photos.geo.setLocation"};
    return writes.contains(method);
}

RestAnswer RestApi::error(int code, const QString& message) {
    Xml xml;
    xml.bytes() = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<rsp stat=\"fail\">\n";
    xml.open("err").attr("code", code).attr("msg", message).close("err");
    xml.bytes() += "</rsp>\n";
    return {code, xml.bytes()};
}

RestAnswer RestApi::ok(const QByteArray& inner) const {
    return {0, "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<rsp stat=\"ok\">\n" + inner + "</rsp>\n"};
}

RestAnswer RestApi::call(const QString& method, const Params& args, const Caller& caller) {
    const auto handler = handlers().value(method);
    if (!handler)
        return error(112, QStringLiteral("Method not found"));
    static const QSet<QString> needUser = {"flickr.photos.getCounts", "flickr.photos.getPerms", "flickr.test.login",
                                           "flickr.test.null", "flickr.photos.getNotInSet",
                                           "flickr.photos.recentlyUpdated"};
    const bool wantsMe = method == QLatin1String("flickr.people.getPhotos")
                         && args.value(QStringLiteral("user_id")) == QLatin1String("me");
    if (isWriteMethod(method)) {
        // Flickr documents a write as "requires an HTTP POST request" but no error for it;
        // sent by GET, it answers code 116 (documented as "Bad URL found") with this message.
        if (caller.httpMethod != QLatin1String("POST"))
            return error(116, QStringLiteral("The POST method is now required for all setters"));
        if (caller.perms != QLatin1String("write") && caller.perms != QLatin1String("delete"))
            return error(99, QStringLiteral("Insufficient permissions. Method requires write privileges; %1 granted.")
                                 .arg(caller.perms.isEmpty() ? QStringLiteral("none") : caller.perms));
    } else if ((needUser.contains(method) || wantsMe) && caller.perms.isEmpty()) {
        return error(99, QStringLiteral("Insufficient permissions. Method requires read privileges; none granted."));
    } else if (method == QLatin1String("flickr.photos.getPerms") && !caller.owner) {
        // Permissions are the owner's business alone.
        return error(99, flickrErrorMessage(99));
    }
    return (this->*handler)(args, caller);
}

bool RestApi::isUser(const QString& userId) const {
    return userId.isEmpty() || userId == QLatin1String("me") || userId == m_nsid;
}

QString RestApi::fileUrl(const Photo& photo, char suffix) const {
    return m_baseUrl + QLatin1Char('/') + photo.server + QLatin1Char('/') + photo.fileName(suffix);
}

QString RestApi::photoPageUrl(const Photo& photo) const {
    return m_baseUrl + QStringLiteral("/photos/") + m_options.userName + QLatin1Char('/') + photo.idText() + QLatin1Char('/');
}

QStringList RestApi::extrasOf(const Params& args) {
    QStringList extras;
    for (const QString& e : args.value(QStringLiteral("extras")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        extras << e.trimmed();
    return extras;
}

void RestApi::store(Photo photo) {
    m_library.storeEdited(std::move(photo));
}

RestAnswer RestApi::getCounts(const Params& args, const Caller& caller) {
    const bool taken = args.contains(QStringLiteral("taken_dates"));
    const QStringList bounds = args.value(taken ? QStringLiteral("taken_dates") : QStringLiteral("dates"))
                                   .split(QLatin1Char(','), Qt::SkipEmptyParts);
    const int n = m_library.visibleCount(caller.owner);
    Xml xml;
    xml.open("photocounts");
    for (int r = 0; r + 1 < bounds.size(); ++r) {
        const qint64 from = dateBound(bounds[r]);
        const qint64 to = dateBound(bounds[r + 1]);
        int count = 0;
        for (int k = 0; k < n && from < to; ++k) {
            const int i = m_library.visibleAt(caller.owner, k);
            const qint64 t = taken ? m_library.takenSeconds(i) : m_library.photo(i).dateUpload;
            count += (t >= from && t < to) ? 1 : 0;
        }
        xml.open("photocount").attr("count", count).attr("fromdate", bounds[r]).attr("todate", bounds[r + 1]).close("photocount");
    }
    xml.close("photocounts");
    return ok(xml.bytes());
}

void RestApi::writePhotoElement(Xml& xml, const Photo& p, const QStringList& extras) const {
    xml.open("photo").attr("id", p.id).attr("owner", m_nsid).attr("secret", p.secret).attr("server", p.server)
        .attr("farm", p.farm).attr("title", p.title).attr("ispublic", p.isPublic).attr("isfriend", p.isFriend)
        .attr("isfamily", p.isFamily);
    writePhotoExtras(xml, p, extras);
    xml.close("photo");
}

void RestApi::writePhotoExtras(Xml& xml, const Photo& p, const QStringList& extras) const {
    const auto has = [&](const char* name) { return extras.contains(QLatin1String(name)); };
    if (has("license"))
        xml.attr("license", p.license);
    if (has("date_upload"))
        xml.attr("dateupload", p.dateUpload);
    if (has("last_update"))
        xml.attr("lastupdate", p.lastUpdate);
    if (has("date_taken"))
        xml.attr("datetaken", p.dateTaken).attr("datetakengranularity", 0).attr("datetakenunknown", 0);
    if (has("owner_name"))
        xml.attr("ownername", m_options.userName);
    if (has("icon_server"))
        xml.attr("iconserver", p.server).attr("iconfarm", p.farm);
    if (has("views"))
        xml.attr("views", p.views);
    if (has("tags"))
        xml.attr("tags", p.normalizedTags().join(QLatin1Char(' ')));
    if (has("machine_tags"))
        xml.attr("machine_tags", QString());
    if (has("original_format") && p.hasOriginalUrl)
        xml.attr("originalsecret", p.originalSecret).attr("originalformat", QStringLiteral("jpg"));
    if (has("geo")) {
        xml.attr("latitude", p.geotagged ? coordinateText(p.latitude) : QStringLiteral("0"))
            .attr("longitude", p.geotagged ? coordinateText(p.longitude) : QStringLiteral("0"))
            .attr("accuracy", p.geotagged ? p.accuracy : 0);
        if (p.geotagged)
            xml.attr("context", 0).attr("geo_is_public", 1).attr("geo_is_contact", 0).attr("geo_is_friend", 0).attr("geo_is_family", 0);
    }
    if (has("media"))
        xml.attr("media", p.isVideo ? QStringLiteral("video") : QStringLiteral("photo"))
            .attr("media_status", QStringLiteral("ready"));
    if (has("path_alias"))
        xml.attr("pathalias", m_options.userName);
    for (int s = 0; s < 7; ++s) {
        const QByteArray name = QByteArray("url_") + kSizes[s];
        if (!has(name.constData()) || !p.hasSize(kSuffixes[s]))
            continue;
        const QSize size = p.pixelSize(kSuffixes[s]);
        const QByteArray h = QByteArray("height_") + kSizes[s], w = QByteArray("width_") + kSizes[s];
        xml.attr(name.constData(), fileUrl(p, kSuffixes[s])).attr(h.constData(), size.height()).attr(w.constData(), size.width());
    }
    if (has("o_dims"))
        xml.attr("o_width", p.originalWidth).attr("o_height", p.originalHeight);
    if (has("description"))
        xml.element("description", p.description);
}

RestAnswer RestApi::getPhotos(const Params& args, const Caller& caller) {
    if (!isUser(args.value(QStringLiteral("user_id"), QStringLiteral("-"))))
        return error(2, QStringLiteral("Unknown user"));
    const QStringList extras = extrasOf(args);
    const int total = m_library.visibleCount(caller.owner);
    const Paging pg = paging(args, total, 100);
    Xml xml;
    xml.open("photos").attr("page", pg.page).attr("pages", pg.pages).attr("perpage", pg.perPage).attr("total", total);
    for (int k = pg.first; k < std::min(total, pg.first + pg.perPage); ++k)
        writePhotoElement(xml, m_library.photo(m_library.visibleAt(caller.owner, k)), extras);
    xml.close("photos");
    return ok(xml.bytes());
}

RestAnswer RestApi::getPerms(const Params& args, const Caller&) {
    const auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    if (!p)
        return error(1, QStringLiteral("Photo not found"));
    Xml xml;
    xml.open("perms").attr("id", p->id).attr("ispublic", p->isPublic).attr("isfriend", p->isFriend)
        .attr("isfamily", p->isFamily).attr("permcomment", p->permComment).attr("permaddmeta", p->permAddMeta)
        .close("perms");
    return ok(xml.bytes());
}

RestAnswer RestApi::getExif(const Params& args, const Caller& caller) {
    const auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    // Flickr's "Photo not found" covers pictures the caller may not see; its "Permission
    // denied" is for owners who hide their EXIF data, which the stand-in's never do.
    if (!p || (!p->isPublic && !caller.owner))
        return error(1, QStringLiteral("Photo not found"));
    const QList<ExifEntry> entries = m_library.stream().exifFor(p->id);
    QString camera;
    for (const ExifEntry& e : entries)
        if (e.tag == QLatin1String("Model") && camera.isEmpty())
            camera = e.raw;
    Xml xml;
    xml.open("photo").attr("id", p->id).attr("secret", p->secret).attr("server", p->server).attr("farm", p->farm)
        .attr("camera", camera);
    for (const ExifEntry& e : entries) {
        xml.open("exif").attr("tagspace", e.tagspace).attr("tagspaceid", e.tagspaceId).attr("tag", e.tag)
            .attr("label", e.label).element("raw", e.raw);
        if (!e.clean.isEmpty())
            xml.element("clean", e.clean);
        xml.close("exif");
    }
    xml.close("photo");
    return ok(xml.bytes());
}

QString RestApi::userNameOf(const Caller& caller) const {
    return caller.userName.isEmpty() ? m_options.userName : caller.userName;
}

RestAnswer RestApi::testLogin(const Params&, const Caller& caller) {
    const QString user = userNameOf(caller);
    Xml xml;
    xml.open("user").attr("id", m_nsid).attr("path_alias", user).element("username", user).close("user");
    return ok(xml.bytes());
}

RestAnswer RestApi::getUserProfile(const Params& args, const Caller& caller) {
    if (!isUser(args.value(QStringLiteral("user_id"))))
        return error(1, QStringLiteral("User not found"));
    Xml xml;
    xml.open("user").attr("nsid", m_nsid)
        .attr("url", m_baseUrl + QStringLiteral("/people/") + userNameOf(caller) + QLatin1Char('/')).close("user");
    return ok(xml.bytes());
}

RestAnswer RestApi::tagsGetListPhoto(const Params& args, const Caller& caller) {
    const auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    // A private picture does not exist for anybody but its owner.
    if (!p || (!p->isPublic && !caller.owner))
        return error(1, QStringLiteral("Photo not found"));
    Xml xml;
    xml.open("photo").attr("id", p->id);
    writeTags(xml, *p);
    xml.close("photo");
    return ok(xml.bytes());
}

void RestApi::writeTags(Xml& xml, const Photo& p) const {
    xml.open("tags");
    for (int i = 0; i < p.rawTags.size(); ++i)
        xml.open("tag").attr("id", QStringLiteral("%1-%2-%3").arg(m_nsid.section(QLatin1Char('@'), 0, 0)).arg(p.id).arg(i + 1))
            .attr("author", m_nsid).attr("authorname", m_options.userName).attr("raw", p.rawTags[i])
            .attr("machine_tag", 0).text(normalizedTag(p.rawTags[i])).close("tag");
    xml.close("tags");
}

} // namespace fakeflickr
