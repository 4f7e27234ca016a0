// The stand-in as any Flickr client sees it: every method in XML, JSON and JSONP, signed in the query, the form
// body and the Authorization header, read against Flickr's answer shapes; the refusals, signatures and files.
#include "ServiceClient.h"

#include <QImage>
#include <QJsonDocument>
#include <QtEndian>

#include <set>

using namespace fakeflickr;
using namespace fftest;

namespace {

template <typename List, typename F>
QStringList map(const List& list, F f) {
    QStringList out;
    for (const auto& item : list)
        if (const std::optional<QString> v = f(item))
            out << *v;
    return out;
}

constexpr std::nullopt_t any = std::nullopt;  // at least one value, none empty
const std::optional<QStringList> same = L{"(as in XML)"};  // any values, the same in every form
struct Row { QString method; Args args; QList<std::pair<QString, std::optional<QStringList>>> checks; bool write = false, stranger = false; };

const QString awkward = QString::fromUtf8("a~b c&d=e \"q\" \\\" é/東京+%*'()!;:@$,?#[]");

class Conformance : public ServiceTest {
protected:
    void SetUp() override { start(600, 37); }
    QJsonObject json(const Reply& reply, const QString& callback = {}) {
        const bool wrapped = !callback.isEmpty();
        EXPECT_TRUE(reply.contentType.startsWith(wrapped ? "text/javascript" : "application/json")) << reply.contentType.constData();
        EXPECT_TRUE(!wrapped || (reply.body.startsWith(callback.toUtf8() + "(") && reply.body.endsWith(")"))) << reply.body.left(80).constData();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(wrapped ? reply.body.mid(callback.size() + 1).chopped(1) : reply.body, &error);
        EXPECT_TRUE(doc.isObject()) << error.errorString().toStdString() << ": " << reply.body.left(200).constData();
        return doc.object();
    }
};

} // namespace

TEST_F(Conformance, EveryMethodAnswersInFlickrsShapesInEveryFormAndSigning) {
    const Photostream& s = stream();
    const auto photo = [&](const std::function<bool(const Photo&)>& wanted) { return s.photoAt(firstIndex(wanted)); };
    const Photo tagged = photo([](const Photo& p) { return p.rawTags.size() >= 2; });
    const Photo oneExif = photo([&](const Photo& p) { return s.exifFor(p.id).size() == 1; });
    const Photo noExif = photo([&](const Photo& p) { return s.exifFor(p.id).isEmpty(); });
    const QList<ExifEntry> many = s.exifFor(photo([&](const Photo& p) { return s.exifFor(p.id).size() > 3; }).id);
    const Photo single = s.photoAt(s.setMember(1, 0));
    const PhotoSet big = s.setAt(0);
    ASSERT_GT(big.count, 300);
    QList<Photo> every;
    QStringList inBig;
    std::set<int> members;
    for (int i = 0; i < s.size(); ++i)
        every << s.photoAt(i);
    for (int k = 0; k < s.setCount(); ++k)
        for (int j = 0; j < s.setAt(k).count; ++j)
            members.insert(s.setMember(k, j));
    for (int j = 0; j < big.count; ++j)
        inBig << id(s.setMember(0, j));
    // The ids of the pictures kept, in stream order or by date taken; enough of them to tell.
    const auto where = [&](const std::function<bool(const Photo&)>& keep, bool byTaken = false) {
        QList<Photo> kept = every;
        kept.removeIf([&](const Photo& p) { return !keep(p); });
        if (byTaken)
            std::stable_sort(kept.begin(), kept.end(), [](const Photo& a, const Photo& b) { return a.dateTaken < b.dateTaken; });
        EXPECT_GE(kept.size(), 5);
        return map(kept, [](const Photo& p) { return std::optional(p.idText()); });
    };
    const auto has = [](const Photo& p, const char* tag) { return p.normalizedTags().contains(tag); };
    const QStringList cats = where([&](const Photo& p) { return has(p, "cat"); });
    const QString from = s.photoAt(320).dateTaken, to = s.photoAt(300).dateTaken;
    const QString nsid = server->userNsid(), all = QString::number(s.size());
    const auto n = [](qint64 v) { return L{QString::number(v)}; };
    server->touchPhotos({id(250)});
    const QString aMinuteAgo = QString::number(QDateTime::currentSecsSinceEpoch() - 60);
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
        {"flickr.people.findByUsername", {{"username", "Tessaly_Demo"}}, {{"user.nsid", L{nsid}}, {"user.username._content", L{"tessaly_demo"}}}},
        // Pages: at most 500 a page, every extra of each picture; the last page; one picture is still a list; none.
        {"flickr.people.getPhotos",
         {{"user_id", "me"}, {"per_page", "900"},
          {"extras", "description, license, date_upload, date_taken, owner_name, last_update, geo, tags, media, url_sq, url_l, url_o"}},
         {{"photos.page", L{"1"}}, {"photos.pages", L{"2"}}, {"photos.perpage", L{"500"}}, {"photos.total", L{all}},
          {"photos.photo[].id", where([](const Photo&) { return true; }).first(500)}, {"photos.photo[].ownername", L(500, "tessaly_demo")}, {"photos.photo[].owner", L(500, nsid)},
          {"photos.photo[].title", same}, {"photos.photo[].description._content", same}, {"photos.photo[].tags", same},
          {"photos.photo[].dateupload", same}, {"photos.photo[].datetaken", same}, {"photos.photo[].media", same},
          {"photos.photo[].url_sq", same}, {"photos.photo[].url_l", same}, {"photos.photo[].url_o", same}, {"photos.photo[].width_o", same},
          {"photos.photo[].license", any}, {"photos.photo[].lastupdate", any}, {"photos.photo[].latitude", any}}},
        {"flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "1"}, {"page", "600"}}, {{"photos.pages", L{"600"}}, {"photos.photo[].id", L{id(599)}}}},
        {"flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "7"}, {"page", "1000"}},
         {{"photos.page", L{"1000"}}, {"photos.total", L{all}}, {"photos.photo[].id", L{}}}},
        {"flickr.photos.getInfo", {{"photo_id", tagged.idText()}},
         {{"photo.id", L{tagged.idText()}}, {"photo.title._content", L{tagged.title}}, {"photo.tags.tag[].raw", tagged.rawTags},
          {"photo.dates.posted", n(tagged.dateUpload)}, {"photo.urls.url[]._content", any}, {"photo.owner.nsid", L{nsid}}}},
        {"flickr.photos.getSizes", {{"photo_id", tagged.idText()}},
         {{"sizes.size[].label", any}, {"sizes.size[].width", any}, {"sizes.size[].source", any}, {"sizes.size[].url", any}, {"sizes.size[].media", any}}},
        {"flickr.photos.getExif", {{"photo_id", oneExif.idText()}},
         {{"photo.exif[].tag", L{s.exifFor(oneExif.id)[0].tag}}, {"photo.exif[].raw._content", L{s.exifFor(oneExif.id)[0].raw}}}},
        {"flickr.photos.getExif", {{"photo_id", noExif.idText()}}, {{"photo.exif[].tag", L{}}}},
        {"flickr.photos.getExif", {{"photo_id", photo([&](const Photo& p) { return s.exifFor(p.id).size() > 3; }).idText()}},
         {{"photo.exif[].tagspace", map(many, [](const ExifEntry& e) { return e.tagspace; })},
          {"photo.exif[].label", map(many, [](const ExifEntry& e) { return e.label; })},
          {"photo.exif[].raw._content", map(many, [](const ExifEntry& e) { return e.raw; })},
          {"photo.exif[].clean._content", map(many, [](const ExifEntry& e) { return e.clean.isEmpty() ? std::nullopt : std::optional(e.clean); })}}},
        {"flickr.photos.getPerms", {{"photo_id", tagged.idText()}},
         {{"perms.id", L{tagged.idText()}}, {"perms.permcomment", n(tagged.permComment)}, {"perms.permaddmeta", n(tagged.permAddMeta)}}},
        {"flickr.photos.getCounts", {{"dates", "0,9999999999"}}, {{"photocounts.photocount[].count", L{all}}}},
        {"flickr.photos.getCounts", {{"taken_dates", "0000000000,9999999999,0000000000,9999999999"}}, {{"photocounts.photocount[].count", L{all, "0", all}}}},
        {"flickr.tags.getListPhoto", {{"photo_id", tagged.idText()}},
         {{"photo.tags.tag[].raw", tagged.rawTags}, {"photo.tags.tag[]._content", tagged.normalizedTags()}}},
        {"flickr.urls.getUserProfile", {}, {{"user.nsid", L{nsid}}, {"user.url", L{server->baseUrl() + "/people/tessaly_demo/"}}}},
        // Searches: tags any, all or excluded, text, dates; without a user, and for others, only public pictures.
        {"flickr.photos.search", {{"user_id", "me"}, {"tags", "CAT"}, {"per_page", "5"}, {"page", "2"}},
         {{"photos.page", L{"2"}}, {"photos.perpage", L{"5"}}, {"photos.total", n(cats.size())}, {"photos.photo[].id", cats.mid(5, 5)}}},
        {"flickr.photos.search",
         {{"user_id", nsid}, {"min_upload_date", n(tagged.dateUpload)[0]}, {"max_upload_date", n(tagged.dateUpload)[0]}, {"extras", "tags,date_upload"}},
         {{"photos.photo[].id", L{tagged.idText()}}, {"photos.photo[].tags", L{tagged.normalizedTags().join(' ')}}}},
        {"flickr.photos.search", {{"user_id", "me"}, {"tags", "cat,dog"}, {"per_page", "500"}},
         {{"photos.photo[].id", where([&](const Photo& p) { return has(p, "cat") || has(p, "dog"); })}}},
        {"flickr.photos.search", {{"user_id", "me"}, {"tags", "cat,dog"}, {"tag_mode", "all"}, {"per_page", "500"}},
         {{"photos.photo[].id", where([&](const Photo& p) { return has(p, "cat") && has(p, "dog"); })}}},
        {"flickr.photos.search", {{"user_id", "me"}, {"tags", "new york,-cat"}, {"per_page", "500"}},
         {{"photos.photo[].id", where([&](const Photo& p) { return has(p, "newyork") && !has(p, "cat"); })}}},
        {"flickr.photos.search", {{"tags", "cat"}, {"per_page", "500"}}, {{"photos.photo[].id", where([&](const Photo& p) { return has(p, "cat") && p.isPublic; })}}},
        {"flickr.photos.search", {{"user_id", "me"}, {"tags", "cat"}, {"per_page", "500"}},
         {{"photos.photo[].id", where([&](const Photo& p) { return has(p, "cat") && p.isPublic; })}}, false, true},
        {"flickr.photos.search", {{"user_id", "me"}, {"text", "HARBOUR"}, {"per_page", "500"}},
         {{"photos.photo[].id", where([](const Photo& p) { return (p.title + p.description + p.rawTags.join(' ')).contains("harbour", Qt::CaseInsensitive); })}}},
        {"flickr.photos.search", {{"user_id", "me"}, {"min_taken_date", from}, {"max_taken_date", to}, {"sort", "date-taken-asc"}, {"per_page", "500"}},
         {{"photos.photo[].id", where([&](const Photo& p) { return p.dateTaken >= from && p.dateTaken <= to; }, true)}}},
        // Pictures in no set; an edit puts a picture first among the recently updated.
        {"flickr.photos.getNotInSet", {{"per_page", "500"}},
         {{"photos.pages", L{"1"}}, {"photos.photo[].id", where([&](const Photo& p) { return !members.count(p.index); })}}},
        {"flickr.photos.recentlyUpdated", {{"min_date", "0"}, {"per_page", "2"}}, {{"photos.total", L{all}}, {"photos.photo[].lastupdate", any}}},
        {"flickr.photos.recentlyUpdated", {{"min_date", aMinuteAgo}}, {{"photos.photo[].id", L{id(250)}}}},
        {"flickr.photosets.getList", {},
         {{"photosets.photoset[].id", any}, {"photosets.photoset[].title._content", same}, {"photosets.photoset[].description._content", same}}},
        {"flickr.photosets.getInfo", {{"photoset_id", big.id}},
         {{"photoset.id", L{big.id}}, {"photoset.title._content", L{big.title}}, {"photoset.description._content", L{big.description}}, {"photoset.owner", L{nsid}}}},
        {"flickr.photosets.getPhotos", {{"photoset_id", big.id}, {"per_page", "300"}, {"page", "2"}},
         {{"photoset.total", n(big.count)}, {"photoset.pages", L{"2"}}, {"photoset.photo[].id", inBig.mid(300)}}},
        {"flickr.photosets.getPhotos", {{"photoset_id", s.setAt(1).id}, {"extras", "date_upload,description,url_sq,media"}},
         {{"photoset.total", L{"1"}}, {"photoset.photo[].id", L{single.idText()}}, {"photoset.photo[].dateupload", n(single.dateUpload)},
          {"photoset.photo[].description._content", L{single.description}}, {"photoset.photo[].url_sq", any}, {"photoset.photo[].media", any}}},
        {"flickr.collections.getTree", {}, {{"collections.collection[].id", L{}}}},
        // Writes, then what the read side answers.
        {"flickr.photos.setMeta", {{"photo_id", id(9)}, {"title", awkward}, {"description", "x\ny"}}, {}, true},
        {"flickr.photos.setTags", {{"photo_id", id(3)}, {"tags", "sunset \"new york\" Sunset"}}, {}, true},
        {"flickr.photos.setDates", {{"photo_id", id(3)}, {"date_taken", "2011-06-04 17:30:05"}}, {}, true},
        {"flickr.photos.getCounts", {{"taken_dates", "2011-06-04 17:30:05,2011-06-04 17:30:06"}}, {{"photocounts.photocount[].count", L{"1"}}}},
        {"flickr.photos.setPerms",
         {{"photo_id", id(3)}, {"is_public", "0"}, {"is_friend", "1"}, {"is_family", "1"}, {"perm_comment", "1"}, {"perm_addmeta", "0"}}, {}, true},
        {"flickr.photos.licenses.setLicense", {{"photo_id", id(3)}, {"license_id", "4"}}, {}, true},
        {"flickr.photos.geo.setLocation", {{"photo_id", id(3)}, {"lat", "-33.8567844"}, {"lon", "151.213108"}}, {}, true},
        {"flickr.tags.getListPhoto", {{"photo_id", id(3)}},
         {{"photo.tags.tag[].raw", L({"sunset", "new york"})}, {"photo.tags.tag[]._content", L({"sunset", "newyork"})},
          {"photo.tags.tag[].machine_tag", L({"0", "0"})}}},
    };
    const QList<Placement> reads = {Placement::Query, Placement::HeaderGet, Placement::Body, Placement::HeaderPost};
    for (int r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        SCOPED_TRACE(QString("%1 %2").arg(row.method).arg(r).toStdString());
        const auto ask = [&](const Args& args, int shift) {
            return callRest(server->baseUrl(), row.method, args, row.stranger ? stranger : owner,
                            row.write ? reads[2 + (r + shift) % 2] : reads[(r + shift) % 4]);
        };
        const Reply xmlReply = ask(row.args, 0);
        const auto xml = parseXml(xmlReply.body);
        ASSERT_TRUE(xml && xml->value("stat").toString() == "ok") << xmlReply.body.constData();
        Args asJson = row.args, asJsonp = row.args;
        asJson["format"] = asJsonp["format"] = "json";
        asJson["nojsoncallback"] = "1";
        const QJsonObject plain = json(ask(asJson, 1)), wrapped = json(ask(asJsonp, 2), "jsonFlickrApi");
        EXPECT_TRUE(plain.value("stat") == "ok" && wrapped.value("stat") == "ok");
        for (const auto& [path, expected] : row.checks) {
            SCOPED_TRACE(path.toStdString());
            const QStringList values = jsonValues(*xml, path, true);
            EXPECT_EQ(jsonValues(plain, path), values);
            EXPECT_EQ(jsonValues(wrapped, path), values);
            EXPECT_TRUE(expected == same || (expected ? values == *expected : !values.isEmpty() && !values.contains(QString()) && !values.contains("!shape")))
                << values.join('|').toStdString();
        }
    }
    // Edits are kept as sent and mark the picture updated; the write log keeps what was asked, without the signature.
    EXPECT_TRUE(server->photo(id(9))->title == awkward && server->photo(id(3))->lastUpdate > s.photoAt(3).lastUpdate);
    const auto write = server->writeCalls().last();
    EXPECT_TRUE(write.args.value("lat") == "-33.8567844" && !write.args.contains("oauth_signature"));
    // Numbers where Flickr's JSON has them; identifiers stay strings.
    const QJsonObject page = json(call("flickr.people.getPhotos", {{"user_id", "me"}, {"format", "json"}, {"nojsoncallback", "1"}}));
    EXPECT_TRUE(page["photos"]["page"].isDouble() && page["photos"]["total"].isDouble());
    EXPECT_TRUE(page["photos"]["photo"][0]["id"].isString() && page["photos"]["photo"][0]["ispublic"].isDouble());
    json(call("flickr.test.null", {{"format", "json"}, {"jsoncallback", "my.cb_1"}}), "my.cb_1");
}

TEST_F(Conformance, RefusalsCarryFlickrsDocumentedCodesInEveryForm) {
    enum class Who { Owner, Stranger, NoToken };
    struct Refusal { QString method; Args args; int code; QString message; Who who = Who::Owner; bool write = false; };
    const QString hidden = id(firstIndex([](const Photo& p) { return !p.isPublic; })), photo = id(0);
    const auto perms = [&](const char* open, const char* comment) {
        return Args{{"photo_id", photo}, {"is_public", open}, {"is_friend", "0"}, {"is_family", "0"}, {"perm_comment", comment}};
    };
    const QString notFound = "Photo not found", readNone = "Insufficient permissions. Method requires read privileges; none granted.";
    const QList<Refusal> refusals = {
        {"flickr.photos.getExif", {{"photo_id", hidden}}, 1, notFound, Who::Stranger},
        {"flickr.photos.getInfo", {{"photo_id", hidden}}, 1, notFound, Who::Stranger},
        {"flickr.photos.getSizes", {{"photo_id", hidden}}, 2, "Permission denied", Who::Stranger},
        {"flickr.photos.getSizes", {{"photo_id", "1"}}, 1, notFound},
        {"flickr.photos.getExif", {{"photo_id", "123"}}, 1, notFound},
        {"flickr.photos.getPerms", {{"photo_id", "1"}}, 1, notFound},
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
        {"flickr.photos.setMeta", {{"photo_id", "1"}, {"title", "t"}}, 1, notFound, Who::Owner, true},
        {"flickr.photos.search", {{"per_page", "5"}}, 3, {}},
        {"flickr.photos.search", {{"user_id", "1@N01"}, {"tags", "cat"}}, 2, "Unknown user"},
        {"flickr.people.findByUsername", {{"username", "nobody"}}, 1, "User not found"},
        {"flickr.people.getInfo", {{"user_id", "1@N01"}}, 1, "User not found"},
        {"flickr.photos.recentlyUpdated", {}, 1, {}},
        {"flickr.photos.recentlyUpdated", {{"min_date", "yesterday-ish"}}, 2, "Not a valid date"},
        {"flickr.photosets.getInfo", {{"photoset_id", "72157"}}, 1, "Photoset not found"},
        {"flickr.photosets.getPhotos", {{"photoset_id", "72157"}}, 1, "Photoset not found"},
        {"flickr.photos.getNotInSet", {}, 99, readNone, Who::NoToken},
        {"flickr.auth.oauth.checkToken", {}, 98, {}, Who::NoToken},
        {"flickr.nothing.here", {}, 112, "Method not found"},
    };
    QList<int> writeCodes;
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.method.toStdString() + " " + std::to_string(r.code));
        const auto creds = r.who == Who::NoToken ? consumer : r.who == Who::Stranger ? stranger : owner;
        const Reply xml = callRest(server->baseUrl(), r.method, r.args, creds, r.write ? Placement::HeaderPost : Placement::HeaderGet);
        EXPECT_EQ(L({value(xml, "stat"), value(xml, "err.code")}), L({"fail", QString::number(r.code)}));
        Args args = r.args;
        args.insert(Args{{"format", "json"}, {"nojsoncallback", "1"}});
        const QJsonObject o = json(callRest(server->baseUrl(), r.method, args, creds, r.write ? Placement::Body : Placement::Query));
        EXPECT_TRUE(o.value("stat") == "fail" && o.value("code").isDouble() && o.value("code").toInt() == r.code) << QJsonDocument(o).toJson().constData();
        // The same message in both forms, Flickr's own where the table names it.
        const QString message = r.message.isEmpty() ? value(xml, "err.msg") : r.message;
        EXPECT_EQ(L({o.value("message").toString(), value(xml, "err.msg")}), L({message, message}));
        if (r.method.contains(".set"))
            writeCodes << r.code << r.code;
    }
    // Refused writes are logged with their codes, and change nothing.
    QList<int> logged;
    for (const auto& write : server->writeCalls())
        logged << write.errorCode;
    EXPECT_EQ(logged, writeCodes);
    const Photo before = stream().photoAt(0), after = *server->photo(photo);
    EXPECT_TRUE(after.latitude == before.latitude && after.license == before.license && after.isPublic == before.isPublic &&
                after.dateTaken == before.dateTaken);
    // An unknown format is answered in XML; uploads are refused in the REST form, not with a bare 404; other addresses are.
    const Reply odd = call("flickr.test.null", {{"format", "xmlrpc"}});
    EXPECT_TRUE(odd.body.contains("code=\"111\" msg=\"Format &quot;xmlrpc&quot; not found\"")) << odd.body.constData();
    for (const QString path : {"/services/upload/", "/services/replace/"})
        EXPECT_EQ(values(fetch(server->baseUrl() + path, "title=x", 5000, {}), "err.code"), QStringList{"3"});
    EXPECT_EQ(get(server->baseUrl() + "/nothing/here").status, 404);
}

TEST_F(Conformance, TamperedOrForeignSignaturesAreRefused) {
    const auto sign = [&](Args a, const QString& http = "GET", bool tilde = false) {
        a.insert("method", a.value("method", "flickr.test.login"));
        return oauthSigned(a, http, rest, owner, tilde);
    };
    const auto changed = [](Args a, const QString& key, const QString& v) { a[key] = v; return a; };
    const auto with = [&](Credentials c) { return callRest(server->baseUrl(), "flickr.test.login", {}, c); };
    const QString key = owner.apiKey, secret = owner.sharedSecret, token = owner.token, tokenSecret = owner.tokenSecret;
    const Args login = {{"method", "flickr.test.login"}}, meta = {{"method", "flickr.photos.setMeta"}, {"photo_id", id(0)}, {"title", "t"}};
    struct Case { const char* what; Reply reply; int code; QString message = {}; };
    const QList<Case> cases = {
        {"a value changed after signing", send(rest, changed(sign({{"x", "1"}}), "x", "2"), Placement::Query), 96, "Invalid signature"},
        {"signed for POST, sent by GET", send(rest, sign({}, "POST"), Placement::Query), 96},
        // "~" is unreserved: signed escaped, it is not Flickr's signature; signed as RFC 5849 says, it is.
        {"~ escaped", send(rest, sign({{"x", "a~b ~"}}, "GET", true), Placement::Query), 96},
        {"~ as it is", send(rest, sign({{"x", "a~b ~"}}), Placement::Query), 0},
        {"wrong token secret", with({key, secret, token, "nope"}), 96, "Invalid signature"},
        {"wrong shared secret", with({key, secret + "x", token, tokenSecret}), 96},
        {"unknown key", with({"0123", secret, token, tokenSecret}), 100, "Invalid API Key (Key not found)"},
        {"unknown token", with({key, secret, "72157000000000000-0000000000000000", tokenSecret}), 98, "Invalid auth token"},
        {"another api_key", call("flickr.test.login", {{"api_key", "other"}}), 100},
        {"header: nonce changed", send(rest, changed(sign({}), "oauth_nonce", "x"), Placement::HeaderGet), 96},
        {"header: query changed", send(rest, changed(sign({{"x", "1"}}), "x", "2"), Placement::HeaderGet), 96},
        {"header: body changed", send(rest, changed(sign(meta, "POST"), "title", "u"), Placement::HeaderPost), 96},
        {"legacy", send(rest, legacySigned(login, owner), Placement::Query), 0},
        {"legacy, changed", send(rest, changed(legacySigned(login, owner), "method", "flickr.photos.getCounts"), Placement::Query), 96},
        {"legacy, unknown token", send(rest, legacySigned(login, {key, secret, "unknown", ""}), Placement::Query), 98},
        // Unsigned calls reach public methods only.
        {"unsigned", get(rest + "?method=flickr.test.login&api_key=" + key), 99, "Insufficient permissions. Method requires read privileges; none granted."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(L({value(c.reply, "stat"), QString::number(value(c.reply, "err.code").toInt())}), L({c.code ? "fail" : "ok", QString::number(c.code)}));
        EXPECT_TRUE(c.message.isEmpty() || value(c.reply, "err.msg") == c.message) << value(c.reply, "err.msg").toStdString();
    }
    EXPECT_EQ(value(cases[3].reply, "user.id"), server->userNsid());
    // Only calls that passed the checks are logged.
    QStringList logged;
    for (const auto& call : server->calls())
        logged << QString("%1 %2").arg(call.method).arg(call.errorCode);
    EXPECT_EQ(logged, L({"flickr.test.login 0", "flickr.test.login 0", "flickr.test.login 99"}));
}

TEST_F(Conformance, PictureFilesAreJpegsAndFileFaultsApply) {
    const int full = firstIndex([](const Photo& q) { return q.hasSize('o') && q.hasSize('b'); });
    const Photo p = stream().photoAt(full);
    // Each size a picture has is a JPEG of that size; the others, and the original under the plain secret, are not found.
    for (int index : {full, firstIndex([](const Photo& q) { return !q.hasSize('o'); }), firstIndex([](const Photo& q) { return !q.hasSize('b'); })}) {
        const Photo q = stream().photoAt(index);
        for (char size : {'s', 't', 'm', '-', 'z', 'b', 'o'}) {
            const Reply r = get(fileUrl(index, size));
            EXPECT_EQ(r.status, q.hasSize(size) ? 200 : 404) << index << size;
            EXPECT_EQ(QImage::fromData(r.body, "JPG").size(), q.hasSize(size) ? q.pixelSize(size) : QSize(0, 0)) << index << size;
        }
    }
    const QString folder = server->baseUrl() + "/" + p.server + "/" + p.idText() + "_", url = fileUrl(full, 's');
    EXPECT_EQ(QList<int>({get(folder + p.secret + "_o.jpg").status, get(folder + "000_s.jpg").status}), QList<int>({404, 404}));
    const Reply square = get(url);
    EXPECT_EQ(square.contentLength, square.body.size());
    for (const QString& fault : QStringList{"fail:file:" + p.fileName('s') + ":2", "truncate:file:*_t.jpg", "stall:file:" + p.fileName('z'),
                                 "html:file:" + p.fileName('m'), "empty:file:" + p.fileName('b'), "redirect:file:" + p.fileName('-'),
                                 "endless:file:" + p.fileName('o'), "empty:flickr.people.getPhotos@page=1#1", "nolist:flickr.people.getPhotos#1",
                                 "claim:flickr.photos.getCounts:count=400"})
        ASSERT_TRUE(server->addFault(fault));
    EXPECT_EQ(QList<int>({get(url).status, get(url).status}), QList<int>({500, 500}));
    EXPECT_EQ(get(url).body, square.body);
    EXPECT_EQ(server->fileRequests().count(p.fileName('s')), 5);
    const Reply truncated = get(fileUrl(full, 't'));
    EXPECT_TRUE(truncated.error != QNetworkReply::NoError && truncated.body.size() < truncated.contentLength) << truncated.body.size();
    EXPECT_TRUE(get(fileUrl(full, 'z'), 300).timedOut);
    // Files that are not what they claim, as broken servers and captive portals send them.
    const Reply html = get(fileUrl(full, 'm')), empty = get(fileUrl(full, 'b')), moved = get(fileUrl(full, '-')), endless = get(fileUrl(full, 'o'), 300);
    EXPECT_TRUE(html.status == 200 && html.contentType.startsWith("text/html") && html.body.contains("<html"));
    EXPECT_TRUE(empty.status == 200 && empty.body.isEmpty()) << empty.status;
    EXPECT_TRUE(moved.status == 302 && moved.location == "file:///etc/hostname") << moved.location.constData();
    EXPECT_TRUE(endless.timedOut && endless.contentLength == -1);
    // Answers whose list is empty, missing, or claims what is not so.
    const Reply emptied = call("flickr.people.getPhotos", {{"user_id", "me"}}), noList = call("flickr.people.getPhotos", {{"user_id", "me"}});
    EXPECT_EQ(L({value(emptied, "photos.total"), value(noList, "stat")}), L({"600", "ok"}));
    EXPECT_EQ(values(emptied, "photos.photo[].id") + values(noList, "photos"), L{});
    EXPECT_EQ(values(call("flickr.people.getPhotos", {{"user_id", "me"}}), "photos.photo[].id").size(), 100);
    EXPECT_EQ(values(call("flickr.photos.getCounts", {{"dates", "0,1,9999999999"}}), "photocounts.photocount[].count"), L({"400", "400"}));
}

TEST_F(Conformance, VideosListTheirMp4SizesAndServeThem) {
    const int index = firstIndex([](const Photo& p) {
        return p.isVideo && p.isPublic && p.hasOriginalUrl && std::min(p.originalWidth, p.originalHeight) >= 720;
    });
    ASSERT_GE(index, 0);
    // The video sizes of the answer for these credentials: label, source, width and height of each.
    const auto videoSizes = [&](const Credentials& c) {
        const Reply r = callRest(server->baseUrl(), "flickr.photos.getSizes", {{"photo_id", id(index)}}, c);
        const auto column = [&](const char* name) { return values(r, QString("sizes.size[].") + name); };
        QList<QStringList> out;
        for (int i = 0; i < column("media").size(); ++i)
            if (column("media")[i] == "video")
                out << L({column("label")[i], column("source")[i], column("width")[i], column("height")[i]});
        return out;
    };
    const auto labels = [&](const Credentials& c) { return map(videoSizes(c), [](const QStringList& e) { return e[0]; }); };
    for (const char* label : {"Site MP4", "HD MP4", "720p", "Video Original"})
        EXPECT_TRUE(labels(owner).contains(label)) << label << " in " << labels(owner).join(", ").toStdString();
    EXPECT_TRUE(!labels(stranger).isEmpty() && !labels(stranger).contains("Video Original")) << labels(stranger).join(", ").toStdString();
    EXPECT_FALSE(values(call("flickr.photos.getSizes", {{"photo_id", id(firstIndex([](const Photo& p) { return !p.isVideo; }))}}),
                        "sizes.size[].media").contains("video"));
    QString someFile;
    for (const QStringList& e : videoSizes(owner)) {
        SCOPED_TRACE(e[0].toStdString());
        const Reply play = get(e[1]);
        someFile = QString::fromUtf8(play.location);
        ASSERT_TRUE(play.status == 302 && someFile.startsWith(server->baseUrl() + "/") && someFile.endsWith(".mp4")) << someFile.toStdString();
        const Reply file = get(someFile);
        ASSERT_TRUE(file.status == 200 && file.contentType.startsWith("video/mp4") && file.body.mid(4, 4) == "ftyp");
        EXPECT_TRUE(file.body.size() > 200 && file.body.size() < 8192) << file.body.size();
        // The track header's width and height (16.16 fixed point) are the size listed.
        const qsizetype tkhd = file.body.indexOf("tkhd");
        ASSERT_GT(tkhd, 0);
        const auto fixed = [&](qsizetype at) { return QString::number(qFromBigEndian<quint32>(file.body.constData() + tkhd + 4 + at) >> 16); };
        EXPECT_EQ(L({fixed(76), fixed(80)}), e.mid(2));
    }
    EXPECT_EQ(get(someFile.chopped(4) + "x.mp4").status, 404);
    server->removePhotos({index});
    EXPECT_EQ(get(someFile).status, 410);
}
