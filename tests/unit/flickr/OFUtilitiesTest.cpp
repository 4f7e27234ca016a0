// Digests, escapes, query splitting and callback extraction of the Flickr client.
#include "OFUtilities.h"

#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

} // namespace

TEST(OFHMACSHA1, MatchesRFC2202Vectors) {
    struct Vector {
        QByteArray key, data, digest;
    };
    const Vector vectors[] = {
        // 20-byte keys
        {QByteArray(20, '\x0b'), "Hi There", hex("b617318655057264e28bc0b6fb378c8ef146be00")},
        {QByteArray(20, '\xaa'), QByteArray(50, '\xdd'), hex("125d7342b9ac11cd91a39af48aa17b4f63f175d3")},
        {"Jefe", "what do ya want for nothing?", hex("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79")},
        {hex("0102030405060708090a0b0c0d0e0f10111213141516171819"), QByteArray(50, '\xcd'),
         hex("4c9007f4026250c6bc8414f9bf50c86c2d7235da")},
        // 80-byte keys are hashed first
        {QByteArray(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         hex("aa4ae5e15272d00e95705637ce8a3b55ed402112")},
        {QByteArray(80, '\xaa'),
         "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
         hex("e8e99d0f45237d786d6bbaa7965c7808bbff1a91")},
    };
    for (const Vector& v : vectors)
        EXPECT_EQ(OFHMACSHA1Digest(v.key, v.data).toHex(), v.digest.toHex()) << v.data.constData();
}

TEST(OFHMACSHA1, KeysAroundTheBlockSizeAgreeWithQt) {
    // 64 bytes is used as is, 65 is hashed first; the boundary is where a slip shows.
    for (int length : {0, 1, 63, 64, 65, 200}) {
        const QByteArray key(length, 'k');
        const QByteArray data = "The quick brown fox";
        EXPECT_EQ(OFHMACSHA1Digest(key, data),
                  QMessageAuthenticationCode::hash(data, key, QCryptographicHash::Sha1))
            << length;
    }
}

TEST(OFHMACSHA1, Base64SignatureOfTextKeyAndData) {
    const QString signature = OFHMACSHA1Base64Signature("Jefe", "what do ya want for nothing?");
    EXPECT_EQ(signature, QString::fromLatin1(hex("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79").toBase64()));
    EXPECT_EQ(signature.size(), 28);
    EXPECT_TRUE(signature.endsWith('=') && !signature.endsWith("=="));
    // Text keys and data are signed as UTF-8.
    const QString key = QString::fromUtf8("clé");
    EXPECT_EQ(OFHMACSHA1Base64Signature(key, QString::fromUtf8("ü")),
              QString::fromLatin1(QMessageAuthenticationCode::hash(
                                      QString::fromUtf8("ü").toUtf8(), key.toUtf8(),
                                      QCryptographicHash::Sha1)
                                      .toBase64()));
}

TEST(OFBase64, BreaksLinesAfterSixtyFourCharacters) {
    // 48 bytes make exactly one full line: no break.
    EXPECT_EQ(OFBase64EncodedText(QByteArray(48, 'a')), QString::fromLatin1(QByteArray(48, 'a').toBase64()));
    QString twoLines = OFBase64EncodedText(QByteArray(49, 'a'));
    EXPECT_EQ(twoLines.indexOf("\r\n"), 64);
    EXPECT_EQ(twoLines.remove("\r\n"), QString::fromLatin1(QByteArray(49, 'a').toBase64()));
    EXPECT_EQ(OFBase64EncodedText({}), QString());
}

TEST(OFDigests, MD5HexAndSHA1) {
    EXPECT_EQ(OFMD5HexDigest(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(OFMD5HexDigest("abc"), "900150983cd24fb0d6963f7d28e17f72");
    // Hashing stops at the first NUL, as the signatures Flickr checks do.
    EXPECT_EQ(OFMD5HexDigest(QString::fromUtf8("abc\0def", 7)), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(OFMD5HexDigest(QString::fromUtf8("é")),
              QString::fromLatin1(QCryptographicHash::hash("\xc3\xa9", QCryptographicHash::Md5).toHex()));
    EXPECT_EQ(OFSHA1Digest("abc").toHex(), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(OFUUID, UpperCaseGroupsAndFresh) {
    const QRegularExpression shape("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    const QString a = OFNewUUIDString();
    EXPECT_TRUE(shape.match(a).hasMatch()) << a.toStdString();
    EXPECT_NE(a, OFNewUUIDString());
}

TEST(OFEscape, ThreeStrengths) {
    const QString marks = "-_.!~*'();/?:@&=+$,";
    // Plain: RFC 2396 unreserved and reserved characters stay.
    EXPECT_EQ(OFEscapeURLString("aZ09" + marks), "aZ09" + marks);
    EXPECT_EQ(OFEscapeURLString(" %#[]\"<>\\^`{|}\n"), "%20%25%23%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D%0A");
    // Component: "&" too.
    EXPECT_EQ(OFEscapeURLComponent("a&b=c~d e"), "a%26b=c~d%20e");
    // OAuth: only letters, digits, "-", "." and "_" stay; "~" becomes %7E.
    EXPECT_EQ(OFEscapeOAuthComponent("aZ09-._"), "aZ09-._");
    EXPECT_EQ(OFEscapeOAuthComponent("~ &=%"), "%7E%20%26%3D%25");
    EXPECT_EQ(OFEscapeOAuthComponent("!*'();/?:@+$,"), "%21%2A%27%28%29%3B%2F%3F%3A%40%2B%24%2C");
    EXPECT_EQ(OFEscapeURLComponentWithChars("a~b", "~"), "a%7Eb");
    EXPECT_EQ(QString::fromLatin1(OFOAuthEscapeChars).size(), 28);
}

TEST(OFEscape, NonASCIIIsEscapedPerUTF8Byte) {
    const QString text = QString::fromUtf8("é€😀");
    const QString expected = "%C3%A9%E2%82%AC%F0%9F%98%80";
    EXPECT_EQ(OFEscapeURLString(text), expected);
    EXPECT_EQ(OFEscapeURLComponent(text), expected);
    EXPECT_EQ(OFEscapeOAuthComponent(text), expected);
}

TEST(OFTextForm, NumbersArePlainDecimal) {
    EXPECT_EQ(OFTextForm(QVariant(5)), "5");
    EXPECT_EQ(OFTextForm(QVariant(qlonglong(-1234567890123))), "-1234567890123");
    EXPECT_EQ(OFTextForm(QVariant(2.5)), "2.5");
    EXPECT_EQ(OFTextForm(QVariant(1e20)), "100000000000000000000");
    EXPECT_EQ(OFTextForm(QVariant(QStringLiteral("x y"))), "x y");
}

TEST(OFFormEncoder, PairsInOrderWithSeparatorsEscaped) {
    const QVariantMap form{{"b", "x y"}, {"a", "1&2=3+4"}, {"c", 7}};
    EXPECT_EQ(dataAsWWWURLEncodedFormFromDictionary(form), "a=1%262%3D3%2B4&b=x%20y&c=7");
    EXPECT_EQ(dataAsWWWURLEncodedFormFromDictionary({}), QByteArray());
}

TEST(OFQueryString, SplitsOrFailsAsAWhole) {
    const auto parsed = OFDictionaryFromQueryString("a=1&b=%20x&a=2&empty=");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->value("a"), "2"); // a later duplicate wins
    EXPECT_EQ(parsed->value("b"), "%20x"); // not unescaped
    EXPECT_TRUE(parsed->contains("empty"));
    EXPECT_EQ(parsed->size(), 3);

    for (const char* bad : {"", "a=1&b", "a=1=2", "a=1&", "&a=1", "oauth_problem"})
        EXPECT_FALSE(OFDictionaryFromQueryString(bad)) << bad;
}

TEST(OFOAuthCallback, ExtractsTokenAndVerifier) {
    const QUrl base("tessaly://callback");
    QString token = "old", verifier = "old";
    EXPECT_TRUE(OFExtractOAuthCallback(
        QUrl("tessaly://callback?oauth_token=72157-ab%2Fc&oauth_verifier=5d1b"), base, &token, &verifier));
    EXPECT_EQ(token, "72157-ab%2Fc");
    EXPECT_EQ(verifier, "5d1b");
}

TEST(OFOAuthCallback, RefusesOtherURLsAndLeavesOutputs) {
    const QUrl base("tessaly://callback");
    const char* refused[] = {
        "tessaly://callback?oauth_token=t",                     // no verifier
        "tessaly://callback?oauth_verifier=v",                  // no token
        "tessaly://callback",                                   // no query
        "tessaly://callback?",                                  // empty query
        "tessaly://callbackx?oauth_token=t&oauth_verifier=v",   // other base
        "other://callback?oauth_token=t&oauth_verifier=v",      // other scheme
        "tessaly://callback?oauth_token=t&oauth_verifier",      // piece without "="
    };
    for (const char* url : refused) {
        QString token = "kept", verifier = "kept";
        EXPECT_FALSE(OFExtractOAuthCallback(QUrl(url), base, &token, &verifier)) << url;
        EXPECT_EQ(token, "kept");
        EXPECT_EQ(verifier, "kept");
    }
}

TEST(OFOAuthCallbackDeathTest, MissingOutParameterIsAProgrammingError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QString out;
    const QUrl url("tessaly://callback?oauth_token=t&oauth_verifier=v");
    EXPECT_DEATH(OFExtractOAuthCallback(url, QUrl("tessaly://callback"), nullptr, &out),
                 "outRequestToken cannot be nil");
    EXPECT_DEATH(OFExtractOAuthCallback(url, QUrl("tessaly://callback"), &out, nullptr),
                 "outVerifier cannot be nil");
}
