#include "zvf/storage/EncryptFileUtils.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "HostTest.h"
#include "zvf/SecureStringReader.h"

using zvf::SecureString;
using zvf::storage::EncryptFileUtils;

namespace {

std::string plainOf(const SecureString& value) {
    zvf::SecureStringReader reader;
    value.getUnsecureString(reader);
    return std::string(reader.c_str(), static_cast<std::size_t>(reader.getBufSize()));
}

mode_t modeOf(const std::string& path) {
    struct stat info;
    EXPECT_EQ(0, ::stat(path.c_str(), &info)) << path;
    return info.st_mode & 07777;
}

std::vector<std::string> namesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

const auto kConfiguration = FileCategoryType::Configuration;

}  // namespace

class EncryptFileUtilsTest : public nuvrixtest::HostTest {
protected:
    std::string path() const { return configDir + "/nuvrixLocalConfig.dat"; }

    bool readsBack(const std::string& file, std::string& plain,
                   FileCategoryType::FileCategory category = kConfiguration) {
        SecureString data;
        if (!EncryptFileUtils::readDataFromFile(file, data, category)) {
            return false;
        }
        plain = plainOf(data);
        return true;
    }

    // Writes a small file and returns its bytes.
    std::string writeSmallFile() {
        EXPECT_TRUE(EncryptFileUtils::writeDataToFile(path(), SecureString(std::string("secret=42")), kConfiguration));
        return nuvrixtest::readFileBytes(path());
    }
};

TEST_F(EncryptFileUtilsTest, RoundTripsEmptyOneByteAndOneMebibyte) {
    std::mt19937 random(1234);
    std::string large(1 << 20, '\0');
    for (char& c : large) {
        c = static_cast<char>(random());
    }
    for (const std::string& content : {std::string(), std::string("x"), large}) {
        ASSERT_TRUE(EncryptFileUtils::writeDataToFile(path(), SecureString(content), kConfiguration));
        std::string back = "not read";
        ASSERT_TRUE(readsBack(path(), back));
        EXPECT_EQ(content.size(), back.size());
        EXPECT_TRUE(content == back);
    }
}

TEST_F(EncryptFileUtilsTest, FileHoldsNoPlainText) {
    const std::string bytes = writeSmallFile();
    EXPECT_EQ(std::string::npos, bytes.find("secret=42"));
    EXPECT_EQ(30u + 9u + 16u, bytes.size());  // header, cipher text, tag
}

TEST_F(EncryptFileUtilsTest, ReadUnderAnotherCategoryFails) {
    writeSmallFile();
    std::string plain;
    EXPECT_FALSE(readsBack(path(), plain, FileCategoryType::General));
    EXPECT_FALSE(readsBack(path(), plain, FileCategoryType::UserData));
    EXPECT_TRUE(readsBack(path(), plain, kConfiguration));
}

TEST_F(EncryptFileUtilsTest, FlippedBitAtAnyPositionFails) {
    const std::string original = writeSmallFile();
    for (std::size_t i = 0; i < original.size(); ++i) {
        std::string damaged = original;
        damaged[i] = static_cast<char>(damaged[i] ^ (1 << (i % 8)));
        nuvrixtest::writeFileBytes(path(), damaged);
        std::string plain;
        EXPECT_FALSE(readsBack(path(), plain)) << "bit flipped in byte " << i;
    }
}

TEST_F(EncryptFileUtilsTest, TruncationAtEveryLengthFails) {
    const std::string original = writeSmallFile();
    for (std::size_t length = 0; length < original.size(); ++length) {
        nuvrixtest::writeFileBytes(path(), original.substr(0, length));
        std::string plain;
        EXPECT_FALSE(readsBack(path(), plain)) << "truncated to " << length;
    }
    nuvrixtest::writeFileBytes(path(), original + "x");
    std::string plain;
    EXPECT_FALSE(readsBack(path(), plain)) << "extended by a byte";
}

TEST_F(EncryptFileUtilsTest, MissingEmptyAndGarbageFilesFail) {
    std::string plain;
    EXPECT_FALSE(readsBack(path(), plain));
    EXPECT_FALSE(readsBack(configDir, plain));  // a directory
    nuvrixtest::writeFileBytes(path(), "");
    EXPECT_FALSE(readsBack(path(), plain));
    std::mt19937 random(99);
    for (std::size_t size : {1u, 45u, 46u, 47u, 4096u}) {
        std::string garbage(size, '\0');
        for (char& c : garbage) {
            c = static_cast<char>(random());
        }
        nuvrixtest::writeFileBytes(path(), garbage);
        EXPECT_FALSE(readsBack(path(), plain)) << size << " random bytes";
        nuvrixtest::writeFileBytes(path(), "NVRX" + garbage);
        EXPECT_FALSE(readsBack(path(), plain)) << "magic and " << size << " random bytes";
    }
}

TEST_F(EncryptFileUtilsTest, FileWrittenUnderAnotherKeyFails) {
    writeSmallFile();
    const std::string otherLocal = temp->file("other-local");
    setenv("NUVRIX_LOCAL_APP_DIR", otherLocal.c_str(), 1);
    std::string plain;
    EXPECT_FALSE(readsBack(path(), plain));
    setenv("NUVRIX_LOCAL_APP_DIR", localAppDir.c_str(), 1);
    EXPECT_TRUE(readsBack(path(), plain));
    EXPECT_EQ("secret=42", plain);
}

TEST_F(EncryptFileUtilsTest, HandedOverKeyReplacesTheKeyFile) {
    unsigned char key[32];
    for (int i = 0; i < 32; ++i) {
        key[i] = static_cast<unsigned char>(i * 7);
    }
    ASSERT_TRUE(EncryptFileUtils::setStorageKey(key, sizeof(key)));
    writeSmallFile();
    ASSERT_TRUE(EncryptFileUtils::setStorageKey(nullptr, 0));
    std::string plain;
    EXPECT_FALSE(readsBack(path(), plain));
    EXPECT_FALSE(EncryptFileUtils::setStorageKey(key, 16));
    ASSERT_TRUE(EncryptFileUtils::setStorageKey(key, sizeof(key)));
    EXPECT_TRUE(readsBack(path(), plain));
    EXPECT_TRUE(EncryptFileUtils::setStorageKey(nullptr, 0));
}

TEST_F(EncryptFileUtilsTest, FilesAndKeyFileAreMode0600) {
    const std::string fresh = temp->file("fresh-local/nuvrix");
    setenv("NUVRIX_LOCAL_APP_DIR", fresh.c_str(), 1);
    writeSmallFile();
    EXPECT_EQ(0600u, modeOf(path()));
    EXPECT_EQ(0600u, modeOf(fresh + "/nuvrix-storage.key"));
    EXPECT_EQ(0700u, modeOf(fresh));
    EXPECT_EQ(32u, nuvrixtest::readFileBytes(fresh + "/nuvrix-storage.key").size());
}

TEST_F(EncryptFileUtilsTest, LooserKeyFileIsRefused) {
    const std::string loose = temp->file("loose-local");
    std::filesystem::create_directories(loose);
    nuvrixtest::writeFileBytes(loose + "/nuvrix-storage.key", std::string(32, 'k'));
    ASSERT_EQ(0, ::chmod((loose + "/nuvrix-storage.key").c_str(), 0644));
    setenv("NUVRIX_LOCAL_APP_DIR", loose.c_str(), 1);
    EXPECT_FALSE(EncryptFileUtils::writeDataToFile(path(), SecureString(std::string("v")), kConfiguration));
    EXPECT_FALSE(std::filesystem::exists(path()));
    // A symbolic link in place of the key file is refused too.
    const std::string linked = temp->file("linked-local");
    std::filesystem::create_directories(linked);
    ASSERT_EQ(0, ::chmod((loose + "/nuvrix-storage.key").c_str(), 0600));
    std::filesystem::create_symlink(loose + "/nuvrix-storage.key", linked + "/nuvrix-storage.key");
    setenv("NUVRIX_LOCAL_APP_DIR", linked.c_str(), 1);
    EXPECT_FALSE(EncryptFileUtils::writeDataToFile(path(), SecureString(std::string("v")), kConfiguration));
}

TEST_F(EncryptFileUtilsTest, StrayTemporaryKeepsOldContentAndIsRemovedByTheNextWrite) {
    writeSmallFile();
    // What a write interrupted after its temporary file was written leaves.
    const std::string stray = configDir + "/.nuvrixLocalConfig.dat.tmp-0123456789abcdef";
    nuvrixtest::writeFileBytes(stray, "half of a new fi");
    std::string plain;
    ASSERT_TRUE(readsBack(path(), plain));
    EXPECT_EQ("secret=42", plain);

    ASSERT_TRUE(EncryptFileUtils::writeDataToFile(path(), SecureString(std::string("secret=43")), kConfiguration));
    EXPECT_FALSE(std::filesystem::exists(stray));
    ASSERT_TRUE(readsBack(path(), plain));
    EXPECT_EQ("secret=43", plain);
    EXPECT_EQ((std::vector<std::string>{"nuvrixLocalConfig.dat"}), namesIn(configDir));
}

TEST_F(EncryptFileUtilsTest, FailedWriteLeavesNoTemporaryBehind) {
    // The target is a non-empty directory, so the final rename fails.
    const std::string target = configDir + "/occupied";
    std::filesystem::create_directories(target + "/inside");
    EXPECT_FALSE(EncryptFileUtils::writeDataToFile(target, SecureString(std::string("v")), kConfiguration));
    EXPECT_EQ((std::vector<std::string>{"occupied"}), namesIn(configDir));
    EXPECT_TRUE(std::filesystem::is_directory(target + "/inside"));
}
