// Archive > Verify Archive...: the walk under the progress panel, the sheet
// of what it found, and Repair, through the control models.
#include "AppTest.h"
#include "Wait.h"
#include "archive/VerifyController.h"

class VerifyArchiveTest : public AppFixture {};

TEST_F(VerifyArchiveTest, TheSheetListsWhatIsBrokenAndRepairMovesItAside) {
    const QString pix = path("loc/anna_pix");
    startWithAccount(pix);
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (const QString id : {"1", "2"}) {
        for (const QString size : {"o", "s"})
            ASSERT_TRUE(image.save(pix + "/" + id + "_" + size + ".jpg", "JPEG"));
        app->database().run("INSERT INTO photos (flickrID,url_o,url_sq,filesize) VALUES(?,?,?,?)",
                            {id, "https://x/1/" + id + "_o.jpg", "https://x/1/" + id + "_s.jpg",
                             QString::number(QFileInfo(pix + "/" + id + "_o.jpg").size())});
    }
    apptest::writeFile(pix + "/2_s.jpg", "<html>busy</html>");

    auto& c = app->controls();
    VerifyControls& v = app->verifying().controls();
    app->revalidateMenuItems();
    ASSERT_TRUE(c.verifyItem->isEnabled());
    c.verifyItem->performClick();
    EXPECT_EQ(c.progressPanel->title(), "Verifying the Archive...");
    ASSERT_TRUE(test::waitFor([&] { return v.verifySheet->isVisible(); }));
    EXPECT_FALSE(c.progressPanel->isVisible());
    EXPECT_EQ(v.verifySummaryTextField->stringValue(), "1 problem among the 4 files the archive names.");
    EXPECT_EQ(v.verifyProblemsTextField->stringValue(),
              "the square file 2_s.jpg of 2 is not a picture (jpeg expected)");
    EXPECT_TRUE(v.repairButton->isEnabled());

    // Not connected: the file goes aside, and the alert says how to fetch it again.
    v.repairButton->performClick();
    EXPECT_FALSE(v.verifySheet->isVisible());
    EXPECT_EQ(QDir(pix + "/.broken").entryList(QDir::Files), QStringList{"2_s.jpg"});
    EXPECT_FALSE(QFile::exists(pix + "/2_s.jpg"));
    ASSERT_EQ(platform.alerts.size(), 1);
    EXPECT_TRUE(platform.alerts.last().message.startsWith("1 broken file was moved aside"));

    // A long walk can be stopped from the progress panel; what it found shows.
    app->database().exec("BEGIN");
    for (int i = 0; i < 5000; ++i)
        app->database().run("INSERT INTO photos (flickrID,url_sq) VALUES(?,?)",
                            {QString::number(100 + i), QString("https://x/1/%1_s.jpg").arg(100 + i)});
    app->database().exec("COMMIT");
    c.verifyItem->performClick();
    EXPECT_FALSE(c.progressStopButton->isHidden());
    c.progressStopButton->performClick();
    EXPECT_FALSE(c.progressPanel->isVisible());
    EXPECT_TRUE(v.verifySheet->isVisible());
    EXPECT_TRUE(v.verifySummaryTextField->stringValue().startsWith("Stopped after 2,000 of 5,004 files."))
        << v.verifySummaryTextField->stringValue().toStdString();
    EXPECT_TRUE(c.progressStopButton->isHidden());
}
