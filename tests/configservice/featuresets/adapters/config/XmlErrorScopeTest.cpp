#include "XmlErrorScope.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <libxml/globals.h>
#include <libxml/parser.h>

#include "XmlConfigParser.h"
#include "XmlLibrary.h"
#include "logging/LogCapture.h"
#include "logging/ZVFLogger.h"

using ZVFUnified::XmlErrorScope;
using ZVFUnified::XmlLibrary;

namespace {

int outsideErrors = 0;
void countOutsideError(void*, xmlErrorPtr) { ++outsideErrors; }

ZVFLogger* testLogger() { return ZVFLogger_getLogger("ConfigService-XmlErrorScopeTest"); }

TEST(XmlErrorScopeTest, ParserErrorsGoToTheCallersLoggerAndEarlierHandlersComeBack) {
    XmlLibrary::initialize();
    xmlSetStructuredErrorFunc(nullptr, countOutsideError);
    outsideErrors = 0;
    LogCapture log;
    {
        XmlErrorScope scope(testLogger());
        xmlDocPtr doc = xmlReadMemory("<a><b></a>", 10, "test", nullptr, 0);
        EXPECT_EQ(nullptr, doc);
        EXPECT_GT(scope.errorCount(), 0);
    }
    EXPECT_EQ(0, outsideErrors);
    bool found = false;
    for (const auto& record : log.records()) {
        if (record.message.find("XML error: Opening and ending tag mismatch: b line 1 and a (line 1)") == 0) {
            found = true;
            EXPECT_EQ(3, record.level);
            EXPECT_EQ("ConfigService-XmlErrorScopeTest", record.logger);
        }
    }
    EXPECT_TRUE(found);

    // Outside the scope the handler the thread had before sees the errors.
    xmlDocPtr doc = xmlReadMemory("<a>", 3, nullptr, nullptr, 0);
    EXPECT_EQ(nullptr, doc);
    EXPECT_GT(outsideErrors, 0);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
}

TEST(XmlErrorScopeTest, ADocumentFullOfErrorsLogsABoundedNumberOfRecords) {
    // Undefined namespace prefixes are errors that do not stop the parse.
    std::string xml = "<r>";
    for (int i = 0; i < 200; ++i) {
        xml += "<p" + std::to_string(i) + ":e/>";
    }
    xml += "</r>";
    LogCapture log;
    xmlDocPtr doc = XmlLibrary::readMemory(testLogger(), xml.data(), xml.size(), "test");
    ASSERT_NE(nullptr, doc);
    xmlFreeDoc(doc);
    EXPECT_EQ(static_cast<std::size_t>(XmlErrorScope::MAX_RECORDS), log.count("XML error: Namespace prefix", 3));
    EXPECT_EQ(1u, log.count("Further XML errors of this document are not logged", 3));
}

TEST(XmlErrorScopeTest, ThreadsParseConcurrentlyEachWithItsOwnHandlers) {
    LogCapture log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                ZVFUnified::ConfigMap values;
                ZVFUnified::ConfigKeySet sensitive;
                const std::string good = "<r><g><k" + std::to_string(t) + ">" + std::to_string(i) + "</k" +
                                         std::to_string(t) + "></g></r>";
                EXPECT_TRUE(ZVFUnified::XmlConfigParser::readFromMemory(good, values, sensitive));
                EXPECT_EQ(1u, values.size());
                EXPECT_FALSE(ZVFUnified::XmlConfigParser::readFromMemory("<r><g>", values, sensitive));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(200u, log.count("XML error: ", 3));
}

}  // namespace
