// A 100,000-picture stream pages through completely while the service keeps no page around.
#include "ServiceClient.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

using namespace fftest;

class LargeStream : public ServiceTest {};

TEST_F(LargeStream, HundredThousandPicturesPageThroughWithBoundedMemory) {
    const auto peakKilobytes = [] {
        QFile status("/proc/self/status");
        status.open(QIODevice::ReadOnly);
        return QRegularExpression("VmHWM:\\s*(\\d+)").match(QString::fromLatin1(status.readAll())).captured(1).toLong();
    };
    start(100000, 3);
    [[maybe_unused]] const long before = peakKilobytes();
    QSet<qint64> ids;
    qsizetype xmlBytes = 0;
    for (int page = 1; page <= 201; ++page) {
        const Reply reply = call("flickr.people.getPhotos", {{"user_id", "me"}, {"per_page", "500"}, {"page", QString::number(page)},
                                 {"extras", "description,date_upload,date_taken,tags,geo,url_sq,url_l,url_o"}}, Placement::Query, 30000);
        xmlBytes += reply.body.size();
        QXmlStreamReader reader(reply.body);
        int onPage = 0;
        while (!reader.atEnd())
            if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("photo"))
                onPage += (ids.insert(reader.attributes().value("id").toLongLong()), 1);
        ASSERT_FALSE(reader.hasError()) << page;
        ASSERT_EQ(onPage, page <= 200 ? 500 : 0) << page;
    }
    EXPECT_EQ(ids.size(), 100000);
#if !defined(__SANITIZE_ADDRESS__)
    // All pages together are far larger than what one page at a time may cost.
    EXPECT_GT(xmlBytes, 60 * 1024 * 1024);
    EXPECT_LT(peakKilobytes() - before, 48 * 1024);
#endif
}
