// Who sees what, pictures that leave the stream, signing in, and how the stand-in limits and fails as Flickr
// does: the per-key budget on a scripted clock, faults with statuses, counts and Retry-After.
#include "ServiceClient.h"

#include <QUrlQuery>

using namespace fakeflickr;
using namespace fftest;

namespace {

class Access : public ServiceTest {
protected:
    void SetUp() override {
        start(1100, 29);
        for (int i = 0; i < stream().size(); ++i) {
            publicCount += stream().isPublicAt(i);
            if (!stream().isPublicAt(i) && privateId.isEmpty() && !stream().exifFor(stream().photoAt(i).id).isEmpty())
                privateId = id(i);
        }
    }
    // The HTTP status of each of n calls, -1 for a Flickr error answer.
    QList<int> statuses(int n = 1, const QString& method = "flickr.test.login", const Args& args = {}) {
        QList<int> out;
        for (int i = 0; i < n; ++i) {
            last = call(method, args);
            out << (last.status == 200 && !last.body.contains("stat=\"ok\"") ? -1 : last.status);
        }
        return out;
    }

    int publicCount = 0;
    QString privateId;
    qint64 now = 5'000'000;  // any origin: the clock is monotonic, not wall time
    Reply last;
};

} // namespace

TEST_F(Access, OnlyTheOwnersOAuthTokenSeesPrivatePictures) {
    ASSERT_FALSE(privateId.isEmpty());
    enum Who { Owner, Stranger, Legacy, LegacyToken, Unsigned };
    const auto as = [&](Who who, const QString& method, Args args) {
        args["method"] = method;
        if (who == Owner || who == Stranger)
            return send(rest, oauthSigned(args, "GET", rest, who == Owner ? owner : stranger), Placement::HeaderGet);
        if (who == Unsigned)
            args["api_key"] = owner.apiKey;
        // Flickr's legacy signing, without a token or with the OAuth token as auth_token.
        return send(rest, who == Unsigned ? args : legacySigned(args, who == Legacy ? consumer : owner), Placement::Query);
    };
    struct Case { Who who; QString total; bool seesPrivate; QString count; /* of getCounts, or its error code */ };
    const QString all = "1100", publicTotal = QString::number(publicCount);
    for (const Case& c : {Case{Owner, all, true, all}, Case{Stranger, publicTotal, false, publicTotal},
                          Case{Legacy, publicTotal, false, "99"}, Case{LegacyToken, publicTotal, false, publicTotal},
                          Case{Unsigned, publicTotal, false, "99"}}) {
        SCOPED_TRACE(c.who);
        const Reply page = as(c.who, "flickr.people.getPhotos", {{"user_id", server->userNsid()}, {"per_page", "500"}});
        EXPECT_EQ(value(page, "photos.total") + (values(page, "photos.photo[].ispublic").contains("0") ? " private" : ""),
                  c.total + (c.seesPrivate ? " private" : ""));
        const Reply counts = as(c.who, "flickr.photos.getCounts", {{"dates", "0,9999999999"}});
        EXPECT_EQ(value(counts, value(counts, "stat") == "ok" ? "photocounts.photocount[].count" : "err.code"), c.count);
        for (const char* method : {"flickr.photos.getExif", "flickr.photos.getPerms", "flickr.tags.getListPhoto", "flickr.photos.getInfo"})
            EXPECT_EQ(value(as(c.who, method, {{"photo_id", privateId}}), "err.code"),
                      c.seesPrivate ? "" : QString(method).endsWith("Perms") ? "99" : "1") << method;
    }
    // A legacy auth_token still passes the methods that need a user; the owner sees who may comment on a private picture.
    const Reply info = as(Owner, "flickr.photos.getInfo", {{"photo_id", privateId}});
    EXPECT_EQ(L({value(as(LegacyToken, "flickr.test.login", {}), "stat"), value(info, "photo.visibility.ispublic"), value(info, "photo.permissions.permcomment")}),
              L({"ok", "0", QString::number(server->photo(privateId)->permComment)}));

    // Sets list what the caller sees; a picture the owner makes private leaves the others' view.
    const PhotoSet big = stream().setAt(0);
    QList<int> publicMembers;
    for (int k = 0; k < big.count; ++k)
        if (stream().isPublicAt(stream().setMember(0, k)))
            publicMembers << stream().setMember(0, k);
    EXPECT_EQ(value(as(Legacy, "flickr.photosets.getPhotos", {{"photoset_id", big.id}}), "photoset.total").toInt(), publicMembers.size());
    const Args hide = {{"photo_id", id(publicMembers[0])}, {"is_public", "0"}, {"is_friend", "0"}, {"is_family", "0"}};
    ASSERT_EQ(value(call("flickr.photos.setPerms", hide, Placement::Body), "stat"), "ok");
    const Reply sets = as(Legacy, "flickr.photosets.getList", {});
    EXPECT_EQ(QList<int>({value(as(Legacy, "flickr.people.getPhotos", {{"user_id", server->userNsid()}}), "photos.total").toInt(),
                          value(sets, "photosets.photoset[].photos").toInt() + value(sets, "photosets.photoset[].videos").toInt()}),
              QList<int>({publicCount - 1, int(publicMembers.size()) - 1}));
}

TEST_F(Access, RemovedPicturesAreGone) {
    const Photostream& s = stream();
    const QList<int> removed = {0, 3, 600, s.setMember(1, 0)};  // the last one is set 1's only picture
    server->removePhotos(removed + QList<int>{-1, 5000});
    server->touchPhotos({id(3), "1"});
    QStringList expected, listed;
    for (int i = 0; i < s.size(); ++i)
        if (!removed.contains(i))
            expected << id(i);
    QStringList pages;  // size and total of each page
    for (const char* page : {"1", "2", "3"}) {
        const Reply r = call("flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "500"}, {"page", page}});
        listed << values(r, "photos.photo[].id");
        pages << QString("%1 of %2").arg(values(r, "photos.photo[].id").size()).arg(value(r, "photos.total"));
    }
    EXPECT_EQ(pages, L({"500 of 1096", "500 of 1096", "96 of 1096"}));
    EXPECT_EQ(listed, expected);
    int setMembersLeft = 0;
    for (int k = 0; k < s.setAt(0).count; ++k)
        setMembersLeft += !removed.contains(s.setMember(0, k));
    // Counts and sets leave them out; Flickr deletes a set with its last picture.
    EXPECT_EQ(L({value(call("flickr.photos.getCounts", {{"dates", "0,9999999999"}}), "photocounts.photocount[].count"),
                 value(call("flickr.photosets.getPhotos", {{"photoset_id", s.setAt(0).id}}), "photoset.total"),
                 value(call("flickr.photosets.getList"), "photosets.total"),
                 value(call("flickr.photosets.getPhotos", {{"photoset_id", s.setAt(1).id}}), "err.code")}),
              L({"1096", QString::number(setMembersLeft), QString::number(s.setCount() - 1), "1"}));
    for (const QString method : {"flickr.photos.getPerms", "flickr.photos.getExif", "flickr.tags.getListPhoto", "flickr.photos.setTags"})
        EXPECT_EQ(value(call(method, {{"photo_id", id(3)}, {"tags", "x"}}, method.contains(".set") ? Placement::Body : Placement::Query), "err.msg"),
                  "Photo not found") << method.toStdString();
    EXPECT_EQ(QList<int>({get(fileUrl(3, 'm')).status, get(fileUrl(4, 'm')).status}), QList<int>({410, 200}));
}

TEST_F(Access, OAuthFlowsIssueAWorkingAccessTokenAndNameTheirProblems) {
    const QString base = server->baseUrl() + "/services/oauth/";
    const auto query = [](const Reply& r) { return QUrlQuery(QString::fromUtf8(r.body)); };
    const auto requestToken = [&](const Credentials& c, const Args& args) {
        return query(get(base + "request_token?" + encodeQuery(oauthSigned(args, "GET", base + "request_token", c))));
    };
    const auto access = [&](const QString& token, const QString& verifier, const QString& secret) {
        const Args args = oauthSigned({{"oauth_token", token}, {"oauth_verifier", verifier}}, "GET", base + "access_token",
                                      {owner.apiKey, owner.sharedSecret, "", secret});
        return query(get(base + "access_token?" + encodeQuery(args)));
    };
    const auto problem = [](const QUrlQuery& q) { return (q.queryItemValue("oauth_problem") + " " + q.queryItemValue("oauth_parameters_absent")).trimmed(); };
    // The stat and error code of a call signed with the token and secret of an answer.
    const auto as = [&](const QUrlQuery& q, const QString& method, const Args& args) {
        const Reply r = callRest(server->baseUrl(), method, args,
                                 {owner.apiKey, owner.sharedSecret, q.queryItemValue("oauth_token"), q.queryItemValue("oauth_token_secret")}, Placement::Body);
        return value(r, "stat") + value(r, "err.code");
    };
    const QUrlQuery issued = requestToken(consumer, {{"oauth_callback", "tessaly://callback"}});
    EXPECT_EQ(issued.queryItemValue("oauth_callback_confirmed"), "true");
    const QString token = issued.queryItemValue("oauth_token"), secret = issued.queryItemValue("oauth_token_secret");
    EXPECT_EQ(as(issued, "flickr.test.login", {}), "fail98");  // a request token is no access token
    const Reply authorize = get(base + "authorize?oauth_token=" + token + "&perms=write");
    const QString location = QString::fromUtf8(authorize.location);
    ASSERT_TRUE(authorize.status == 302 && location.startsWith("tessaly://callback?oauth_token=" + token + "&oauth_verifier=")) << location.toStdString();
    const QString verifier = QUrlQuery(QUrl(location)).queryItemValue("oauth_verifier");
    // A wrong verifier or secret leaves the request token usable; missing callbacks and foreign keys are named problems.
    EXPECT_EQ(L({problem(access(token, "wrong", secret)), problem(access(token, verifier, "")), problem(requestToken(consumer, {})),
                 problem(requestToken({"other", owner.sharedSecret, "", ""}, {{"oauth_callback", "x"}}))}),
              L({"verifier_invalid", "signature_invalid", "parameter_absent oauth_callback", "consumer_key_unknown"}));
    const QUrlQuery granted = access(token, verifier, secret);
    QStringList keys;
    for (const auto& [key, value] : granted.queryItems(QUrl::FullyDecoded))
        keys << key + '=' + (key.startsWith("oauth_") ? QString(!value.isEmpty(), '*') : value);
    EXPECT_EQ(keys, L({"fullname=Tessaly Demo", "oauth_token=*", "oauth_token_secret=*", "user_nsid=" + server->userNsid(), "username=tessaly_demo"}));
    EXPECT_EQ(as(granted, "flickr.photos.setTags", {{"photo_id", id(0)}, {"tags", "x"}}), "ok");
    // A used request token is gone.
    EXPECT_EQ(problem(access(token, verifier, secret)), "token_rejected");
    EXPECT_EQ(get(base + "authorize?oauth_token=" + token).status, 400);
}

TEST_F(Access, TheBudgetAnswers429UntilTheClockHasRefilledIt) {
    start(1200, 1, 1000, 3, [this] { return now; });  // a call every 3.6 seconds, three at once
    QList<int> seen = statuses(4);
    EXPECT_TRUE(last.contentType.startsWith("text/html") && last.body.contains("429 Too Many Requests"));
    QList<std::optional<QByteArray>> retryAfter = {last.retryAfter};
    // Refused calls spend nothing: with 0.6 s left the answer says 1 second; then exactly one call goes through.
    now += 3000;
    seen << statuses();
    retryAfter << last.retryAfter;
    now += 600;
    seen << statuses(2);
    EXPECT_EQ(seen, QList<int>({200, 200, 200, 429, 429, 200, 429}));
    EXPECT_EQ(retryAfter, QList<std::optional<QByteArray>>({"4", "1"}));
    QList<int> logged;
    for (const auto& c : server->calls())
        logged << c.status;
    EXPECT_EQ(logged, seen);
    const auto& calls = server->calls();
    EXPECT_EQ(QList<qint64>({calls[3].errorCode, calls[3].timeMs, calls[5].timeMs}), QList<qint64>({-1, 5'000'000, 5'003'600}));
}

TEST_F(Access, FaultsAnswerTheirStatusCountedAndTimed) {
    // Calls that never answer, break off, or answer what does not parse.
    for (const char* fault : {"stall:flickr.people.getPhotos@page=3", "drop:flickr.photos.getPerms#1", "malformed:flickr.photos.getInfo#1"})
        ASSERT_TRUE(server->addFault(fault));
    EXPECT_TRUE(call("flickr.people.getPhotos", {{"user_id", "me"}, {"page", "3"}}, Placement::Query, 300).timedOut);
    EXPECT_EQ(values(call("flickr.people.getPhotos", {{"user_id", "me"}, {"page", "4"}}), "photos.page"), L{"4"});
    const Reply dropped = call("flickr.photos.getPerms", {{"photo_id", id(2)}}), malformed = call("flickr.photos.getInfo", {{"photo_id", id(2)}});
    EXPECT_TRUE(dropped.error != QNetworkReply::NoError && malformed.status == 200);
    EXPECT_EQ(values(dropped, "perms.id") + values(malformed, "photo.id"), L({"!parse", "!parse"}));

    start(1200, 1, 3600, 1, [this] { return now; });
    for (const char* fault : {"http503:flickr.people.getPhotos@page=2#2~3", "http429:flickr.photos.getPerms~30",
                              "error:flickr.photos.getExif:105~5#1", "http502:flickr.photosets.getList#1", "http504:flickr.test.login#1"})
        ASSERT_TRUE(server->addFault(fault));
    const auto step = [&](const QString& method, const Args& args = {}) {
        const int code = statuses(1, method, args)[0];
        now += 1000;  // within the budget
        return QStringLiteral("%1 %2").arg(code).arg(QString::fromLatin1(last.retryAfter.value_or("-")));
    };
    const Args page2{{"user_id", "me"}, {"per_page", "500"}, {"page", "2"}}, photo{{"photo_id", id(2)}};
    EXPECT_EQ(QStringList({step("flickr.people.getPhotos", page2), step("flickr.people.getPhotos", page2),
                           step("flickr.people.getPhotos", page2)}), QStringList({"503 3", "503 3", "200 -"}));
    EXPECT_EQ(last.body.count("<photo "), 500);
    EXPECT_EQ(QStringList({step("flickr.photos.getPerms", photo), step("flickr.photos.getPerms", photo)}), QStringList({"429 30", "429 30"}));
    EXPECT_TRUE(step("flickr.photos.getExif", photo) == "-1 5" && last.body.contains("code=\"105\"")) << last.body.constData();
    EXPECT_EQ(QStringList({step("flickr.photos.getExif", photo), step("flickr.photosets.getList"), step("flickr.photosets.getList")}),
              QStringList({"200 -", "502 -", "200 -"}));
    // A call the budget refuses leaves the fault for the next one.
    EXPECT_EQ(QList<int>({statuses(1, "flickr.urls.getUserProfile")[0], statuses()[0]}), QList<int>({200, 429}));
    now += 1000;
    EXPECT_EQ(QStringList({step("flickr.test.login"), step("flickr.test.login")}), QStringList({"504 -", "200 -"}));

    // Files: 403, 404 and 410 last; a counted 429 or 503 passes. The budget never counts them.
    const Photo b = stream().photoAt(1);
    for (const QString& fault : {QString("http404:file:*_s.jpg"), QString("http403:file:*_t.jpg"), QString("http410:file:*_m.jpg"),
                                 "http429:file:" + b.fileName('z') + "#1~7", "http503:file:" + b.fileName('-') + "#2"})
        ASSERT_TRUE(server->addFault(fault));
    const int calls = int(server->calls().size());
    const auto file = [&](int index, char suffix) { return (last = get(fileUrl(index, suffix))).status; };
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(QList<int>({file(0, 's'), file(0, 't'), file(0, 'm')}), QList<int>({404, 403, 410}));
    EXPECT_TRUE(last.body.contains("410 Gone"));
    EXPECT_TRUE(file(1, 'z') == 429 && last.retryAfter == "7");
    EXPECT_EQ(QList<int>({file(1, 'z'), file(1, '-'), file(1, '-'), file(1, '-')}), QList<int>({200, 503, 503, 200}));
    EXPECT_TRUE(last.contentType == "image/jpeg" && server->calls().size() == calls);
}
