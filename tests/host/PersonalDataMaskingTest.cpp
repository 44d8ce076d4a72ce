// ZVFLogger_replacePIIData, the masking every log line of a path, a server
// or a user's answer goes through.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ScopedEnvironment.h"
#include "logging/ZVFLogger.h"

namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

class PersonalDataMaskingTest : public ::testing::Test {
protected:
    void SetUp() override { environment.set("HOME", "/home/alice"); }
    static void expectMasked(const Cases& cases) {
        for (const auto& c : cases) {
            EXPECT_EQ(c.second, ZVFLogger_replacePIIData(c.first)) << c.first;
        }
    }

    nuvrixtest::ScopedEnvironment environment;
};

TEST_F(PersonalDataMaskingTest, EmailAddressesWithADottedDomainAreMasked) {
    expectMasked({
        {"user alice.smith+tag@example.co.uk logged in", "user <email> logged in"},
        {"mail a@b.com, c@d.org.", "mail <email>, <email>."},
        {"not an address: @home or a@b", "not an address: @home or a@b"},
        {"a@.com and a@b. and x@y-.z-", "a@.com and a@b. and <email>-"},
        {"", ""},
    });
}

TEST_F(PersonalDataMaskingTest, Ipv4AddressesStandingAloneAreMasked) {
    expectMasked({
        {"server 192.168.10.254:5060 down", "server <ipv4>:5060 down"},
        {"version 1.2.3 and 999.1.1.1 and 1.2.3.4.5", "version 1.2.3 and 999.1.1.1 and 1.2.3.4.5"},
        {"at 10.0.0.1.", "at <ipv4>."},
        {"v1.2.3.4 and 1.2.3.4x and 0.0.0.0", "v1.2.3.4 and 1.2.3.4x and <ipv4>"},
    });
}

TEST_F(PersonalDataMaskingTest, Ipv6AddressesStandingAloneAreMasked) {
    expectMasked({
        {"v6 2001:db8::ff00:42:8329 and [::1]:443", "v6 <ipv6> and [<ipv6>]:443"},
        {"mapped ::ffff:10.1.2.3 here", "mapped <ipv6> here"},
        {"FE80:0000:0000:0000:0202:B3FF:FE1E:8329", "<ipv6>"},
        {"ConfigAdapter::start at 12:30:45 face::cafe", "ConfigAdapter::start at 12:30:45 <ipv6>"},
        {"word::cafe and cafe::beef_x", "word::cafe and cafe::beef_x"},
    });
}

TEST_F(PersonalDataMaskingTest, HomeDirectoryIsMaskedOnlyAsAWholePathPrefix) {
    expectMasked({
        {"file /home/alice/.config/nuvrix/x.dat", "file ~/.config/nuvrix/x.dat"},
        {"/home/alice", "~"},
        {"/home/alicex/file and /home/alice.bak and /home/alice-2", "/home/alicex/file and /home/alice.bak and "
                                                                     "/home/alice-2"},
    });
    environment.set("HOME", "/home/alice///");
    expectMasked({{"/home/alice/x", "~/x"}});
    // A home of "/" or none hides nothing.
    environment.set("HOME", "/");
    expectMasked({{"/etc/x", "/etc/x"}});
    environment.set("HOME", nullptr);
    expectMasked({{"/home/alice/x", "/home/alice/x"}});
}

TEST_F(PersonalDataMaskingTest, EveryKindInOneLineAndHostileRunsInLinearTime) {
    expectMasked({{"/home/alice/a.dat from bob@example.com at 10.1.2.3 and fe80::1",
                   "~/a.dat from <email> at <ipv4> and <ipv6>"}});
    for (char c : {'@', ':', '1', '.'}) {
        const std::string hostile(200000, c);
        EXPECT_EQ(hostile, ZVFLogger_replacePIIData(hostile)) << c;
    }
}

}  // namespace
