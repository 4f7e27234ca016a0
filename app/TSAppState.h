#pragma once

#include "accounts/AccountsRow.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace tessaly {

// What the token lists hold for an account without a token.
inline const QString kNoToken = QStringLiteral("none");

// The run-time values the controller owns, under their own names. Flags that
// menus depend on change only through the controller's setters.
struct TSAppState {
    QString homeFolder;

    // The accounts and the current account.
    QList<AccountsRow> accountRows;
    QStringList authTokenArray;
    QStringList authTokenSecretArray;
    QStringList pixPathArray;
    QStringList webAddressArray;
    QString currentAccountName;
    QString currentWebAddress;
    QString pixPath;
    QString dbPath;
    QString realDbPath;
    int updatesState = 1;

    // Menu validation flags.
    int connectionState = 0; // 0 not connected, 1 connected, 2 an edit waits
    bool resultsShown = false;
    bool infoDownloadRunning = false;
    bool viewerOpen = false;

    // Fixed lists.
    QStringList permissionLabels;
    QStringList distanceValues;

    // Saved searches.
    QVariantList savedSearchList;
    QStringList savedSearchNames;
    int savedSearchIndex = -1;
    QString savedSearchName;

    // Value menus are filled again from each newly opened archive.
    bool tagsMenuFilled = false;
    bool makeMenuFilled = false;
    bool modelMenuFilled = false;

    // The result list.
    QStringList resultIDs;
    // Which information the viewer shows: 2 the EXIF text, else Flickr's
    // (0 after each new search).
    int infoMode = 0;

    // The first account with exactly this name, or -1.
    int indexOfAccount(const QString& name) const {
        for (qsizetype i = 0; i < accountRows.size(); ++i)
            if (accountRows[i].accountName() == name)
                return int(i);
        return -1;
    }
};

} // namespace tessaly
