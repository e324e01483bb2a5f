#pragma once
// Waits, handling events, until the condition holds or the time is up; false when it is up.
#include <QDeadlineTimer>
#include <QTest>
#include <functional>

inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000) {
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}
