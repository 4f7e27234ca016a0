// A 100,000-picture stream pages through completely while the service keeps no page around.
#include "Server.h"
#include "ServiceClient.h"

#include <QFile>
#include <QSet>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace fakeflickr;

namespace {
long peakKilobytes() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}
} // namespace

TEST(LargeStream, HundredThousandPicturesPageThroughWithBoundedMemory) {
    Options options;
    options.photos = 100000;
    options.seed = 3;
    Server server(options);
    ASSERT_TRUE(server.listen());
    const auto token = server.issueAccessToken("read");
    const fftest::Credentials creds{options.apiKey, options.sharedSecret, token.token, token.secret};
    [[maybe_unused]] const long before = peakKilobytes();

    QSet<qint64> ids;
    ids.reserve(100000);
    qsizetype xmlBytes = 0;
    for (int page = 1; page <= 201; ++page) {
        const auto reply = fftest::callRest(server.baseUrl(), "flickr.people.getPhotos",
                                            {{"user_id", "me"}, {"per_page", "500"}, {"page", QString::number(page)},
                                             {"extras", "description,date_upload,date_taken,tags,geo,url_sq,url_l,url_o"}},
                                            creds, fftest::Placement::Query, 30000);
        ASSERT_FALSE(reply.timedOut);
        xmlBytes += reply.body.size();
        QXmlStreamReader reader(reply.body);
        int onPage = 0;
        while (!reader.atEnd())
            if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("photo")) {
                ids.insert(reader.attributes().value("id").toLongLong());
                ++onPage;
            }
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
