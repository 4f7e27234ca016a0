// Who sees what: only a call signed by OAuth with the owner's token sees private
// pictures, their EXIF and their permissions; unsigned and legacy-signed calls, and
// other accounts, see the public ones.
#include "ClientRecorder.h"
#include "Server.h"
#include "ServiceClient.h"

#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace fakeflickr;
using fftest::ClientCall;

namespace {

class Privacy : public ::testing::Test {
protected:
    void SetUp() override {
        Options options;
        options.photos = 1100;
        options.seed = 29;
        server = std::make_unique<Server>(options);
        ASSERT_TRUE(server->listen());
        qputenv("TESSALY_FLICKR_ENDPOINT", server->baseUrl().toUtf8());
        const auto owner = server->issueAccessToken("write");
        const auto other = server->issueAccessToken("read", "someone_else");
        ownerCall = client(owner.token, owner.secret);
        otherCall = client(other.token, other.secret);
        legacyCall = client({}, {});
        legacyTokenCall = client({}, {});
        legacyTokenCall->request().context()->setAuthToken(owner.token);
        for (int i = 0; i < server->photostream().size(); ++i) {
            const Photo p = server->photostream().photoAt(i);
            publicCount += p.isPublic;
            if (!p.isPublic && privateId.isEmpty())
                privateId = p.idText();
            if (p.isPublic && publicId.isEmpty() && !server->photostream().exifFor(p.id).isEmpty())
                publicId = p.idText();
        }
        ASSERT_FALSE(privateId.isEmpty());
        ASSERT_LT(publicCount, server->photostream().size());
    }
    void TearDown() override { qunsetenv("TESSALY_FLICKR_ENDPOINT"); }

    std::unique_ptr<ClientCall> client(const QString& token, const QString& secret) {
        auto context = std::make_shared<OFFlickrAPIContext>(server->options().apiKey, server->options().sharedSecret);
        if (!token.isEmpty()) {
            context->setOAuthToken(token);
            context->setOAuthTokenSecret(secret);
        }
        return std::make_unique<ClientCall>(context);
    }
    // Pictures of the stream as the caller sees them: total and whether any private one shows.
    std::pair<int, bool> stream(ClientCall& c, const QString& userId) {
        int total = -1;
        bool anyPrivate = false;
        for (int page = 1; page <= 3; ++page) {
            EXPECT_TRUE(c.run("flickr.people.getPhotos", {{"user_id", userId}, {"per_page", "500"}, {"page", page}}));
            total = c.at("photos.total").toInt();
            for (const QVariant& p : c.at("photos.photo").toList())
                anyPrivate |= p.toMap().value("ispublic").toString() == "0";
        }
        return {total, anyPrivate};
    }
    fftest::Reply unsignedCall(const QString& method, fftest::Args args) {
        args["method"] = method;
        args["api_key"] = server->options().apiKey;
        return fftest::get(server->baseUrl() + "/services/rest/?" + fftest::encodeQuery(args));
    }
    static QString attribute(const QByteArray& xml, const QString& element, const QString& name) {
        QXmlStreamReader reader(xml);
        while (!reader.atEnd())
            if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == element)
                return reader.attributes().value(name).toString();
        return {};
    }

    std::unique_ptr<Server> server;
    std::unique_ptr<ClientCall> ownerCall, otherCall, legacyCall, legacyTokenCall;
    int publicCount = 0;
    QString privateId, publicId;
};

} // namespace

TEST_F(Privacy, TheOwnersOAuthTokenSeesEverything) {
    EXPECT_EQ(stream(*ownerCall, "me"), std::make_pair(1100, true));
    EXPECT_TRUE(ownerCall->run("flickr.photos.getExif", {{"photo_id", privateId}}));
    EXPECT_TRUE(ownerCall->run("flickr.photos.getPerms", {{"photo_id", privateId}}));
    EXPECT_EQ(ownerCall->at("perms.ispublic").toString(), "0");
    EXPECT_TRUE(ownerCall->run("flickr.tags.getListPhoto", {{"photo_id", privateId}}));
    EXPECT_TRUE(ownerCall->run("flickr.photos.getCounts", {{"dates", "0,9999999999"}}));
    EXPECT_EQ(ownerCall->at("photocounts.photocount.count").toList().value(0).toInt(), 1100);
}

TEST_F(Privacy, UnsignedAndLegacySignedCallsSeeThePublicPicturesOnly) {
    const QString nsid = server->userNsid();
    const int lastPage = (publicCount + 499) / 500;
    const fftest::Reply page =
        unsignedCall("flickr.people.getPhotos", {{"user_id", nsid}, {"per_page", "500"}, {"page", QString::number(lastPage)}});
    EXPECT_EQ(attribute(page.body, "photos", "total").toInt(), publicCount);
    EXPECT_EQ(attribute(page.body, "photos", "pages").toInt(), lastPage);
    EXPECT_EQ(page.body.count("<photo "), publicCount - (lastPage - 1) * 500);
    EXPECT_FALSE(page.body.contains("ispublic=\"0\""));
    EXPECT_EQ(attribute(unsignedCall("flickr.photos.getExif", {{"photo_id", privateId}}).body, "err", "code"), "2");
    EXPECT_EQ(attribute(unsignedCall("flickr.photos.getExif", {{"photo_id", privateId}}).body, "err", "msg"), "Permission denied");
    EXPECT_EQ(attribute(unsignedCall("flickr.photos.getExif", {{"photo_id", publicId}}).body, "rsp", "stat"), "ok");
    EXPECT_EQ(attribute(unsignedCall("flickr.photos.getPerms", {{"photo_id", publicId}}).body, "err", "code"), "99");

    // Tessaly's client without a token signs the legacy way.
    EXPECT_EQ(stream(*legacyCall, nsid), std::make_pair(publicCount, false));
    EXPECT_FALSE(legacyCall->run("flickr.photos.getExif", {{"photo_id", privateId}}));
    EXPECT_EQ(legacyCall->errorCode(), 2);
    EXPECT_TRUE(legacyCall->run("flickr.photos.getExif", {{"photo_id", publicId}}));

    // A legacy auth_token still passes the methods that need a user, but shows nothing private.
    EXPECT_TRUE(legacyTokenCall->run("flickr.test.login"));
    EXPECT_EQ(stream(*legacyTokenCall, "me"), std::make_pair(publicCount, false));
    EXPECT_TRUE(legacyTokenCall->run("flickr.photos.getCounts", {{"dates", "0,9999999999"}}));
    EXPECT_EQ(legacyTokenCall->at("photocounts.photocount.count").toList().value(0).toInt(), publicCount);
    EXPECT_FALSE(legacyTokenCall->run("flickr.photos.getPerms", {{"photo_id", publicId}}));
    EXPECT_EQ(legacyTokenCall->errorCode(), 99);
    EXPECT_EQ(legacyTokenCall->recorder.error.failureReason, "Insufficient permissions");
    EXPECT_FALSE(legacyTokenCall->run("flickr.photos.getExif", {{"photo_id", privateId}}));
    EXPECT_EQ(legacyTokenCall->errorCode(), 2);
    EXPECT_FALSE(legacyTokenCall->run("flickr.tags.getListPhoto", {{"photo_id", privateId}}));
    EXPECT_EQ(legacyTokenCall->errorCode(), 1);
}

TEST_F(Privacy, AnotherAccountsTokenSeesThePublicPicturesOnly) {
    EXPECT_EQ(stream(*otherCall, server->userNsid()), std::make_pair(publicCount, false));
    EXPECT_FALSE(otherCall->run("flickr.photos.getPerms", {{"photo_id", publicId}}));
    EXPECT_EQ(otherCall->errorCode(), 99);
    EXPECT_FALSE(otherCall->run("flickr.photos.getExif", {{"photo_id", privateId}}));
    EXPECT_EQ(otherCall->errorCode(), 2);
}

TEST_F(Privacy, SetsShowTheCallersPicturesAndFollowPermissionChanges) {
    const PhotoSet big = server->photostream().setAt(0);
    int publicMembers = 0;
    for (int j = 0; j < big.count; ++j)
        publicMembers += server->photostream().isPublicAt(server->photostream().setMember(0, j));
    ASSERT_TRUE(ownerCall->run("flickr.photosets.getPhotos", {{"photoset_id", big.id}, {"page", "2"}}));
    EXPECT_EQ(ownerCall->at("photoset.total").toInt(), big.count);
    ASSERT_TRUE(legacyCall->run("flickr.photosets.getPhotos", {{"photoset_id", big.id}, {"page", "2"}}));
    EXPECT_EQ(legacyCall->at("photoset.total").toInt(), publicMembers);
    EXPECT_EQ(legacyCall->at("photoset.photo").toList().size(), publicMembers - 500);
    ASSERT_TRUE(legacyCall->run("flickr.photosets.getList"));
    const QVariantMap listed = legacyCall->at("photosets.photoset").toList().value(0).toMap();
    EXPECT_EQ(listed.value("photos").toInt() + listed.value("videos").toInt(), publicMembers);

    // The owner makes a public picture of the set private: the others lose sight of it.
    EXPECT_EQ(stream(*legacyCall, server->userNsid()).first, publicCount);
    int j = 0;
    while (!server->photostream().isPublicAt(server->photostream().setMember(0, j)))
        ++j;
    const Photo first = server->photostream().photoAt(server->photostream().setMember(0, j));
    ASSERT_TRUE(ownerCall->run("flickr.photos.setPerms",
                               {{"photo_id", first.idText()}, {"is_public", "0"}, {"is_friend", "0"}, {"is_family", "0"}}, true));
    EXPECT_EQ(stream(*legacyCall, server->userNsid()).first, publicCount - 1);
    ASSERT_TRUE(legacyCall->run("flickr.photosets.getPhotos", {{"photoset_id", big.id}}));
    EXPECT_EQ(legacyCall->at("photoset.total").toInt(), publicMembers - 1);
    EXPECT_EQ(stream(*ownerCall, "me").first, 1100);
}
