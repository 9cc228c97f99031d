// The real plug-in module, a private copy per call: each test starts with fresh process-wide state.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hostkit/Host.h"
#include "hostkit/Module.h"

namespace seavast_test {

inline std::shared_ptr<hostkit::Module> fresh_module()
{
    std::string error;
    hostkit::ModuleOptions options;
    options.private_copy = true;
    auto module = hostkit::Module::load(std::string(SEAVAST_BIN_DIR) + "/Seavast.so", options, &error);
    EXPECT_TRUE(module) << error;
    return module;
}

inline hostkit::HostConfig config_for_api(int major)
{
    hostkit::HostConfig config;
    config.api_major = A_short(major);
    return config;
}

// Every note the host made, one per line, for failure messages.
inline std::string misuse_text(const hostkit::Host& host)
{
    std::string text;
    for (const std::string& m : host.misuse())
        text += "  " + m + "\n";
    for (const std::string& m : hostkit::orphan_misuse())
        text += "  (orphan) " + m + "\n";
    return text;
}

#define EXPECT_NO_MISUSE(host)                                                                      \
    EXPECT_TRUE((host).misuse().empty() && hostkit::orphan_misuse().empty())                        \
        << "plug-in misuse:\n"                                                                      \
        << ::seavast_test::misuse_text(host)

} // namespace seavast_test
