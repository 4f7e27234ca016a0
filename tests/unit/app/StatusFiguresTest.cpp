// The status lines of the main window, the picture folder walk behind them, and the error log of a flow.
#include "QtGTest.h"
#include "accounts/StatusFigures.h"
#include "sync/ErrorLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessaly::status;

TEST(StatusFigures, SizesStepByThousandsAndTheLinesCountWhatTheyName) {
    // Terabytes start above 900 GB, not 999.
    for (const auto& [bytes, shown] :
         {std::pair{512'300.0, "512.3 "}, std::pair{999'000.0, "999.0 "}, std::pair{1'250'000.0, "1.3 MB"},
          std::pair{999'000'000.0, "999.0 MB"}, std::pair{999'949'000.0, "1.00 GB"},
          std::pair{1'500'000'000.0, "1.50 GB"}, std::pair{123'456'000'000.0, "123.46 GB"},
          std::pair{900'000'000'000.0, "900.00 GB"}, std::pair{950'000'000'000.0, "0.95 TB"},
          std::pair{2'345'678'000'000'000.0, "2,345.678 TB"}})
        EXPECT_EQ(pictureFolderLine("0", sizeFigure(bytes)), QString("0 pictures in this archive, uses %1.").arg(shown))
            << bytes;
    EXPECT_EQ(pictureFolderLine("3", sizeFigure(1'250'000), 1), "3 pictures and 1 video in this archive, uses 1.3 MB.");
    EXPECT_EQ(pictureFolderLine("3", sizeFigure(1'250'000), 1234),
              "3 pictures and 1,234 videos in this archive, uses 1.3 MB.");

    EXPECT_EQ(recordLine("0", ""), "Picture records: 0");
    EXPECT_EQ(recordLine("1,234", "2011-06-04 17:30:05"), "Picture records: 1,234, Last update: 2011-06-04 17:30:05");
    EXPECT_EQ(accountLine(0), "You have 0 Flickr accounts in your preferences."); // 1 and 2: AccountsTest
}

TEST(StatusFigures, OneWalkCountsThumbnailsAndAddsUpSizesAtEveryDepth) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("sub");
    QDir(dir.path()).mkpath(".broken");
    for (const auto& [name, bytes] : {std::pair{"a_s.jpg", 100}, std::pair{"a_o.jpg", 1000}, std::pair{"b_s.png", 10},
                                      std::pair{".hidden_s.jpg", 1}, std::pair{"sub/c_s.jpg", 5},
                                      std::pair{"a_x_720p.mp4", 20}, std::pair{".broken/d_s.jpg", 7}}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(bytes, 'x')) == bytes);
    }
    const FolderFigures figures = walkPictureFolder(dir.path());
    EXPECT_TRUE(figures.pictures == 4 && figures.videos == 1 && walkPictureFolder(dir.filePath("x")).pictures == 0);
    const double folderSize = QFileInfo(dir.filePath("sub")).size() + QFileInfo(dir.filePath(".broken")).size();
    EXPECT_DOUBLE_EQ(figures.bytes, 1143 + folderSize);
}

// The open log, emptied at each flow, and its lines: the sync tests.
TEST(ErrorLog, LinesGoToTheOpenLogElseToStandardError) {
    QTemporaryDir dir;
    tessaly::ErrorLog log;
    testing::internal::CaptureStderr();
    log.write("before any flow\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "before any flow\n");
    ASSERT_TRUE(log.open(dir.filePath("anna_errorlog")));
    log.write(QString::fromUtf8("caf\u00e9\n"));
    EXPECT_EQ(log.readAll(), QString::fromUtf8("caf\u00e9\n"));
    log.close();
    testing::internal::CaptureStderr();
    log.write("after the flow\n");
    EXPECT_TRUE(testing::internal::GetCapturedStderr() == "after the flow\n" && !log.readAll().contains("after"));
}
