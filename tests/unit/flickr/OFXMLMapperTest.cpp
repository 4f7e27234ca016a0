// Shapes of the response dictionary that every answer handler relies on.
#include "OFXMLMapper.h"

#include <gtest/gtest.h>

namespace {

QVariantMap mapped(const QByteArray& xml) {
    const auto result = OFXMLMapper::dictionaryMappedFromXMLData(xml);
    EXPECT_TRUE(result) << xml.constData();
    return result.value_or(QVariantMap());
}

QVariantMap rsp(const QByteArray& xml) { return mapped(xml).value("rsp").toMap(); }

bool isList(const QVariant& v) { return v.typeId() == QMetaType::QVariantList; }
bool isMap(const QVariant& v) { return v.typeId() == QMetaType::QVariantMap; }

} // namespace

TEST(OFXMLMapper, PhotostreamPageShape) {
    const QVariantMap outer = mapped(
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
        "<rsp stat=\"ok\">\n"
        "<photos page=\"2\" pages=\"89\" perpage=\"10\" total=\"881\">\n"
        "\t<photo id=\"2636\" owner=\"47058503995@N01\" secret=\"a123456\" server=\"2\" farm=\"5\"/>\n"
        "\t<photo id=\"2635\" owner=\"47058503995@N01\" secret=\"b123456\" server=\"2\" farm=\"5\"/>\n"
        "\t<photo id=\"2633\" owner=\"47058503995@N01\" secret=\"c123456\" server=\"2\" farm=\"5\"/>\n"
        "</photos>\n</rsp>\n");
    ASSERT_EQ(outer.keys(), QStringList{"rsp"});
    const QVariantMap r = outer.value("rsp").toMap();
    EXPECT_EQ(r.value("stat"), "ok");
    const QVariant photos = r.value("photos");
    ASSERT_TRUE(isMap(photos));
    // Attributes stay text.
    EXPECT_EQ(photos.toMap().value("total").typeId(), QMetaType::QString);
    const QVariantList photo = photos.toMap().value("photo").toList();
    ASSERT_EQ(photo.size(), 3);
    EXPECT_EQ(photo[2].toMap().value("secret"), "c123456");
    EXPECT_EQ(photo[0].toMap().value("farm"), "5");
    EXPECT_EQ(photo[0].toMap().value("farm").typeId(), QMetaType::QString);
    EXPECT_FALSE(photo[0].toMap().contains("_text"));
}

TEST(OFXMLMapper, PluralParentGivesListEvenForOneChild) {
    const QVariantMap r = rsp("<rsp stat=\"ok\"><photos><photo id=\"1\"/></photos>"
                              "<photosets><photoset id=\"s\"><title>T</title></photoset></photosets>"
                              "<empty_photos/></rsp>");
    EXPECT_TRUE(isList(OFValueForKeyPath(r, "photos.photo")));
    EXPECT_EQ(OFValueForKeyPath(r, "photos.photo.id"), QVariantList{"1"});
    EXPECT_EQ(OFValueForKeyPath(r, "photosets.photoset.title._text"), QVariantList{"T"});
    // A plural parent without children has no entry at all.
    EXPECT_FALSE(rsp("<rsp><photos/></rsp>").value("photos").toMap().contains("photo"));
}

TEST(OFXMLMapper, PluralRuleComparesWithMostRecentlyStartedElement) {
    // The second "photo" of a later "photos" follows the end of a "title":
    // the list arises from repetition, and the single "photo" after a
    // non-plural element stays a map.
    const QVariantMap r = rsp("<rsp><photos><photo id=\"1\"/><photo id=\"2\"/></photos>"
                              "<photoset><title>x</title><photo id=\"3\"/></photoset></rsp>");
    EXPECT_EQ(OFValueForKeyPath(r, "photos.photo.id"), (QVariantList{"1", "2"}));
    EXPECT_TRUE(isMap(OFValueForKeyPath(r, "photoset.photo")));
}

TEST(OFXMLMapper, OneExifIsAMapTwoAreAList) {
    const QVariantMap one = rsp("<rsp><photo id=\"1\"><exif tag=\"Make\"><raw>Canon</raw></exif></photo></rsp>");
    EXPECT_TRUE(isMap(OFValueForKeyPath(one, "photo.exif")));
    EXPECT_EQ(OFValueForKeyPath(one, "photo.exif.raw._text"), "Canon");

    const QVariantMap two = rsp("<rsp><photo id=\"1\"><exif tag=\"Make\"/><exif tag=\"Model\"/></photo></rsp>");
    EXPECT_EQ(OFValueForKeyPath(two, "photo.exif.tag"), (QVariantList{"Make", "Model"}));
}

TEST(OFXMLMapper, TextIsJoinedAndStaysWithItsElement) {
    const QVariantMap r = rsp("<rsp><photo><description>Fish &amp; chips\n&lt;b&gt; &#233;t&#xE9;</description>"
                              "</photo><mixed>a<b>inner</b>c<![CDATA[<d>]]></mixed></rsp>");
    EXPECT_EQ(OFTextContent(OFValueForKeyPath(r, "photo.description")), QString::fromUtf8("Fish & chips\n<b> été"));
    EXPECT_EQ(OFTextContent(r.value("mixed")), "ac<d>");
    EXPECT_EQ(OFValueForKeyPath(r, "mixed.b._text"), "inner");
    EXPECT_EQ(OFTextContent(r.value("photo")), QString());
}

TEST(OFXMLMapper, StructuralFailuresGiveNothing) {
    // A child named like an attribute of its parent, or "_text" next to text.
    EXPECT_FALSE(OFXMLMapper::dictionaryMappedFromXMLData("<rsp><photo id=\"1\"><id>2</id></photo></rsp>"));
    EXPECT_FALSE(OFXMLMapper::dictionaryMappedFromXMLData("<rsp>text<_text/></rsp>"));
    EXPECT_FALSE(OFXMLMapper::dictionaryMappedFromXMLData("<rsp><_text/>text</rsp>"));
}

TEST(OFXMLMapper, MalformedOrEmptyInputGivesNothing) {
    for (const char* bad : {"", "   ", "<rsp stat=\"ok\">", "<rsp></photos></rsp>", "<rsp a=1/>",
                            "<!DOCTYPE html><html><body><p>Bad gateway<br></body></html>",
                            "<rsp/><rsp/>", "<rsp>&undeclared;</rsp>"})
        EXPECT_FALSE(OFXMLMapper::dictionaryMappedFromXMLData(bad)) << bad;
}

TEST(OFKeyPath, MapsOverListsWithNullForAbsentValues) {
    const QVariantMap r = rsp("<rsp><photos><photo id=\"1\"><description>d</description></photo>"
                              "<photo id=\"2\"/></photos></rsp>");
    const QVariantList descriptions = OFValueForKeyPath(r, "photos.photo.description").toList();
    ASSERT_EQ(descriptions.size(), 2);
    EXPECT_EQ(OFTextContent(descriptions[0]), "d");
    EXPECT_FALSE(descriptions[1].isValid());
    EXPECT_EQ(OFValueForKeyPath(r, "photos.photo.description._text"), (QVariantList{"d", QVariant()}));

    EXPECT_FALSE(OFValueForKeyPath(r, "nothing.here").isValid());
    EXPECT_FALSE(OFValueForKeyPath(r, "photos.photo.id.deeper").toList().value(0).isValid());
    // Lists inside lists map recursively.
    const QVariant nested = QVariantList{QVariantList{QVariantMap{{"a", 1}}}, QVariantMap{{"a", 2}}};
    EXPECT_EQ(OFValueForKeyPath(nested, "a"), (QVariantList{QVariantList{1}, 2}));
}
