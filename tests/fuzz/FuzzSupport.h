#pragma once

#include <cstdio>
#include <cstdlib>

#include <QtGlobal>

// A property that does not hold is a finding: say which and abort, so libFuzzer keeps the
// input that broke it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__,        \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Qt's warnings about odd input are expected here; printing them would only slow the run.
inline void silenceQtMessages() {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}
