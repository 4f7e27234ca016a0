#include "HeadlessPlatform.h"

#include "Console.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>

namespace tessaly::cli {

HeadlessPlatform::HeadlessPlatform(Console& console) : m_console(console) {}

int HeadlessPlatform::runAlert(const AlertRequest& alert) {
    ++m_alertsShown;
    m_criticalAlertsShown += alert.style == AlertStyle::Critical ? 1 : 0;
    const QString message = Console::oneLine(alert.message);
    QString line = alert.title.isEmpty() ? message : Console::oneLine(alert.title) + ": " + message;
    int answer = AlertFirstButton;
    if (alert.buttons.size() > 1) {
        answer = m_confirms ? AlertFirstButton : AlertSecondButton;
        line += QString(" [%1]").arg(alert.buttons[answer]);
    }
    m_console.note(line);
    return answer;
}

QStringList HeadlessPlatform::runOpenPanel(const OpenPanelRequest&) {
    return openPanelAnswers.isEmpty() ? QStringList() : openPanelAnswers.dequeue();
}

QString HeadlessPlatform::runSavePanel(const SavePanelRequest&) {
    return savePanelAnswers.isEmpty() ? QString() : savePanelAnswers.dequeue();
}

bool HeadlessPlatform::hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool HeadlessPlatform::launchDesktop(const QString& target) {
    // The desktop's own choice of browser or application, as the windows use.
    return hasDisplay() && QProcess::startDetached(QStringLiteral("xdg-open"), {target});
}

bool HeadlessPlatform::openURL(const QUrl& url) {
    m_openedURLs << url;
    const QString address = url.toString(QUrl::FullyEncoded);
    m_console.out(address);
    launchDesktop(address);
    return true;
}

bool HeadlessPlatform::openFile(const QString& path) {
    m_console.out(path);
    launchDesktop(path);
    return true;
}

SystemVersion HeadlessPlatform::systemVersion() const {
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)\\.(\\d+)"));
    const auto match = numbers.match(QSysInfo::kernelVersion());
    if (!match.hasMatch())
        return {};
    return {match.captured(1).toInt(), match.captured(2).toInt()};
}

} // namespace tessaly::cli
