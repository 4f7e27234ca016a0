#include "PathRules.h"

#include "AccountsRow.h"

namespace tessaly {

QString AccountsRow::valueForKey(const QString& key) const {
    if (key == QLatin1String("accountName"))
        return m_accountName;
    if (key == QLatin1String("accountLoc"))
        return m_accountLoc;
    if (key == QLatin1String("accountUrl"))
        return m_accountUrl;
    return {};
}

namespace paths {

namespace {
const QString kPixSuffix = QStringLiteral("_pix");
}

QString pixFolder(const QString& location, const QString& name) {
    return location + QStringLiteral("/%1_pix").arg(name);
}

QString databaseFile(const QString& location, const QString& name) {
    return location + QStringLiteral("/%1_db").arg(name);
}

QString baseFolder(const QString& homeFolder) {
    return homeFolder + QStringLiteral("/Pictures/Tessaly");
}

QString lastPathComponent(const QString& path) {
    const int slash = int(path.lastIndexOf(QLatin1Char('/')));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString locationFromPath(const QString& path) {
    const int slash = int(path.lastIndexOf(QLatin1Char('/')));
    return slash < 0 ? QString() : path.left(slash);
}

QString accountNameFromPixFolder(const QString& pixFolder) {
    QString name = lastPathComponent(pixFolder);
    if (name.endsWith(kPixSuffix))
        name.chop(kPixSuffix.size());
    return name;
}

bool pixFolderBelongsTo(const QString& pixFolder, const QString& name) {
    return !name.isEmpty() && lastPathComponent(pixFolder) == name + kPixSuffix;
}

bool isValidAccountName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString errorLogFor(const QString& pixFolder) {
    QString log = pixFolder;
    if (lastPathComponent(log).endsWith(kPixSuffix))
        log.chop(kPixSuffix.size());
    return log + QStringLiteral("_errorlog");
}

} // namespace paths
} // namespace tessaly
