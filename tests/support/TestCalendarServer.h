#pragma once

#include <QString>
#include <QUrl>

namespace vorn::test {

// A CalDAV server of the test's own on 127.0.0.1, whichever it is: what a round trip needs to reach it.
class TestCalendarServer {
public:
    virtual ~TestCalendarServer() = default;
    virtual QString name() const = 0;
    virtual bool ready() const = 0;
    virtual QString problem() const = 0;
    virtual QUrl url() const = 0;
    virtual QString user() const = 0;
    virtual QString password() const = 0;
    // The user's calendar home, as a path ending in '/'.
    virtual QString homePath() const = 0;
    // False for a server that lets anyone in: a wrong password is then never refused.
    virtual bool checksPasswords() const { return true; }
};

} // namespace vorn::test
