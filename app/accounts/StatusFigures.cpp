#include "StatusFigures.h"

#include <QDirIterator>
#include <QFileInfo>


namespace tessaly::status {

QString groupedNumber(qint64 value) {
    QString digits = QString::number(value < 0 ? -value : value);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

QString groupedDecimal(double value, int minDecimals, int maxDecimals) {
    QString text = QString::number(value, 'f', maxDecimals);
    // Drop the optional fraction digits that are zero.
    qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        while (text.size() - dot - 1 > minDecimals && text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    dot = text.indexOf(QLatin1Char('.'));
    const QString whole = dot >= 0 ? text.left(dot) : text;
    const QString fraction = dot >= 0 ? text.mid(dot) : QString();
    return groupedNumber(whole.toLongLong()) + fraction;
}

SizeFigure sizeFigure(double bytes) {
    double value = bytes / 1000.0;
    QString unit;
    if (value > 999) {
        value /= 1000.0;
        unit = QStringLiteral("MB");
        if (value > 999) {
            value /= 1000.0;
            unit = QStringLiteral("GB");
            if (value > 900) {
                value /= 1000.0;
                unit = QStringLiteral("TB");
            }
        }
    }
    if (unit == QLatin1String("TB"))
        return {groupedDecimal(value, 0, 3), unit};
    if (unit == QLatin1String("GB"))
        return {groupedDecimal(value, 2, 2), unit};
    return {groupedDecimal(value, 1, 1), unit};
}

FolderFigures walkPictureFolder(const QString& folder) {
    FolderFigures figures;
    const QString broken = QDir(folder).absoluteFilePath(QStringLiteral(".broken"));
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        figures.bytes += double(info.size());
        // Broken files moved aside are no pictures of the archive.
        const QString name = info.fileName();
        if (info.absoluteFilePath().startsWith(broken))
            continue;
        if (name.contains(QLatin1String("_s.")))
            ++figures.pictures;
        else if (name.endsWith(QLatin1String(".mp4"), Qt::CaseInsensitive) ||
                 name.endsWith(QLatin1String(".mov"), Qt::CaseInsensitive))
            ++figures.videos;
    }
    return figures;
}

QString pictureFolderLine(const QString& count, const SizeFigure& size, qint64 videos) {
    if (videos > 0)
        return QStringLiteral("%1 pictures and %2 in this archive, uses %3 %4.")
            .arg(count, videos == 1 ? QStringLiteral("1 video") : groupedNumber(videos) + QStringLiteral(" videos"),
                 size.value, size.unit);
    return QStringLiteral("%1 pictures in this archive, uses %2 %3.").arg(count, size.value, size.unit);
}

QString recordLine(const QString& count, const QString& lastUpdate) {
    return lastUpdate.isEmpty() ? QStringLiteral("Picture records: %1").arg(count)
                                : QStringLiteral("Picture records: %1, Last update: %2").arg(count, lastUpdate);
}

QString accountLine(int accounts) {
    return accounts == 1
               ? QStringLiteral("You have %1 Flickr account in your preferences.").arg(accounts)
               : QStringLiteral("You have %1 Flickr accounts in your preferences.").arg(accounts);
}

} // namespace tessaly::status
