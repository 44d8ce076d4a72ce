#include "unified/FileDataPersistor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "HostTest.h"

using ZVFUnified::FileDataPersistor;

class FileDataPersistorTest : public nuvrixtest::HostTest {
protected:
    void put(const std::string& relative) {
        std::filesystem::create_directories(std::filesystem::path(configDir + "/" + relative).parent_path());
        nuvrixtest::writeFileBytes(configDir + "/" + relative, "x");
    }
    bool exists(const std::string& relative) { return std::filesystem::exists(configDir + "/" + relative); }
};

TEST_F(FileDataPersistorTest, RemovingANameDeletesItAndItsDatCompanionInConfigAndCache) {
    put("cachedX.xml");
    put("cachedX.dat");
    put("Cache/cachedX.xml");
    put("Cache/cachedX.dat");
    put("Cache/cachedY.dat");
    put("cachedX.dat.bak");
    std::shared_ptr<ZVFUnified::IDataPersistor> persistor = factory->getDataPersistor();
    ASSERT_NE(nullptr, persistor);
    EXPECT_TRUE(persistor->removeData("", "cachedX.xml"));
    EXPECT_FALSE(exists("cachedX.xml"));
    EXPECT_FALSE(exists("cachedX.dat"));
    EXPECT_FALSE(exists("Cache/cachedX.xml"));
    EXPECT_FALSE(exists("Cache/cachedX.dat"));
    EXPECT_TRUE(exists("Cache/cachedY.dat"));
    EXPECT_TRUE(exists("cachedX.dat.bak"));
    EXPECT_FALSE(persistor->removeData("", "cachedX.xml"));  // nothing left to remove
}

TEST_F(FileDataPersistorTest, CompanionAloneIsRemovedAndNamesOutsideTheDirectoryAreRefused) {
    put("Cache/cachedZ.dat");
    put("Cache/keep.txt");
    FileDataPersistor persistor;
    EXPECT_TRUE(persistor.removeData("", "cachedZ.xml"));
    EXPECT_FALSE(exists("Cache/cachedZ.dat"));
    EXPECT_FALSE(persistor.removeData("", "../config/Cache/keep.txt"));
    EXPECT_FALSE(persistor.removeData("", "Cache/keep.txt"));
    EXPECT_FALSE(persistor.removeData("", ".."));
    EXPECT_FALSE(persistor.removeData("", ""));
    EXPECT_TRUE(exists("Cache/keep.txt"));
}
