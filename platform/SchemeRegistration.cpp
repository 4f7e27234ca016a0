#include "SchemeRegistration.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace tessaly {

QString desktopExecArgument(const QString& argument) {
    // Inside a quoted argument, ", `, $ and \ take a backslash; the value's own
    // escaping then doubles every backslash. % starts a field code anywhere.
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
            quoted += QLatin1String("\\\\") + c;
        else if (c == QLatin1Char('\\'))
            quoted += QLatin1String("\\\\\\\\");
        else if (c == QLatin1Char('%'))
            quoted += QLatin1String("%%");
        else
            quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString desktopFileText(const QString& executable) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Tessaly\n"
                          "GenericName=Flickr Archive\n"
                          "Comment=A local, searchable archive of your Flickr photostream\n"
                          "Exec=%1 %u\n"
                          "Icon=tessaly\n"
                          "Terminal=false\n"
                          "Categories=Graphics;Photography;Network;\n"
                          "MimeType=x-scheme-handler/tessaly;application/vnd.sqlite3;\n")
        .arg(desktopExecArgument(executable));
}

bool registerURLScheme(const QString& executable, const QString& applicationsFolder) {
    const QString folder = applicationsFolder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation)
                               : applicationsFolder;
    const QString path = folder + "/tessaly.desktop";
    const QString text = desktopFileText(executable);
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && QString::fromUtf8(existing.readAll()) == text)
        return true;
    existing.close();

    QDir().mkpath(folder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    if (!file.commit())
        return false;
    const QString xdgMime = QStandardPaths::findExecutable("xdg-mime");
    if (!xdgMime.isEmpty())
        QProcess::startDetached(xdgMime, {"default", "tessaly.desktop", "x-scheme-handler/tessaly"});
    return true;
}

} // namespace tessaly
