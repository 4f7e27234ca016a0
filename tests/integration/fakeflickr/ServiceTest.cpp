// The service over HTTP, driven by a signer of the test's own.
#include "Server.h"
#include "ServiceClient.h"

#include <QImage>
#include <QUrlQuery>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace fakeflickr;
using fftest::Args;
using fftest::Reply;

namespace {

// Reads one attribute of the first element with that name.
QString attribute(const QByteArray& xml, const QString& element, const QString& name) {
    QXmlStreamReader reader(xml);
    while (reader.readNextStartElement() || !reader.atEnd()) {
        if (reader.isStartElement() && reader.name() == element)
            return reader.attributes().value(name).toString();
        if (reader.hasError())
            break;
    }
    return {};
}

int errorCode(const Reply& reply) {
    const QString code = attribute(reply.body, "err", "code");
    return code.isEmpty() ? 0 : code.toInt();
}

int countElements(const QByteArray& xml, const QString& element) {
    QXmlStreamReader reader(xml);
    int n = 0;
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == element)
            ++n;
    return n;
}

class Service : public ::testing::Test {
protected:
    void SetUp() override {
        Options options;
        options.photos = 1234;
        options.seed = 7;
        server = std::make_unique<Server>(options);
        ASSERT_TRUE(server->listen());
        const auto token = server->issueAccessToken("write");
        creds = {options.apiKey, options.sharedSecret, token.token, token.secret};
    }
    Reply call(const QString& method, const Args& args = {}, const QString& http = "GET", int timeoutMs = 5000) {
        return fftest::callRest(server->baseUrl(), method, args, creds, http, timeoutMs);
    }
    QString anyId(int index = 0) const { return server->photostream().photoAt(index).idText(); }

    std::unique_ptr<Server> server;
    fftest::Credentials creds;
};

} // namespace

TEST_F(Service, SignedCallsAreAcceptedAndEveryKindOfTamperingIsRefused) {
    const Reply ok = call("flickr.test.login");
    EXPECT_EQ(attribute(ok.body, "rsp", "stat"), "ok");
    EXPECT_EQ(attribute(ok.body, "user", "id"), server->userNsid());
    EXPECT_TRUE(ok.body.contains("<username>tessaly_demo</username>"));

    // A value changed after signing.
    const QString endpoint = server->baseUrl() + "/services/rest/";
    Args signedArgs = fftest::oauthSigned({{"method", "flickr.test.login"}, {"x", "1"}}, "GET", endpoint, creds);
    signedArgs["x"] = "2";
    EXPECT_EQ(errorCode(fftest::get(endpoint + "?" + fftest::encodeQuery(signedArgs))), 96);
    // Signed for POST, sent by GET.
    signedArgs = fftest::oauthSigned({{"method", "flickr.test.login"}}, "POST", endpoint, creds);
    EXPECT_EQ(errorCode(fftest::get(endpoint + "?" + fftest::encodeQuery(signedArgs))), 96);
    // "~" is unreserved: signed escaped, it is not Flickr's signature; signed as
    // RFC 5849 says, it is.
    const Args tilde = {{"method", "flickr.test.login"}, {"x", "a~b ~"}};
    signedArgs = fftest::oauthSigned(tilde, "GET", endpoint, creds, true);
    EXPECT_EQ(errorCode(fftest::get(endpoint + "?" + fftest::encodeQuery(signedArgs))), 96);
    signedArgs = fftest::oauthSigned(tilde, "GET", endpoint, creds);
    EXPECT_EQ(errorCode(fftest::get(endpoint + "?" + fftest::encodeQuery(signedArgs))), 0);

    auto wrong = creds;
    wrong.tokenSecret = "nope";
    EXPECT_EQ(errorCode(fftest::callRest(server->baseUrl(), "flickr.test.login", {}, wrong)), 96);
    wrong = creds;
    wrong.sharedSecret += "x";
    EXPECT_EQ(errorCode(fftest::callRest(server->baseUrl(), "flickr.test.login", {}, wrong)), 96);
    wrong = creds;
    wrong.apiKey = "0123";
    const Reply badKey = fftest::callRest(server->baseUrl(), "flickr.test.login", {}, wrong);
    EXPECT_EQ(errorCode(badKey), 100);
    EXPECT_EQ(attribute(badKey.body, "err", "msg"), "Invalid API Key (Key not found)");
    wrong = creds;
    wrong.token = "72157000000000000-0000000000000000";
    EXPECT_EQ(errorCode(fftest::callRest(server->baseUrl(), "flickr.test.login", {}, wrong)), 98);
    EXPECT_EQ(errorCode(call("flickr.test.login", {{"api_key", "other"}})), 100);

    // Only calls that passed the checks are logged.
    ASSERT_EQ(server->calls().size(), 2);
    EXPECT_EQ(server->calls()[0].method, "flickr.test.login");
}

TEST_F(Service, AwkwardValuesSurviveSigningByGetAndPost) {
    const QString title = QString::fromUtf8("a~b c&d=e \"q\" \\\" é/東京+%");
    const Reply get = call("flickr.photos.getPerms", {{"photo_id", anyId()}, {"note", title}});
    EXPECT_EQ(attribute(get.body, "rsp", "stat"), "ok") << get.body.constData();

    const Reply post = call("flickr.photos.setMeta", {{"photo_id", anyId()}, {"title", title}, {"description", "x\ny"}}, "POST");
    EXPECT_EQ(attribute(post.body, "rsp", "stat"), "ok") << post.body.constData();
    EXPECT_EQ(server->photo(anyId())->title, title);
    EXPECT_EQ(server->photo(anyId())->description, "x\ny");
}

TEST_F(Service, LegacySignedCallsAreCheckedToo) {
    const QString endpoint = server->baseUrl() + "/services/rest/";
    Args args = fftest::legacySigned({{"method", "flickr.test.login"}}, creds);
    EXPECT_EQ(attribute(fftest::get(endpoint + "?" + fftest::encodeQuery(args)).body, "rsp", "stat"), "ok");
    args["method"] = "flickr.photos.getCounts";
    EXPECT_EQ(errorCode(fftest::get(endpoint + "?" + fftest::encodeQuery(args))), 96);
    args = fftest::legacySigned({{"method", "flickr.test.login"}}, {creds.apiKey, creds.sharedSecret, "unknown", ""});
    EXPECT_EQ(errorCode(fftest::get(endpoint + "?" + fftest::encodeQuery(args))), 98);
    // Unsigned calls reach public methods only.
    const Reply unsigned_ = fftest::get(endpoint + "?method=flickr.test.login&api_key=" + creds.apiKey);
    EXPECT_EQ(errorCode(unsigned_), 99);
}

TEST_F(Service, PhotostreamPagesLikeFlickr) {
    // Full pages are read through the client elsewhere; here the edges of paging.
    const Reply last = call("flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "500"}, {"page", "3"}});
    EXPECT_EQ(attribute(last.body, "photos", "pages"), "3");
    EXPECT_EQ(attribute(last.body, "photos", "total"), "1234");
    EXPECT_EQ(countElements(last.body, "photo"), 234);
    const Reply capped = call("flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "900"}});
    EXPECT_EQ(attribute(capped.body, "photos", "perpage"), "500");
    EXPECT_EQ(countElements(capped.body, "photo"), 500);
    const Reply past = call("flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "500"}, {"page", "4"}});
    EXPECT_EQ(attribute(past.body, "rsp", "stat"), "ok");
    EXPECT_EQ(countElements(past.body, "photo"), 0);

    const Reply counts = call("flickr.photos.getCounts", {{"taken_dates", "0000000000,9999999999,0000000000,9999999999"}});
    EXPECT_EQ(countElements(counts.body, "photocount"), 3);
    EXPECT_EQ(attribute(counts.body, "photocount", "count"), "1234");
}

TEST_F(Service, UnknownThingsGetFlickrsErrors) {
    Reply r = call("flickr.photos.nothing");
    EXPECT_EQ(errorCode(r), 112);
    EXPECT_EQ(attribute(r.body, "err", "msg"), "Method not found");
    r = call("flickr.photos.getExif", {{"photo_id", "123"}});
    EXPECT_EQ(errorCode(r), 1);
    EXPECT_EQ(attribute(r.body, "err", "msg"), "Photo not found");
    r = call("flickr.photosets.getPhotos", {{"photoset_id", "72157"}});
    EXPECT_EQ(errorCode(r), 1);
    EXPECT_EQ(attribute(r.body, "err", "msg"), "Photoset not found");
    EXPECT_EQ(fftest::get(server->baseUrl() + "/nothing/here").status, 404);
}

TEST_F(Service, WritesNeedPostAndWritePermissionAndValidArguments) {
    const QString id = anyId(3);
    EXPECT_EQ(errorCode(call("flickr.photos.setTags", {{"photo_id", id}, {"tags", "a"}}, "GET")), 116);
    const auto readOnly = server->issueAccessToken("read");
    const Reply denied = fftest::callRest(server->baseUrl(), "flickr.photos.setTags", {{"photo_id", id}, {"tags", "a"}},
                                          {creds.apiKey, creds.sharedSecret, readOnly.token, readOnly.secret}, "POST");
    EXPECT_EQ(errorCode(denied), 99);

    const Photo before = *server->photo(id);
    EXPECT_EQ(errorCode(call("flickr.photos.geo.setLocation", {{"photo_id", id}, {"lat", "95"}, {"lon", "10"}}, "POST")), 3);
    EXPECT_EQ(errorCode(call("flickr.photos.geo.setLocation", {{"photo_id", id}, {"lat", "0"}, {"lon", "500"}}, "POST")), 4);
    EXPECT_EQ(errorCode(call("flickr.photos.geo.setLocation", {{"photo_id", id}, {"lat", "x"}, {"lon", "1"}}, "POST")), 3);
    EXPECT_EQ(errorCode(call("flickr.photos.setDates", {{"photo_id", id}, {"date_taken", "yesterday"}}, "POST")), 4);
    EXPECT_EQ(errorCode(call("flickr.photos.setPerms", {{"photo_id", id}, {"is_public", "2"}, {"is_friend", "0"}, {"is_family", "0"}}, "POST")), 2);
    EXPECT_EQ(errorCode(call("flickr.photos.setPerms", {{"photo_id", id}, {"is_public", "1"}, {"is_friend", "0"}, {"is_family", "0"}, {"perm_comment", "4"}}, "POST")), 2);
    EXPECT_EQ(errorCode(call("flickr.photos.licenses.setLicense", {{"photo_id", id}, {"license_id", "11"}}, "POST")), 2);
    EXPECT_EQ(errorCode(call("flickr.photos.setMeta", {{"photo_id", "1"}, {"title", "t"}}, "POST")), 1);
    EXPECT_EQ(server->photo(id)->latitude, before.latitude);
    EXPECT_EQ(server->photo(id)->license, before.license);

    const QList<std::pair<QString, Args>> edits = {
        {"flickr.photos.setTags", {{"tags", "sunset \"new york\" Sunset"}}},
        {"flickr.photos.setDates", {{"date_taken", "2011-06-04 17:30:05"}}},
        {"flickr.photos.setPerms", {{"is_public", "0"}, {"is_friend", "1"}, {"is_family", "1"}, {"perm_comment", "1"}, {"perm_addmeta", "0"}}},
        {"flickr.photos.licenses.setLicense", {{"license_id", "4"}}},
        {"flickr.photos.geo.setLocation", {{"lat", "-33.8567844"}, {"lon", "151.213108"}}}};
    for (const auto& [method, args] : edits) {
        Args all = args;
        all["photo_id"] = id;
        all["api_key"] = creds.apiKey;
        EXPECT_EQ(attribute(call(method, all, "POST").body, "rsp", "stat"), "ok") << method.toStdString();
    }
    const Photo after = *server->photo(id);
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
    ASSERT_EQ(writes.size(), 15);  // refused ones included, with their error codes
    EXPECT_EQ(writes.last().method, "flickr.photos.geo.setLocation");
    EXPECT_EQ(writes.last().args.value("lat"), "-33.8567844");
    EXPECT_EQ(writes.last().args.value("api_key"), creds.apiKey);
    EXPECT_FALSE(writes.last().args.contains("oauth_signature"));
    EXPECT_EQ(writes.last().errorCode, 0);
    EXPECT_EQ(writes[0].errorCode, 116);

    // The read side answers with the stored state.
    const Reply tags = call("flickr.tags.getListPhoto", {{"photo_id", id}}, "POST");
    EXPECT_TRUE(tags.body.contains("raw=\"new york\" machine_tag=\"0\">newyork</tag>")) << tags.body.constData();
}

TEST_F(Service, OAuthFlowIssuesAWorkingAccessToken) {
    const QString base = server->baseUrl() + "/services/oauth/";
    const fftest::Credentials consumer{creds.apiKey, creds.sharedSecret, "", ""};
    Args args = fftest::oauthSigned({{"oauth_callback", "tessaly://callback"}}, "GET", base + "request_token", consumer);
    const Reply requestToken = fftest::get(base + "request_token?" + fftest::encodeQuery(args));
    ASSERT_EQ(requestToken.status, 200) << requestToken.body.constData();
    const QUrlQuery rt(QString::fromUtf8(requestToken.body));
    EXPECT_EQ(rt.queryItemValue("oauth_callback_confirmed"), "true");
    const QString token = rt.queryItemValue("oauth_token"), secret = rt.queryItemValue("oauth_token_secret");
    ASSERT_FALSE(token.isEmpty());

    // The request token is no access token.
    EXPECT_EQ(errorCode(fftest::callRest(server->baseUrl(), "flickr.test.login", {}, {creds.apiKey, creds.sharedSecret, token, secret})), 98);

    const Reply authorize = fftest::get(base + "authorize?oauth_token=" + token + "&perms=write");
    ASSERT_EQ(authorize.status, 302);
    const QString location = QString::fromUtf8(authorize.location);
    ASSERT_TRUE(location.startsWith("tessaly://callback?oauth_token=" + token + "&oauth_verifier=")) << location.toStdString();
    const QString verifier = QUrlQuery(QUrl(location)).queryItemValue("oauth_verifier");

    const fftest::Credentials withRequestSecret{creds.apiKey, creds.sharedSecret, "", secret};
    args = fftest::oauthSigned({{"oauth_token", token}, {"oauth_verifier", "wrong"}}, "GET", base + "access_token", withRequestSecret);
    EXPECT_TRUE(fftest::get(base + "access_token?" + fftest::encodeQuery(args)).body.contains("oauth_problem=verifier_invalid"));
    args = fftest::oauthSigned({{"oauth_token", token}, {"oauth_verifier", verifier}}, "GET", base + "access_token", consumer);
    EXPECT_TRUE(fftest::get(base + "access_token?" + fftest::encodeQuery(args)).body.contains("oauth_problem=signature_invalid"));

    args = fftest::oauthSigned({{"oauth_token", token}, {"oauth_verifier", verifier}}, "GET", base + "access_token", withRequestSecret);
    const Reply access = fftest::get(base + "access_token?" + fftest::encodeQuery(args));
    ASSERT_EQ(access.status, 200) << access.body.constData();
    const QStringList keys = [&] {
        QStringList out;
        for (const QString& piece : QString::fromUtf8(access.body).split('&'))
            out << piece.section('=', 0, 0);
        return out;
    }();
    EXPECT_EQ(keys, QStringList({"fullname", "oauth_token", "oauth_token_secret", "user_nsid", "username"}));
    const QUrlQuery at(QString::fromUtf8(access.body));
    EXPECT_EQ(at.queryItemValue("user_nsid", QUrl::FullyDecoded), server->userNsid());
    EXPECT_EQ(at.queryItemValue("fullname", QUrl::FullyDecoded), "Tessaly Demo");
    const fftest::Credentials user{creds.apiKey, creds.sharedSecret, at.queryItemValue("oauth_token"), at.queryItemValue("oauth_token_secret")};
    EXPECT_EQ(attribute(fftest::callRest(server->baseUrl(), "flickr.test.login", {}, user).body, "rsp", "stat"), "ok");
    EXPECT_EQ(attribute(fftest::callRest(server->baseUrl(), "flickr.photos.setTags", {{"photo_id", anyId()}, {"tags", "x"}}, user, "POST").body, "rsp", "stat"), "ok");

    // A used request token is gone; missing callbacks and foreign keys are named problems.
    EXPECT_TRUE(fftest::get(base + "access_token?" + fftest::encodeQuery(args)).body.contains("oauth_problem=token_rejected"));
    EXPECT_EQ(fftest::get(base + "authorize?oauth_token=" + token).status, 400);
    args = fftest::oauthSigned({}, "GET", base + "request_token", consumer);
    EXPECT_TRUE(fftest::get(base + "request_token?" + fftest::encodeQuery(args)).body.contains("oauth_parameters_absent=oauth_callback"));
    args = fftest::oauthSigned({{"oauth_callback", "x"}}, "GET", base + "request_token", {"other", creds.sharedSecret, "", ""});
    EXPECT_TRUE(fftest::get(base + "request_token?" + fftest::encodeQuery(args)).body.contains("oauth_problem=consumer_key_unknown"));
}

TEST_F(Service, PictureFilesAreJpegsAndFileFaultsApply) {
    const Photo p = server->photostream().photoAt(0);
    const QString url = server->baseUrl() + "/" + p.server + "/" + p.fileName('s');
    const Reply square = fftest::get(url);
    ASSERT_EQ(square.status, 200);
    EXPECT_EQ(square.contentLength, square.body.size());
    EXPECT_EQ(QImage::fromData(square.body, "JPG").size(), QSize(75, 75));
    EXPECT_EQ(fftest::get(server->baseUrl() + "/" + p.server + "/" + p.idText() + "_000_s.jpg").status, 404);

    ASSERT_TRUE(server->addFault("fail:file:" + p.fileName('s') + ":2"));
    ASSERT_TRUE(server->addFault("truncate:file:*_t.jpg"));
    ASSERT_TRUE(server->addFault("stall:file:" + p.fileName('z')));
    EXPECT_EQ(fftest::get(url).status, 500);
    EXPECT_EQ(fftest::get(url).status, 500);
    EXPECT_EQ(fftest::get(url).body, square.body);

    const Reply truncated = fftest::get(server->baseUrl() + "/" + p.server + "/" + p.fileName('t'));
    EXPECT_NE(truncated.error, QNetworkReply::NoError);
    EXPECT_LT(truncated.body.size(), truncated.contentLength);
    EXPECT_TRUE(fftest::get(server->baseUrl() + "/" + p.server + "/" + p.fileName('z'), 700).timedOut);
    EXPECT_EQ(server->fileRequests().count(p.fileName('s')), 4);
}
