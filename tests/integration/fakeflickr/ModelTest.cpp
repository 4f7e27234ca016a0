// The stand-in's parts on their own: the generated photostream (deterministic, varied
// like a real one, cheap to address), picture files, faults, the call budget and signatures.
#include "CallBudget.h"
#include "Faults.h"
#include "PictureFiles.h"
#include "Photostream.h"
#include "ServiceClient.h"
#include "Signature.h"

#include <QImage>
#include <QSet>

using namespace fakeflickr;

TEST(Photostream, SameSeedSameStreamOtherSeedOtherStream) {
    const auto fingerprint = [](const Photo& p) {
        return QStringList{p.idText(), p.secret, p.originalSecret, p.title, p.description, p.rawTags.join("|"),
                           p.dateTaken, QString::number(p.dateUpload), QString::number(p.latitude),
                           QString::number(p.permComment), QString::number(p.originalWidth)}.join("/");
    };
    const Photostream a(500, 42), b(500, 42), c(500, 43);
    int differing = 0;
    for (int i : {0, 1, 17, 250, 499}) {
        EXPECT_EQ(fingerprint(a.photoAt(i)), fingerprint(b.photoAt(i)));
        EXPECT_EQ(a.exifFor(a.photoAt(i).id).size(), b.exifFor(b.photoAt(i).id).size());
        differing += fingerprint(a.photoAt(i)) != fingerprint(c.photoAt(i)) ? 1 : 0;
    }
    EXPECT_EQ(differing, 5);
    EXPECT_EQ(a.setAt(3).title, b.setAt(3).title);
}

TEST(Photostream, IdsAddressPicturesNewestFirst) {
    const Photostream s(1000, 5);
    QSet<qint64> ids;
    for (int i = 0; i < s.size(); ++i) {
        const Photo p = s.photoAt(i);
        ids.insert(p.id);
        ASSERT_EQ(s.indexOfId(p.idText()), i);
        if (i > 0) {
            ASSERT_LT(p.dateUpload, s.photoAt(i - 1).dateUpload);
        }
    }
    EXPECT_EQ(ids.size(), 1000);
    const QString first = s.photoAt(0).idText();
    for (const QString& bad : {QString("0"), QString("abc"), QString(), "0" + first,
                               QString::number(s.photoAt(999).id - 1), QString::number(s.photoAt(0).id + 1)})
        EXPECT_FALSE(s.indexOfId(bad).has_value()) << bad.toStdString();
}

TEST(Photostream, ContentHasTheAwkwardCasesOfARealStream) {
    const Photostream s(1000, 1);
    int quotes = 0, backslashQuote = 0, nonAscii = 0, slash = 0, titleBreak = 0, descBreak = 0, emptyTitle = 0,
        emptyDesc = 0, multiWord = 0, oneWord = 0, geo = 0, videos = 0, noOriginal = 0, noLarge = 0;
    int none = 0, one = 0, many = 0, clean = 0, quoted = 0;
    for (int i = 0; i < s.size(); ++i) {
        const Photo p = s.photoAt(i);
        const QString texts = p.title + p.description;
        quotes += texts.contains('"');
        backslashQuote += texts.contains("\\\"");
        nonAscii += std::any_of(texts.begin(), texts.end(), [](QChar c) { return c.unicode() > 127; });
        slash += texts.contains('/');
        titleBreak += p.title.contains('\n');
        descBreak += p.description.contains('\n');
        emptyTitle += p.title.isEmpty();
        emptyDesc += p.description.isEmpty();
        for (const QString& tag : p.rawTags)
            (tag.contains(' ') ? multiWord : oneWord)++;
        geo += p.geotagged;
        videos += p.isVideo;
        noOriginal += !p.hasSize('o');
        noLarge += !p.hasSize('b');
        ASSERT_TRUE(p.hasSize('s'));
        const auto exif = s.exifFor(p.id);
        (exif.isEmpty() ? none : exif.size() == 1 ? one : many)++;
        for (const ExifEntry& e : exif) {
            clean += !e.clean.isEmpty();
            quoted += e.raw.contains('"');
        }
    }
    for (int count : {quotes, backslashQuote, nonAscii, slash, titleBreak, descBreak, emptyTitle, emptyDesc, multiWord,
                      oneWord, none, one, quoted})
        EXPECT_GT(count, 5);
    EXPECT_GT(geo, 250);
    EXPECT_LT(geo, 550);
    EXPECT_GE(videos, 15);
    EXPECT_LE(videos, 50);
    EXPECT_GT(noOriginal, 20);
    EXPECT_GT(noLarge, 50);
    EXPECT_GT(many, 500);
    EXPECT_GT(clean, 250);
}

TEST(Photostream, SetsOverlapAndOneExceedsAPage) {
    const Photostream s(1000, 1);
    ASSERT_GE(s.setCount(), 3);
    EXPECT_GT(s.setAt(0).count, 500);
    EXPECT_EQ(s.setAt(1).count, 1);
    QHash<int, int> membership;
    for (int k = 0; k < s.setCount(); ++k) {
        const PhotoSet set = s.setAt(k);
        EXPECT_EQ(s.setNumberOfId(set.id), k);
        QSet<int> members;
        for (int j = 0; j < set.count; ++j) {
            const int index = s.setMember(k, j);
            ASSERT_GE(index, 0);
            ASSERT_LT(index, s.size());
            members.insert(index);
            membership[index]++;
        }
        EXPECT_EQ(members.size(), set.count) << "set " << k;
    }
    EXPECT_TRUE(std::any_of(membership.begin(), membership.end(), [](int n) { return n >= 2; }));
    EXPECT_LT(membership.size(), s.size());  // some pictures are in no set
    EXPECT_FALSE(s.setNumberOfId("1").has_value());
    EXPECT_EQ(Photostream(0, 1, 5).setCount(), 0);
}

TEST(Photostream, EditsOverrideTheGeneratedPicture) {
    PhotoLibrary library(Photostream(50, 3));
    Photo p = library.photo(10);
    const qint64 generatedTaken = library.takenSeconds(10);
    p.title = "changed";
    p.dateTaken = "2001-02-03 04:05:06";
    library.store(p);
    EXPECT_EQ(library.photoById(p.idText())->title, "changed");
    EXPECT_EQ(library.takenSeconds(10), 981173106);
    EXPECT_NE(generatedTaken, 981173106);
    EXPECT_EQ(library.photo(11).title, library.stream().photoAt(11).title);
}

TEST(PictureFiles, NamesFollowFlickrAndOnlyExistingSizesResolve) {
    PhotoLibrary library(Photostream(300, 9));
    int checkedMissingOriginal = 0, checkedMissingLarge = 0;
    for (int i = 0; i < 300; ++i) {
        const Photo p = library.photo(i);
        for (char suffix : {'s', 't', 'm', '-', 'z', 'b', 'o'}) {
            const auto file = parsePictureFileName(p.fileName(suffix), library);
            ASSERT_EQ(file.has_value(), p.hasSize(suffix)) << p.fileName(suffix).toStdString();
            if (file) {
                EXPECT_EQ(file->index, i);
            }
        }
        checkedMissingOriginal += !p.hasSize('o');
        checkedMissingLarge += !p.hasSize('b');
        // The original has a secret of its own.
        EXPECT_FALSE(parsePictureFileName(p.idText() + "_" + p.secret + "_o.jpg", library));
        EXPECT_FALSE(parsePictureFileName(p.idText() + "_" + p.originalSecret + "_s.jpg", library));
    }
    EXPECT_GT(checkedMissingOriginal, 0);
    EXPECT_GT(checkedMissingLarge, 0);
    EXPECT_TRUE(library.photo(0).fileName('s').endsWith("_s.jpg"));
    EXPECT_FALSE(parsePictureFileName("../etc/passwd", library));
    EXPECT_FALSE(parsePictureFileName("1_2_s.jpg", library));

    // JPEGs have the announced size and differ per picture and size.
    const Photostream small(20, 4);
    const Photo a = small.photoAt(0), b = small.photoAt(1);
    const QByteArray aSquare = makeJpeg(a, 's');
    EXPECT_NE(aSquare, makeJpeg(b, 's'));
    EXPECT_NE(aSquare, makeJpeg(a, 't'));
    EXPECT_EQ(aSquare, makeJpeg(a, 's'));
    for (char suffix : {'s', 't', 'b', 'o'}) {
        const QImage image = QImage::fromData(makeJpeg(a, suffix), "JPG");
        ASSERT_FALSE(image.isNull()) << suffix;
        EXPECT_EQ(image.size(), a.pixelSize(suffix)) << suffix;
    }
}

TEST(Faults, TextsParseMatchTheirTargetsAndCount) {
    const auto stall = Fault::parse("stall:flickr.people.getPhotos@page=2");
    ASSERT_TRUE(stall);
    EXPECT_TRUE(stall->matchesCall("flickr.people.getPhotos", {{"page", "2"}}));
    EXPECT_FALSE(stall->matchesCall("flickr.people.getPhotos", {{"page", "1"}}));
    EXPECT_FALSE(stall->matchesCall("flickr.photos.getExif", {{"page", "2"}}));
    EXPECT_TRUE(Fault::parse("drop:flickr.people.getPhotos@page=1")->matchesCall("flickr.people.getPhotos", {}));  // page 1
    for (const char* text : {"error:flickr.photos.getExif@photo=55:2", "error:flickr.photos.getExif@55=2"}) {
        const auto error = Fault::parse(text);
        ASSERT_TRUE(error) << text;
        EXPECT_EQ(error->errorCode, 2);
        EXPECT_TRUE(error->matchesCall("flickr.photos.getExif", {{"photo_id", "55"}}));
        EXPECT_FALSE(error->matchesCall("flickr.photos.getExif", {{"photo_id", "56"}}));
    }
    EXPECT_EQ(Fault::parse("error:flickr.test.login:98")->errorCode, 98);
    const auto file = Fault::parse("truncate:file:*_o.jpg");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->matchesFile("123_abc_o.jpg"));
    EXPECT_FALSE(file->matchesFile("123_abc_o.jpg.bak"));
    EXPECT_FALSE(file->matchesCall("flickr.test.login", {}));

    struct Case {
        const char* text;
        int status, remaining, retryAfter;
    };
    // Both suffixes, in either order, on every kind.
    for (const Case& c : {Case{"http503:flickr.people.getPhotos@page=2#2", 503, 2, -1},
                          Case{"http429:flickr.photos.getPerms~3", 429, -1, 3},
                          Case{"http410:file:*_o.jpg~0#1", 410, 1, 0}, Case{"http403:file:*_o.jpg#1~0", 403, 1, 0},
                          Case{"error:flickr.photos.getExif@55=2#3~9", 0, 3, 9}, Case{"fail:file:x_s.jpg:4", 500, 4, -1},
                          Case{"http504:file:x_s.jpg", 504, -1, -1}}) {
        const auto f = Fault::parse(c.text);
        ASSERT_TRUE(f) << c.text;
        EXPECT_EQ(f->httpStatus, c.status) << c.text;
        EXPECT_EQ(f->remaining, c.remaining) << c.text;
        EXPECT_EQ(f->retryAfter, c.retryAfter) << c.text;
    }
    EXPECT_TRUE(Fault::parse("http503:flickr.people.getPhotos@page=2#2")->matchesCall("flickr.people.getPhotos", {{"page", "2"}}));
    EXPECT_EQ(Fault::parse("error:flickr.photos.getExif@55=2#3~9")->errorCode, 2);

    FaultList list;
    ASSERT_TRUE(list.add("fail:file:x_s.jpg:2"));
    EXPECT_EQ(QList<bool>({bool(list.takeForFile("x_s.jpg")), bool(list.takeForFile("x_s.jpg")), bool(list.takeForFile("x_s.jpg"))}),
              QList<bool>({true, true, false}));
    ASSERT_TRUE(list.add("drop:flickr.test.login#2"));
    ASSERT_TRUE(list.add("http500:flickr.test.login"));
    QList<Fault::Kind> kinds;
    for (int i = 0; i < 4; ++i)
        kinds << list.takeForCall("flickr.test.login", {})->kind;
    EXPECT_EQ(kinds, QList<Fault::Kind>({Fault::Kind::Drop, Fault::Kind::Drop, Fault::Kind::Http, Fault::Kind::Http}));

    for (const char* bad : {"boom:flickr.test.login", "stall", "error:flickr.test.login", "fail:file:x.jpg",
                            "fail:file:x.jpg:0", "truncate:flickr.test.login", "malformed:file:x.jpg", "stall:@page=1",
                            "drop:flickr.test.login@", "http404:flickr.test.login", "http418:file:x.jpg", "http503",
                            "stall:flickr.test.login#0", "stall:flickr.test.login#x", "stall:flickr.test.login~1~2",
                            "fail:file:x.jpg:2#1", "stall:flickr.test.login~-1"}) {
        QString why;
        EXPECT_FALSE(Fault::parse(bad, &why)) << bad;
        EXPECT_FALSE(why.isEmpty()) << bad;
    }
}

TEST(CallBudget, EachKeyRefillsAtItsPaceUpToItsBurst) {
    CallBudget budget(7200, 2);  // a call every half second, two at once
    const auto take = [&](const char* key, qint64 ms) { return budget.take(key, ms); };
    EXPECT_EQ(QList<int>({take("a", 0), take("a", 0), take("a", 0), take("b", 0)}), QList<int>({0, 0, 1, 0}));
    EXPECT_EQ(QList<int>({take("a", 499), take("a", 500), take("a", 400)}), QList<int>({1, 0, 1}));
    EXPECT_EQ(QList<int>({take("a", 99'000), take("a", 99'000), take("a", 99'000)}), QList<int>({0, 0, 1}));
    CallBudget hourly(1, 1);
    EXPECT_EQ(QList<int>({hourly.take("k", 0), hourly.take("k", 0), hourly.take("k", 3'599'001), hourly.take("k", 3'600'000)}),
              QList<int>({0, 3600, 1, 0}));
    EXPECT_EQ(CallBudget(0, 1).take("k", 0), 0);
}

TEST(ServiceSignature, HmacAndOAuthSignaturesMatchKnownAnswers) {
    EXPECT_EQ(hmacSha1Base64(QString(20, QChar(0x0b)), "Hi There"), "thcxhlUFcmTii8C2+zeMjvFGvgA=");
    EXPECT_EQ(hmacSha1Base64("Jefe", "what do ya want for nothing?"), "7/zfauXrL6LSdBbV8YTfnCWafHk=");
    // Keys of 64 bytes are used as they are, longer ones are hashed first.
    for (int length : {63, 64, 65, 100}) {
        const QString key(length, QLatin1Char('k'));
        EXPECT_EQ(hmacSha1Base64(key, "data"), fftest::hmacSha1Base64(key.toUtf8(), "data")) << length;
    }
    // The OAuth example of the photo service.
    const Params params = {
        {"file", "vacation.jpg"}, {"oauth_consumer_key", "dpf43f3p2l4k3l03"}, {"oauth_nonce", "kllo9940pd9333jh"},
        {"oauth_signature_method", "HMAC-SHA1"}, {"oauth_timestamp", "1191242096"}, {"oauth_token", "nnch734d00sl2jdk"},
        {"oauth_version", "1.0"}, {"size", "original"}, {"oauth_signature", "ignored"}};
    EXPECT_EQ(oauthSignature("GET", "http://photos.example.net/photos", params, "kd94hf93k423kf44", "pfkkdhi9sl3r4s00"),
              "tR3+Ty81lMeYAr/Fid0kMTYa/WM=");
    // Sorted by code: "B" before "a"; api_sig itself is left out.
    EXPECT_EQ(legacySignature({{"a", "1"}, {"B", "2"}, {"api_sig", "x"}}, "sec"), "5d51660fcd1060da767dd05df1d6bea5");
}

TEST(ServiceSignature, EscapingBaseStringAndParametersFollowRfc5849) {
    EXPECT_EQ(oauthEscape("a~b c&d=e"), "a~b%20c%26d%3De");
    EXPECT_EQ(oauthEscape("é/-._"), "%C3%A9%2F-._");
    EXPECT_EQ(oauthEscape("!*'();:@+$,?#[]"), "%21%2A%27%28%29%3B%3A%40%2B%24%2C%3F%23%5B%5D");
    // Names and values are escaped, then the whole parameter text once more; the
    // address loses its default port and its case.
    const QString base = oauthBaseString("POST", "HTTP://LocalHost:8/services/rest/", {{"title", "a~b"}, {"x y", "1"}});
    EXPECT_EQ(base, "POST&http%3A%2F%2Flocalhost%3A8%2Fservices%2Frest%2F&title%3Da~b%26x%2520y%3D1");
    EXPECT_EQ(oauthBaseStringUri("https://Api.Flickr.com:443/services/rest/?x=1"), "https://api.flickr.com/services/rest/");
    EXPECT_EQ(oauthBaseStringUri("http://127.0.0.1:80/a%20b"), "http://127.0.0.1/a%20b");
    // The signing key joins the secrets unescaped.
    EXPECT_EQ(oauthSignature("GET", "u", {{"a", "b"}}, "s&x", "t~"), hmacSha1Base64("s&x&t~", oauthBaseString("GET", "u", {{"a", "b"}})));

    const Params q = parseQuery("a=x+y%2By&b=%C3%A9&&c&d=");
    EXPECT_EQ(q.value("a"), "x y+y");
    EXPECT_EQ(q.value("b"), QString::fromUtf8("é"));
    EXPECT_TRUE(q.contains("c"));
    EXPECT_EQ(q.value("d"), "");

    // The Authorization header gives its OAuth parameters only.
    const Params p = parseOAuthHeader("OAuth realm=\"http://sp.example.com/, x\", oauth_consumer_key=\"0685bd9184jfhq22\","
                                      "oauth_token=\"ad180jjd733klru7\",\toauth_signature=\"wOJIO9A2W5mFwDgiDvZbTSMK%2FPY%3D\" , "
                                      "oauth_nonce=4572616e48616d6d65724c61686176, other=\"1\"");
    EXPECT_EQ(p, Params({{"oauth_consumer_key", "0685bd9184jfhq22"}, {"oauth_token", "ad180jjd733klru7"},
                         {"oauth_signature", "wOJIO9A2W5mFwDgiDvZbTSMK/PY="}, {"oauth_nonce", "4572616e48616d6d65724c61686176"}}));
    EXPECT_EQ(parseOAuthHeader("oauth oauth_token=\"a%20b\"").value("oauth_token"), "a b");
    for (const char* refused : {"Basic dXNlcjpwYXNz", "OAuthx oauth_token=\"a\"", "", "OAuth oauth_token=\"unterminated"})
        EXPECT_TRUE(parseOAuthHeader(refused).isEmpty()) << refused;
}
