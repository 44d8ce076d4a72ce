#include "logging/ZVFLogger.h"

#include <gtest/gtest.h>

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
    void SetUp() override { savedLevel = ZVFLogger_getLevel(); }
    void TearDown() override {
        ZVFLogger_setLevel(savedLevel);
        ZVFLogger_setLogFile("");
    }

    int savedLevel = 4;
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
