#pragma once

#include <QtGlobal>

// Stops on misuse by the caller (a programming error), also in release builds,
// with a fixed message. Never used for anything that arrives from the network.
#define LF_REQUIRE(condition, message)                                                             \
    do {                                                                                           \
        if (!(condition))                                                                          \
            qFatal("%s", message);                                                                 \
    } while (false)
