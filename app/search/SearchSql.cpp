#include "SearchSql.h"

#include "DateFieldFormatter.h"

#include <QRegularExpression>

namespace tessaly::search {

namespace {

// Appends a clause, opening the condition with "WHERE " or joining it to the
// clauses before it.
void addClause(QString& where, const QString& combiner, const QString& clause) {
    if (!where.startsWith(QLatin1String("WHERE")))
        where = QStringLiteral("WHERE ");
    else
        where += combiner;
    where += clause;
}

// The clause of a date range, or "" unless both ends hold a date. The end
// takes in the whole of its day.
QString dateRangeClause(const QString& column, const QString& beginning, const QString& ending) {
    const auto begin = DateFieldFormatter::dateFromString(beginning);
    const auto end = DateFieldFormatter::dateFromString(ending);
    if (!begin || !end)
        return {};
    const QString beginText = begin->toLocalTime().toString(DateFieldFormatter::kMomentFormat);
    const QString endText =
        end->toLocalTime().toString(DateFieldFormatter::kDayFormat) + QStringLiteral(" 23:59:59");
    return QStringLiteral("(%1 >= \"%2\" AND %1 <= \"%3\")").arg(column, beginText, endText);
}

bool isDecimalNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^\\s*[-+]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][-+]?\\d+)?\\s*$"));
    return number.match(text).hasMatch();
}

} // namespace

DistanceFilter distanceFilterFor(const QString& latlon, double radius, bool* valid) {
    DistanceFilter filter;
    QString text = latlon;
    text.remove(QStringLiteral("LAT,LON: "));
    const QStringList parts = text.split(QLatin1Char(','));
    filter.searchLatitude = doubleValue(parts.value(0));
    filter.searchLongitude = doubleValue(parts.value(1));
    *valid = parts.size() == 2 && isDecimalNumber(parts[0]) && isDecimalNumber(parts[1]);
    filter.distanceSearchOn = *valid;
    if (*valid)
        filter.searchDistance = radius;
    return filter;
}

bool centreInRange(const DistanceFilter& filter) {
    return filter.searchLatitude >= -90 && filter.searchLatitude <= 90 &&
           filter.searchLongitude >= -180 && filter.searchLongitude <= 180;
}

QString doubledQuotes(QString text) {
    return text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
}

double doubleValue(const QString& text) {
    static const QRegularExpression leading(
        QStringLiteral("^\\s*[-+]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][-+]?\\d+)?"));
    const auto match = leading.match(text);
    return match.hasMatch() ? match.captured(0).trimmed().toDouble() : 0.0;
}

bool wildcardMatch(const QString& text, const QString& pattern) {
    // Greedy matching with one back-tracking point: the last star seen.
    qsizetype t = 0, p = 0, starAt = -1, starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starAt = p++;
            starText = t;
        } else if (starAt >= 0) {
            p = starAt + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

QString sortColumn(QString title) {
    title.remove(QStringLiteral("camera "));
    title.remove(QLatin1Char(' '));
    title.replace(QStringLiteral("make"), QStringLiteral("Make"));
    title.replace(QStringLiteral("model"), QStringLiteral("Model"));
    title.replace(QStringLiteral("uploaded"), QStringLiteral("upload"));
    return title;
}

QString doFieldButton(const SearchForm& form, int row, const SetLists& sets) {
    if (row < 0 || row >= int(form.rows.size()))
        return {};
    const SearchRow& r = form.rows[std::size_t(row)];
    QString t = doubledQuotes(r.text);
    const QString neg = r.op == QLatin1String("contains") ? QString() : QStringLiteral("NOT ");
    QString column = r.field;
    if (r.field.endsWith(QLatin1String("make"))) {
        column = QStringLiteral("Make");
    } else if (r.field.endsWith(QLatin1String("model"))) {
        column = QStringLiteral("Model");
    } else if (r.field.endsWith(QLatin1String("sets"))) {
        column = QStringLiteral("photos.setID");
        // A set title stands for its set's ID; the first title in list order
        // that holds the typed text wins.
        const QString pattern = QLatin1Char('*') + r.text + QLatin1Char('*');
        const qsizetype pairs = qMin(sets.setIDList.size(), sets.setTitleList.size());
        for (qsizetype k = 0; k < pairs; ++k) {
            if (wildcardMatch(sets.setTitleList[k], pattern)) {
                t = doubledQuotes(sets.setIDList[k]);
                break;
            }
        }
    }
    return QStringLiteral("%1 %2LIKE \"%%3%\"").arg(column, neg, t);
}

SearchSql makeSearchSQL(const SearchForm& form, const SetLists& sets,
                        const QStringList& distanceValues) {
    SearchSql sql;
    QString& where = sql.whereString;
    if (form.quickSearch.isEmpty()) {
        const QString combiner = form.combination == QLatin1String("all") ? QStringLiteral(" AND ")
                                                                          : QStringLiteral(" OR ");
        for (int i = 0; i < int(form.rows.size()); ++i)
            if (!form.rows[std::size_t(i)].text.isEmpty())
                addClause(where, combiner, doFieldButton(form, i, sets));

        const std::array<QString, 3> ranges = {
            dateRangeClause(QStringLiteral("datetaken"), form.takenBeginning, form.takenEnding),
            dateRangeClause(QStringLiteral("dateupload"), form.uploadBeginning, form.uploadEnding),
            dateRangeClause(QStringLiteral("lastupdate"), form.lastBeginning, form.lastEnding)};
        for (const QString& range : ranges)
            if (!range.isEmpty())
                addClause(where, combiner, range);

        const std::array<std::pair<bool, const char*>, 5> checks = {
            {{form.familyCheck, "isfamily = 1"},
             {form.friendCheck, "isfriend = 1"},
             {form.publicCheck, "ispublic = 1"},
             {form.flashCheck, "Flash = \"On, Fired\""},
             {form.videoCheck, "media = \"video\""}}};
        for (const auto& [on, clause] : checks)
            if (on)
                addClause(where, combiner, QString::fromLatin1(clause));

        if (form.viewsValue >= 0 && !form.viewsText.isEmpty()) {
            const QString op = form.viewsOperator == QLatin1String("greater than")
                                   ? QStringLiteral(">")
                                   : QStringLiteral("<");
            addClause(where, combiner,
                      QStringLiteral("(views %1 %2)").arg(op).arg(form.viewsValue));
        }

        if (!form.latlon.isEmpty()) {
            const bool known =
                form.distanceIndex >= 0 && form.distanceIndex < distanceValues.size();
            sql.distance = distanceFilterFor(
                form.latlon, known ? distanceValues[form.distanceIndex].toDouble() : 0.0,
                &sql.centreValid);
            sql.distance.distanceIndex = form.distanceIndex;
        }
    } else {
        // A quick search has no centre: no distance filter is left over from
        // an earlier builder search.
        const QString q = doubledQuotes(form.quickSearch);
        where = QStringLiteral("WHERE title LIKE \"%") + q +
                QStringLiteral("%\" OR description LIKE \"%") + q +
                QStringLiteral("%\" OR tags LIKE \"%") + q +
                QStringLiteral("%\" OR Make LIKE \"%") + q +
                QStringLiteral("%\" OR Model LIKE \"%") + q + QStringLiteral("%\"");
    }

    const QString direction = form.sortRow == 0 ? QStringLiteral("DESC") : QStringLiteral("ASC");
    where += QStringLiteral(" ORDER BY %1 %2").arg(sortColumn(form.sortTitle), direction);
    sql.selectString = kBaseSelect;
    return sql;
}

} // namespace tessaly::search
