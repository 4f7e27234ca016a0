#include "SchemeRegistration.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace tessaly {

QString desktopExecArgument(const QString& argument) {
    // Inside a quoted argument, ", `, $ and \ take a backslash; the value's own
    // escaping then doubles every backslash and writes a line break, tab or
    // carriage return as \n, \t, \r, so none can end the line. % starts a
    // field code anywhere.
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
            quoted += QLatin1String("\\\\") + c;
        else if (c == QLatin1Char('\\'))
            quoted += QLatin1String("\\\\\\\\");
        else if (c == QLatin1Char('%'))
            quoted += QLatin1String("%%");
        else if (c == QLatin1Char('\n'))
            quoted += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            quoted += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            quoted += QLatin1String("\\r");
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

bool registerURLScheme(const QString& executable, const QString& applicationsFolder, QString* error) {
    // A desktop file has no way to write the other control characters.
    QString shown;
    bool control = false;
    for (const QChar c : executable) {
        const bool escaped = c == QLatin1Char('\n') || c == QLatin1Char('\t') || c == QLatin1Char('\r');
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            control = control || !escaped;
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    if (control) {
        if (error)
            *error = QStringLiteral("Tessaly cannot be made the handler of tessaly:// addresses: the path of "
                                    "its program, \"%1\", holds a control character.")
                         .arg(shown);
        return false;
    }
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
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("Tessaly cannot be made the handler of tessaly:// addresses: %1 could not "
                                    "be written (%2).")
                         .arg(path, file.errorString());
        return false;
    }
    const QString xdgMime = QStandardPaths::findExecutable("xdg-mime");
    if (!xdgMime.isEmpty())
        QProcess::startDetached(xdgMime, {"default", "tessaly.desktop", "x-scheme-handler/tessaly"});
    return true;
}

} // namespace tessaly
