#pragma once

// What the flow tests share: Tessaly connected to a stand-in of a chosen size, and the archive read back.
#include "ServiceFixture.h"

namespace tessaly::test {

using Row = QMap<QString, QString>;

class FlowFixture : public ServiceFixture {
protected:
    // A stand-in with `photos` pictures (and `sets` sets), anna connected to it.
    void connectTo(int photos, int sets = -1) {
        fakeflickr::Options options;
        options.photos = photos;
        options.sets = sets;
        startService(options);
        connectAccount();
    }
    // Each row's cells by column name ("<null>" for NULL), keyed by its first cell.
    QMap<QString, Row> table(const QString& sql = "SELECT * FROM photos", const QVariantList& args = {}) {
        QMap<QString, Row> rows;
        app->database().run(sql, args, [&](const SqlRow& row) {
            Row& r = rows[row.value(0)];
            for (int i = 0; i < row.count(); ++i)
                r[row.names[i]] = row.isNull(i) ? QStringLiteral("<null>") : row.value(i);
            return 0;
        });
        return rows;
    }
    QString cell(const QString& sql, const QVariantList& args = {}) {
        QString value;
        app->database().run(sql, args, [&](const SqlRow& row) { return value = row.value(0), 1; });
        return value;
    }
    int count(const QString& sql, const QVariantList& args = {}) { return cell(sql, args).toInt(); }
    QString fileUrl(const fakeflickr::Photo& p, char size) const {
        return p.hasSize(size) ? service->baseUrl() + "/" + p.server + "/" + p.fileName(size) : QString();
    }
    void clearService() { service->clearFaults(), service->clearLog(); }
};

} // namespace tessaly::test
