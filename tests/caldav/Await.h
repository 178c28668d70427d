#pragma once

#include "caldav/DavAccount.h"
#include "caldav/DavError.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace vorn::test {

inline caldav::DavAccount account(const QUrl& url, const QString& user = {}, const QString& password = {},
                                  int timeoutMs = 30'000)
{
    caldav::DavAccount a;
    a.url = url;
    a.user = user;
    a.password = password;
    a.timeoutMs = timeoutMs;
    return a;
}

// Starts an operation that takes a callback and runs the event loop until it answers (or 20 s pass,
// which leaves the result's error saying so).
template <class T, class Start> caldav::DavResult<T> await(Start start)
{
    // Shared, so a callback that comes after we gave up writes somewhere that still exists.
    // A loop of our own, not QTest::qWaitFor: its naps between turns would throttle a server in this
    // process to a trickle.
    auto out = std::make_shared<std::optional<caldav::DavResult<T>>>();
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    start([out, waiting](caldav::DavResult<T> r) {
        *out = std::move(r);
        if (waiting)
            waiting->quit();
    });
    QTimer::singleShot(20'000, &loop, &QEventLoop::quit);
    if (!out->has_value())
        loop.exec();
    if (!out->has_value()) {
        ADD_FAILURE() << "no answer in 20 s";
        return {caldav::DavError{caldav::DavErrorKind::Network, 0, QStringLiteral("no callback")}, {}};
    }
    return std::move(**out);
}

} // namespace vorn::test
