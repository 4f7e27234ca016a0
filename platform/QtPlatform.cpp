#include "QtPlatform.h"

#include "RecentDocuments.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace tessaly {

QtPlatform::QtPlatform() : m_updater(QCoreApplication::applicationVersion()) {
    m_updater.setUpdateFoundHandler(
        [this](const UpdateOffer& offer) { tellUserOfUpdate(*this, offer, m_updater.currentVersion()); });
}

std::unique_ptr<QMessageBox> QtPlatform::makeAlertBox(const AlertRequest& alert, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(
        alert.style == AlertStyle::Critical ? QMessageBox::Critical : QMessageBox::Information,
        alert.title.isEmpty() ? QApplication::applicationDisplayName() : alert.title,
        alert.title.isEmpty() ? alert.message : alert.title, QMessageBox::NoButton, parent);
    // Messages carry paths, titles and SQLite's words: shown as written, never as markup.
    box->setTextFormat(Qt::PlainText);
    if (!alert.title.isEmpty()) {
        box->setInformativeText(alert.message);
        for (QLabel* label : box->findChildren<QLabel*>())
            label->setTextFormat(Qt::PlainText);
        QFont bold = box->font();
        bold.setBold(true);
        if (auto* heading = box->findChild<QLabel*>("qt_msgbox_label"))
            heading->setFont(bold);
    }
    const QStringList titles = alert.buttons.isEmpty() ? QStringList{"OK"} : alert.buttons;
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < titles.size(); ++i) {
        // The second button cancels (Escape), as the alternate button does.
        const auto role = i == 0 ? QMessageBox::AcceptRole
                          : i == 1 ? QMessageBox::RejectRole
                                   : QMessageBox::DestructiveRole;
        buttons << box->addButton(titles[i], role);
        buttons.last()->setProperty("alertIndex", i);
    }
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    if (buttons.size() > 1)
        box->setEscapeButton(buttons[1]);
    return box;
}

int QtPlatform::runAlert(const AlertRequest& alert) {
    const std::unique_ptr<QMessageBox> box = makeAlertBox(alert, QApplication::activeWindow());
    box->exec();
    if (QAbstractButton* clicked = box->clickedButton())
        return clicked->property("alertIndex").toInt();
    return alert.buttons.size() > 1 ? AlertSecondButton : AlertFirstButton;
}

QStringList QtPlatform::runOpenPanel(const OpenPanelRequest& panel) {
    QFileDialog dialog(QApplication::activeWindow(), panel.title.isEmpty() ? panel.message : panel.title,
                       panel.directory);
    if (panel.canChooseDirectories && !panel.canChooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog.setFileMode(panel.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                         : QFileDialog::ExistingFile);
    }
    dialog.setOption(QFileDialog::ReadOnly, !panel.canCreateDirectories);
    if (!panel.prompt.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, panel.prompt);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString QtPlatform::runSavePanel(const SavePanelRequest& panel) {
    QFileDialog dialog(QApplication::activeWindow(), panel.title, panel.directory);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, !panel.canCreateDirectories);
    if (!panel.message.isEmpty())
        dialog.setLabelText(QFileDialog::LookIn, panel.message);
    dialog.selectFile(panel.suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

bool QtPlatform::openURL(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool QtPlatform::openFile(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

SystemVersion QtPlatform::systemVersion() const {
    // The version asked for is the Mac OS X release, whose 10.x numbers pick
    // the button images; Linux has none, and a kernel or distribution number
    // such as 10.4 must not pass for one.
    return {};
}

void QtPlatform::noteRecentDocument(const QString& path) { addRecentDocument(path); }

void QtPlatform::showAboutPanel() {
    QMessageBox::about(QApplication::activeWindow(), "About Tessaly",
                       QString("<h3>Tessaly %1</h3><p>A local, searchable archive of your Flickr "
                               "photostream.</p>")
                           .arg(QApplication::applicationVersion().toHtmlEscaped()));
}

void QtPlatform::terminate() {
    // Not quit(): Qt would first close every window, and one that refuses (the
    // search window goes back to the main window) would cancel it. The
    // controller has already decided, by the quit item's rule.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

} // namespace tessaly
