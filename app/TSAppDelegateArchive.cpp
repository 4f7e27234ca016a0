// The archive database: opening it and showing its schema.
#include "TSAppDelegate.h"

#include "PlatformServices.h"
#include "archive/CreatorCodes.h"
#include "archive/Schema.h"

#include <sqlite3.h>

namespace tessaly {

namespace {
bool isNotADatabase(int code) { return code == SQLITE_CORRUPT || code == SQLITE_NOTADB; }
} // namespace

void TSAppDelegate::openDatabase(const QString& path) {
    const SqlResult opened = path.isEmpty() ? SqlResult{SQLITE_CANTOPEN, SQLITE_CANTOPEN, {}}
                                            : m_database.open(path);
    if (path.isEmpty())
        m_database.close();
    // The value menus list what the previous archive held.
    m_state.tagsMenuFilled = m_state.makeMenuFilled = m_state.modelMenuFilled = false;
    if (!opened.ok()) {
        if (isNotADatabase(opened.code) || path.isEmpty())
            m_platform.criticalAlert("Open Failed",
                                     QString("%1 is not a valid database file.").arg(path));
        else
            m_platform.criticalAlert({}, QString("SQL Error: %1 %2").arg(path, opened.message));
        return;
    }

    setCreatorAndTypeCodes(path);

    SqlResult created = m_database.exec(schema::kCreatePhotos);
    if (created.ok())
        created = m_database.exec(schema::kCreateSets);
    if (created.ok()) {
        m_controls->searchDbButton->setEnabled(true);
        return;
    }
    // Nothing may go on writing to a file that is not an archive.
    m_database.close();
    if (isNotADatabase(created.code))
        m_platform.criticalAlert("Open Failed", "This is not a valid database file.");
    else
        m_platform.criticalAlert(
            {}, QString("SQL Error: %1 %2").arg(created.code).arg(created.message));
}

void TSAppDelegate::showSchema() { m_platform.alert("Database Schema", schema::kSchemaDescription); }

} // namespace tessaly
