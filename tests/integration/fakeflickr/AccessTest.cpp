// Who sees what, pictures that leave the stream or change, and the ways of signing in.
#include "ClientRecorder.h"

#include <QRegularExpression>
#include <QUrlQuery>

using namespace fakeflickr;
using namespace fftest;

namespace {

class Access : public ServiceTest {
protected:
    void SetUp() override {
        Options options;
        options.photos = 1100;
        options.seed = 29;
        start(options);
        qputenv("TESSALY_FLICKR_ENDPOINT", server->baseUrl().toUtf8());
        for (int i = 0; i < stream().size(); ++i) {
            publicCount += stream().isPublicAt(i);
            if (!stream().isPublicAt(i) && privateId.isEmpty() && !stream().exifFor(stream().photoAt(i).id).isEmpty())
                privateId = id(i);
        }
    }
    void TearDown() override { qunsetenv("TESSALY_FLICKR_ENDPOINT"); }

    // The stream's total and whether its first page shows a private picture.
    std::pair<int, bool> seen(ClientCall& c) {
        EXPECT_TRUE(c.run("flickr.people.getPhotos", {{"user_id", server->userNsid()}, {"per_page", "500"}}));
        bool anyPrivate = false;
        for (const QVariant& p : c.at("photos.photo").toList())
            anyPrivate |= p.toMap().value("ispublic").toString() == "0";
        return {c.at("photos.total").toInt(), anyPrivate};
    }
    int counted(ClientCall& c) {
        EXPECT_TRUE(c.run("flickr.photos.getCounts", {{"dates", "0,9999999999"}}));
        return c.at("photocounts.photocount.count").toList().value(0).toInt();
    }

    int publicCount = 0;
    QString privateId;
};

} // namespace

TEST_F(Access, OnlyTheOwnersOAuthTokenSeesPrivatePictures) {
    ASSERT_FALSE(privateId.isEmpty());
    ClientCall mine(owner), other(stranger), legacy(consumer), legacyToken(consumer);
    legacyToken.context()->setAuthToken(owner.token);
    EXPECT_EQ(seen(mine), std::make_pair(1100, true));
    EXPECT_EQ(counted(mine), 1100);
    EXPECT_TRUE(mine.run("flickr.photos.getExif", {{"photo_id", privateId}}));
    EXPECT_TRUE(mine.run("flickr.photos.getPerms", {{"photo_id", privateId}}));
    // The owner's token in the Authorization header counts as much.
    EXPECT_EQ(value(call("flickr.photos.getExif", {{"photo_id", privateId}}, Placement::HeaderGet), "stat"), "ok");

    const Reply page = get(rest + "?method=flickr.people.getPhotos&per_page=500&api_key=" + owner.apiKey + "&user_id="
                           + escape(server->userNsid()));
    EXPECT_TRUE(page.body.contains(QStringLiteral("total=\"%1\"").arg(publicCount).toUtf8()));
    EXPECT_FALSE(page.body.contains("ispublic=\"0\""));
    // Tessaly's client signs the legacy way without a token; another account signs by OAuth.
    for (ClientCall* c : {&legacy, &legacyToken, &other}) {
        EXPECT_EQ(seen(*c), std::make_pair(publicCount, false));
        EXPECT_FALSE(c->run("flickr.photos.getExif", {{"photo_id", privateId}}));
        EXPECT_EQ(c->errorCode(), 1);
        EXPECT_FALSE(c->run("flickr.photos.getPerms", {{"photo_id", id(0)}}));
        EXPECT_EQ(c->errorCode(), 99);
    }
    // A legacy auth_token still passes the methods that need a user, with the public view.
    EXPECT_TRUE(legacyToken.run("flickr.test.login"));
    EXPECT_EQ(counted(legacyToken), publicCount);
    for (const char* method : {"flickr.tags.getListPhoto", "flickr.photos.getInfo"}) {
        EXPECT_FALSE(legacyToken.run(method, {{"photo_id", privateId}}));
        EXPECT_EQ(legacyToken.errorCode(), 1);
    }
    // The owner sees a private picture's information, with who may comment.
    ASSERT_TRUE(mine.run("flickr.photos.getInfo", {{"photo_id", privateId}}));
    EXPECT_EQ(mine.at("photo.visibility.ispublic"), "0");
    EXPECT_FALSE(mine.at("photo.permissions.permcomment").toString().isEmpty());

    // Sets list what the caller sees; a picture the owner makes private leaves the others' view.
    const PhotoSet big = stream().setAt(0);
    int publicMembers = 0, j = -1;
    for (int k = 0; k < big.count; ++k) {
        if (stream().isPublicAt(stream().setMember(0, k))) {
            j = j < 0 ? k : j;
            ++publicMembers;
        }
    }
    ASSERT_TRUE(legacy.run("flickr.photosets.getPhotos", {{"photoset_id", big.id}}));
    EXPECT_EQ(legacy.at("photoset.total").toInt(), publicMembers);
    ASSERT_TRUE(mine.run("flickr.photos.setPerms", {{"photo_id", id(stream().setMember(0, j))}, {"is_public", "0"},
                                                    {"is_friend", "0"}, {"is_family", "0"}}, true));
    EXPECT_EQ(seen(legacy).first, publicCount - 1);
    ASSERT_TRUE(legacy.run("flickr.photosets.getList"));
    const QVariantMap listed = legacy.at("photosets.photoset").toList().value(0).toMap();
    EXPECT_EQ(listed.value("photos").toInt() + listed.value("videos").toInt(), publicMembers - 1);
}

TEST_F(Access, RemovedPicturesAreGoneAndTouchedOnesChanged) {
    const Photostream& s = stream();
    const QList<int> removed = {0, 3, 600, s.setMember(1, 0)};  // the last one is set 1's only picture
    server->removePhotos(removed + QList<int>{-1, 5000});
    server->touchPhotos({id(5), id(3), "1"});
    ClientCall mine(owner);

    QStringList expected, listed;
    for (int i = 0; i < s.size(); ++i)
        if (!removed.contains(i))
            expected << id(i);
    QList<int> sizes;
    for (int page = 1; page <= 3; ++page) {
        ASSERT_TRUE(mine.run("flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "500"}, {"page", page}, {"extras", "last_update"}}));
        EXPECT_EQ(mine.at("photos.total").toInt(), 1096);
        const QVariantList photos = mine.at("photos.photo").toList();
        sizes << int(photos.size());
        for (const QVariant& p : photos) {
            const QVariantMap m = p.toMap();
            listed << m.value("id").toString();
            const qint64 generated = s.photoAt(*s.indexOfId(listed.last())).lastUpdate;
            EXPECT_EQ(m.value("lastupdate").toLongLong() > generated, listed.last() == id(5)) << listed.last().toStdString();
        }
    }
    EXPECT_EQ(sizes, QList<int>({500, 500, 96}));
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(counted(mine), 1096);

    int setMembersLeft = 0;
    for (int k = 0; k < s.setAt(0).count; ++k)
        setMembersLeft += !removed.contains(s.setMember(0, k));
    ASSERT_TRUE(mine.run("flickr.photosets.getPhotos", {{"photoset_id", s.setAt(0).id}}));
    EXPECT_EQ(mine.at("photoset.total").toInt(), setMembersLeft);
    ASSERT_TRUE(mine.run("flickr.photosets.getList"));
    EXPECT_EQ(mine.at("photosets.total").toInt(), s.setCount() - 1);  // Flickr deletes a set with its last picture
    EXPECT_FALSE(mine.run("flickr.photosets.getPhotos", {{"photoset_id", s.setAt(1).id}}));
    EXPECT_EQ(mine.errorCode(), 1);

    for (const QString method : {"flickr.photos.getPerms", "flickr.photos.getExif", "flickr.tags.getListPhoto", "flickr.photos.setTags"}) {
        EXPECT_FALSE(mine.run(method, {{"photo_id", id(3)}, {"tags", "x"}}, method.contains(".set"))) << method.toStdString();
        EXPECT_EQ(mine.recorder.error.failureReason, "Photo not found");
    }
    EXPECT_EQ(get(fileUrl(3, 'm')).status, 410);
    EXPECT_EQ(get(fileUrl(4, 'm')).status, 200);
}

TEST_F(Access, OAuthFlowIssuesAWorkingAccessTokenAndNamesItsProblems) {
    const QString base = server->baseUrl() + "/services/oauth/";
    Args args = oauthSigned({{"oauth_callback", "tessaly://callback"}}, "GET", base + "request_token", consumer);
    const Reply requestToken = get(base + "request_token?" + encodeQuery(args));
    ASSERT_EQ(requestToken.status, 200) << requestToken.body.constData();
    const QUrlQuery rt(QString::fromUtf8(requestToken.body));
    EXPECT_EQ(rt.queryItemValue("oauth_callback_confirmed"), "true");
    const QString token = rt.queryItemValue("oauth_token"), secret = rt.queryItemValue("oauth_token_secret");
    ASSERT_FALSE(token.isEmpty());
    // The request token is no access token.
    EXPECT_EQ(value(callRest(server->baseUrl(), "flickr.test.login", {}, {owner.apiKey, owner.sharedSecret, token, secret}), "err.code"), "98");

    const Reply authorize = get(base + "authorize?oauth_token=" + token + "&perms=write");
    ASSERT_EQ(authorize.status, 302);
    const QString location = QString::fromUtf8(authorize.location);
    ASSERT_TRUE(location.startsWith("tessaly://callback?oauth_token=" + token + "&oauth_verifier=")) << location.toStdString();
    const QString verifier = QUrlQuery(QUrl(location)).queryItemValue("oauth_verifier");

    const Credentials withRequestSecret{owner.apiKey, owner.sharedSecret, "", secret};
    const auto access = [&](const QString& verifier, const Credentials& c) {
        return get(base + "access_token?" + encodeQuery(oauthSigned({{"oauth_token", token}, {"oauth_verifier", verifier}}, "GET", base + "access_token", c)));
    };
    EXPECT_TRUE(access("wrong", withRequestSecret).body.contains("oauth_problem=verifier_invalid"));
    EXPECT_TRUE(access(verifier, consumer).body.contains("oauth_problem=signature_invalid"));
    const Reply granted = access(verifier, withRequestSecret);
    ASSERT_EQ(granted.status, 200) << granted.body.constData();
    QStringList keys;
    for (const QString& piece : QString::fromUtf8(granted.body).split('&'))
        keys << piece.section('=', 0, 0);
    EXPECT_EQ(keys, QStringList({"fullname", "oauth_token", "oauth_token_secret", "user_nsid", "username"}));
    const QUrlQuery at(QString::fromUtf8(granted.body));
    EXPECT_EQ(at.queryItemValue("user_nsid", QUrl::FullyDecoded), server->userNsid());
    EXPECT_EQ(at.queryItemValue("fullname", QUrl::FullyDecoded), "Tessaly Demo");
    const Credentials user{owner.apiKey, owner.sharedSecret, at.queryItemValue("oauth_token"), at.queryItemValue("oauth_token_secret")};
    EXPECT_EQ(value(callRest(server->baseUrl(), "flickr.test.login", {}, user), "stat"), "ok");
    EXPECT_EQ(value(callRest(server->baseUrl(), "flickr.photos.setTags", {{"photo_id", id(0)}, {"tags", "x"}}, user, Placement::Body), "stat"), "ok");

    // A used request token is gone; missing callbacks and foreign keys are named problems.
    EXPECT_TRUE(access(verifier, withRequestSecret).body.contains("oauth_problem=token_rejected"));
    EXPECT_EQ(get(base + "authorize?oauth_token=" + token).status, 400);
    args = oauthSigned({}, "GET", base + "request_token", consumer);
    EXPECT_TRUE(get(base + "request_token?" + encodeQuery(args)).body.contains("oauth_parameters_absent=oauth_callback"));
    args = oauthSigned({{"oauth_callback", "x"}}, "GET", base + "request_token", {"other", owner.sharedSecret, "", ""});
    EXPECT_TRUE(get(base + "request_token?" + encodeQuery(args)).body.contains("oauth_problem=consumer_key_unknown"));
    // The OAuth parameters may come in the Authorization header, and are signed there too.
    args = oauthSigned({{"oauth_callback", "oob"}}, "GET", base + "request_token", consumer);
    const QByteArray header = takeOAuthHeader(&args);
    EXPECT_TRUE(get(base + "request_token", 5000, {{"Authorization", header}}).body.startsWith("oauth_callback_confirmed=true"));
    EXPECT_EQ(get(base + "request_token", 5000, {{"Authorization", QByteArray(header).replace("\"oob\"", "\"x\"")}}).status, 401);
}

TEST_F(Access, TessalySignsInWithACodeInsteadOfACallback) {
    ClientCall c(consumer);
    ASSERT_TRUE(c.request().fetchOAuthRequestTokenWithCallbackURL(QUrl("oob")));
    ASSERT_TRUE(c.recorder.wait() && !c.recorder.failed);
    const QString requestToken = c.recorder.token;
    c.context()->setOAuthToken(requestToken);
    c.context()->setOAuthTokenSecret(c.recorder.secret);

    const Reply page = get(c.context()->userAuthorizationURLWithRequestTokenRequestedPermission(requestToken, "read").toString());
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.location.isEmpty());
    const auto m = QRegularExpression("id=\"verifier\">(\\d{3}-\\d{3}-\\d{3})<").match(QString::fromUtf8(page.body));
    ASSERT_TRUE(m.hasMatch()) << page.body.constData();
    const QString shown = m.captured(1);
    // Only the code as shown is taken; a wrong one leaves the request token usable.
    const QString otherDigits = QString::number((shown.left(3).toInt() + 1) % 1000).rightJustified(3, '0') + shown.mid(3);
    for (const QString& verifier : {QString(shown).remove('-'), otherDigits, shown}) {
        c.recorder.reset();
        ASSERT_TRUE(c.request().fetchOAuthAccessTokenWithRequestTokenVerifier(requestToken, verifier));
        ASSERT_TRUE(c.recorder.wait());
        EXPECT_EQ(c.recorder.failed, verifier != shown) << verifier.toStdString();
        if (verifier != shown) {
            EXPECT_TRUE(c.recorder.error.userInfo.value(OFFlickrAPIRequestOAuthErrorUserInfoKey).toString().contains("oauth_problem"));
        }
    }
    EXPECT_EQ(c.recorder.identity, QStringList({"Tessaly%20Demo", "tessaly_demo", QUrl::toPercentEncoding(server->userNsid())}));
    c.context()->setOAuthToken(c.recorder.token);
    c.context()->setOAuthTokenSecret(c.recorder.secret);
    EXPECT_TRUE(c.run("flickr.photos.getPerms", {{"photo_id", privateId}}));
}
