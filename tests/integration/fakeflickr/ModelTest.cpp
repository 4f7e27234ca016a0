// The stand-in's parts on their own: the generated photostream (deterministic, varied
// like a real one, cheap to address), picture file names, faults, the call budget and signatures.
#include "CallBudget.h"
#include "Faults.h"
#include "PictureFiles.h"
#include "Photostream.h"
#include "ServiceClient.h"
#include "Signature.h"

#include <set>

using namespace fakeflickr;

TEST(Photostream, SameSeedSameStreamAndIdsAddressPicturesNewestFirst) {
    const auto fingerprint = [](const Photo& p) {
        return QStringList{p.idText(), p.secret, p.originalSecret, p.title, p.description, p.rawTags.join("|"),
                           p.dateTaken, QString::number(p.latitude), QString::number(p.originalWidth)}.join("/");
    };
    const Photostream s(1000, 5), same(1000, 5), other(1000, 6);
    for (int i = 0; i < s.size(); ++i) {
        const Photo p = s.photoAt(i);
        ASSERT_EQ(fingerprint(p), fingerprint(same.photoAt(i)));
        ASSERT_NE(fingerprint(p), fingerprint(other.photoAt(i)));
        ASSERT_EQ(s.indexOfId(p.idText()), i);
        ASSERT_TRUE(i == 0 || p.dateUpload < s.photoAt(i - 1).dateUpload) << i;
    }
    for (const QString& bad : {QString("0"), QString("abc"), QString(), "0" + s.photoAt(0).idText(),
                               QString::number(s.photoAt(999).id - 1), QString::number(s.photoAt(0).id + 1)})
        EXPECT_FALSE(s.indexOfId(bad).has_value()) << bad.toStdString();
    // File names that are no picture's, hostile ones included, resolve to nothing.
    for (const char* name : {"../etc/passwd", "1_2_s.jpg", "../../1_2_s.jpg"})
        EXPECT_FALSE(parsePictureFileName(name, PhotoLibrary(s))) << name;
}

TEST(Photostream, ContentHasTheAwkwardCasesOfARealStreamAndSetsOverlap) {
    const Photostream s(1000, 1);
    const auto texts = [](const Photo& p) { return p.title + p.description; };
    const auto tags = [](const Photo& p, bool multiWord) {
        return std::any_of(p.rawTags.begin(), p.rawTags.end(), [&](const QString& t) { return t.contains(' ') == multiWord; });
    };
    const auto exif = [&](const Photo& p) { return s.exifFor(p.id); };
    const auto anyExif = [&](const Photo& p, bool (*is)(const ExifEntry&)) { const auto all = exif(p); return std::any_of(all.begin(), all.end(), is); };
    struct Kind { const char* name; std::function<bool(const Photo&)> is; int least, most = 1000; };
    using P = const Photo&;
    for (const Kind& k : QList<Kind>{
             {"quote", [&](P p) { return texts(p).contains('"'); }, 6}, {"backslash quote", [&](P p) { return texts(p).contains("\\\""); }, 6},
             {"non-ASCII", [&](P p) { return texts(p).toLatin1() != texts(p).toUtf8(); }, 6}, {"slash", [&](P p) { return texts(p).contains('/'); }, 6},
             {"title break", [](P p) { return p.title.contains('\n'); }, 6}, {"description break", [](P p) { return p.description.contains('\n'); }, 6},
             {"no title", [](P p) { return p.title.isEmpty(); }, 6}, {"no description", [](P p) { return p.description.isEmpty(); }, 6},
             {"multi-word tag", [&](P p) { return tags(p, true); }, 6}, {"one-word tag", [&](P p) { return tags(p, false); }, 6},
             {"geotagged", [](P p) { return p.geotagged; }, 251, 549}, {"video", [](P p) { return p.isVideo; }, 15, 50},
             {"no original", [](P p) { return !p.hasSize('o'); }, 21}, {"no large", [](P p) { return !p.hasSize('b'); }, 51},
             {"no square", [](P p) { return !p.hasSize('s'); }, 0, 0}, {"no EXIF", [&](P p) { return exif(p).isEmpty(); }, 6},
             {"one EXIF", [&](P p) { return exif(p).size() == 1; }, 6}, {"many EXIF", [&](P p) { return exif(p).size() > 1; }, 501},
             {"clean EXIF", [&](P p) { return anyExif(p, [](const ExifEntry& e) { return !e.clean.isEmpty(); }); }, 200},
             {"quoted EXIF", [&](P p) { return anyExif(p, [](const ExifEntry& e) { return e.raw.contains('"'); }); }, 6}}) {
        int n = 0;
        for (int i = 0; i < s.size(); ++i)
            n += k.is(s.photoAt(i));
        EXPECT_TRUE(n >= k.least && n <= k.most) << k.name << ": " << n;
    }
    // Sets overlap, one exceeds a page, one holds a single picture, some pictures are in none.
    ASSERT_GE(s.setCount(), 3);
    EXPECT_TRUE(s.setAt(0).count > 500 && s.setAt(1).count == 1);
    QHash<int, int> membership;
    for (int k = 0; k < s.setCount(); ++k) {
        EXPECT_EQ(s.setNumberOfId(s.setAt(k).id), k);
        std::set<int> members;
        for (int j = 0; j < s.setAt(k).count; ++j) {
            const int index = s.setMember(k, j);
            ASSERT_TRUE(index >= 0 && index < s.size() && members.insert(index).second) << "set " << k << ": " << index;
            membership[index]++;
        }
    }
    EXPECT_TRUE(std::any_of(membership.begin(), membership.end(), [](int n) { return n >= 2; }));
    EXPECT_LT(membership.size(), s.size());
    EXPECT_FALSE(s.setNumberOfId("1").has_value());
    EXPECT_EQ(Photostream(0, 1, 5).setCount(), 0);
}

TEST(Faults, TextsParseMatchTheirTargetsAndCount) {
    const auto stall = Fault::parse("stall:flickr.people.getPhotos@page=2"), file = Fault::parse("truncate:file:*_o.jpg");
    ASSERT_TRUE(stall && file);
    EXPECT_EQ(QList<bool>({stall->matchesCall("flickr.people.getPhotos", {{"page", "2"}}), stall->matchesCall("flickr.people.getPhotos", {{"page", "1"}}),
                           stall->matchesCall("flickr.photos.getExif", {{"page", "2"}}), file->matchesFile("123_abc_o.jpg"),
                           file->matchesFile("123_abc_o.jpg.bak"), file->matchesCall("flickr.test.login", {}),
                           Fault::parse("drop:flickr.people.getPhotos@page=1")->matchesCall("flickr.people.getPhotos", {})}),
              QList<bool>({true, false, false, true, false, false, true}));
    for (const char* text : {"error:flickr.photos.getExif@photo=55:2", "error:flickr.photos.getExif@55=2"}) {
        const auto error = Fault::parse(text);
        EXPECT_TRUE(error && error->errorCode == 2 && error->matchesCall("flickr.photos.getExif", {{"photo_id", "55"}}) &&
                    !error->matchesCall("flickr.photos.getExif", {{"photo_id", "56"}})) << text;
    }
    EXPECT_EQ(Fault::parse("error:flickr.test.login:98")->errorCode, 98);
    for (const char* text : {"http410:file:*_o.jpg~0#1", "http410:file:*_o.jpg#1~0"}) {
        const auto f = Fault::parse(text);
        EXPECT_TRUE(f && f->httpStatus == 410 && f->remaining == 1 && f->retryAfter == 0) << text;
    }
    FaultList list;
    ASSERT_TRUE(list.add("fail:file:x_s.jpg:2") && list.add("drop:flickr.test.login#2") && list.add("http500:flickr.test.login"));
    EXPECT_EQ(QList<bool>({bool(list.takeForFile("x_s.jpg")), bool(list.takeForFile("x_s.jpg")), bool(list.takeForFile("x_s.jpg"))}),
              QList<bool>({true, true, false}));
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
        EXPECT_TRUE(!Fault::parse(bad, &why) && !why.isEmpty()) << bad;
    }
}

TEST(CallBudget, EachKeyRefillsAtItsPaceUpToItsBurst) {
    CallBudget budget(7200, 2), hourly(1, 1);  // a call every half second, two at once; one an hour
    const auto take = [&](const char* key, qint64 ms) { return budget.take(key, ms); };
    EXPECT_EQ(QList<int>({take("a", 0), take("a", 0), take("a", 0), take("b", 0), take("a", 499), take("a", 500), take("a", 400),
                          take("a", 99'000), take("a", 99'000), take("a", 99'000)}),
              QList<int>({0, 0, 1, 0, 1, 0, 1, 0, 0, 1}));
    EXPECT_EQ(QList<int>({hourly.take("k", 0), hourly.take("k", 0), hourly.take("k", 3'599'001), hourly.take("k", 3'600'000),
                          CallBudget(0, 1).take("k", 0)}),
              QList<int>({0, 3600, 1, 0, 0}));
}

TEST(ServiceSignature, EscapingBaseStringAndParametersFollowRfc5849) {
    // The OAuth example of the photo service; its own signature is left out.
    const Params params = {
        {"file", "vacation.jpg"}, {"oauth_consumer_key", "dpf43f3p2l4k3l03"}, {"oauth_nonce", "kllo9940pd9333jh"},
        {"oauth_signature_method", "HMAC-SHA1"}, {"oauth_timestamp", "1191242096"}, {"oauth_token", "nnch734d00sl2jdk"},
        {"oauth_version", "1.0"}, {"size", "original"}, {"oauth_signature", "ignored"}};
    EXPECT_EQ(oauthSignature("GET", "http://photos.example.net/photos", params, "kd94hf93k423kf44", "pfkkdhi9sl3r4s00"),
              "tR3+Ty81lMeYAr/Fid0kMTYa/WM=");
    // Sorted by code: "B" before "a"; api_sig itself is left out.
    EXPECT_EQ(legacySignature({{"a", "1"}, {"B", "2"}, {"api_sig", "x"}}, "sec"), "5d51660fcd1060da767dd05df1d6bea5");
    EXPECT_EQ(oauthEscape("a~b c&d=e é/-._!*'();:@+$,?#[]"), "a~b%20c%26d%3De%20%C3%A9%2F-._%21%2A%27%28%29%3B%3A%40%2B%24%2C%3F%23%5B%5D");
    // Names and values are escaped, then the whole parameter text once more; the
    // address loses its default port and its case.
    EXPECT_EQ(oauthBaseString("POST", "HTTP://LocalHost:8/services/rest/", {{"title", "a~b"}, {"x y", "1"}}),
              "POST&http%3A%2F%2Flocalhost%3A8%2Fservices%2Frest%2F&title%3Da~b%26x%2520y%3D1");
    EXPECT_EQ(oauthBaseStringUri("https://Api.Flickr.com:443/services/rest/?x=1"), "https://api.flickr.com/services/rest/");
    EXPECT_EQ(oauthBaseStringUri("http://127.0.0.1:80/a%20b"), "http://127.0.0.1/a%20b");
    // The signing key joins the secrets unescaped.
    EXPECT_EQ(oauthSignature("GET", "u", {{"a", "b"}}, "s&x", "t~"), hmacSha1Base64("s&x&t~", oauthBaseString("GET", "u", {{"a", "b"}})));
    const Params q = parseQuery("a=x+y%2By&b=%C3%A9&&c&d=");
    EXPECT_EQ(QStringList({q.value("a"), q.value("b"), q.value("c", "none"), q.value("d", "none")}), QStringList({"x y+y", QString::fromUtf8("é"), "", ""}));
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
