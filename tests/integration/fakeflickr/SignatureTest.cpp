// The service's own signature checks against known answers and Tessaly's escaping quirks.
#include "ServiceClient.h"
#include "Signature.h"

#include <gtest/gtest.h>

using namespace fakeflickr;

TEST(ServiceSignature, HmacSha1MatchesKnownAnswersAndAnIndependentImplementation) {
    EXPECT_EQ(hmacSha1Base64(QString(20, QChar(0x0b)), "Hi There"), "thcxhlUFcmTii8C2+zeMjvFGvgA=");
    EXPECT_EQ(hmacSha1Base64("Jefe", "what do ya want for nothing?"), "7/zfauXrL6LSdBbV8YTfnCWafHk=");
    // Keys of 64 bytes are used as they are, longer ones are hashed first.
    for (int length : {63, 64, 65, 100}) {
        const QString key(length, QLatin1Char('k'));
        EXPECT_EQ(hmacSha1Base64(key, "data"), fftest::hmacSha1Base64(key.toUtf8(), "data")) << length;
    }
}

TEST(ServiceSignature, OAuthExampleOfThePhotoService) {
    const Params params = {
        {"file", "vacation.jpg"}, {"oauth_consumer_key", "dpf43f3p2l4k3l03"},
        {"oauth_nonce", "kllo9940pd9333jh"}, {"oauth_signature_method", "HMAC-SHA1"},
        {"oauth_timestamp", "1191242096"}, {"oauth_token", "nnch734d00sl2jdk"},
        {"oauth_version", "1.0"}, {"size", "original"}, {"oauth_signature", "ignored"}};
    EXPECT_EQ(oauthSignature("GET", "http://photos.example.net/photos", params, "kd94hf93k423kf44", "pfkkdhi9sl3r4s00"),
              "tR3+Ty81lMeYAr/Fid0kMTYa/WM=");
}

TEST(ServiceSignature, EscapingAndBaseStringFollowRfc5849) {
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
}

TEST(ServiceSignature, LegacySignatureAndQueryDecoding) {
    // Sorted by code: "B" before "a"; api_sig itself is left out.
    const Params params = {{"a", "1"}, {"B", "2"}, {"api_sig", "x"}};
    EXPECT_EQ(legacySignature(params, "sec"), "5d51660fcd1060da767dd05df1d6bea5");

    const Params q = parseQuery("a=x+y%2By&b=%C3%A9&&c&d=");
    EXPECT_EQ(q.value("a"), "x y+y");
    EXPECT_EQ(q.value("b"), QString::fromUtf8("é"));
    EXPECT_TRUE(q.contains("c"));
    EXPECT_EQ(q.value("d"), "");
}

TEST(ServiceSignature, AuthorizationHeaderGivesItsOAuthParameters) {
    const Params p = parseOAuthHeader("OAuth realm=\"http://sp.example.com/, x\", oauth_consumer_key=\"0685bd9184jfhq22\","
                                      "oauth_token=\"ad180jjd733klru7\",\toauth_signature=\"wOJIO9A2W5mFwDgiDvZbTSMK%2FPY%3D\" , "
                                      "oauth_nonce=4572616e48616d6d65724c61686176, other=\"1\"");
    EXPECT_EQ(p.value("oauth_consumer_key"), "0685bd9184jfhq22");
    EXPECT_EQ(p.value("oauth_token"), "ad180jjd733klru7");
    EXPECT_EQ(p.value("oauth_signature"), "wOJIO9A2W5mFwDgiDvZbTSMK/PY=");
    EXPECT_EQ(p.value("oauth_nonce"), "4572616e48616d6d65724c61686176");
    EXPECT_FALSE(p.contains("realm"));
    EXPECT_FALSE(p.contains("other"));
    EXPECT_EQ(p.size(), 4);
    EXPECT_EQ(parseOAuthHeader("oauth oauth_token=\"a%20b\"").value("oauth_token"), "a b");
    EXPECT_TRUE(parseOAuthHeader("Basic dXNlcjpwYXNz").isEmpty());
    EXPECT_TRUE(parseOAuthHeader("OAuthx oauth_token=\"a\"").isEmpty());
    EXPECT_TRUE(parseOAuthHeader("").isEmpty());
    EXPECT_EQ(parseOAuthHeader("OAuth oauth_token=\"unterminated").size(), 0);
}
