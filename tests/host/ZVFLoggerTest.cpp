#include "logging/ZVFLogger.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "TempDir.h"
#include "logging/LogCapture.h"

namespace {

ZVFLogger* testLogger = ZVFLogger_getLogger("Test-ZVFLoggerTest");

}  // namespace

class ZVFLoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLevel = ZVFLogger_getLevel();
        const char* home = std::getenv("HOME");
        savedHome = home ? home : "";
        hadHome = home != nullptr;
    }
    void TearDown() override {
        ZVFLogger_setLevel(savedLevel);
        ZVFLogger_setLogFile("");
        if (hadHome) {
            setenv("HOME", savedHome.c_str(), 1);
        } else {
            unsetenv("HOME");
        }
    }

    int savedLevel = 4;
    std::string savedHome;
    bool hadHome = false;
};

TEST_F(ZVFLoggerTest, RecordsAboveTheThresholdAreNotWritten) {
    ZVFLogger_setLevel(3);
    LogCapture capture;
    for (int level = 1; level <= 5; ++level) {
        ZVFLog(testLogger, level, __FILE__, __LINE__, __func__, "level " + std::to_string(level));
    }
    EXPECT_EQ((std::vector<std::string>{"level 1", "level 2", "level 3"}), capture.messages());
    EXPECT_FALSE(ZVFLog_isDebugEnabled(testLogger));
    EXPECT_TRUE(ZVFLog_isLevelEnabled(testLogger, 3));
    EXPECT_FALSE(ZVFLog_isLevelEnabled(testLogger, 4));
    ZVFLogger_setLevel(5);
    EXPECT_TRUE(ZVFLog_isDebugEnabled(testLogger));
}

TEST_F(ZVFLoggerTest, RecordCarriesLoggerLocationAndConvertedWideMessage) {
    LogCapture capture;
    ZVFLog(testLogger, 2, "/src/dir/ConfigAdapter.cpp", 123, "start", std::wstring(L"wide \x00E9t\x00E9"));
    std::vector<LogCapture::Record> records = capture.records();
    ASSERT_EQ(1u, records.size());
    const LogCapture::Record& r = records[0];
    EXPECT_EQ(std::make_tuple(2, std::string("Test-ZVFLoggerTest"), 123, std::string("start"),
                              std::string("wide \xC3\xA9t\xC3\xA9")),
              std::make_tuple(r.level, r.logger, r.line, r.functionName, r.message));
    EXPECT_EQ(1u, capture.count("wide", 2));
    EXPECT_EQ(0u, capture.count("wide", 3));
    EXPECT_EQ(testLogger, ZVFLogger_getLogger("Test-ZVFLoggerTest"));
}

TEST_F(ZVFLoggerTest, PersonalDataIsMasked) {
    setenv("HOME", "/home/alice", 1);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"user alice.smith+tag@example.co.uk logged in", "user <email> logged in"},
        {"mail a@b.com, c@d.org.", "mail <email>, <email>."},
        {"not an address: @home or a@b", "not an address: @home or a@b"},
        {"server 192.168.10.254:5060 down", "server <ipv4>:5060 down"},
        {"version 1.2.3 and 999.1.1.1 and 1.2.3.4.5", "version 1.2.3 and 999.1.1.1 and 1.2.3.4.5"},
        {"at 10.0.0.1.", "at <ipv4>."},
        {"v6 2001:db8::ff00:42:8329 and [::1]:443", "v6 <ipv6> and [<ipv6>]:443"},
        {"mapped ::ffff:10.1.2.3 here", "mapped <ipv6> here"},
        {"FE80:0000:0000:0000:0202:B3FF:FE1E:8329", "<ipv6>"},
        {"ConfigAdapter::start at 12:30:45 face::cafe", "ConfigAdapter::start at 12:30:45 <ipv6>"},
        {"file /home/alice/.config/nuvrix/x.dat", "file ~/.config/nuvrix/x.dat"},
        {"/home/alice", "~"},
        {"/home/alicex/file and /home/alice.bak", "/home/alicex/file and /home/alice.bak"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, ZVFLogger_replacePIIData(c.first)) << c.first;
    }
    // Hostile input: long runs of the characters the scanners look at.
    const std::string hostile(100000, '@');
    EXPECT_EQ(hostile, ZVFLogger_replacePIIData(hostile));
    EXPECT_EQ(std::string(70000, ':'), ZVFLogger_replacePIIData(std::string(70000, ':')));
}

TEST_F(ZVFLoggerTest, ConcurrentRecordsAreWholeLines) {
    nuvrixtest::TempDir dir;
    const std::string file = dir.file("log.txt");
    ASSERT_TRUE(ZVFLogger_setLogFile(file));
    const int kThreads = 4;
    const int kRecords = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string padding(200, static_cast<char>('a' + t));
            for (int i = 0; i < kRecords; ++i) {
                ZVFLog(testLogger, 4, __FILE__, __LINE__, "writer",
                       "thread " + std::to_string(t) + " record " + std::to_string(i) + " " + padding);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ZVFLog(testLogger, 4, __FILE__, __LINE__, "writer", "two\nlines");
    ASSERT_TRUE(ZVFLogger_setLogFile(""));

    std::istringstream lines(nuvrixtest::readFileBytes(file));
    const std::regex shape(
        R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z \[4 INFO\] \d+ Test-ZVFLoggerTest ZVFLoggerTest\.cpp:\d+ writer: (.*))");
    std::set<std::string> seen;
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, shape)) << line;
        seen.insert(match[1]);
        ++count;
    }
    EXPECT_EQ(kThreads * kRecords + 1, count);
    EXPECT_EQ(1u, seen.count("two\\nlines"));
    for (int t = 0; t < kThreads; ++t) {
        const std::string padding(200, static_cast<char>('a' + t));
        for (int i = 0; i < kRecords; ++i) {
            ASSERT_EQ(1u, seen.count("thread " + std::to_string(t) + " record " + std::to_string(i) + " " + padding));
        }
    }
}
