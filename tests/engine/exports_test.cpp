// SPDX-License-Identifier: GPL-3.0-or-later
// The library shows exactly the engine's 18 entry points and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

TEST(ExportsTest, OnlyThe18EntryPointsAreExported) {
    const std::string cmd = std::string("nm -D --defined-only '") + ZENT_SOFTPHONE_FILE + "'";
    FILE* nm = popen(cmd.c_str(), "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> names;
    char line[1024];
    while (std::fgets(line, sizeof line, nm)) {
        std::string l(line);
        if (!l.empty() && l.back() == '\n') l.pop_back();
        size_t sp = l.rfind(' ');
        if (sp == std::string::npos || sp < 2) continue;
        const char kind = l[sp - 1];
        if (kind == 'A') continue;  // version node
        names.insert(l.substr(sp + 1));
    }
    ASSERT_EQ(pclose(nm), 0);
    const std::set<std::string> expected = {"SphSipSetRegStatsCalllBack",
                                            "SphSipSetCallStatsCalllBack",
                                            "SphSipSetAudioStatsCalllBack",
                                            "SphSipSetIncomingCalllBack",
                                            "SphSipRecvMessageCalllBack",
                                            "SphSipInfo",
                                            "SphSetAudioCode",
                                            "SphSipReg",
                                            "SphSipGetPlayDeviceCount",
                                            "SphSipGetRecvDeviceCount",
                                            "SphSipGetPlayDeviceName",
                                            "SphSipGetRecvDeviceName",
                                            "SphSiMakeCall",
                                            "SphSipAnswer",
                                            "SphSipHanpCall",
                                            "SphSipSendDigit",
                                            "SphSipSendMessage",
                                            "SphSipDestory"};
    std::set<std::string> rest;
    for (const std::string& n : names)
        if (!expected.count(n) && n != "__bss_start" && n != "_edata" && n != "_end" &&
            n != "linphone_address_unref")  // the guard in front of the stack's own (linphone_guard.cpp)
            rest.insert(n);
    EXPECT_TRUE(rest.empty()) << "also exported: " << *rest.begin();
    for (const std::string& n : expected) EXPECT_TRUE(names.count(n)) << "missing " << n;
}

}  // namespace
