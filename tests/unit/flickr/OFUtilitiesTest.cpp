// Digests, escapes, query splitting and callback extraction of the Flickr client.
#include "OFUtilities.h"

#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(OFHMACSHA1, MatchesRFC2202VectorsAndQtAroundTheBlockSize) {
    const QByteArray aa80(80, '\xaa');
    const struct {
        QByteArray key, data, digest;
    } vectors[] = {
        {QByteArray(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
        {QByteArray(20, '\xaa'), QByteArray(50, '\xdd'), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {aa80, "Test Using Larger Than Block-Size Key - Hash Key First", "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {aa80, "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
    };
    for (const auto& v : vectors)
        EXPECT_EQ(OFHMACSHA1Digest(v.key, v.data).toHex(), v.digest) << v.data.constData();
    // A 64-byte key is used as is, 65 bytes are hashed first.
    for (int length : {0, 63, 64, 65, 200}) {
        const QByteArray key(length, 'k');
        EXPECT_EQ(OFHMACSHA1Digest(key, "data"),
                  QMessageAuthenticationCode::hash("data", key, QCryptographicHash::Sha1)) << length;
    }
    // Text is signed as UTF-8 and comes out as 28 base64 characters.
    const QString signature = OFHMACSHA1Base64Signature(QString::fromUtf8("clé"), "Jefe");
    EXPECT_EQ(signature, QMessageAuthenticationCode::hash("Jefe", "cl\xc3\xa9", QCryptographicHash::Sha1).toBase64());
    EXPECT_EQ(signature.size(), 28);
}

TEST(OFDigests, MD5StopsAtNulAndUUIDIsUpperCase) {
    EXPECT_EQ(OFMD5HexDigest(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(OFMD5HexDigest(QString::fromUtf8("abc\0def", 7)), "900150983cd24fb0d6963f7d28e17f72");
    const QString uuid = OFNewUUIDString();
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$").match(uuid).hasMatch());
    EXPECT_NE(uuid, OFNewUUIDString());
}

TEST(OFEscape, ThreeStrengthsUTF8BytesAndTheFormEncoder) {
    const QString marks = "-_.!~*'();/?:@&=+$,";
    EXPECT_EQ(OFEscapeURLString("aZ09" + marks), "aZ09" + marks);
    EXPECT_EQ(OFEscapeURLString(" %#[]\"<>\\^`{|}\n"), "%20%25%23%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D%0A");
    EXPECT_EQ(OFEscapeURLComponent("a&b=c~d e"), "a%26b=c~d%20e");
    // OAuth: only letters, digits, "-", ".", "_" and "~" stay.
    EXPECT_EQ(OFEscapeOAuthComponent("aZ09-._~ &=%"), "aZ09-._~%20%26%3D%25");
    EXPECT_EQ(OFEscapeOAuthComponent("!*'();/?:@+$,"), "%21%2A%27%28%29%3B%2F%3F%3A%40%2B%24%2C");
    EXPECT_EQ(OFEscapeURLComponentWithChars("a~b", "~"), "a%7Eb");
    for (const auto escape : {OFEscapeURLString, OFEscapeURLComponent, OFEscapeOAuthComponent})
        EXPECT_EQ(escape(QString::fromUtf8("é€😀")), "%C3%A9%E2%82%AC%F0%9F%98%80");

    EXPECT_EQ(OFTextForm(QVariant(qlonglong(-1234567890123))), "-1234567890123");
    EXPECT_EQ(OFTextForm(QVariant(2.5)), "2.5");
    EXPECT_EQ(OFTextForm(QVariant(1e20)), "100000000000000000000"); // never "1e+20"
    const QVariantMap form{{"b", "x y"}, {"a", "1&2=3+4"}, {"c", 7}};
    EXPECT_EQ(dataAsWWWURLEncodedFormFromDictionary(form), "a=1%262%3D3%2B4&b=x%20y&c=7");
}

TEST(OFOAuthCallback, QueriesSplitAsAWholeAndOnlyTheBaseCallbackWithBothValuesCounts) {
    const auto parsed = OFDictionaryFromQueryString("a=1&b=%20x&a=2&empty=");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, (QMap<QString, QString>{{"a", "2"}, {"b", "%20x"}, {"empty", ""}}));
    for (const char* bad : {"", "a=1&b", "a=1=2", "a=1&", "&a=1", "oauth_problem"})
        EXPECT_FALSE(OFDictionaryFromQueryString(bad)) << bad;

    const QUrl base("tessaly://callback");
    QString token, verifier;
    EXPECT_TRUE(OFExtractOAuthCallback(QUrl("tessaly://callback?oauth_token=72-a%2Fc&oauth_verifier=5d"), base,
                                       &token, &verifier));
    EXPECT_EQ(QStringList({token, verifier}), QStringList({"72-a%2Fc", "5d"}));
    for (const char* url : {"tessaly://callback?oauth_token=t", "tessaly://callback?oauth_verifier=v",
                            "tessaly://callback", "tessaly://callback?",
                            "tessaly://callbackx?oauth_token=t&oauth_verifier=v",
                            "other://callback?oauth_token=t&oauth_verifier=v",
                            "tessaly://callback?oauth_token=t&oauth_verifier"}) {
        token = verifier = "kept";
        EXPECT_FALSE(OFExtractOAuthCallback(QUrl(url), base, &token, &verifier)) << url;
        EXPECT_EQ(token + verifier, "keptkept");
    }
}

TEST(OFOAuthCallbackDeathTest, MissingOutParameterIsAProgrammingError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QString out;
    const QUrl url("tessaly://callback?oauth_token=t&oauth_verifier=v");
    EXPECT_DEATH(OFExtractOAuthCallback(url, url, nullptr, &out), "outRequestToken cannot be nil");
    EXPECT_DEATH(OFExtractOAuthCallback(url, url, &out, nullptr), "outVerifier cannot be nil");
}
