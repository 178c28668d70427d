#pragma once

#include "transfer/PlannerWorkspace.h"

#include <QUrl>

#include <vector>

namespace vorn::test {

// A desktop that says what the test tells it to and remembers the URLs it was asked to open.
struct FakeWorkspace final : PlannerWorkspace {
    bool isPlannerInstalled() const override { return installed; }
    bool openUrl(const QUrl& url) override
    {
        opened.push_back(url);
        return opens;
    }
    bool installed = true;
    bool opens = true;
    std::vector<QUrl> opened;
};

} // namespace vorn::test
