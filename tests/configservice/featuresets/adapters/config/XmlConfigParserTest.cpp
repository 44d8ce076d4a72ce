#include "XmlConfigParser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <libxml/parser.h>

#include "HostTest.h"
#include "TempDir.h"
#include "XmlDocFreer.h"
#include "logging/LogCapture.h"
#include "zvf/SecureString.h"
#include "zvf/common/FipsUtils.h"
#include "zvf/storage/EncryptFileUtils.h"

using ZVFUnified::ConfigKeySet;
using ZVFUnified::ConfigMap;
using ZVFUnified::XmlConfigParser;
using ZVFUnified::XmlDocFreer;

namespace {

const char* const INVALID_SYNTAX =
    "\n************\nError Invalid XML syntax detected - Unable to read xml configuration.\n************";

// Real encrypted storage in the fixture's private directories.
class XmlConfigParserTest : public nuvrixtest::HostTest {
protected:
    bool read(const std::string& xml) { return XmlConfigParser::readFromMemory(xml, values, sensitive); }

    ConfigMap values;
    ConfigKeySet sensitive;
};

// The first occurrence of a key wins across groups and keys are lower-cased;
// text and CDATA pieces are joined, then trimmed; names and values are decoded
// from UTF-8; structured content is the whole dumped element; a root without
// element children gives no entry; in FIPS mode peer-to-peer calls read false.
TEST_F(XmlConfigParserTest, DocumentsGiveTheirEntries) {
    const struct {
        std::string xml;
        ConfigMap expected;
        int fips;
    } cases[] = {
        {"<Any><A><Server>a</Server><SERVER>b</SERVER></A><B><server>c</server><CamelKey>d</CamelKey></B></Any>",
         {{L"camelkey", L"d"}, {L"server", L"a"}}, 0},
        {"<r><g><k> \n a<![CDATA[ <b> ]]>c \t</k><e></e><blank>   </blank></g></r>",
         {{L"blank", L""}, {L"e", L""}, {L"k", L"a <b> c"}}, 0},
        {"<r><g><Gr\xc3\xbc\xc3\x9f" "E>W\xc3\xa9rt \xe2\x82\xac</Gr\xc3\xbc\xc3\x9f" "E></g></r>",
         {{L"gr\u00fc\u00dfe", L"W\u00e9rt \u20ac"}}, 0},
        {"<r><g><Mixed>x <!--note--> y</Mixed><Tree a=\"1\"><i>v</i>&amp;</Tree></g></r>",
         {{L"mixed", L"<Mixed>x <!--note--> y</Mixed>"}, {L"tree", L"<Tree a=\"1\"><i>v</i>&amp;</Tree>"}}, 0},
        {"<Nuvrix/>", {}, 0},
        {"<Nuvrix>text<!--c--><?pi x?></Nuvrix>", {}, 0},
        {"<r><g><Telephony_P2P_Enabled>true</Telephony_P2P_Enabled><x>true</x></g></r>",
         {{L"telephony_p2p_enabled", L"false"}, {L"x", L"true"}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        values.clear();
        zvf::common::FipsUtils::setFipsOverrideForTesting(c.fips);
        EXPECT_TRUE(read(c.xml));
        zvf::common::FipsUtils::setFipsOverrideForTesting(-1);
        EXPECT_EQ(c.expected, values);
    }
}

TEST_F(XmlConfigParserTest, SensitiveAttributeIsMatchedInAnyCaseAndReadWithToBool) {
    ASSERT_TRUE(read("<r><g><k1 Sensitive=\"true\">1</k1><k2 SENSITIVE=\"YES\">2</k2><k3 sensitive=\"false\">3</k3>"
                     "<k4 sensitive=\"\">4</k4><k5 other=\"true\">5</k5>"
                     "<k6 sensitive=\"no\" Sensitive=\"true\">6</k6></g></r>"));
    EXPECT_EQ(ConfigKeySet({L"k1", L"k2"}), sensitive);
    EXPECT_EQ(6u, values.size());
}

// Parsing into a filled map keeps its entries; password text is zeroed in the
// tree once copied, other text is left alone.
TEST_F(XmlConfigParserTest, PasswordTextInsideTheTreeIsZeroedAfterItWasCopied) {
    values[L"User"] = L"held";
    const std::string xml =
        "<r><g><ConnectionPassword> secret1 </ConnectionPassword><bdiconnectionpassword>secr<![CDATA[et2]]>"
        "</bdiconnectionpassword><User>name</User><BDIConnectionPassword>later</BDIConnectionPassword></g></r>";
    std::shared_ptr<xmlDoc> doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr, 0),
                                XmlDocFreer());
    ASSERT_TRUE(doc);
    ASSERT_TRUE(XmlConfigParser::parseXmlConfig(doc, values, sensitive));
    EXPECT_EQ(L"secret1", values[L"connectionpassword"]);
    EXPECT_EQ(L"secret2", values[L"BDIConnectionPassword"]);
    EXPECT_EQ(L"held", values[L"user"]);

    xmlNodePtr entry = xmlDocGetRootElement(doc.get())->children->children;
    EXPECT_EQ(std::string(9, '\0'), std::string(reinterpret_cast<const char*>(entry->children->content), 9));
    entry = entry->next;
    // Each piece of a password given in pieces.
    EXPECT_EQ(std::string(4, '\0'), std::string(reinterpret_cast<const char*>(entry->children->content), 4));
    EXPECT_EQ(std::string(3, '\0'), std::string(reinterpret_cast<const char*>(entry->children->next->content), 3));
    entry = entry->next;
    EXPECT_STREQ("name", reinterpret_cast<const char*>(entry->children->content));
    // A duplicate is skipped before its text is read, so it keeps its text.
    entry = entry->next;
    EXPECT_STREQ("later", reinterpret_cast<const char*>(entry->children->content));
}

// Both clear the map; only the document that does not parse is logged.
TEST_F(XmlConfigParserTest, EmptyTextAndDocumentThatDoesNotParseGiveFalse) {
    values[L"old"] = L"x";
    LogCapture log;
    EXPECT_FALSE(read(""));
    EXPECT_TRUE(values.empty());
    EXPECT_TRUE(log.records().empty());
    values[L"old"] = L"x";
    EXPECT_FALSE(read("<Nuvrix><CachedConfig><a>1</a></Nuvrix>"));
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(1u, log.count(INVALID_SYNTAX, 2));
    EXPECT_TRUE(log.contains("XML error: Opening and ending tag mismatch", 3));
    for (const auto& record : log.records()) {
        EXPECT_EQ("ConfigService-XmlConfigParser", record.logger);
    }
}

TEST_F(XmlConfigParserTest, NullDocumentAndDocumentWithoutRootAreRejected) {
    LogCapture log;
    EXPECT_FALSE(XmlConfigParser::parseXmlConfig(nullptr, values, sensitive));
    EXPECT_EQ(1u, log.count(INVALID_SYNTAX, 2));
    std::shared_ptr<xmlDoc> rootless(xmlNewDoc(BAD_CAST "1.0"), XmlDocFreer());
    EXPECT_FALSE(XmlConfigParser::parseXmlConfig(rootless, values, sensitive));
    EXPECT_EQ(1u, log.count("XML document root element not available.", 3));
}

TEST_F(XmlConfigParserTest, WriterProducesTheCachedConfigDocumentAndReadsBackTheSameMap) {
    ConfigMap written{{L"Server", L"a & <b>"}, {L"alpha", L"\"q\""}, {L"empty", L""}};
    sensitive.insert(L"Server");
    std::string document;
    ASSERT_TRUE(XmlConfigParser::writeToMemory(document, written));
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<Nuvrix>\n"
              " <CachedConfig>\n"
              "  <alpha>&quot;q&quot;</alpha>\n"
              "  <empty></empty>\n"
              "  <Server>a &amp; &lt;b&gt;</Server>\n"
              " </CachedConfig>\n"
              "</Nuvrix>\n",
              document);
    ConfigKeySet readSensitive;
    ASSERT_TRUE(XmlConfigParser::readFromMemory(document, values, readSensitive));
    EXPECT_EQ((ConfigMap{{L"alpha", L"\"q\""}, {L"empty", L""}, {L"server", L"a & <b>"}}), values);
    EXPECT_TRUE(readSensitive.empty());
}

TEST_F(XmlConfigParserTest, EntriesNoDocumentCouldHoldAsWrittenComeBackEscapedBesideTheOthers) {
    // Keys that are no element name (here or beyond the first ten million
    // bytes), and characters XML 1.0 cannot carry.
    const ConfigMap written{{L"plain", L"1"},
                            {L"with space", L"a"},
                            {L"<&>", L"b"},
                            {L"nbsp\u00a0key", L"c"},
                            {L"9digit", L"d"},
                            {L"ns:key", L"e"},
                            {L"", L"empty key"},
                            {std::wstring(60000, L'k'), L"long name"},
                            {L"controls", std::wstring(L" x\0y\x01\\ ", 6)},
                            {L"k\x1F\xFFFE", std::wstring(1, wchar_t(0xDC00))},
                            // A long name beyond the parser's look-ahead limit.
                            {L"big", std::wstring(9999000, L'v')},
                            {L"z" + std::wstring(500, L'z'), L"after"}};
    std::string document;
    ASSERT_TRUE(XmlConfigParser::writeToMemory(document, written));
    ASSERT_TRUE(read(document));
    EXPECT_TRUE(written == values);

    ASSERT_TRUE(XmlConfigParser::writeToMemory(document, ConfigMap{{L"a b", L"\x01"}}));
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<Nuvrix>\n"
              " <CachedConfig>\n"
              "  <entry escaped=\"true\">\n"
              "   <key>a b</key>\n"
              "   <value>\\u0001</value>\n"
              "  </entry>\n"
              " </CachedConfig>\n"
              "</Nuvrix>\n",
              document);

    // A value no XML text can hold is left out; the others are written.
    LogCapture log;
    ASSERT_TRUE(XmlConfigParser::writeToMemory(document, ConfigMap{{L"kept", L"1"}, {L"huge", std::wstring(10000001, L'x')}}));
    ASSERT_TRUE(read(document));
    EXPECT_EQ((ConfigMap{{L"kept", L"1"}}), values);
    EXPECT_EQ(1u, log.count("Left the value of key [huge] out of the cached configuration: it is longer than one XML "
                            "text can hold",
                            2));

    // More entries than the parser reads back: no document at all.
    ConfigMap many;
    for (int i = 0; i < 100000; ++i) {
        many.emplace_hint(many.end(), L"k" + std::to_wstring(1000000 + i), L"v");
    }
    document = "unchanged";
    EXPECT_FALSE(XmlConfigParser::writeToMemory(document, many));
    EXPECT_EQ("unchanged", document);
    EXPECT_EQ(1u, log.count("markup items would not be read back and is not written", 2));
}

TEST_F(XmlConfigParserTest, EncryptedFileRoundTripCreatesTheParentDirectoryAndLogsTheStoredName) {
    const std::string path = configDir + "/Cache/deeper/cachedTFTPConfigStore.dat";
    LogCapture log;
    ASSERT_TRUE(XmlConfigParser::writeToFile(path, ConfigMap{{L"TftpServer1", L"10.0.0.1"}}));
    EXPECT_TRUE(log.contains("data written to file: cachedTFTPConfigStore.dat", 4));
    values[L"stale"] = L"x";
    ASSERT_TRUE(XmlConfigParser::readFromFile(path, values, sensitive));
    EXPECT_EQ((ConfigMap{{L"tftpserver1", L"10.0.0.1"}}), values);
}

TEST_F(XmlConfigParserTest, UrlProvisioningFilesUseCategoryZeroAndAllOthersCategoryTwo) {
    using zvf::storage::EncryptFileUtils;
    const std::string provisioning = configDir + "/Cache/cachedUrlProvisioningConfigStore.dat";
    const std::string other = configDir + "/Cache/cachedurlprovisioningconfigstore.dat";
    ASSERT_TRUE(XmlConfigParser::writeToFile(provisioning, ConfigMap{{L"ServicesDomain", L"a.b"}}));
    ASSERT_TRUE(XmlConfigParser::writeToFile(other, ConfigMap{{L"ServicesDomain", L"c.d"}}));

    zvf::SecureString data;
    EXPECT_TRUE(EncryptFileUtils::readDataFromFile(provisioning, data, FileCategoryType::General));
    EXPECT_FALSE(EncryptFileUtils::readDataFromFile(provisioning, data, FileCategoryType::Configuration));
    EXPECT_TRUE(EncryptFileUtils::readDataFromFile(other, data, FileCategoryType::Configuration));
    EXPECT_FALSE(EncryptFileUtils::readDataFromFile(other, data, FileCategoryType::General));

    // A file written under the other category does not read.
    const std::string misfiled = configDir + "/Cache/cachedPresenceConfigStore.dat";
    ASSERT_TRUE(EncryptFileUtils::writeDataToFile(misfiled, zvf::SecureString("<r><g><k>v</k></g></r>"),
                                                  FileCategoryType::General));
    LogCapture log;
    EXPECT_FALSE(XmlConfigParser::readFromEncryptedFile(misfiled, values, sensitive));
    EXPECT_TRUE(log.contains("Failed to read XML document: cachedPresenceConfigStore.dat or "
                             "cachedPresenceConfigStore.dat",
                             3));
    EXPECT_TRUE(XmlConfigParser::readFromEncryptedFile(provisioning, values, sensitive));
    EXPECT_EQ(L"a.b", values[L"servicesdomain"]);
}

TEST_F(XmlConfigParserTest, EncryptedFileWithInvalidXmlIsLoggedWithBothNames) {
    const std::string path = configDir + "/settings.xml";
    ASSERT_TRUE(zvf::storage::EncryptFileUtils::writeDataToFile(path, zvf::SecureString("<r><g>"),
                                                                FileCategoryType::Configuration));
    LogCapture log;
    EXPECT_FALSE(XmlConfigParser::readFromEncryptedFile(path, values, sensitive));
    EXPECT_TRUE(log.contains("XML in file did not exist or is an invalid XML document: settings.xml or settings.dat",
                             3));
}

TEST_F(XmlConfigParserTest, PlainWriteSavesTheParsedTextAndRefusesTextThatDoesNotParse) {
    const std::string path = configDir + "/plain/out.xml";
    ASSERT_TRUE(XmlConfigParser::writeToFile(path, std::string("<Nuvrix><a x='1'>v</a></Nuvrix>")));
    EXPECT_EQ("<?xml version=\"1.0\"?>\n<Nuvrix><a x=\"1\">v</a></Nuvrix>\n", nuvrixtest::readFileBytes(path));

    const std::string broken = configDir + "/other/broken.xml";
    EXPECT_FALSE(XmlConfigParser::writeToFile(broken, std::string("<Nuvrix>")));
    EXPECT_FALSE(std::filesystem::exists(broken));
    EXPECT_TRUE(std::filesystem::is_directory(configDir + "/other"));
}

TEST(GetEncryptedFileNameTest, ReplacesFromTheLastDotOfTheWholePath) {
    EXPECT_EQ("config.dat", ZVFUnified::getEncryptedFileName("config.xml"));
    EXPECT_EQ("store.dat", ZVFUnified::getEncryptedFileName("store"));
    EXPECT_EQ("a.dat", ZVFUnified::getEncryptedFileName("a.b/config"));
    EXPECT_EQ("/x/cachedA.b.dat", ZVFUnified::getEncryptedFileName("/x/cachedA.b.xml"));
}

}  // namespace
