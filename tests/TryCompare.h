#pragma once

#include <QTest>

// QTRY_COMPARE, written so that it builds everywhere: Qt 6.8's macro narrows its time-out to
// int in the code that expands it, which -Wconversion rejects. The same wait: the event loop
// runs until the two compare equal or 5 s have passed, then they are compared.
#define TRY_COMPARE(actual, expected)                                                              \
    do {                                                                                           \
        static_cast<void>(QTest::qWaitFor([&] { return (actual) == (expected); }, 5000));          \
        QCOMPARE(actual, expected);                                                                \
    } while (false)

// QTRY_VERIFY2, for the same reason.
#define TRY_VERIFY2(condition, message)                                                            \
    do {                                                                                           \
        static_cast<void>(QTest::qWaitFor([&] { return bool(condition); }, 5000));                 \
        QVERIFY2(condition, message);                                                              \
    } while (false)
