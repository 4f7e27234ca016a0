#include "QtPlatform.h"

#include "RecentDocuments.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTimer>

namespace tessaly {

int QtPlatform::runAlert(const AlertRequest& alert) {
    QMessageBox box(alert.style == AlertStyle::Critical ? QMessageBox::Critical
                                                        : QMessageBox::Information,
                    alert.title.isEmpty() ? QApplication::applicationDisplayName() : alert.title,
                    alert.title.isEmpty() ? alert.message : "<b>" + alert.title.toHtmlEscaped() + "</b>",
                    QMessageBox::NoButton, QApplication::activeWindow());
    if (!alert.title.isEmpty())
        box.setInformativeText(alert.message);
    box.setTextFormat(Qt::AutoText);
    const QStringList titles = alert.buttons.isEmpty() ? QStringList{"OK"} : alert.buttons;
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < titles.size(); ++i) {
        // The second button cancels (Escape), as the alternate button does.
        const auto role = i == 0 ? QMessageBox::AcceptRole
                          : i == 1 ? QMessageBox::RejectRole
                                   : QMessageBox::DestructiveRole;
        buttons << box.addButton(titles[i], role);
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    if (buttons.size() > 1)
        box.setEscapeButton(buttons[1]);
    box.exec();
    const int index = int(buttons.indexOf(box.clickedButton()));
    return index < 0 ? (buttons.size() > 1 ? AlertSecondButton : AlertFirstButton) : index;
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
    // The kernel's version stands for the system's on Linux.
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)\\.(\\d+)"));
    const auto match = numbers.match(QSysInfo::kernelVersion());
    if (!match.hasMatch())
        return {};
    return {match.captured(1).toInt(), match.captured(2).toInt()};
}

void QtPlatform::noteRecentDocument(const QString& path) { addRecentDocument(path); }

void QtPlatform::showAboutPanel() {
    QMessageBox::about(QApplication::activeWindow(), "About Tessaly",
                       QString("<h3>Tessaly %1</h3><p>A local, searchable archive of your Flickr "
                               "photostream.</p>")
                           .arg(QApplication::applicationVersion().toHtmlEscaped()));
}

void QtPlatform::terminate() {
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

} // namespace tessaly
