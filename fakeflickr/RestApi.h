#pragma once

#include "Options.h"
#include "Photostream.h"
#include "Signature.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace fakeflickr {

// Who is calling: filled in by the server after the signature was checked.
struct Caller {
    QString httpMethod;  // "GET" or "POST"
    QString perms;       // "", "read", "write" or "delete"
    QString userName;    // the token's user; empty for an unsigned call
    // Signed by OAuth with an access token of the stream's owner: only such a call
    // sees private pictures, their EXIF and their permissions. The server sets it
    // for every call; a direct caller of RestApi is the owner unless it says otherwise.
    bool owner = true;
};

struct RestAnswer {
    int errorCode = 0;  // 0: stat="ok"
    QByteArray body;
};

// A coordinate as Flickr writes it: at most six decimals, no trailing zeros.
QString coordinateText(double value);
// A date as Flickr's arguments take it: Unix seconds or a MySQL datetime (UTC).
std::optional<qint64> parseFlickrDate(const QString& text);

// The REST methods Tessaly and other Flickr clients call, answering with Flickr's XML
// shapes (the server turns them into JSON when asked, see AnswerFormat.h).
class RestApi {
public:
    RestApi(PhotoLibrary& library, const Options& options, QString nsid);

    void setBaseUrl(const QString& baseUrl) { m_baseUrl = baseUrl; }
    RestAnswer call(const QString& method, const Params& args, const Caller& caller);

    static bool isWriteMethod(const QString& method);
    static RestAnswer error(int code, const QString& message);

    static QStringList extrasOf(const Params& args);

    static constexpr int kMaxPerPage = 500;
    // Flickr's page arithmetic: per_page capped at 500, pages counted from 1.
    struct Paging {
        int page = 1;
        int perPage = 100;
        int pages = 0;
        int first = 0;  // first item of the page; may lie past the end
    };
    static Paging paging(const Params& args, int total, int defaultPerPage);

private:
    using Handler = RestAnswer (RestApi::*)(const Params&, const Caller&);
    static const QHash<QString, Handler>& handlers();

    RestAnswer getCounts(const Params& args, const Caller&);
    RestAnswer getPhotos(const Params& args, const Caller&);
    // Sets (RestSets.cpp).
    RestAnswer setsGetList(const Params& args, const Caller&);
    RestAnswer setsGetPhotos(const Params& args, const Caller&);
    RestAnswer getPerms(const Params& args, const Caller&);
    RestAnswer getExif(const Params& args, const Caller&);
    RestAnswer testLogin(const Params& args, const Caller&);
    RestAnswer getUserProfile(const Params& args, const Caller&);
    RestAnswer tagsGetListPhoto(const Params& args, const Caller&);
    RestAnswer getInfo(const Params& args, const Caller&);
    RestAnswer getSizes(const Params& args, const Caller&);  // RestSizes.cpp
    RestAnswer setsGetInfo(const Params& args, const Caller&);  // RestSets.cpp
    // The caller, the user and tests of the service (RestPeople.cpp).
    RestAnswer checkToken(const Params& args, const Caller&);
    RestAnswer testEcho(const Params& args, const Caller&);
    RestAnswer testNull(const Params& args, const Caller&);
    RestAnswer peopleGetInfo(const Params& args, const Caller&);
    RestAnswer findByUsername(const Params& args, const Caller&);
    RestAnswer collectionsGetTree(const Params& args, const Caller&);
    // Filtered lists of pictures (RestSearch.cpp).
    RestAnswer search(const Params& args, const Caller&);
    RestAnswer getNotInSet(const Params& args, const Caller&);
    RestAnswer recentlyUpdated(const Params& args, const Caller&);
    // Write methods (RestWrites.cpp).
    RestAnswer setMeta(const Params& args, const Caller&);
    RestAnswer setTags(const Params& args, const Caller&);
    RestAnswer setDates(const Params& args, const Caller&);
    RestAnswer setPerms(const Params& args, const Caller&);
    RestAnswer setLicense(const Params& args, const Caller&);
    RestAnswer setLocation(const Params& args, const Caller&);

    RestAnswer ok(const QByteArray& inner = {}) const;
    bool isUser(const QString& userId) const;
    QString userNameOf(const Caller& caller) const;
    void writePhotoElement(class Xml& xml, const Photo& photo, const QStringList& extras) const;
    // The attributes and the description that `extras` asks for, inside an open "photo".
    void writePhotoExtras(class Xml& xml, const Photo& photo, const QStringList& extras) const;
    // A page of Flickr's standard photo list of the pictures at these stream positions.
    RestAnswer photoList(const std::vector<int>& indexes, const Params& args, const char* alsoExtra = nullptr) const;
    // The "tags" element of a picture, each tag with its raw form.
    void writeTags(class Xml& xml, const Photo& photo) const;
    QString fileUrl(const Photo& photo, char suffix) const;
    QString photoPageUrl(const Photo& photo) const;
    void store(Photo photo);

    PhotoLibrary& m_library;
    const Options& m_options;
    QString m_nsid;
    QString m_baseUrl;
};

} // namespace fakeflickr
