// Hostile documents handed to every reader of configuration XML: from
// memory, from encrypted files and from plain files. Each must end in a
// false/empty result or a bounded, logged parse; never a crash, a hang or a
// file read from disk.
#include "XmlLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "HostTest.h"
#include "LocalFileConfigStore.h"
#include "StoreManagerTest.h"
#include "TempDir.h"
#include "XmlConfigParser.h"
#include "logging/LogCapture.h"

using ZVFUnified::ConfigKeySet;
using ZVFUnified::ConfigMap;
using ZVFUnified::LocalFileConfigStore;
using ZVFUnified::XmlConfigParser;
using storemanagertest::valueOf;

namespace {

const char* const SECRET = "TOP-SECRET-FILE-CONTENT";

// The bytes of a literal, NULs included.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

std::string repeated(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

// Ten levels of ten-fold entity expansion: 10^9 copies if expanded.
std::string billionLaughs(const std::string& body) {
    std::string xml = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol0 \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        xml += "<!ENTITY lol" + std::to_string(level) + " \"" + repeated("&lol" + std::to_string(level - 1) + ";", 10) +
               "\">";
    }
    return xml + "]>" + body;
}

class XmlLibraryTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        secretPath = temp->file("secret.txt");
        nuvrixtest::writeFileBytes(secretPath, SECRET);
    }

    // The plain defaults store over a file holding xml.
    std::shared_ptr<LocalFileConfigStore> defaultsStoreOver(const std::string& xml) {
        nuvrixtest::writeFileBytes(resourcesDir + "/nuvrix-config-defaults.xml", xml);
        return std::make_shared<LocalFileConfigStore>("nuvrix-config-defaults.xml", 2147483647, resourcesDir,
                                                      "nuvrix-config-defaults.xml", true, true, false);
    }

    bool readEncrypted(const std::string& xml) {
        const std::string path = configDir + "/Cache/cachedHostile.dat";
        EXPECT_TRUE(nuvrixtest::writeEncrypted(path, xml));
        return XmlConfigParser::readFromEncryptedFile(path, values, sensitive);
    }

    static bool anyValueContains(const ConfigMap& map, const std::wstring& text) {
        for (const auto& entry : map) {
            if (entry.second.find(text) != std::wstring::npos) {
                return true;
            }
        }
        return false;
    }

    std::string secretPath;
    ConfigMap values;
    ConfigKeySet sensitive;
};

TEST_F(XmlLibraryTest, BillionLaughsIsRefusedInTextAndInAttributes) {
    LogCapture log;
    EXPECT_FALSE(XmlConfigParser::readFromMemory(billionLaughs("<r><g><k>&lol9;</k></g></r>"), values, sensitive));
    EXPECT_TRUE(values.empty());
    EXPECT_TRUE(log.contains("XML error: Detected an entity reference loop", 3));

    EXPECT_FALSE(readEncrypted(billionLaughs("<r><g><k a=\"&lol9;\">v</k></g></r>")));
    EXPECT_TRUE(values.empty());

    auto store = defaultsStoreOver(billionLaughs("<Nuvrix><userConfig name=\"k\" value=\"&lol9;\"/></Nuvrix>"));
    EXPECT_TRUE(store->getKeys().empty());
    EXPECT_TRUE(std::filesystem::exists(resourcesDir + "/nuvrix-config-defaults-backup.xml"));
}

TEST_F(XmlLibraryTest, EntityReferencesInUserConfigAttributesAreNotExpanded) {
    auto store = defaultsStoreOver(
        "<!DOCTYPE Nuvrix [<!ENTITY e \"expanded\">]><Nuvrix><userConfig name=\"k\" value=\"a&e;b\"/></Nuvrix>");
    EXPECT_EQ(L"ab", valueOf(*store, L"k"));
}

TEST_F(XmlLibraryTest, ExternalEntitiesAndDtdsAreNeverLoaded) {
    const std::string uri = "file://" + secretPath;
    const std::wstring secret = L"TOP-SECRET";
    // An external general entity in an entry stays an unresolved reference.
    ASSERT_TRUE(XmlConfigParser::readFromMemory(
        "<!DOCTYPE r [<!ENTITY xxe SYSTEM \"" + uri + "\">]><r><g><k>&xxe;</k></g></r>", values, sensitive));
    EXPECT_EQ(L"<k>&xxe;</k>", values[L"k"]);

    // External DTD and parameter entities are not fetched.
    EXPECT_TRUE(readEncrypted("<!DOCTYPE r SYSTEM \"" + uri + "\"><r><g><k>x</k></g></r>"));
    EXPECT_FALSE(anyValueContains(values, secret));
    XmlConfigParser::readFromMemory("<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + uri + "\"> %p;]><r><g><k>x</k></g></r>",
                                    values, sensitive);
    EXPECT_FALSE(anyValueContains(values, secret));

    // In an attribute an external entity makes the document invalid.
    auto store = defaultsStoreOver("<!DOCTYPE Nuvrix [<!ENTITY xxe SYSTEM \"" + uri +
                                   "\">]><Nuvrix><userConfig name=\"k\" value=\"&xxe;\"/></Nuvrix>");
    EXPECT_EQ(std::wstring::npos, valueOf(*store, L"k").find(secret));

    // Nothing from the network either.
    EXPECT_TRUE(XmlConfigParser::readFromMemory(
        "<!DOCTYPE r SYSTEM \"http://127.0.0.1:9/x.dtd\"><r><g><k>x</k></g></r>", values, sensitive));
}

// An eleven-megabyte attribute is refused by the parser itself.
TEST_F(XmlLibraryTest, FiftyMegabyteTextNodeIsRefusedBeforeParsingAndLogged) {
    const std::string huge = "<r><g><k>" + std::string(50 * 1024 * 1024, 'a') + "</k></g></r>";
    LogCapture log;
    EXPECT_FALSE(XmlConfigParser::readFromMemory(huge, values, sensitive));
    EXPECT_TRUE(values.empty());
    EXPECT_TRUE(log.contains("XML document of " + std::to_string(huge.size()) +
                                 " bytes exceeds the limit of 33554432 bytes and is not parsed",
                             3));

    EXPECT_TRUE(defaultsStoreOver(huge)->getKeys().empty());
    EXPECT_TRUE(defaultsStoreOver("<Nuvrix><userConfig name=\"k\" value=\"" + std::string(11 * 1000 * 1000, 'v') +
                                  "\"/></Nuvrix>")
                    ->getKeys()
                    .empty());
    EXPECT_TRUE(log.contains("XML error: AttValue length too long", 3));
    // The invalid files' content reaches the log only in part.
    for (const auto& record : log.records()) {
        EXPECT_LT(record.message.size(), 2u * 1024u * 1024u);
    }
    EXPECT_TRUE(log.contains("contents of invalid xml with string length: " + std::to_string(huge.size()), 2));
}

TEST_F(XmlLibraryTest, DeeplyNestedElementsAreRefusedWhileModestNestingIsRead) {
    const std::string deep = repeated("<a>", 100000) + repeated("</a>", 100000);
    LogCapture log;
    EXPECT_FALSE(XmlConfigParser::readFromMemory(deep, values, sensitive));
    EXPECT_TRUE(log.contains("XML error: Excessive depth in document: 256", 3));
    EXPECT_FALSE(readEncrypted(deep));
    EXPECT_TRUE(defaultsStoreOver(deep)->getKeys().empty());

    auto store = defaultsStoreOver("<Nuvrix>" + repeated("<n>", 200) + "<USERCONFIG NAME=\"Deep\" VALUE=\"v\"/>" +
                                   repeated("</n>", 200) + "</Nuvrix>");
    EXPECT_EQ(L"v", valueOf(*store, L"deep"));
}

// Shapes that libxml2 parses in time that grows faster than their size are
// refused by a linear scan first (bench/xml_limits.cpp measures the time).
TEST_F(XmlLibraryTest, ShapesThatParseSlowlyAreRefusedBeforeParsingAndTheirLimitsStillParse) {
    auto element = [](int attributes, const std::string& prefix = "a") {
        std::string text = "<e";
        for (int i = 0; i < attributes; ++i) {
            text += " " + prefix + std::to_string(i) + "=\"\"";
        }
        return text + "/>";
    };
    const std::string refused = "XML document refused before parsing: ";
    const std::string tooManyAttributes = refused + "an element carries more than 256 attributes";
    const std::string tooManyItems =
        refused + "it holds more than 100000 elements, attributes and other markup items";
    const std::string defaults = "<!DOCTYPE r [<!ATTLIST e" + repeated(" d CDATA 'x'", 200) + ">]>";
    const struct {
        std::string document;
        std::string refusal;  // empty: the document parses
    } cases[] = {
        {"<r><g>" + element(256) + "</g></r>", ""},
        {"<r><g>" + element(257) + "</g></r>", tooManyAttributes},
        {"<r><g>" + element(50000, "xmlns:p") + "</g></r>", tooManyAttributes},
        {"<r><g>" + repeated("<k/>", 99998) + "</g></r>", ""},
        {"<r><g>" + repeated("<k/>", 99999) + "</g></r>", tooManyItems},
        {"<r><g>" + repeated("<k a='&amp;'><!--c--><?p?><![CDATA[x]]></k>", 19999) + "</g></r>", ""},
        {"<r><g>" + repeated("<k a='&amp;'><!--c--><?p?><![CDATA[x]]></k>", 20000) + "</g></r>", tooManyItems},
        {"<!DOCTYPE r [<!ENTITY x 'v'>]><r><g>" + repeated("<k>&x;</k>", 50000) + "</g></r>", tooManyItems},
        {defaults + "<r><g>" + element(57) + "</g></r>", tooManyAttributes},
        {"<!DOCTYPE r [<!ENTITY x \"" + element(3000) + "\">]><r><g><k>&x;</k></g></r>",
         refused + "its internal DTD subset is larger than 16384 bytes"},
        {"<!DOCTYPE r [<!ENTITY % p \"<!ATTLIST e d CDATA 'x'>\"> %p;]><r/>",
         refused + "its internal DTD subset uses parameter entities"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.document.substr(0, 80));
        LogCapture log;
        EXPECT_EQ(each.refusal.empty(), XmlConfigParser::readFromMemory(each.document, values, sensitive));
        EXPECT_EQ(each.refusal.empty() ? 0u : 1u, log.count(each.refusal.empty() ? refused : each.refusal, 3));
    }
}

TEST_F(XmlLibraryTest, InvalidUtf8IsRefusedWithoutQuotingItsBytes) {
    LogCapture log;
    EXPECT_FALSE(XmlConfigParser::readFromMemory("<r><g><ConnectionPassword>pa\xc3\x28ss</ConnectionPassword></g></r>",
                                                 values, sensitive));
    EXPECT_TRUE(log.contains("XML error: Input is not proper UTF-8, indicate encoding !", 3));
    EXPECT_FALSE(log.contains("Bytes:"));
    EXPECT_FALSE(log.contains("0x28"));
}

TEST_F(XmlLibraryTest, NulBytesEndAnEncryptedDocumentAndBreakOneInMemory) {
    const std::string whole = "<r><g><k>v</k></g></r>";
    EXPECT_FALSE(XmlConfigParser::readFromMemory(bytes("<r><g><k>a\0b</k></g></r>"), values, sensitive));
    EXPECT_FALSE(readEncrypted(bytes("<r><g><k>a\0b</k></g></r>")));
    // Text after a NUL is not part of a document read from a file.
    EXPECT_TRUE(readEncrypted(whole + bytes("\0<junk")));
    EXPECT_EQ(L"v", values[L"k"]);
    EXPECT_TRUE(defaultsStoreOver(bytes("<Nuvrix><userConfig name=\"a\0\" value=\"1\"/></Nuvrix>"))
                    ->getKeys()
                    .empty());
}

TEST_F(XmlLibraryTest, TruncatedAndGarbageInputIsRefused) {
    const std::string good = "<Nuvrix><CachedConfig><a>1</a><b>2</b></CachedConfig></Nuvrix>";
    for (std::size_t length = 1; length < good.size(); ++length) {
        EXPECT_FALSE(XmlConfigParser::readFromMemory(good.substr(0, length), values, sensitive)) << length;
    }
    std::string garbage;
    for (int i = 1; i <= 4096; ++i) {
        garbage += static_cast<char>((i * 7919) & 0xff);
    }
    EXPECT_FALSE(XmlConfigParser::readFromMemory(garbage, values, sensitive));
    EXPECT_FALSE(readEncrypted(garbage));
}

}  // namespace
