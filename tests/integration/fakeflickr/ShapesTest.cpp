// Every answer shape read back through Tessaly's XML mapper, with the key paths its handlers read.
#include "OFXMLMapper.h"
#include "Server.h"
#include "ServiceClient.h"

#include <gtest/gtest.h>

using namespace fakeflickr;

namespace {

class Shapes : public ::testing::Test {
protected:
    void SetUp() override {
        Options options;
        options.photos = 1000;
        options.seed = 11;
        server = std::make_unique<Server>(options);
        ASSERT_TRUE(server->listen());
        const auto token = server->issueAccessToken("write");
        creds = {options.apiKey, options.sharedSecret, token.token, token.secret};
    }
    // The "rsp" map of an answer.
    QVariant rsp(const QString& method, const fftest::Args& args = {}) {
        const auto reply = fftest::callRest(server->baseUrl(), method, args, creds);
        const auto mapped = OFXMLMapper::dictionaryMappedFromXMLData(reply.body);
        EXPECT_TRUE(mapped.has_value()) << reply.body.constData();
        return mapped ? mapped->value("rsp") : QVariant();
    }
    static QVariant at(const QVariant& root, const QString& path) { return OFValueForKeyPath(root, path); }
    static QString text(const QVariant& root, const QString& path) { return at(root, path).toString(); }

    std::unique_ptr<Server> server;
    fftest::Credentials creds;
};

} // namespace

TEST_F(Shapes, CountsAndPhotostreamPages) {
    const QVariant counts = rsp("flickr.photos.getCounts", {{"taken_dates", "0000000000,9999999999,0000000000,9999999999"}});
    EXPECT_EQ(text(counts, "stat"), "ok");
    const QVariantList photocounts = at(counts, "photocounts.photocount").toList();
    ASSERT_EQ(photocounts.size(), 3);
    EXPECT_EQ(text(photocounts[0], "count"), "1000");

    const QString extras = "description, license, date_upload, date_taken, owner_name, icon_server, original_format, "
                           "last_update, geo, tags, machine_tags, o_dims, views, media, path_alias, url_sq, url_t, "
                           "url_s, url_m, url_z, url_l, url_o";
    const QVariant page = rsp("flickr.people.getPhotos", {{"user_id", "me"}, {"extras", extras}, {"per_page", "500"}, {"page", "1"}});
    const QVariantList photos = at(page, "photos.photo").toList();
    const QVariantList descriptions = at(page, "photos.photo.description").toList();
    ASSERT_EQ(photos.size(), 500);
    ASSERT_EQ(descriptions.size(), 500);
    int withOriginal = 0, geotagged = 0, videos = 0, multiLine = 0;
    for (int i = 0; i < photos.size(); ++i) {
        const Photo expected = server->photostream().photoAt(i);
        const QVariantMap d = photos[i].toMap();
        ASSERT_EQ(d.value("id").toString(), expected.idText());
        EXPECT_EQ(d.value("title").toString(), expected.title);
        EXPECT_EQ(OFTextContent(descriptions[i]), expected.description);
        EXPECT_EQ(d.value("tags").toString(), expected.normalizedTags().join(' '));
        EXPECT_EQ(d.value("dateupload").toLongLong(), expected.dateUpload);
        EXPECT_EQ(d.value("datetaken").toString(), expected.dateTaken);
        EXPECT_EQ(d.value("ownername").toString(), "tessaly_demo");
        EXPECT_EQ(d.value("owner").toString(), server->userNsid());
        for (const char* key : {"license", "views", "ispublic", "isfriend", "isfamily", "lastupdate", "latitude", "longitude", "media", "url_sq"})
            EXPECT_TRUE(d.contains(key)) << key;
        EXPECT_EQ(d.contains("url_o"), expected.hasSize('o'));
        EXPECT_EQ(d.contains("width_o"), expected.hasSize('o'));
        EXPECT_EQ(d.contains("url_l"), expected.hasSize('b'));
        withOriginal += d.contains("url_o");
        geotagged += d.value("latitude").toString() != "0";
        videos += d.value("media").toString() == "video";
        multiLine += expected.title.contains('\n') || expected.description.contains('\n');
    }
    EXPECT_GT(withOriginal, 400);
    EXPECT_GT(geotagged, 100);
    EXPECT_GT(videos, 3);
    EXPECT_GT(multiLine, 10);

    // A page holding one picture is still a list.
    const QVariant single = rsp("flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "1"}, {"page", "1000"}});
    EXPECT_EQ(at(single, "photos.photo").toList().size(), 1);
    const QVariant empty = rsp("flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "500"}, {"page", "3"}});
    EXPECT_FALSE(at(empty, "photos.photo").isValid());
}

TEST_F(Shapes, SetsAndTheirPictures) {
    const QVariant list = rsp("flickr.photosets.getList", {{"per_page", "500"}});
    const QVariantList sets = at(list, "photosets.photoset").toList();
    const QVariantList titles = at(list, "photosets.photoset.title").toList();
    const QVariantList descriptions = at(list, "photosets.photoset.description").toList();
    ASSERT_EQ(sets.size(), server->photostream().setCount());
    ASSERT_EQ(titles.size(), sets.size());
    EXPECT_EQ(OFTextContent(titles[0]), server->photostream().setAt(0).title);
    EXPECT_EQ(OFTextContent(descriptions[0]), server->photostream().setAt(0).description);

    const PhotoSet big = server->photostream().setAt(0);
    QVariant page = rsp("flickr.photosets.getPhotos", {{"photoset_id", big.id}, {"page", "1"}});
    EXPECT_EQ(text(page, "photoset.total").toInt(), big.count);
    EXPECT_EQ(text(page, "photoset.pages"), "2");
    EXPECT_EQ(at(page, "photoset.photo").toList().size(), 500);
    page = rsp("flickr.photosets.getPhotos", {{"photoset_id", big.id}, {"page", "2"}});
    EXPECT_EQ(at(page, "photoset.photo").toList().size(), big.count - 500);

    // One picture arrives as a map, not a list.
    const QVariant one = rsp("flickr.photosets.getPhotos", {{"photoset_id", server->photostream().setAt(1).id}, {"page", "1"}});
    EXPECT_EQ(text(one, "photoset.total"), "1");
    EXPECT_EQ(at(one, "photoset.photo").typeId(), QMetaType::QVariantMap);
    EXPECT_FALSE(text(one, "photoset.photo.id").isEmpty());
}

TEST_F(Shapes, PermsExifUserAndTags) {
    const Photostream& stream = server->photostream();
    const Photo p = stream.photoAt(5);
    const QVariant perms = rsp("flickr.photos.getPerms", {{"photo_id", p.idText()}});
    EXPECT_EQ(text(perms, "perms.permcomment").toInt(), p.permComment);
    EXPECT_EQ(text(perms, "perms.permaddmeta").toInt(), p.permAddMeta);
    EXPECT_EQ(text(perms, "perms.id"), p.idText());

    bool sawNone = false, sawOne = false, sawMany = false;
    for (int i = 0; i < 200 && !(sawNone && sawOne && sawMany); ++i) {
        const Photo q = stream.photoAt(i);
        const auto expected = stream.exifFor(q.id);
        const QVariant exif = at(rsp("flickr.photos.getExif", {{"photo_id", q.idText()}}), "photo.exif");
        if (expected.isEmpty()) {
            sawNone = true;
            EXPECT_FALSE(exif.isValid());
        } else if (expected.size() == 1) {
            sawOne = true;
            ASSERT_EQ(exif.typeId(), QMetaType::QVariantMap);
            EXPECT_EQ(text(exif, "tag"), expected[0].tag);
            EXPECT_EQ(OFTextContent(at(exif, "raw")), expected[0].raw);
        } else {
            sawMany = true;
            const QVariantList entries = exif.toList();
            ASSERT_EQ(entries.size(), expected.size());
            for (int e = 0; e < entries.size(); ++e) {
                EXPECT_EQ(text(entries[e], "tagspace"), expected[e].tagspace);
                EXPECT_EQ(text(entries[e], "label"), expected[e].label);
                EXPECT_EQ(OFTextContent(at(entries[e], "raw")), expected[e].raw);
                EXPECT_EQ(at(entries[e], "clean").isValid(), !expected[e].clean.isEmpty());
            }
        }
    }
    EXPECT_TRUE(sawNone && sawOne && sawMany);

    const QVariant login = rsp("flickr.test.login");
    EXPECT_EQ(text(login, "user.username._text"), "tessaly_demo");
    EXPECT_EQ(text(login, "user.id"), server->userNsid());
    const QVariant profile = rsp("flickr.urls.getUserProfile", {{"api_key", creds.apiKey}});
    EXPECT_EQ(text(profile, "user.url"), server->baseUrl() + "/people/tessaly_demo/");
    EXPECT_EQ(text(profile, "user.nsid"), server->userNsid());

    Photo tagged;
    for (int i = 0; tagged.rawTags.size() < 2; ++i)
        tagged = stream.photoAt(i);
    const QVariant tags = rsp("flickr.tags.getListPhoto", {{"photo_id", tagged.idText()}});
    const QVariantList list = at(tags, "photo.tags.tag").toList();
    ASSERT_EQ(list.size(), tagged.rawTags.size());
    for (int i = 0; i < list.size(); ++i) {
        EXPECT_EQ(text(list[i], "raw"), tagged.rawTags[i]);
        EXPECT_EQ(OFTextContent(list[i]), normalizedTag(tagged.rawTags[i]));
    }

    const QVariant failed = rsp("flickr.photos.getPerms", {{"photo_id", "1"}});
    EXPECT_EQ(text(failed, "stat"), "fail");
    EXPECT_EQ(text(failed, "err.code"), "1");
    EXPECT_EQ(text(failed, "err.msg"), "Photo not found");
}
