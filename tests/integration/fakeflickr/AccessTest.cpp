// Who sees what, pictures that leave the stream or change, and the ways of signing in.
#include "ClientRecorder.h"
#include "Server.h"
#include "ServiceClient.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace fakeflickr;
using fftest::Args;
using fftest::ClientCall;
using fftest::Reply;

namespace {

class Access : public ::testing::Test {
protected:
    void SetUp() override {
        Options options;
        options.photos = 1100;
        options.seed = 29;
        server = std::make_unique<Server>(options);
        ASSERT_TRUE(server->listen());
        qputenv("TESSALY_FLICKR_ENDPOINT", server->baseUrl().toUtf8());
        const auto token = server->issueAccessToken("write"), other = server->issueAccessToken("read", "someone_else");
        creds = {options.apiKey, options.sharedSecret, token.token, token.secret};
        owner = client(token.token, token.secret);
        stranger = client(other.token, other.secret);
        legacy = client({}, {});
        legacyToken = client({}, {});
        legacyToken->request().context()->setAuthToken(token.token);
        const Photostream& s = server->photostream();
        for (int i = 0; i < s.size(); ++i) {
            publicCount += s.isPublicAt(i);
            if (!s.isPublicAt(i) && privateId.isEmpty() && !s.exifFor(s.photoAt(i).id).isEmpty())
                privateId = s.photoAt(i).idText();
        }
    }
    void TearDown() override { qunsetenv("TESSALY_FLICKR_ENDPOINT"); }

    std::unique_ptr<ClientCall> client(const QString& token, const QString& secret) {
        auto context = std::make_shared<OFFlickrAPIContext>(creds.apiKey, creds.sharedSecret);
        if (!token.isEmpty()) {
            context->setOAuthToken(token);
            context->setOAuthTokenSecret(secret);
        }
        return std::make_unique<ClientCall>(context);
    }
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
    QString id(int index) const { return server->photostream().photoAt(index).idText(); }
    int fileStatus(int index) const {
        const Photo p = server->photostream().photoAt(index);
        return fftest::get(server->baseUrl() + "/" + p.server + "/" + p.fileName('m')).status;
    }
    // A REST call with its OAuth parameters in the header; `tamper` changes what is sent after signing.
    Reply headerCall(const Args& args, const QString& http = "GET", const std::function<void(Args&)>& tamper = {}) {
        const QString rest = server->baseUrl() + "/services/rest/";
        Args all = fftest::oauthSigned(args, http, rest, creds);
        if (tamper)
            tamper(all);
        const fftest::Headers header{{"Authorization", fftest::takeOAuthHeader(&all, "http://127.0.0.1/, a realm")}};
        return http == "POST" ? fftest::post(rest, fftest::encodeQuery(all), 5000, header)
                              : fftest::get(rest + "?" + fftest::encodeQuery(all), 5000, header);
    }

    std::unique_ptr<Server> server;
    fftest::Credentials creds;
    std::unique_ptr<ClientCall> owner, stranger, legacy, legacyToken;
    int publicCount = 0;
    QString privateId;
};

} // namespace

TEST_F(Access, OnlyTheOwnersOAuthTokenSeesPrivatePictures) {
    ASSERT_FALSE(privateId.isEmpty());
    EXPECT_EQ(seen(*owner), std::make_pair(1100, true));
    EXPECT_EQ(counted(*owner), 1100);
    EXPECT_TRUE(owner->run("flickr.photos.getExif", {{"photo_id", privateId}}));
    EXPECT_TRUE(owner->run("flickr.photos.getPerms", {{"photo_id", privateId}}));

    const Reply page = fftest::get(server->baseUrl() + "/services/rest/?method=flickr.people.getPhotos&per_page=500&api_key="
                                   + creds.apiKey + "&user_id=" + fftest::escape(server->userNsid()));
    EXPECT_TRUE(page.body.contains(QStringLiteral("total=\"%1\"").arg(publicCount).toUtf8()));
    EXPECT_FALSE(page.body.contains("ispublic=\"0\""));
    // Tessaly's client signs the legacy way without a token; another account signs by OAuth.
    for (ClientCall* c : {legacy.get(), legacyToken.get(), stranger.get()}) {
        EXPECT_EQ(seen(*c), std::make_pair(publicCount, false));
        EXPECT_FALSE(c->run("flickr.photos.getExif", {{"photo_id", privateId}}));
        EXPECT_EQ(c->errorCode(), 1);
        EXPECT_FALSE(c->run("flickr.photos.getPerms", {{"photo_id", id(0)}}));
        EXPECT_EQ(c->errorCode(), 99);
    }
    // A legacy auth_token still passes the methods that need a user, with the public view.
    EXPECT_TRUE(legacyToken->run("flickr.test.login"));
    EXPECT_EQ(counted(*legacyToken), publicCount);
    for (const char* method : {"flickr.tags.getListPhoto", "flickr.photos.getInfo"}) {
        EXPECT_FALSE(legacyToken->run(method, {{"photo_id", privateId}}));
        EXPECT_EQ(legacyToken->errorCode(), 1);
    }
    // The owner sees a private picture's information, with who may comment.
    ASSERT_TRUE(owner->run("flickr.photos.getInfo", {{"photo_id", privateId}}));
    EXPECT_EQ(owner->at("photo.visibility.ispublic"), "0");
    EXPECT_FALSE(owner->at("photo.permissions.permcomment").toString().isEmpty());

    // Sets list what the caller sees; a picture the owner makes private leaves the others' view.
    const PhotoSet big = server->photostream().setAt(0);
    int publicMembers = 0, j = -1;
    for (int k = 0; k < big.count; ++k) {
        if (server->photostream().isPublicAt(server->photostream().setMember(0, k))) {
            j = j < 0 ? k : j;
            ++publicMembers;
        }
    }
    ASSERT_TRUE(legacy->run("flickr.photosets.getPhotos", {{"photoset_id", big.id}}));
    EXPECT_EQ(legacy->at("photoset.total").toInt(), publicMembers);
    ASSERT_TRUE(owner->run("flickr.photos.setPerms", {{"photo_id", id(server->photostream().setMember(0, j))},
                                                      {"is_public", "0"}, {"is_friend", "0"}, {"is_family", "0"}}, true));
    EXPECT_EQ(seen(*legacy).first, publicCount - 1);
    ASSERT_TRUE(legacy->run("flickr.photosets.getList"));
    const QVariantMap listed = legacy->at("photosets.photoset").toList().value(0).toMap();
    EXPECT_EQ(listed.value("photos").toInt() + listed.value("videos").toInt(), publicMembers - 1);
}

TEST_F(Access, RemovedPicturesAreGoneAndTouchedOnesChanged) {
    const Photostream& s = server->photostream();
    const QList<int> removed = {0, 3, 600, s.setMember(1, 0)};  // the last one is set 1's only picture
    server->removePhotos(removed + QList<int>{-1, 5000});
    server->touchPhotos({id(5), id(3), "1"});

    QStringList expected, listed;
    for (int i = 0; i < s.size(); ++i)
        if (!removed.contains(i))
            expected << id(i);
    QList<int> sizes;
    for (int page = 1; page <= 3; ++page) {
        ASSERT_TRUE(owner->run("flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "500"}, {"page", page}, {"extras", "last_update"}}));
        EXPECT_EQ(owner->at("photos.total").toInt(), 1096);
        const QVariantList photos = owner->at("photos.photo").toList();
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
    EXPECT_EQ(counted(*owner), 1096);

    int setMembersLeft = 0;
    for (int k = 0; k < s.setAt(0).count; ++k)
        setMembersLeft += !removed.contains(s.setMember(0, k));
    ASSERT_TRUE(owner->run("flickr.photosets.getPhotos", {{"photoset_id", s.setAt(0).id}}));
    EXPECT_EQ(owner->at("photoset.total").toInt(), setMembersLeft);
    ASSERT_TRUE(owner->run("flickr.photosets.getList"));
    EXPECT_EQ(owner->at("photosets.total").toInt(), s.setCount() - 1);  // Flickr deletes a set with its last picture
    EXPECT_FALSE(owner->run("flickr.photosets.getPhotos", {{"photoset_id", s.setAt(1).id}}));
    EXPECT_EQ(owner->errorCode(), 1);

    for (const QString method : {"flickr.photos.getPerms", "flickr.photos.getExif", "flickr.tags.getListPhoto", "flickr.photos.setTags"}) {
        EXPECT_FALSE(owner->run(method, {{"photo_id", id(3)}, {"tags", "x"}}, method.contains(".set"))) << method.toStdString();
        EXPECT_EQ(owner->recorder.error.failureReason, "Photo not found");
    }
    EXPECT_EQ(fileStatus(3), 410);
    EXPECT_EQ(fileStatus(4), 200);
}

TEST_F(Access, OAuthParametersMayComeInTheAuthorizationHeader) {
    const auto stat = [](const Reply& r) { return QString::fromUtf8(r.body).section("stat=\"", 1).section('"', 0, 0); };
    const auto code = [](const Reply& r) { return QString::fromUtf8(r.body).section("code=\"", 1).section('"', 0, 0); };
    // The header's token is the owner's: a private picture's EXIF shows.
    EXPECT_EQ(stat(headerCall({{"method", "flickr.photos.getExif"}, {"photo_id", privateId}})), "ok");
    EXPECT_EQ(stat(headerCall({{"method", "flickr.photos.setMeta"}, {"photo_id", privateId}, {"title", "a b~c&d"}}, "POST")), "ok");
    EXPECT_EQ(server->photo(privateId)->title, "a b~c&d");
    // Header, query and body values are all signed.
    EXPECT_EQ(code(headerCall({{"method", "flickr.test.login"}}, "GET", [](Args& a) { a["oauth_nonce"] += "x"; })), "96");
    EXPECT_EQ(code(headerCall({{"method", "flickr.test.login"}, {"x", "1"}}, "GET", [](Args& a) { a["x"] = "2"; })), "96");
    EXPECT_EQ(code(headerCall({{"method", "flickr.photos.setMeta"}, {"photo_id", privateId}, {"title", "t"}}, "POST",
                              [](Args& a) { a["title"] = "u"; })), "96");

    const QString endpoint = server->baseUrl() + "/services/oauth/request_token";
    Args args = fftest::oauthSigned({{"oauth_callback", "oob"}}, "GET", endpoint, {creds.apiKey, creds.sharedSecret, "", ""});
    const QByteArray header = fftest::takeOAuthHeader(&args);
    EXPECT_TRUE(fftest::get(endpoint, 5000, {{"Authorization", header}}).body.startsWith("oauth_callback_confirmed=true"));
    EXPECT_EQ(fftest::get(endpoint, 5000, {{"Authorization", QByteArray(header).replace("\"oob\"", "\"x\"")}}).status, 401);
}

TEST_F(Access, SignInWithACodeInsteadOfACallback) {
    auto context = std::make_shared<OFFlickrAPIContext>(creds.apiKey, creds.sharedSecret);
    ClientCall c(context);
    ASSERT_TRUE(c.request().fetchOAuthRequestTokenWithCallbackURL(QUrl("oob")));
    ASSERT_TRUE(c.recorder.wait() && !c.recorder.failed);
    const QString requestToken = c.recorder.token;
    context->setOAuthToken(requestToken);
    context->setOAuthTokenSecret(c.recorder.secret);

    const Reply page = fftest::get(context->userAuthorizationURLWithRequestTokenRequestedPermission(requestToken, "read").toString());
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
    }
    context->setOAuthToken(c.recorder.token);
    context->setOAuthTokenSecret(c.recorder.secret);
    EXPECT_TRUE(c.run("flickr.photos.getPerms", {{"photo_id", privateId}}));
}
