#include "ResultOutput.h"

#include "search/SearchSql.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace tessaly::cli {

namespace {

// The row builder reads by position; so do these, whatever a saved statement names its columns.
QString field(const SqlRow& row, int column) {
    return row.isNull(column) ? QString() : row.value(column);
}

QString csvField(const QString& value) {
    static const QRegularExpression special(QStringLiteral("[,\"\\r\\n]"));
    if (!value.contains(special))
        return value;
    return QLatin1Char('"') + search::doubledQuotes(value) + QLatin1Char('"');
}

} // namespace

QStringList resultColumnNames() {
    // Read off the base SELECT itself, so the two never part.
    const QString select = search::kBaseSelect;
    const qsizetype from = select.indexOf(QLatin1String(" FROM "));
    QStringList names = select.mid(7, from - 7).split(QLatin1Char(','));
    for (QString& name : names)
        name.remove(QStringLiteral("photos."));
    return names;
}

QString resultsAsText(const QList<SqlRow>& rows) {
    static const QRegularExpression breaks(QStringLiteral("[\\t\\r\\n]+"));
    QString text;
    for (const SqlRow& row : rows) {
        QString title = field(row, 1);
        title.replace(breaks, QStringLiteral(" "));
        text += field(row, 0) + QLatin1Char('\t') + field(row, 7) + QLatin1Char('\t') + title +
                QLatin1Char('\n');
    }
    return text;
}

QString resultsAsJson(const QList<SqlRow>& rows) {
    const QStringList names = resultColumnNames();
    QJsonArray array;
    for (const SqlRow& row : rows) {
        QJsonObject object;
        for (int column = 0; column < names.size(); ++column)
            object.insert(names[column],
                          row.isNull(column) ? QJsonValue() : QJsonValue(row.value(column)));
        array.append(object);
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
}

QString resultsAsCsv(const QList<SqlRow>& rows) {
    const QStringList names = resultColumnNames();
    QString text = names.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const SqlRow& row : rows) {
        QStringList fields;
        for (int column = 0; column < names.size(); ++column)
            fields << csvField(field(row, column));
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}

} // namespace tessaly::cli
