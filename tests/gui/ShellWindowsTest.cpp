// The main window and the preferences panel follow their models, and clicks reach the models.
#include "QtPlatform.h"
#include "WindowsFixture.h"

using namespace tessaly;
using namespace tessaly::test;

class ShellWindowsTest : public WindowsFixture<> {
protected:
    void SetUp() override {
        WindowsFixture::SetUp();
        launch();
    }
    QAction* action(const QString& name) { return find<QAction>(name); }
};

TEST_F(ShellWindowsTest, TheNotConnectedWindowShowsItsModelsAndClicksReachThem) {
    QMainWindow* main = windows->mainWindow();
    auto& c = app->controls();
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->windowTitle(), "Tessaly");
    for (const char* name : {"searchDbButton", "downloadButton", "downloadFilesButton"})
        EXPECT_FALSE(find<QPushButton>(name)->isEnabled()) << name;
    auto* connect = find<QPushButton>("oauthAuthButton");
    EXPECT_EQ(connect->text(), "    Connect to your Flickr account");
    EXPECT_TRUE(connect->isEnabled());
    EXPECT_TRUE(find<QComboBox>("listDbsButton")->isHidden());
    auto* progress = find<QProgressBar>("progressIndicator");
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(action("connectItem")->isEnabled());
    EXPECT_FALSE(action("downloadInfoItem")->isEnabled());
    EXPECT_FALSE(action("exportItem")->isEnabled());
    EXPECT_EQ(action("quitItem")->text(), "Quit Tessaly");
    EXPECT_TRUE(action("quitItem")->isEnabled());
    app->setInfoDownloadRunning(true);
    EXPECT_FALSE(action("quitItem")->isEnabled());
    app->setInfoDownloadRunning(false);

    c.progressLabel->setStringValue("Downloading picture info...");
    EXPECT_EQ(find<QLabel>("progressLabel")->text(), "Downloading picture info...");
    c.progressIndicator->startAnimation();
    EXPECT_TRUE(progress->isVisible());

    action("prefsItem")->trigger();
    QDialog* prefs = windows->prefPanel();
    EXPECT_TRUE(prefs->isVisible());
    auto* updates = find<QCheckBox>("updatesCheck");
    EXPECT_TRUE(updates->isChecked());
    updates->click();
    EXPECT_EQ(c.updatesCheck->state(), Button::Off);
    find<QPushButton>("savePrefsButton")->click();
    EXPECT_FALSE(prefs->isVisible());
    EXPECT_FALSE(c.prefPanel->isVisible());
    EXPECT_EQ(platform.alerts.size(), 1);
    EXPECT_EQ(store->value("updatesState").toInt(), 0);
    // Closing the panel by its window button keeps the model in step.
    action("prefsItem")->trigger();
    prefs->close();
    EXPECT_FALSE(c.prefPanel->isVisible());
}

TEST_F(ShellWindowsTest, AlertsAndLabelsShowTheirDataAsWritten) {
    const QString markup = "<b>anna</b> &amp; <i>bob</i>";
    const auto box = QtPlatform::makeAlertBox(
        {"Open <u>Failed</u>", markup + " is not a valid database file.", {"Delete", "Cancel"}, AlertStyle::Critical},
        nullptr);
    QStringList shown;
    for (QLabel* label : box->findChildren<QLabel*>())
        if (!label->text().isEmpty()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
            shown << label->text();
        }
    EXPECT_TRUE(shown.contains("Open <u>Failed</u>"));
    EXPECT_TRUE(shown.contains(markup + " is not a valid database file."));

    app->controls().progressLabel->setStringValue(markup);
    auto* label = find<QLabel>("progressLabel");
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), markup);
}
