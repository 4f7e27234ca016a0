// Pictures that leave the stream or change between two downloads, as on Flickr.
#include "ClientRecorder.h"
#include "Server.h"
#include "ServiceClient.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace fakeflickr;
using fftest::ClientCall;

namespace {

class StreamChanges : public ::testing::Test {
protected:
    void SetUp() override {
        Options options;
        options.photos = 1234;
        options.seed = 31;
        server = std::make_unique<Server>(options);
        ASSERT_TRUE(server->listen());
        qputenv("TESSALY_FLICKR_ENDPOINT", server->baseUrl().toUtf8());
        const auto token = server->issueAccessToken("write");
        auto context = std::make_shared<OFFlickrAPIContext>(options.apiKey, options.sharedSecret);
        context->setOAuthToken(token.token);
        context->setOAuthTokenSecret(token.secret);
        owner = std::make_unique<ClientCall>(context);
    }
    void TearDown() override { qunsetenv("TESSALY_FLICKR_ENDPOINT"); }

    // Every picture of the stream as the owner pages through it: id to lastupdate, in order.
    QList<std::pair<QString, qint64>> pageThrough(QList<int>* pageSizes = nullptr, int* total = nullptr) {
        QList<std::pair<QString, qint64>> out;
        for (int page = 1; page <= 3; ++page) {
            EXPECT_TRUE(owner->run("flickr.people.getPhotos",
                                   {{"user_id", "me"}, {"per_page", "500"}, {"page", page}, {"extras", "last_update"}}));
            const QVariantList photos = owner->at("photos.photo").toList();
            for (const QVariant& p : photos)
                out.append({p.toMap().value("id").toString(), p.toMap().value("lastupdate").toLongLong()});
            if (pageSizes)
                *pageSizes << int(photos.size());
            if (total)
                *total = owner->at("photos.total").toInt();
        }
        return out;
    }
    QString id(int index) const { return server->photostream().photoAt(index).idText(); }
    int fileStatus(int index, char suffix) const {
        const Photo p = server->photostream().photoAt(index);
        return fftest::get(server->baseUrl() + "/" + p.server + "/" + p.fileName(suffix)).status;
    }

    std::unique_ptr<Server> server;
    std::unique_ptr<ClientCall> owner;
};

} // namespace

TEST_F(StreamChanges, RemovedPicturesAreGoneFromListsCountsMethodsAndFiles) {
    const int lonely = server->photostream().setMember(1, 0);  // the one picture of set 1
    const QList<int> removed = {0, 3, 600, 1233, lonely};
    const int setsBefore = server->photostream().setCount();
    server->removePhotos(removed + QList<int>{-1, 5000});  // unknown positions are ignored

    QList<int> sizes;
    int total = 0;
    const auto listed = pageThrough(&sizes, &total);
    EXPECT_EQ(total, 1229);
    EXPECT_EQ(sizes, QList<int>({500, 500, 229}));
    QStringList expected, got;
    for (int i = 0; i < 1234; ++i)
        if (!removed.contains(i))
            expected << id(i);
    for (const auto& [photoId, lastUpdate] : listed)
        got << photoId;
    EXPECT_EQ(got, expected);

    ASSERT_TRUE(owner->run("flickr.photos.getCounts", {{"dates", "0,9999999999"}}));
    EXPECT_EQ(owner->at("photocounts.photocount.count").toList().value(0).toInt(), 1229);

    // Set 0 holds positions 0, 1, 3, 4, 6, ...: four of the removed ones.
    const PhotoSet big = server->photostream().setAt(0);
    ASSERT_TRUE(owner->run("flickr.photosets.getPhotos", {{"photoset_id", big.id}, {"page", "2"}}));
    EXPECT_EQ(owner->at("photoset.total").toInt(), big.count - 4);
    EXPECT_NE(owner->at("photoset.primary").toString(), id(0));  // a new cover
    // Flickr deletes a set with its last picture.
    ASSERT_TRUE(owner->run("flickr.photosets.getList"));
    const QVariantList sets = owner->at("photosets.photoset").toList();
    EXPECT_EQ(owner->at("photosets.total").toInt(), setsBefore - 1);
    ASSERT_EQ(sets.size(), setsBefore - 1);
    EXPECT_EQ(sets[0].toMap().value("photos").toInt() + sets[0].toMap().value("videos").toInt(), big.count - 4);
    for (const QVariant& s : sets)
        EXPECT_NE(s.toMap().value("id").toString(), server->photostream().setAt(1).id);
    EXPECT_FALSE(owner->run("flickr.photosets.getPhotos", {{"photoset_id", server->photostream().setAt(1).id}}));
    EXPECT_EQ(owner->errorCode(), 1);

    const QList<std::pair<QString, QVariantMap>> perPhoto = {
        {"flickr.photos.getPerms", {}}, {"flickr.photos.getExif", {}}, {"flickr.tags.getListPhoto", {}},
        {"flickr.photos.setTags", {{"tags", "gone"}}}, {"flickr.photos.setMeta", {{"title", "gone"}}}};
    for (const auto& [method, args] : perPhoto) {
        QVariantMap all = args;
        all["photo_id"] = id(3);
        EXPECT_FALSE(owner->run(method, all, method.contains(".set"))) << method.toStdString();
        EXPECT_EQ(owner->errorCode(), 1) << method.toStdString();
        EXPECT_EQ(owner->recorder.error.failureReason, "Photo not found");
    }
    EXPECT_TRUE(owner->run("flickr.photos.getPerms", {{"photo_id", id(2)}}));

    for (char suffix : {'s', 'm', 'b'}) {
        EXPECT_EQ(fileStatus(3, suffix), 410) << suffix;
        EXPECT_EQ(fileStatus(2, suffix), 200) << suffix;
    }
    EXPECT_FALSE(server->photo(id(3)).has_value());
}

TEST_F(StreamChanges, TouchedPicturesShowANewerLastUpdate) {
    const auto before = pageThrough();
    ASSERT_EQ(before.size(), 1234);
    const QStringList touched = {id(5), id(700), id(1200)};
    server->touchPhotos(touched + QStringList{"1", "not a number"});
    const auto after = pageThrough();
    ASSERT_EQ(after.size(), 1234);
    QStringList changed;
    for (int i = 0; i < 1234; ++i) {
        ASSERT_EQ(after[i].first, before[i].first);
        if (after[i].second != before[i].second) {
            EXPECT_GT(after[i].second, before[i].second);
            changed << after[i].first;
        }
    }
    EXPECT_EQ(changed, touched);

    // A second edit within the same second still moves it on; a removed picture stays gone.
    server->touchPhotos({id(5)});
    server->removePhotos({700});
    server->touchPhotos({id(700)});
    EXPECT_GT(server->photo(id(5))->lastUpdate, after[5].second);
    EXPECT_FALSE(server->photo(id(700)).has_value());
    EXPECT_EQ(pageThrough().size(), 1233);
}
