// The stand-in as any Flickr client sees it: every method in XML, JSON and JSONP, signed
// in the query, the form body and the Authorization header, read against Flickr's
// documented answer shapes; then the refusals, the signatures, what searches find,
// writes, and the picture and video files.
#include "ServiceClient.h"

#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <set>

using namespace fakeflickr;
using namespace fftest;

namespace {

QStringList jsonValues(const QJsonObject& root, const QString& path) {
    QList<QJsonValue> at = {root};
    for (const QString& segment : path.split('.')) {
        const bool list = segment.endsWith("[]");
        QList<QJsonValue> next;
        for (const QJsonValue& v : at) {
            const QJsonValue m = v.toObject().value(QString(segment).remove("[]"));
            // A list is there even when empty; anything else may be missing.
            if (m.isUndefined() && !list)
                continue;
            if (list != m.isArray())
                return {"!shape"};
            for (const QJsonValue& item : list ? m.toArray() : QJsonArray{m})
                next << item;
        }
        at = next;
    }
    QStringList out;
    for (const QJsonValue& v : at)
        out << (v.isString() ? v.toString() : v.isDouble() ? QString::number(qint64(v.toDouble())) : QString("{}"));
    return out;
}

struct Check {
    QString path;
    std::optional<QStringList> values;  // nothing: at least one value, none empty
};
constexpr std::nullopt_t any = std::nullopt;
struct Row {
    QString method;
    Args args;
    QList<Check> checks;
    bool write = false;
};

class Conformance : public ServiceTest {
protected:
    void SetUp() override {
        Options options;
        options.photos = 600;
        options.seed = 37;
        start(options);
    }
    Reply call(const QString& method, const Args& args, Placement where = Placement::Query, bool asStranger = false) {
        return callRest(server->baseUrl(), method, args, asStranger ? stranger : owner, where);
    }
    // The JSON object of an answer asked for as plain JSON or, with a callback, as JSONP.
    QJsonObject json(const Reply& reply, const QString& callback = {}) {
        QByteArray body = reply.body;
        if (!callback.isEmpty()) {
            EXPECT_TRUE(body.startsWith(callback.toUtf8() + "(") && body.endsWith(")")) << body.left(80).constData();
            EXPECT_TRUE(reply.contentType.startsWith("text/javascript")) << reply.contentType.constData();
            body = body.mid(callback.size() + 1).chopped(1);
        }
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
        EXPECT_TRUE(doc.isObject()) << error.errorString().toStdString() << ": " << body.left(200).constData();
        return doc.object();
    }
    // What `of` gives for the pictures from..to-1 that have it.
    QStringList column(int from, int to, const std::function<std::optional<QString>(const Photo&)>& of) const {
        QStringList out;
        for (int i = from; i < to; ++i)
            if (const auto v = of(stream().photoAt(i)))
                out << *v;
        return out;
    }
};

const QString awkward = QString::fromUtf8("a~b c&d=e \"q\" \\\" é/東京+%*'()");

} // namespace

TEST_F(Conformance, EveryMethodAnswersInFlickrsShapesInEveryFormAndSigning) {
    const Photostream& s = stream();
    const Photo tagged = s.photoAt(firstIndex([](const Photo& p) { return p.rawTags.size() >= 2; }));
    const Photo oneExif = s.photoAt(firstIndex([&](const Photo& p) { return s.exifFor(p.id).size() == 1; }));
    const Photo noExif = s.photoAt(firstIndex([&](const Photo& p) { return s.exifFor(p.id).isEmpty(); }));
    const Photo manyExif = s.photoAt(firstIndex([&](const Photo& p) { return s.exifFor(p.id).size() > 3; }));
    const Photo single = s.photoAt(s.setMember(1, 0));
    const PhotoSet big = s.setAt(0);
    ASSERT_GT(big.count, 300);
    QStringList cats, exifTags, exifLabels, exifRaw, exifClean, setTitles, setDescriptions, bigSet;
    for (int i = 0; i < s.size(); ++i)
        if (s.photoAt(i).normalizedTags().contains("cat"))
            cats << id(i);
    for (const ExifEntry& e : s.exifFor(manyExif.id)) {
        exifTags << e.tagspace;
        exifLabels << e.label;
        exifRaw << e.raw;
        if (!e.clean.isEmpty())
            exifClean << e.clean;
    }
    for (int k = 0; k < s.setCount(); ++k) {
        setTitles << s.setAt(k).title;
        setDescriptions << s.setAt(k).description;
    }
    for (int j = 0; j < big.count; ++j)
        bigSet << id(s.setMember(0, j));
    const QString nsid = server->userNsid(), all = QString::number(s.size());
    const auto n = [](qint64 v) { return L{QString::number(v)}; };
    const auto url = [&](char size) {
        return [&, size](const Photo& p) { return p.hasSize(size) ? std::optional(fileUrl(p.index, size)) : std::nullopt; };
    };
    const QList<Row> rows = {
        {"flickr.test.echo", {{"foo", awkward}}, {{"foo._content", L{awkward}}, {"method._content", L{"flickr.test.echo"}}}},
        {"flickr.test.null", {}, {}},
        {"flickr.test.login", {}, {{"user.id", L{nsid}}, {"user.username._content", L{"tessaly_demo"}}}},
        {"flickr.auth.oauth.checkToken", {{"oauth_token", owner.token}},
         {{"oauth.token._content", L{owner.token}}, {"oauth.perms._content", L{"write"}}, {"oauth.user.nsid", L{nsid}},
          {"oauth.user.username", L{"tessaly_demo"}}, {"oauth.user.fullname", L{"Tessaly Demo"}}}},
        {"flickr.people.getInfo", {{"user_id", nsid}},
         {{"person.nsid", L{nsid}}, {"person.ispro", L{"1"}}, {"person.username._content", L{"tessaly_demo"}},
          {"person.realname._content", L{"Tessaly Demo"}}, {"person.photos.count._content", L{all}},
          {"person.photos.firstdate._content", n(s.photoAt(s.size() - 1).dateUpload)}, {"person.photosurl._content", any}}},
        {"flickr.people.findByUsername", {{"username", "Tessaly_Demo"}},
         {{"user.nsid", L{nsid}}, {"user.username._content", L{"tessaly_demo"}}}},
        // Pages: at most 500 a page, every extra of each picture; the last page; one picture is still a list; none.
        {"flickr.people.getPhotos",
         {{"user_id", "me"}, {"per_page", "900"},
          {"extras", "description, license, date_upload, date_taken, owner_name, last_update, geo, tags, media, "
                     "url_sq, url_l, url_o"}},
         {{"photos.page", L{"1"}}, {"photos.pages", L{"2"}}, {"photos.perpage", L{"500"}}, {"photos.total", L{all}},
          {"photos.photo[].id", column(0, 500, [](const Photo& p) { return p.idText(); })},
          {"photos.photo[].title", column(0, 500, [](const Photo& p) { return p.title; })},
          {"photos.photo[].description._content", column(0, 500, [](const Photo& p) { return p.description; })},
          {"photos.photo[].tags", column(0, 500, [](const Photo& p) { return p.normalizedTags().join(' '); })},
          {"photos.photo[].dateupload", column(0, 500, [](const Photo& p) { return QString::number(p.dateUpload); })},
          {"photos.photo[].datetaken", column(0, 500, [](const Photo& p) { return p.dateTaken; })},
          {"photos.photo[].ownername", L(500, "tessaly_demo")}, {"photos.photo[].owner", L(500, nsid)},
          {"photos.photo[].media", column(0, 500, [](const Photo& p) { return p.isVideo ? "video" : "photo"; })},
          {"photos.photo[].url_sq", column(0, 500, url('s'))}, {"photos.photo[].url_l", column(0, 500, url('b'))},
          {"photos.photo[].url_o", column(0, 500, url('o'))},
          {"photos.photo[].width_o",
           column(0, 500, [](const Photo& p) {
               return p.hasSize('o') ? std::optional(QString::number(p.pixelSize('o').width())) : std::nullopt; })},
          {"photos.photo[].license", any}, {"photos.photo[].lastupdate", any}, {"photos.photo[].latitude", any}}},
        {"flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "500"}, {"page", "2"}},
         {{"photos.page", L{"2"}}, {"photos.photo[].id", column(500, 600, [](const Photo& p) { return p.idText(); })}}},
        {"flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "1"}, {"page", "600"}},
         {{"photos.pages", L{"600"}}, {"photos.photo[].id", L{id(599)}}}},
        {"flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "7"}, {"page", "1000"}},
         {{"photos.page", L{"1000"}}, {"photos.total", L{all}}, {"photos.photo[].id", L{}}}},
        {"flickr.photos.getInfo", {{"photo_id", tagged.idText()}},
         {{"photo.id", L{tagged.idText()}}, {"photo.title._content", L{tagged.title}}, {"photo.tags.tag[].raw", tagged.rawTags},
          {"photo.dates.posted", n(tagged.dateUpload)}, {"photo.urls.url[]._content", any}, {"photo.owner.nsid", L{nsid}}}},
        {"flickr.photos.getSizes", {{"photo_id", tagged.idText()}},
         {{"sizes.size[].label", any}, {"sizes.size[].width", any}, {"sizes.size[].source", any}, {"sizes.size[].url", any},
          {"sizes.size[].media", any}}},
        {"flickr.photos.getExif", {{"photo_id", oneExif.idText()}},
         {{"photo.exif[].tag", L{s.exifFor(oneExif.id)[0].tag}}, {"photo.exif[].raw._content", L{s.exifFor(oneExif.id)[0].raw}}}},
        {"flickr.photos.getExif", {{"photo_id", noExif.idText()}}, {{"photo.exif[].tag", L{}}}},
        {"flickr.photos.getExif", {{"photo_id", manyExif.idText()}},
         {{"photo.exif[].tagspace", exifTags}, {"photo.exif[].label", exifLabels}, {"photo.exif[].raw._content", exifRaw},
          {"photo.exif[].clean._content", exifClean}}},
        {"flickr.photos.getPerms", {{"photo_id", tagged.idText()}},
         {{"perms.id", L{tagged.idText()}}, {"perms.permcomment", n(tagged.permComment)},
          {"perms.permaddmeta", n(tagged.permAddMeta)}}},
        {"flickr.photos.getCounts", {{"dates", "0,9999999999"}}, {{"photocounts.photocount[].count", L{all}}}},
        {"flickr.photos.getCounts", {{"taken_dates", "0000000000,9999999999,0000000000,9999999999"}},
         {{"photocounts.photocount[].count", L{all, "0", all}}}},
        {"flickr.tags.getListPhoto", {{"photo_id", tagged.idText()}},
         {{"photo.tags.tag[].raw", tagged.rawTags}, {"photo.tags.tag[]._content", tagged.normalizedTags()}}},
        {"flickr.urls.getUserProfile", {},
         {{"user.nsid", L{nsid}}, {"user.url", L{server->baseUrl() + "/people/tessaly_demo/"}}}},
        {"flickr.photos.search", {{"user_id", "me"}, {"tags", "CAT"}, {"per_page", "5"}, {"page", "2"}},
         {{"photos.page", L{"2"}}, {"photos.perpage", L{"5"}}, {"photos.total", n(cats.size())},
          {"photos.photo[].id", cats.mid(5, 5)}}},
        {"flickr.photos.search",
         {{"user_id", nsid}, {"min_upload_date", n(tagged.dateUpload)[0]}, {"max_upload_date", n(tagged.dateUpload)[0]},
          {"extras", "tags,date_upload"}},
         {{"photos.photo[].id", L{tagged.idText()}}, {"photos.photo[].tags", L{tagged.normalizedTags().join(' ')}}}},
        {"flickr.photos.getNotInSet", {{"per_page", "3"}}, {{"photos.photo[].id", any}, {"photos.pages", any}}},
        {"flickr.photos.recentlyUpdated", {{"min_date", "0"}, {"per_page", "2"}},
         {{"photos.total", L{all}}, {"photos.photo[].lastupdate", any}}},
        {"flickr.photosets.getList", {},
         {{"photosets.photoset[].id", any}, {"photosets.photoset[].title._content", setTitles},
          {"photosets.photoset[].description._content", setDescriptions}}},
        {"flickr.photosets.getInfo", {{"photoset_id", big.id}},
         {{"photoset.id", L{big.id}}, {"photoset.title._content", L{big.title}},
          {"photoset.description._content", L{big.description}}, {"photoset.owner", L{nsid}}}},
        {"flickr.photosets.getPhotos", {{"photoset_id", big.id}},
         {{"photoset.total", n(big.count)}, {"photoset.pages", L{"1"}}, {"photoset.photo[].id", bigSet}}},
        {"flickr.photosets.getPhotos", {{"photoset_id", big.id}, {"per_page", "300"}, {"page", "2"}},
         {{"photoset.pages", L{"2"}}, {"photoset.photo[].id", bigSet.mid(300)}}},
        {"flickr.photosets.getPhotos", {{"photoset_id", s.setAt(1).id}, {"extras", "date_upload,description,url_sq,media"}},
         {{"photoset.total", L{"1"}}, {"photoset.photo[].id", L{single.idText()}}, {"photoset.photo[].dateupload", n(single.dateUpload)},
          {"photoset.photo[].description._content", L{single.description}}, {"photoset.photo[].url_sq", any},
          {"photoset.photo[].media", any}}},
        {"flickr.collections.getTree", {}, {{"collections.collection[].id", L{}}}},
        {"flickr.photos.setMeta", {{"photo_id", id(9)}, {"title", awkward}, {"description", "x\ny"}}, {}, true},
    };
    const QList<Placement> reads = {Placement::Query, Placement::HeaderGet, Placement::Body, Placement::HeaderPost};
    for (int r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        SCOPED_TRACE(QString("%1 %2").arg(row.method).arg(r).toStdString());
        const auto where = [&](int shift) { return row.write ? reads[2 + (r + shift) % 2] : reads[(r + shift) % 4]; };
        const Reply xmlReply = call(row.method, row.args, where(0));
        const auto xml = parseXml(xmlReply.body);
        ASSERT_TRUE(xml.has_value()) << xmlReply.body.constData();
        ASSERT_EQ(xml->attributes.value("stat"), "ok") << xmlReply.body.constData();
        Args asJson = row.args, asJsonp = row.args;
        asJson["format"] = asJsonp["format"] = "json";
        asJson["nojsoncallback"] = "1";
        const Reply jsonReply = call(row.method, asJson, where(1));
        EXPECT_TRUE(jsonReply.contentType.startsWith("application/json")) << jsonReply.contentType.constData();
        const QJsonObject plain = json(jsonReply), wrapped = json(call(row.method, asJsonp, where(2)), "jsonFlickrApi");
        for (const QJsonObject& o : {plain, wrapped})
            EXPECT_EQ(o.value("stat").toString(), "ok");
        for (const Check& check : row.checks) {
            SCOPED_TRACE(check.path.toStdString());
            const QStringList values = xmlValues(*xml, check.path);
            EXPECT_EQ(jsonValues(plain, check.path), values);
            EXPECT_EQ(jsonValues(wrapped, check.path), values);
            if (check.values) {
                EXPECT_EQ(values, *check.values);
            } else {
                EXPECT_TRUE(!values.isEmpty() && !values.contains(QString()) && !values.contains("!shape"))
                    << values.join('|').toStdString();
            }
        }
    }
    EXPECT_EQ(server->photo(id(9))->title, awkward);
    EXPECT_EQ(server->photo(id(9))->description, "x\ny");
    // Numbers where Flickr's JSON has them; identifiers stay strings.
    const QJsonObject page =
        json(call("flickr.people.getPhotos", {{"user_id", "me"}, {"format", "json"}, {"nojsoncallback", "1"}}));
    EXPECT_TRUE(page["photos"]["page"].isDouble() && page["photos"]["total"].isDouble());
    EXPECT_TRUE(page["photos"]["photo"][0]["id"].isString() && page["photos"]["photo"][0]["ispublic"].isDouble());
    // A callback of the caller's choosing.
    json(call("flickr.test.null", {{"format", "json"}, {"jsoncallback", "my.cb_1"}}), "my.cb_1");
}

TEST_F(Conformance, RefusalsCarryFlickrsDocumentedCodesInEveryForm) {
    enum class Who { Owner, Stranger, NoToken };
    struct Refusal {
        QString method;
        Args args;
        int code;
        QString message;
        Who who = Who::Owner;
        bool write = false;
    };
    const QString hidden = id(firstIndex([](const Photo& p) { return !p.isPublic; })), photo = id(0);
    const auto perms = [&](const char* isPublic, const char* comment) {
        return Args{{"photo_id", photo}, {"is_public", isPublic}, {"is_friend", "0"}, {"is_family", "0"}, {"perm_comment", comment}};
    };
    const QList<Refusal> refusals = {
        {"flickr.photos.getExif", {{"photo_id", hidden}}, 1, "Photo not found", Who::Stranger},
        {"flickr.photos.getInfo", {{"photo_id", hidden}}, 1, "Photo not found", Who::Stranger},
        {"flickr.photos.getSizes", {{"photo_id", hidden}}, 2, "Permission denied", Who::Stranger},
        {"flickr.photos.getSizes", {{"photo_id", "1"}}, 1, "Photo not found"},
        {"flickr.photos.getExif", {{"photo_id", "123"}}, 1, "Photo not found"},
        {"flickr.photos.getPerms", {{"photo_id", "1"}}, 1, "Photo not found"},
        {"flickr.photos.setTags", {{"photo_id", photo}, {"tags", "x"}}, 116, "The POST method is now required for all setters"},
        {"flickr.photos.setTags", {{"photo_id", photo}, {"tags", "x"}}, 99,
         "Insufficient permissions. Method requires write privileges; read granted.", Who::Stranger, true},
        {"flickr.photos.geo.setLocation", {{"photo_id", photo}, {"lat", "95"}, {"lon", "10"}}, 3, {}, Who::Owner, true},
        {"flickr.photos.geo.setLocation", {{"photo_id", photo}, {"lat", "0"}, {"lon", "500"}}, 4, {}, Who::Owner, true},
        {"flickr.photos.geo.setLocation", {{"photo_id", photo}, {"lat", "x"}, {"lon", "1"}}, 3, {}, Who::Owner, true},
        {"flickr.photos.setDates", {{"photo_id", photo}, {"date_taken", "yesterday"}}, 4, {}, Who::Owner, true},
        {"flickr.photos.setPerms", perms("2", "0"), 2, {}, Who::Owner, true},
        {"flickr.photos.setPerms", perms("1", "4"), 2, {}, Who::Owner, true},
        {"flickr.photos.licenses.setLicense", {{"photo_id", photo}, {"license_id", "11"}}, 2, {}, Who::Owner, true},
        {"flickr.photos.setMeta", {{"photo_id", "1"}, {"title", "t"}}, 1, "Photo not found", Who::Owner, true},
        {"flickr.photos.search", {{"per_page", "5"}}, 3, {}},
        {"flickr.photos.search", {{"user_id", "1@N01"}, {"tags", "cat"}}, 2, "Unknown user"},
        {"flickr.people.findByUsername", {{"username", "nobody"}}, 1, "User not found"},
        {"flickr.people.getInfo", {{"user_id", "1@N01"}}, 1, "User not found"},
        {"flickr.photos.recentlyUpdated", {}, 1, {}},
        {"flickr.photos.recentlyUpdated", {{"min_date", "yesterday-ish"}}, 2, "Not a valid date"},
        {"flickr.photosets.getInfo", {{"photoset_id", "72157"}}, 1, "Photoset not found"},
        {"flickr.photosets.getPhotos", {{"photoset_id", "72157"}}, 1, "Photoset not found"},
        {"flickr.photos.getNotInSet", {}, 99, "Insufficient permissions. Method requires read privileges; none granted.",
         Who::NoToken},
        {"flickr.auth.oauth.checkToken", {}, 98, {}, Who::NoToken},
        {"flickr.nothing.here", {}, 112, "Method not found"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.method.toStdString() + " " + std::to_string(r.code));
        const auto creds = r.who == Who::NoToken ? consumer : r.who == Who::Stranger ? stranger : owner;
        const Reply xmlReply = callRest(server->baseUrl(), r.method, r.args, creds,
                                        r.write ? Placement::HeaderPost : Placement::HeaderGet);
        EXPECT_EQ(value(xmlReply, "stat"), "fail");
        EXPECT_EQ(values(xmlReply, "err.code"), QStringList{QString::number(r.code)});
        Args args = r.args;
        args["format"] = "json";
        args["nojsoncallback"] = "1";
        const Reply jsonReply = callRest(server->baseUrl(), r.method, args, creds, r.write ? Placement::Body : Placement::Query);
        const QJsonObject o = QJsonDocument::fromJson(jsonReply.body).object();
        EXPECT_EQ(o.value("stat").toString(), "fail");
        EXPECT_TRUE(o.value("code").isDouble());
        EXPECT_EQ(o.value("code").toInt(), r.code);
        EXPECT_EQ(o.value("message").toString(), value(xmlReply, "err.msg"));
        if (!r.message.isEmpty()) {
            EXPECT_EQ(o.value("message").toString(), r.message);
        }
    }
    // Refused writes change nothing.
    const Photo before = stream().photoAt(0), after = *server->photo(photo);
    EXPECT_EQ(after.latitude, before.latitude);
    EXPECT_EQ(after.license, before.license);
    EXPECT_EQ(after.isPublic, before.isPublic);
    EXPECT_EQ(after.dateTaken, before.dateTaken);
    // An unknown format is answered in XML.
    const Reply odd = call("flickr.test.null", {{"format", "xmlrpc"}});
    EXPECT_TRUE(odd.body.contains("code=\"111\" msg=\"Format &quot;xmlrpc&quot; not found\"")) << odd.body.constData();
    // Uploads are refused in the REST form, not with a bare 404; other addresses are.
    for (const QString path : {"/services/upload/", "/services/replace/"})
        EXPECT_EQ(values(post(server->baseUrl() + path, "title=x"), "err.code"), QStringList{"3"});
    EXPECT_EQ(get(server->baseUrl() + "/nothing/here").status, 404);
}

TEST_F(Conformance, TamperedOrForeignSignaturesAreRefused) {
    const auto sign = [&](Args a, const Credentials& c, const QString& http = "GET", bool tilde = false) {
        a.insert("method", a.value("method", "flickr.test.login"));
        return oauthSigned(a, http, rest, c, tilde);
    };
    const auto changed = [](Args a, const QString& key, const QString& v) {
        a[key] = v;
        return a;
    };
    const auto with = [&](const std::function<void(Credentials&)>& change) {
        Credentials c = owner;
        change(c);
        return callRest(server->baseUrl(), "flickr.test.login", {}, c);
    };
    const Args meta = {{"method", "flickr.photos.setMeta"}, {"photo_id", id(0)}, {"title", "t"}};
    struct Case {
        const char* what;
        Reply reply;
        int code;
        QString message = {};
    };
    const QList<Case> cases = {
        {"a value changed after signing", send(rest, changed(sign({{"x", "1"}}, owner), "x", "2"), Placement::Query), 96,
         "Invalid signature"},
        {"signed for POST, sent by GET", send(rest, sign({}, owner, "POST"), Placement::Query), 96},
        // "~" is unreserved: signed escaped, it is not Flickr's signature; signed as RFC 5849 says, it is.
        {"~ escaped", send(rest, sign({{"x", "a~b ~"}}, owner, "GET", true), Placement::Query), 96},
        {"~ as it is", send(rest, sign({{"x", "a~b ~"}}, owner), Placement::Query), 0},
        {"wrong token secret", with([](Credentials& c) { c.tokenSecret = "nope"; }), 96, "Invalid signature"},
        {"wrong shared secret", with([](Credentials& c) { c.sharedSecret += "x"; }), 96},
        {"unknown key", with([](Credentials& c) { c.apiKey = "0123"; }), 100, "Invalid API Key (Key not found)"},
        {"unknown token", with([](Credentials& c) { c.token = "72157000000000000-0000000000000000"; }), 98, "Invalid auth token"},
        {"another api_key", call("flickr.test.login", {{"api_key", "other"}}), 100},
        {"header: nonce changed", send(rest, changed(sign({}, owner), "oauth_nonce", "x"), Placement::HeaderGet), 96},
        {"header: query changed", send(rest, changed(sign({{"x", "1"}}, owner), "x", "2"), Placement::HeaderGet), 96},
        {"header: body changed", send(rest, changed(sign(meta, owner, "POST"), "title", "u"), Placement::HeaderPost), 96},
        {"legacy", send(rest, legacySigned({{"method", "flickr.test.login"}}, owner), Placement::Query), 0},
        {"legacy, changed", send(rest, changed(legacySigned({{"method", "flickr.test.login"}}, owner), "method",
                                               "flickr.photos.getCounts"), Placement::Query), 96},
        {"legacy, unknown token", send(rest, legacySigned({{"method", "flickr.test.login"}}, {owner.apiKey, owner.sharedSecret, "unknown", ""}),
                                       Placement::Query), 98},
        // Unsigned calls reach public methods only.
        {"unsigned", get(rest + "?method=flickr.test.login&api_key=" + owner.apiKey), 99,
         "Insufficient permissions. Method requires read privileges; none granted."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(value(c.reply, "stat"), c.code ? "fail" : "ok");
        EXPECT_EQ(value(c.reply, "err.code").toInt(), c.code);
        if (!c.message.isEmpty()) {
            EXPECT_EQ(value(c.reply, "err.msg"), c.message);
        }
    }
    EXPECT_EQ(value(cases[3].reply, "user.id"), server->userNsid());
    // Only calls that passed the checks are logged.
    QStringList logged;
    for (const auto& call : server->calls())
        logged << QString("%1 %2").arg(call.method).arg(call.errorCode);
    EXPECT_EQ(logged, L({"flickr.test.login 0", "flickr.test.login 0", "flickr.test.login 99"}));
}

TEST_F(Conformance, SearchesAndListsFindWhatTheirArgumentsSay) {
    const Photostream& s = stream();
    const auto found = [&](const Args& args, bool asStranger = false) {
        Args all = args;
        all["per_page"] = "500";
        return values(call("flickr.photos.search", all, Placement::Query, asStranger), "photos.photo[].id");
    };
    const auto expected = [&](const std::function<bool(const Photo&)>& keep, bool onlyPublic = false) {
        QStringList out;
        for (int i = 0; i < s.size(); ++i)
            if (keep(s.photoAt(i)) && (!onlyPublic || s.isPublicAt(i)))
                out << id(i);
        return out;
    };
    const auto tags = [](const Photo& p) { return p.normalizedTags(); };
    EXPECT_EQ(found({{"user_id", "me"}, {"tags", "cat,dog"}}),
              expected([&](const Photo& p) { return tags(p).contains("cat") || tags(p).contains("dog"); }));
    EXPECT_EQ(found({{"user_id", "me"}, {"tags", "cat,dog"}, {"tag_mode", "all"}}),
              expected([&](const Photo& p) { return tags(p).contains("cat") && tags(p).contains("dog"); }));
    EXPECT_EQ(found({{"user_id", "me"}, {"tags", "new york,-cat"}}),
              expected([&](const Photo& p) { return tags(p).contains("newyork") && !tags(p).contains("cat"); }));
    // Without a user, only public pictures; the stranger sees the same.
    const QStringList publicCats = expected([&](const Photo& p) { return tags(p).contains("cat"); }, true);
    EXPECT_EQ(found({{"tags", "cat"}}), publicCats);
    EXPECT_EQ(found({{"user_id", "me"}, {"tags", "cat"}}, true), publicCats);
    EXPECT_EQ(found({{"user_id", "me"}, {"text", "HARBOUR"}}), expected([&](const Photo& p) {
                  return (p.title + p.description + p.rawTags.join(' ')).contains("harbour", Qt::CaseInsensitive); }));
    const QString from = s.photoAt(320).dateTaken, to = s.photoAt(300).dateTaken;
    const QStringList taken =
        found({{"user_id", "me"}, {"min_taken_date", from}, {"max_taken_date", to}, {"sort", "date-taken-asc"}});
    QStringList inRange = expected([&](const Photo& p) { return p.dateTaken >= from && p.dateTaken <= to; });
    const auto takenOf = [&](const QString& photo) { return s.photoAt(*s.indexOfId(photo)).dateTaken; };
    std::stable_sort(inRange.begin(), inRange.end(), [&](const QString& a, const QString& b) { return takenOf(a) < takenOf(b); });
    EXPECT_EQ(taken, inRange);
    EXPECT_GE(taken.size(), 15);

    // Pictures in no set: none is a member of one, and together with the members they are the stream.
    std::set<int> members;
    for (int k = 0; k < s.setCount(); ++k)
        for (int j = 0; j < s.setAt(k).count; ++j)
            members.insert(s.setMember(k, j));
    const QStringList notInSet = values(call("flickr.photos.getNotInSet", {{"per_page", "500"}}), "photos.photo[].id");
    EXPECT_EQ(notInSet, expected([&](const Photo& p) { return !members.count(p.index); }));
    EXPECT_GT(notInSet.size(), 10);

    // An edit puts a picture first among the recently updated.
    server->touchPhotos({id(250)});
    const QString aMinuteAgo = QString::number(QDateTime::currentSecsSinceEpoch() - 60);
    EXPECT_EQ(values(call("flickr.photos.recentlyUpdated", {{"min_date", aMinuteAgo}}), "photos.photo[].id"), L{id(250)});
}

TEST_F(Conformance, WritesAreStoredReadBackAndLogged) {
    const QString photo = id(3);
    const Photo before = *server->photo(photo);
    EXPECT_EQ(value(call("flickr.photos.setTags", {{"photo_id", photo}, {"tags", "a"}}), "err.code"), "116");
    const QList<std::pair<QString, Args>> edits = {
        {"flickr.photos.setTags", {{"tags", "sunset \"new york\" Sunset"}}},
        {"flickr.photos.setDates", {{"date_taken", "2011-06-04 17:30:05"}}},
        {"flickr.photos.setPerms", {{"is_public", "0"}, {"is_friend", "1"}, {"is_family", "1"}, {"perm_comment", "1"}, {"perm_addmeta", "0"}}},
        {"flickr.photos.licenses.setLicense", {{"license_id", "4"}}},
        {"flickr.photos.geo.setLocation", {{"lat", "-33.8567844"}, {"lon", "151.213108"}}}};
    for (const auto& [method, args] : edits) {
        Args all = args;
        all["photo_id"] = photo;
        all["api_key"] = owner.apiKey;
        EXPECT_EQ(value(call(method, all, Placement::Body), "stat"), "ok") << method.toStdString();
    }
    const Photo after = *server->photo(photo);
    EXPECT_EQ(after.rawTags, QStringList({"sunset", "new york"}));
    EXPECT_EQ(after.dateTaken, "2011-06-04 17:30:05");
    EXPECT_TRUE(!after.isPublic && after.isFriend && after.isFamily);
    EXPECT_EQ(after.permComment, 1);
    EXPECT_EQ(after.permAddMeta, 0);
    EXPECT_EQ(after.license, 4);
    EXPECT_TRUE(after.geotagged);
    EXPECT_DOUBLE_EQ(after.latitude, -33.856784);
    EXPECT_GE(after.lastUpdate, before.lastUpdate);

    const auto writes = server->writeCalls();
    ASSERT_EQ(writes.size(), 6);  // the refused one included, with its error code
    EXPECT_EQ(writes[0].errorCode, 116);
    EXPECT_EQ(writes.last().method, "flickr.photos.geo.setLocation");
    EXPECT_EQ(writes.last().args.value("lat"), "-33.8567844");
    EXPECT_EQ(writes.last().args.value("api_key"), owner.apiKey);
    EXPECT_FALSE(writes.last().args.contains("oauth_signature"));
    EXPECT_EQ(writes.last().errorCode, 0);
    // The read side answers with the stored state.
    const Reply tags = call("flickr.tags.getListPhoto", {{"photo_id", photo}}, Placement::Body);
    EXPECT_TRUE(tags.body.contains("raw=\"new york\" machine_tag=\"0\">newyork</tag>")) << tags.body.constData();
}

TEST_F(Conformance, PictureFilesAreJpegsAndFileFaultsApply) {
    const Photo p = stream().photoAt(0);
    const QString url = fileUrl(0, 's');
    const Reply square = get(url);
    ASSERT_EQ(square.status, 200);
    EXPECT_EQ(square.contentLength, square.body.size());
    EXPECT_EQ(QImage::fromData(square.body, "JPG").size(), QSize(75, 75));
    EXPECT_EQ(get(server->baseUrl() + "/" + p.server + "/" + p.idText() + "_000_s.jpg").status, 404);

    ASSERT_TRUE(server->addFault("fail:file:" + p.fileName('s') + ":2"));
    ASSERT_TRUE(server->addFault("truncate:file:*_t.jpg"));
    ASSERT_TRUE(server->addFault("stall:file:" + p.fileName('z')));
    EXPECT_EQ(get(url).status, 500);
    EXPECT_EQ(get(url).status, 500);
    EXPECT_EQ(get(url).body, square.body);
    const Reply truncated = get(fileUrl(0, 't'));
    EXPECT_NE(truncated.error, QNetworkReply::NoError);
    EXPECT_LT(truncated.body.size(), truncated.contentLength);
    EXPECT_TRUE(get(fileUrl(0, 'z'), 300).timedOut);
    EXPECT_EQ(server->fileRequests().count(p.fileName('s')), 4);

    // Files that are not what they claim, as broken servers and captive portals send them.
    const int full = firstIndex([](const Photo& q) { return q.hasSize('o') && q.hasSize('b'); });
    const Photo f = stream().photoAt(full);
    for (const auto& [kind, size] : QList<std::pair<QString, char>>{{"html", 'm'}, {"empty", 'b'}, {"redirect", '-'}, {"endless", 'o'}})
        ASSERT_TRUE(server->addFault(kind + ":file:" + f.fileName(size)));
    const Reply html = get(fileUrl(full, 'm')), empty = get(fileUrl(full, 'b')), moved = get(fileUrl(full, '-'));
    EXPECT_TRUE(html.status == 200 && html.contentType.startsWith("text/html") && html.body.contains("<html"));
    EXPECT_TRUE(empty.status == 200 && empty.body.isEmpty()) << empty.status;
    EXPECT_EQ(moved.status, 302);
    EXPECT_EQ(moved.location, "file:///etc/hostname");
    const Reply endless = get(fileUrl(full, 'o'), 300);
    EXPECT_TRUE(endless.timedOut);
    EXPECT_EQ(endless.contentLength, -1);
    // Answers whose list is empty, missing, or claims what is not so.
    for (const QString fault : {"empty:flickr.people.getPhotos@page=1#1", "nolist:flickr.people.getPhotos#1",
                                "claim:flickr.photos.getCounts:count=400"})
        ASSERT_TRUE(server->addFault(fault));
    const Args page = {{"user_id", "me"}};
    const Reply emptied = call("flickr.people.getPhotos", page), noList = call("flickr.people.getPhotos", page);
    EXPECT_EQ(value(emptied, "photos.total"), "600");
    EXPECT_EQ(values(emptied, "photos.photo[].id"), L{});
    EXPECT_EQ(values(noList, "photos"), L{});
    EXPECT_EQ(value(noList, "stat"), "ok");
    EXPECT_EQ(values(call("flickr.people.getPhotos", page), "photos.photo[].id").size(), 100);
    EXPECT_EQ(values(call("flickr.photos.getCounts", {{"dates", "0,1,9999999999"}}), "photocounts.photocount[].count"),
              L({"400", "400"}));
}

TEST_F(Conformance, VideosListTheirMp4SizesAndServeThemWithFileFaults) {
    const int index = firstIndex([](const Photo& p) {
        return p.isVideo && p.isPublic && p.hasOriginalUrl && std::min(p.originalWidth, p.originalHeight) >= 720;
    });
    ASSERT_GE(index, 0);
    const auto videoSizes = [&](bool asStranger) {
        const auto xml = parseXml(call("flickr.photos.getSizes", {{"photo_id", id(index)}}, Placement::Query, asStranger).body);
        QList<Element> out;
        for (const Element& e : xml ? xml->children.value(0).children : QList<Element>{})
            if (e.attributes.value("media") == "video")
                out << e;
        return out;
    };
    const QList<Element> sizes = videoSizes(false);
    QStringList labels;
    for (const Element& e : sizes)
        labels << e.attributes.value("label");
    for (const char* label : {"Site MP4", "HD MP4", "720p", "Video Original"})
        EXPECT_TRUE(labels.contains(label)) << label << " in " << labels.join(", ").toStdString();
    EXPECT_FALSE(videoSizes(true).isEmpty());
    for (const Element& e : videoSizes(true))
        EXPECT_NE(e.attributes.value("label"), "Video Original");
    // A picture that is no video has no video sizes.
    const QString photo = id(firstIndex([](const Photo& p) { return !p.isVideo; }));
    EXPECT_FALSE(values(call("flickr.photos.getSizes", {{"photo_id", photo}}), "sizes.size[].media").contains("video"));

    QString someFile;
    for (const Element& e : sizes) {
        SCOPED_TRACE(e.attributes.value("label").toStdString());
        const Reply play = get(e.attributes.value("source"));
        ASSERT_EQ(play.status, 302);
        const QString location = QString::fromUtf8(play.location);
        ASSERT_TRUE(location.startsWith(server->baseUrl() + "/") && location.endsWith(".mp4")) << location.toStdString();
        const Reply file = get(location);
        ASSERT_EQ(file.status, 200);
        EXPECT_TRUE(file.contentType.startsWith("video/mp4"));
        EXPECT_EQ(file.body.mid(4, 4), "ftyp");
        EXPECT_GT(file.body.size(), 200);
        EXPECT_LT(file.body.size(), 8192);
        // The track header's width and height (16.16 fixed point) are the size listed.
        const qsizetype tkhd = file.body.indexOf("tkhd");
        ASSERT_GT(tkhd, 0);
        const auto fixed = [&](qsizetype at) { return qFromBigEndian<quint32>(file.body.constData() + at) >> 16; };
        EXPECT_EQ(fixed(tkhd + 4 + 76), e.attributes.value("width").toUInt());
        EXPECT_EQ(fixed(tkhd + 4 + 80), e.attributes.value("height").toUInt());
        someFile = location;
    }
    const QString name = someFile.section('/', -1);
    ASSERT_TRUE(server->addFault("fail:file:" + name + ":1"));
    EXPECT_EQ(get(someFile).status, 500);
    EXPECT_EQ(get(someFile).status, 200);
    ASSERT_TRUE(server->addFault("truncate:file:*.mp4#1"));
    const Reply cut = get(someFile);
    EXPECT_LT(cut.body.size(), cut.contentLength);
    EXPECT_EQ(get(server->baseUrl() + "/1/" + name.left(name.size() - 4) + "x.mp4").status, 404);
    server->removePhotos({index});
    EXPECT_EQ(get(someFile).status, 410);
}
