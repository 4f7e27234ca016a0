// Shapes of the response dictionary that every answer handler relies on.
#include "OFXMLMapper.h"

#include <gtest/gtest.h>

namespace {

QVariantMap rsp(const QByteArray& xml) {
    const QVariantMap result = OFXMLMapper::dictionaryMappedFromXMLData(xml).value_or(QVariantMap{{"none", 0}});
    EXPECT_EQ(result.keys(), QStringList{"rsp"}) << xml.constData();
    return result.value("rsp").toMap();
}

} // namespace

TEST(OFXMLMapper, ListsMapsAttributesAndText) {
    const QVariantMap r = rsp("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<rsp stat=\"ok\">\n"
                              "<photos page=\"2\" total=\"881\">\n\t<photo id=\"2636\" farm=\"5\"/>\n"
                              "\t<photo id=\"2635\" farm=\"5\"/>\n</photos>\n"
                              "<photosets><photoset id=\"s\"><title>T</title></photoset></photosets><tags/></rsp>\n");
    EXPECT_EQ(OFValueForKeyPath(r, "photos.photo.id"), (QVariantList{"2636", "2635"}));
    EXPECT_EQ(OFValueForKeyPath(r, "photos.photo.farm"), (QVariantList{"5", "5"})); // text, not numbers
    // One child in a plural parent is still a list; no child gives no entry.
    EXPECT_EQ(OFValueForKeyPath(r, "photosets.photoset.title._text"), QVariantList{"T"});
    EXPECT_FALSE(r.value("tags").toMap().contains("tag"));

    // A single child of a non-plural parent is a map, two are a list.
    const QVariantMap one = rsp("<rsp><photo id=\"1\"><exif tag=\"Make\"><raw>Canon</raw></exif></photo></rsp>");
    EXPECT_EQ(OFValueForKeyPath(one, "photo.exif").typeId(), QMetaType::QVariantMap);
    EXPECT_EQ(OFValueForKeyPath(one, "photo.exif.raw._text"), "Canon");
    const QVariantMap two = rsp("<rsp><photo id=\"1\"><exif tag=\"Make\"/><exif tag=\"Model\"/></photo></rsp>");
    EXPECT_EQ(OFValueForKeyPath(two, "photo.exif.tag"), (QVariantList{"Make", "Model"}));
    // The plural rule looks at the most recently started element, not the parent.
    const QVariantMap late = rsp("<rsp><photos><title/><photo id=\"3\"/></photos></rsp>");
    EXPECT_EQ(OFValueForKeyPath(late, "photos.photo").typeId(), QMetaType::QVariantMap);

    // Text is joined and stays with its element.
    const QVariantMap text = rsp("<rsp><description>Fish &amp; chips\n&lt;b&gt; &#233;t&#xE9;</description>"
                                 "<mixed>a<b>inner</b>c<![CDATA[<d>]]></mixed><empty/></rsp>");
    EXPECT_EQ(OFTextContent(text.value("description")), QString::fromUtf8("Fish & chips\n<b> été"));
    EXPECT_EQ(OFTextContent(text.value("mixed")), "ac<d>");
    EXPECT_EQ(OFValueForKeyPath(text, "mixed.b._text"), "inner");
    EXPECT_FALSE(text.value("empty").toMap().contains("_text"));

    const QVariantMap some = rsp("<rsp><photos><photo id=\"1\"><b>d</b></photo><photo id=\"2\"/></photos></rsp>");
    EXPECT_EQ(OFValueForKeyPath(some, "photos.photo.b._text"), (QVariantList{"d", QVariant()}));
    EXPECT_EQ(OFValueForKeyPath(some, "photos.photo.id.deeper"), (QVariantList{QVariant(), QVariant()}));
    EXPECT_FALSE(OFValueForKeyPath(some, "nothing.here").isValid());
    const QVariant nested = QVariantList{QVariantList{QVariantMap{{"a", 1}}}, QVariantMap{{"a", 2}}};
    EXPECT_EQ(OFValueForKeyPath(nested, "a"), (QVariantList{QVariantList{1}, 2}));
}

TEST(OFXMLMapper, StructuralFailuresAndMalformedInputGiveNothing) {
    for (const char* bad :
         {"<rsp><photo id=\"1\"><id>2</id></photo></rsp>", // child named like a parent's attribute
          "<rsp>text<_text/></rsp>", "<rsp><_text/>text</rsp>", "", "   ", "<rsp stat=\"ok\">", "<rsp></photos></rsp>",
          "<rsp a=1/>", "<!DOCTYPE html><html><body><p>Bad gateway<br></body></html>", "<rsp/><rsp/>",
          "<rsp>&undeclared;</rsp>"})
        EXPECT_FALSE(OFXMLMapper::dictionaryMappedFromXMLData(bad)) << bad;
}

TEST(OFXMLMapper, HostileShapesAreRefusedOrMappedWithoutDeepRecursion) {
    // Nested far deeper than any answer: refused, not a stack overflow.
    const auto nested = [](int depth) {
        return "<rsp>" + QByteArray("<a>").repeated(depth) + "x" + QByteArray("</a>").repeated(depth) + "</rsp>";
    };
    EXPECT_FALSE(OFXMLMapper::dictionaryMappedFromXMLData(nested(50000)));
    EXPECT_TRUE(OFXMLMapper::dictionaryMappedFromXMLData(nested(100)));

    // Text broken into many pieces by comments and CDATA is joined whole.
    QByteArray pieces = "<rsp><description>";
    QString expected;
    for (int i = 0; i < 20000; ++i) {
        pieces += "ab<!-- -->c<![CDATA[d]]>";
        expected += "abcd";
    }
    EXPECT_EQ(OFValueForKeyPath(rsp(pieces + "</description></rsp>"), "description._text").toString(), expected);

    // Thousands of distinct child names, the first one again at the end.
    QByteArray wide = "<rsp><photo>";
    for (int i = 0; i < 3000; ++i)
        wide += "<n" + QByteArray::number(i) + " v=\"" + QByteArray::number(i) + "\"/>";
    const QVariantMap photo = rsp(wide + "<n0 v=\"again\"/></photo></rsp>").value("photo").toMap();
    EXPECT_EQ(photo.size(), 3000);
    EXPECT_EQ(OFValueForKeyPath(photo, "n0.v"), (QVariantList{"0", "again"}));
    EXPECT_EQ(OFValueForKeyPath(photo, "n2999.v"), "2999");
}
