#pragma once

#include <QString>

namespace tessaly {

// One row of the accounts table. Never changed after creation: an account
// whose data changes is replaced by a new row.
class AccountsRow {
public:
    AccountsRow(const QString& accountName, const QString& accountLoc, const QString& accountUrl)
        : m_accountName(accountName), m_accountLoc(accountLoc), m_accountUrl(accountUrl) {}

    QString accountName() const { return m_accountName; }
    QString accountLoc() const { return m_accountLoc; }
    QString accountUrl() const { return m_accountUrl; }

    // The value for a column identifier of the accounts table.
    QString valueForKey(const QString& key) const;

private:
    QString m_accountName;
    QString m_accountLoc;
    QString m_accountUrl;
};

} // namespace tessaly
