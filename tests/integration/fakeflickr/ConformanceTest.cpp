// The stand-in as any Flickr client sees it: every method in XML, JSON and JSONP, signed
// in the query, the form body and the Authorization header, read against Flickr's
// documented answer shapes; then the refusals, what the methods find, and videos.
#include "QtGTest.h"
#include "Server.h"
#include "ServiceClient.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <QtEndian>

#include <gtest/gtest.h>

#include <optional>
#include <set>

using namespace fakeflickr;
using fftest::Args;
using fftest::Placement;
using fftest::Reply;
using L = QStringList;

namespace {

// An XML element as the test reads it.
struct Element {
    QString name, text;
    QMap<QString, QString> attributes;
    QList<Element> children;
};

Element readElement(QXmlStreamReader& reader) {
    Element e{reader.name().toString(), {}, {}, {}};
    for (const auto& a : reader.attributes())
        e.attributes.insert(a.name().toString(), a.value().toString());
    while (reader.readNext() != QXmlStreamReader::EndElement && !reader.atEnd()) {
        if (reader.isStartElement())
            e.children << readElement(reader);
        else if (reader.isCharacters())
            e.text += reader.text();
    }
    return e;
}

std::optional<Element> parseXml(const QByteArray& body) {
    QXmlStreamReader reader(body);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("rsp"))
        return std::nullopt;
    Element rsp = readElement(reader);
    return reader.hasError() ? std::nullopt : std::optional<Element>(rsp);
}

// Values at a path such as "photos.photo[].id": a segment ending in "[]" is a list of
// elements (a JSON array, even of one item or none); the last names an attribute, or
// "_content" for text. A shape that breaks the rules gives "!shape".
QStringList xmlValues(const Element& rsp, const QString& path) {
    QList<const Element*> at = {&rsp};
    const QStringList segments = path.split('.');
    for (int s = 0; s < segments.size(); ++s) {
        const QString name = QString(segments[s]).remove("[]");
        const bool last = s + 1 == segments.size();
        if (last && name == "_content") {
            QStringList out;
            for (const Element* e : at)
                out << e->text;
            return out;
        }
        QList<const Element*> next;
        QStringList attributes;
        for (const Element* e : at) {
            if (last && e->attributes.contains(name))
                attributes << e->attributes.value(name);
            QList<const Element*> named;
            for (const Element& c : e->children)
                if (c.name == name)
                    named << &c;
            if (named.size() > 1 && !segments[s].endsWith("[]"))
                return {"!shape"};
            next << named;
        }
        if (last && !attributes.isEmpty())
            return attributes;
        at = next;
    }
    return QStringList(at.size(), "{}");
}

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
enum class Who { Owner, Stranger, NoToken };
struct Refusal {
    QString method;
    Args args;
    int code;
    QString message;
    Who who = Who::Owner;
};

class Conformance : public ::testing::Test {
protected:
    void SetUp() override {
        Options options;
        options.photos = 600;
        options.seed = 37;
        server = std::make_unique<Server>(options);
        ASSERT_TRUE(server->listen());
        const auto token = server->issueAccessToken("write"), other = server->issueAccessToken("read", "someone_else");
        owner = {options.apiKey, options.sharedSecret, token.token, token.secret};
        stranger = {options.apiKey, options.sharedSecret, other.token, other.secret};
    }
    Reply call(const QString& method, const Args& args, Placement where = Placement::Query, bool asStranger = false) {
        return fftest::callRestPlaced(server->baseUrl(), method, args, asStranger ? stranger : owner, where);
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
    QString id(int index) const { return server->photostream().photoAt(index).idText(); }
    int firstIndex(const std::function<bool(const Photo&)>& wanted) const {
        for (int i = 0; i < server->photostream().size(); ++i)
            if (wanted(server->photostream().photoAt(i)))
                return i;
        return -1;
    }

    std::unique_ptr<Server> server;
    fftest::Credentials owner, stranger;
};

} // namespace

TEST_F(Conformance, EveryMethodAnswersInFlickrsShapesInEveryFormAndSigning) {
    const Photostream& s = server->photostream();
    const Photo tagged = s.photoAt(firstIndex([](const Photo& p) { return p.rawTags.size() >= 2; }));
    const Photo oneExif = s.photoAt(firstIndex([&](const Photo& p) { return s.exifFor(p.id).size() == 1; }));
    const Photo single = s.photoAt(s.setMember(1, 0));
    const PhotoSet big = s.setAt(0);
    QStringList cats;
    for (int i = 0; i < s.size(); ++i)
        if (s.photoAt(i).normalizedTags().contains("cat"))
            cats << id(i);
    const QString nsid = server->userNsid(), all = QString::number(s.size());
    const auto n = [](qint64 v) { return L{QString::number(v)}; };
    const QList<Row> rows = {
        {"flickr.test.echo", {{"foo", "bar ~/é \"q\""}},
         {{"foo._content", L{"bar ~/é \"q\""}}, {"method._content", L{"flickr.test.echo"}}}},
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
        {"flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "7"}, {"page", "1000"}},
         {{"photos.page", L{"1000"}}, {"photos.total", L{all}}, {"photos.photo[].id", L{}}}},
        {"flickr.photos.getInfo", {{"photo_id", tagged.idText()}},
         {{"photo.id", L{tagged.idText()}}, {"photo.title._content", L{tagged.title}}, {"photo.tags.tag[].raw", tagged.rawTags},
          {"photo.dates.posted", n(tagged.dateUpload)}, {"photo.urls.url[]._content", any}, {"photo.owner.nsid", L{nsid}}}},
        {"flickr.photos.getSizes", {{"photo_id", tagged.idText()}},
         {{"sizes.size[].label", any}, {"sizes.size[].width", any}, {"sizes.size[].source", any}, {"sizes.size[].url", any},
          {"sizes.size[].media", any}}},
        {"flickr.photos.getExif", {{"photo_id", oneExif.idText()}},
         {{"photo.exif[].tag", L{s.exifFor(oneExif.id)[0].tag}}, {"photo.exif[].raw._content", any}}},
        {"flickr.photos.getPerms", {{"photo_id", tagged.idText()}}, {{"perms.permcomment", n(tagged.permComment)}}},
        {"flickr.photos.getCounts", {{"dates", "0,9999999999"}}, {{"photocounts.photocount[].count", L{all}}}},
        {"flickr.tags.getListPhoto", {{"photo_id", tagged.idText()}}, {{"photo.tags.tag[].raw", tagged.rawTags}}},
        {"flickr.urls.getUserProfile", {}, {{"user.nsid", L{nsid}}}},
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
        {"flickr.photosets.getList", {}, {{"photosets.photoset[].id", any}, {"photosets.photoset[].title._content", any}}},
        {"flickr.photosets.getInfo", {{"photoset_id", big.id}},
         {{"photoset.id", L{big.id}}, {"photoset.title._content", L{big.title}},
          {"photoset.description._content", L{big.description}}, {"photoset.owner", L{nsid}}}},
        {"flickr.photosets.getPhotos", {{"photoset_id", s.setAt(1).id}, {"extras", "date_upload,description,url_sq,media"}},
         {{"photoset.photo[].id", L{single.idText()}}, {"photoset.photo[].dateupload", n(single.dateUpload)},
          {"photoset.photo[].description._content", L{single.description}}, {"photoset.photo[].url_sq", any},
          {"photoset.photo[].media", any}}},
        {"flickr.collections.getTree", {}, {{"collections.collection[].id", L{}}}},
        {"flickr.photos.setMeta", {{"photo_id", id(9)}, {"title", "Über ~ \"quoted\""}}, {}, true},
    };
    const QList<Placement> reads = {Placement::Query, Placement::HeaderGet, Placement::Body, Placement::HeaderPost};
    for (int r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        SCOPED_TRACE(row.method.toStdString());
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
    EXPECT_EQ(server->photo(id(9))->title, "Über ~ \"quoted\"");
    // Numbers where Flickr's JSON has them; identifiers stay strings.
    const QJsonObject page =
        json(call("flickr.people.getPhotos", {{"user_id", "me"}, {"format", "json"}, {"nojsoncallback", "1"}}));
    EXPECT_TRUE(page["photos"]["page"].isDouble() && page["photos"]["total"].isDouble());
    EXPECT_TRUE(page["photos"]["photo"][0]["id"].isString() && page["photos"]["photo"][0]["ispublic"].isDouble());
    // A callback of the caller's choosing.
    json(call("flickr.test.null", {{"format", "json"}, {"jsoncallback", "my.cb_1"}}), "my.cb_1");
}

TEST_F(Conformance, RefusalsCarryFlickrsDocumentedCodesInEveryForm) {
    const QString hidden = id(firstIndex([](const Photo& p) { return !p.isPublic; }));
    const QList<Refusal> refusals = {
        {"flickr.photos.getExif", {{"photo_id", hidden}}, 1, "Photo not found", Who::Stranger},
        {"flickr.photos.getInfo", {{"photo_id", hidden}}, 1, "Photo not found", Who::Stranger},
        {"flickr.photos.getSizes", {{"photo_id", hidden}}, 2, "Permission denied", Who::Stranger},
        {"flickr.photos.getSizes", {{"photo_id", "1"}}, 1, "Photo not found"},
        {"flickr.photos.setTags", {{"photo_id", id(0)}, {"tags", "x"}}, 116, "The POST method is now required for all setters"},
        {"flickr.photos.search", {{"per_page", "5"}}, 3, {}},
        {"flickr.photos.search", {{"user_id", "1@N01"}, {"tags", "cat"}}, 2, "Unknown user"},
        {"flickr.people.findByUsername", {{"username", "nobody"}}, 1, "User not found"},
        {"flickr.people.getInfo", {{"user_id", "1@N01"}}, 1, "User not found"},
        {"flickr.photos.recentlyUpdated", {}, 1, {}},
        {"flickr.photos.recentlyUpdated", {{"min_date", "yesterday-ish"}}, 2, "Not a valid date"},
        {"flickr.photosets.getInfo", {{"photoset_id", "72157"}}, 1, "Photoset not found"},
        {"flickr.photos.getNotInSet", {}, 99, {}, Who::NoToken},
        {"flickr.auth.oauth.checkToken", {}, 98, {}, Who::NoToken},
        {"flickr.nothing.here", {}, 112, {}},
    };
    const fftest::Credentials consumer{owner.apiKey, owner.sharedSecret, {}, {}};
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.method.toStdString());
        const auto creds = r.who == Who::NoToken ? consumer : r.who == Who::Stranger ? stranger : owner;
        const Reply xmlReply = fftest::callRestPlaced(server->baseUrl(), r.method, r.args, creds, Placement::HeaderGet);
        const auto xml = parseXml(xmlReply.body);
        ASSERT_TRUE(xml.has_value()) << xmlReply.body.constData();
        EXPECT_EQ(xml->attributes.value("stat"), "fail");
        EXPECT_EQ(xmlValues(*xml, "err.code"), QStringList{QString::number(r.code)});
        Args args = r.args;
        args["format"] = "json";
        args["nojsoncallback"] = "1";
        const QJsonObject o = json(fftest::callRestPlaced(server->baseUrl(), r.method, args, creds, Placement::Query));
        EXPECT_EQ(o.value("stat").toString(), "fail");
        EXPECT_TRUE(o.value("code").isDouble());
        EXPECT_EQ(o.value("code").toInt(), r.code);
        EXPECT_EQ(o.value("message").toString(), xmlValues(*xml, "err.msg").value(0));
        if (!r.message.isEmpty()) {
            EXPECT_EQ(o.value("message").toString(), r.message);
        }
    }
    // An unknown format is answered in XML.
    const Reply odd = call("flickr.test.null", {{"format", "xmlrpc"}});
    EXPECT_TRUE(odd.body.contains("code=\"111\" msg=\"Format &quot;xmlrpc&quot; not found\"")) << odd.body.constData();
    // Uploads are refused in the REST form, not with a bare 404.
    for (const QString path : {"/services/upload/", "/services/replace/"}) {
        const auto xml = parseXml(fftest::post(server->baseUrl() + path, "title=x").body);
        ASSERT_TRUE(xml.has_value());
        EXPECT_EQ(xmlValues(*xml, "err.code"), QStringList{"3"});
    }
}

TEST_F(Conformance, SearchesAndListsFindWhatTheirArgumentsSay) {
    const Photostream& s = server->photostream();
    const auto found = [&](const Args& args, bool asStranger = false) {
        Args all = args;
        all["per_page"] = "500";
        const auto xml = parseXml(call("flickr.photos.search", all, Placement::Query, asStranger).body);
        return xml ? xmlValues(*xml, "photos.photo[].id") : QStringList{"!parse"};
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
    const auto xml = parseXml(call("flickr.photos.getNotInSet", {{"per_page", "500"}}).body);
    ASSERT_TRUE(xml.has_value());
    EXPECT_EQ(xmlValues(*xml, "photos.photo[].id"), expected([&](const Photo& p) { return !members.count(p.index); }));
    EXPECT_GT(xmlValues(*xml, "photos.photo[].id").size(), 10);

    // An edit puts a picture first among the recently updated.
    server->touchPhotos({id(250)});
    const QString aMinuteAgo = QString::number(QDateTime::currentSecsSinceEpoch() - 60);
    const auto recent = parseXml(call("flickr.photos.recentlyUpdated", {{"min_date", aMinuteAgo}}).body);
    ASSERT_TRUE(recent.has_value());
    EXPECT_EQ(xmlValues(*recent, "photos.photo[].id"), QStringList{id(250)});
}

TEST_F(Conformance, VideosListTheirMp4SizesAndServeThemWithFileFaults) {
    const int index = firstIndex([](const Photo& p) {
        return p.isVideo && p.isPublic && p.hasOriginalUrl && std::min(p.originalWidth, p.originalHeight) >= 720;
    });
    ASSERT_GE(index, 0);
    const auto videoSizes = [&](bool asStranger) {
        const Reply r = call("flickr.photos.getSizes", {{"photo_id", id(index)}}, Placement::Query, asStranger);
        const auto xml = parseXml(r.body);
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
    const auto still = parseXml(call("flickr.photos.getSizes", {{"photo_id", photo}}).body);
    EXPECT_FALSE(xmlValues(*still, "sizes.size[].media").contains("video"));

    QString someFile;
    for (const Element& e : sizes) {
        SCOPED_TRACE(e.attributes.value("label").toStdString());
        const Reply play = fftest::get(e.attributes.value("source"));
        ASSERT_EQ(play.status, 302);
        const QString location = QString::fromUtf8(play.location);
        ASSERT_TRUE(location.startsWith(server->baseUrl() + "/") && location.endsWith(".mp4")) << location.toStdString();
        const Reply file = fftest::get(location);
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
    EXPECT_EQ(fftest::get(someFile).status, 500);
    EXPECT_EQ(fftest::get(someFile).status, 200);
    ASSERT_TRUE(server->addFault("truncate:file:*.mp4#1"));
    const Reply cut = fftest::get(someFile);
    EXPECT_LT(cut.body.size(), cut.contentLength);
    EXPECT_EQ(fftest::get(server->baseUrl() + "/1/" + name.left(name.size() - 4) + "x.mp4").status, 404);
    server->removePhotos({index});
    EXPECT_EQ(fftest::get(someFile).status, 410);
}
