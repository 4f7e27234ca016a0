// Tessaly's Flickr client against the stand-in service, end to end.
#include "ClientRecorder.h"

#include <QScopeGuard>

using namespace fakeflickr;
using namespace fftest;

namespace {

class ClientEndToEnd : public ServiceTest {
protected:
    void SetUp() override {
        Options options;
        options.photos = 1234;
        options.seed = 21;
        start(options);
        qputenv("TESSALY_FLICKR_ENDPOINT", server->baseUrl().toUtf8());
    }
    void TearDown() override { qunsetenv("TESSALY_FLICKR_ENDPOINT"); }
};

} // namespace

TEST_F(ClientEndToEnd, SignedCallsAreAcceptedAndTheStreamPagesThrough) {
    ClientCall c(owner);
    ASSERT_TRUE(c.run("flickr.test.login"));
    EXPECT_EQ(c.at("user.username._text").toString(), "tessaly_demo");
    QStringList sizes;
    for (int p = 1; p <= 3; ++p) {
        ASSERT_TRUE(c.run("flickr.people.getPhotos", {{"api_key", owner.apiKey}, {"user_id", "me"}, {"per_page", "500"},
                                                     {"extras", "description, license, date_upload, url_sq, url_l, url_o"},
                                                     {"page", QString::number(p)}}));
        EXPECT_EQ(c.at("photos.pages").toString(), "3");
        sizes << QString::number(c.at("photos.photo").toList().size());
    }
    EXPECT_EQ(sizes, QStringList({"500", "500", "234"}));

    // Values with every escaping quirk, by POST and by GET.
    const QString title = QString::fromUtf8("a~b c&d=e \"q\" \\\" é/東京+%*'()");
    ASSERT_TRUE(c.run("flickr.photos.setMeta", {{"api_key", owner.apiKey}, {"photo_id", id(2)}, {"title", title},
                                                {"description", "line\nbreak"}}, true))
        << c.recorder.error.failureReason.toStdString();
    EXPECT_EQ(server->photo(id(2))->title, title);
    EXPECT_EQ(server->photo(id(2))->description, "line\nbreak");
    ASSERT_TRUE(c.run("flickr.photos.getPerms", {{"photo_id", id(2)}, {"note", title}}));
    EXPECT_EQ(server->writeCalls().size(), 1);
    EXPECT_EQ(server->writeCalls()[0].args.value("title"), title);
}

TEST_F(ClientEndToEnd, TamperedOrForeignCredentialsAreReportedWithFlickrsReason) {
    struct Case {
        Credentials creds;
        qint64 code;
        QString reason;
    };
    const QString key = owner.apiKey, secret = owner.sharedSecret;
    for (const Case& k : {Case{{key, secret, owner.token, owner.tokenSecret + "0"}, 96, "Invalid signature"},
                          Case{{key, "0" + secret, owner.token, owner.tokenSecret}, 96, "Invalid signature"},
                          Case{{key, secret, "72157000000000000-0000000000000000", owner.tokenSecret}, 98, "Invalid auth token"},
                          Case{{"0000", secret, owner.token, owner.tokenSecret}, 100, "Invalid API Key (Key not found)"},
                          Case{consumer, 99, "Insufficient permissions. Method requires read privileges; none granted."}}) {
        ClientCall c(k.creds);
        EXPECT_FALSE(c.run("flickr.test.login"));
        EXPECT_EQ(c.recorder.error.domain, OFFlickrAPIReturnedErrorDomain);
        EXPECT_EQ(c.recorder.error.code, k.code);
        EXPECT_EQ(c.recorder.error.failureReason, k.reason);
    }
    // Without a token the client signs the legacy way, which is accepted for public methods.
    ClientCall legacy(consumer);
    ASSERT_TRUE(legacy.run("flickr.urls.getUserProfile", {{"api_key", owner.apiKey}}));
    EXPECT_EQ(legacy.at("user.url").toString(), server->baseUrl() + "/people/tessaly_demo/");
}

TEST_F(ClientEndToEnd, EveryFaultKindFailsTheWayItPromises) {
    // Each fault shows as it is, without the retries that would wait it out.
    const OFRetryPolicy saved = OFFlickrAPIRequest::retryPolicy();
    OFFlickrAPIRequest::retryPolicy().attempts = 1;
    const auto restore = qScopeGuard([&] { OFFlickrAPIRequest::retryPolicy() = saved; });
    for (const QString& fault : QStringList{"stall:flickr.people.getPhotos@page=2", "drop:flickr.photos.getPerms",
                                "http500:flickr.photosets.getList", "malformed:flickr.test.login",
                                "error:flickr.photos.getExif@photo=" + id(4) + ":2"})
        ASSERT_TRUE(server->addFault(fault));
    ClientCall c(owner);
    c.request().setRequestTimeoutInterval(0.5);
    EXPECT_FALSE(c.run("flickr.people.getPhotos", {{"user_id", "me"}, {"page", "2"}}));
    EXPECT_EQ(c.recorder.error.code, OFFlickrAPIRequestTimeoutError);
    EXPECT_TRUE(c.run("flickr.people.getPhotos", {{"user_id", "me"}, {"page", "3"}}));
    EXPECT_FALSE(c.run("flickr.photos.getPerms", {{"photo_id", id(1)}}));
    EXPECT_EQ(c.recorder.error.code, OFFlickrAPIRequestConnectionError);
    for (const char* method : {"flickr.photosets.getList", "flickr.test.login"}) {
        EXPECT_FALSE(c.run(method));
        EXPECT_EQ(c.recorder.error.code, OFFlickrAPIRequestFaultyXMLResponseError) << method;
    }
    EXPECT_FALSE(c.run("flickr.photos.getExif", {{"photo_id", id(4)}}));
    EXPECT_EQ(c.errorCode(), 2);
    EXPECT_TRUE(c.run("flickr.photos.getExif", {{"photo_id", id(5)}}));
}
