#pragma once

#include <QString>

namespace tessaly {

// What an API call was issued for, captured when it starts. Its answer is
// handled against this, never against whatever is current when it arrives;
// an answer whose generation is no longer the current account's is dropped.
struct CallTicket {
    QString stage;
    QString accountName;
    QString token;
    QString tokenSecret;
    quint64 generation = 0;
};

} // namespace tessaly
