#pragma once

#include "support/RadicaleServer.h"
#include "support/XandikosServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vorn::test {

// The servers the round trips run against, one test instance each.
enum class ServerKind { Radicale, Xandikos };

inline std::string serverName(ServerKind kind)
{
    return kind == ServerKind::Radicale ? "Radicale" : "Xandikos";
}

// What gtest prints for a failing instance's parameter.
inline void PrintTo(ServerKind kind, std::ostream* os)
{
    *os << serverName(kind);
}

// The name of a test instance: "On/Suite.case/Xandikos".
inline std::string serverParamName(const ::testing::TestParamInfo<ServerKind>& instance)
{
    return serverName(instance.param);
}

inline bool serverInstalled(ServerKind kind)
{
    return kind == ServerKind::Radicale ? RadicaleServer::installed() : XandikosServer::installed();
}

inline std::unique_ptr<TestCalendarServer> startServer(ServerKind kind)
{
    if (kind == ServerKind::Radicale)
        return std::make_unique<RadicaleServer>();
    return std::make_unique<XandikosServer>();
}

} // namespace vorn::test
