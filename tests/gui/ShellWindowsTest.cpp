// The main window and the preferences panel follow their models, and clicks reach the models.
#include "QtPlatform.h"
#include "WindowsFixture.h"

class ShellWindowsTest : public WindowsFixture<> {};

TEST_F(ShellWindowsTest, TheNotConnectedWindowShowsItsModelsAndClicksReachThem) {
    launch();
    auto& c = app->controls();
    EXPECT_FALSE(find<QPushButton>("searchDbButton")->isEnabled());
    EXPECT_EQ(find<QPushButton>("oauthAuthButton")->text(), "    Connect to your Flickr account");
    EXPECT_TRUE(find<QComboBox>("listDbsButton")->isHidden());
    auto* progress = find<QProgressBar>("progressIndicator");
    EXPECT_FALSE(progress->isVisible());
    auto* quit = find<QAction>("quitItem");
    EXPECT_EQ(quit->text(), "Quit Tessaly");
    app->setInfoDownloadRunning(true);
    EXPECT_FALSE(quit->isEnabled());
    app->setInfoDownloadRunning(false);

    c.progressIndicator->startAnimation();
    EXPECT_TRUE(progress->isVisible());

    find<QAction>("prefsItem")->trigger();
    QDialog* prefs = windows->prefPanel();
    EXPECT_TRUE(prefs->isVisible());
    auto* updates = find<QCheckBox>("updatesCheck");
    EXPECT_TRUE(updates->isChecked());
    updates->click();
    EXPECT_EQ(c.updatesCheck->state(), Button::Off);
    find<QPushButton>("savePrefsButton")->click();
    EXPECT_FALSE(prefs->isVisible());
    EXPECT_EQ(platform.alerts.size(), 1);
    EXPECT_EQ(store->value("updatesState").toInt(), 0);
    // Closing the panel by its window button keeps the model in step.
    find<QAction>("prefsItem")->trigger();
    prefs->close();
    EXPECT_FALSE(c.prefPanel->isVisible());

    // Alerts and labels show their data as written, never as markup.
    const QString markup = "<b>anna</b> &amp; <i>bob</i>";
    const auto box = QtPlatform::makeAlertBox({"Open <u>Failed</u>", markup + " is not a valid database file.",
                                               {"Delete", "Cancel"}, AlertStyle::Critical}, nullptr);
    QStringList shown;
    for (QLabel* label : box->findChildren<QLabel*>())
        if (!label->text().isEmpty() && label->textFormat() == Qt::PlainText)
            shown << label->text();
    EXPECT_EQ(shown, QStringList({"Open <u>Failed</u>", markup + " is not a valid database file."}));
    c.progressLabel->setStringValue(markup);
    EXPECT_EQ(find<QLabel>("progressLabel")->textFormat(), Qt::PlainText);
    EXPECT_EQ(find<QLabel>("progressLabel")->text(), markup);
}
