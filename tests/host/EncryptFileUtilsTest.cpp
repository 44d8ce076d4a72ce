#include "zvf/storage/EncryptFileUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "HostTest.h"
#include "logging/LogCapture.h"

using nuvrixtest::writeEncrypted;
using zvf::storage::EncryptFileUtils;

namespace {

mode_t modeOf(const std::string& path) {
    struct stat info;
    EXPECT_EQ(0, ::stat(path.c_str(), &info)) << path;
    return info.st_mode & 07777;
}

// In name order.
std::vector<std::string> namesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string randomBytes(std::mt19937& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    return bytes;
}

const auto kConfiguration = FileCategoryType::Configuration;

}  // namespace

class EncryptFileUtilsTest : public nuvrixtest::HostTest {
protected:
    std::string path() const { return configDir + "/nuvrixLocalConfig.dat"; }

    // The plain text read back, or nothing when the read fails.
    std::optional<std::string> readBack(FileCategoryType::FileCategory category = kConfiguration,
                                        const std::string& file = "") const {
        return nuvrixtest::readEncrypted(file.empty() ? path() : file, category);
    }
    // Writes a small file and returns its bytes.
    std::string writeSmallFile() {
        EXPECT_TRUE(writeEncrypted(path(), "secret=42"));
        return nuvrixtest::readFileBytes(path());
    }
};

TEST_F(EncryptFileUtilsTest, RoundTripsEmptyOneByteAndOneMebibyte) {
    std::mt19937 random(1234);
    for (const std::string& content : {std::string(), std::string("x"), randomBytes(random, 1 << 20)}) {
        ASSERT_TRUE(writeEncrypted(path(), content));
        const std::optional<std::string> back = readBack();
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(content.size(), back->size());
        EXPECT_TRUE(content == *back);
    }
}

TEST_F(EncryptFileUtilsTest, FileHoldsNoPlainTextReadsOnlyUnderItsCategoryAndNotWithAFlippedBit) {
    const std::string bytes = writeSmallFile();
    EXPECT_EQ(std::string::npos, bytes.find("secret=42"));
    EXPECT_EQ(30u + 9u + 16u, bytes.size());  // header, cipher text, tag
    EXPECT_FALSE(readBack(FileCategoryType::General));
    EXPECT_FALSE(readBack(FileCategoryType::UserData));
    EXPECT_EQ("secret=42", readBack(kConfiguration));
    // One flipped bit of the cipher text or of the tag fails the read.
    for (const std::size_t at : {std::size_t{30}, bytes.size() - 1}) {
        std::string flipped = bytes;
        flipped[at] ^= 1;
        nuvrixtest::writeFileBytes(path(), flipped);
        EXPECT_FALSE(readBack()) << "bit flipped in byte " << at;
    }
}

TEST_F(EncryptFileUtilsTest, MissingEmptyAndGarbageFilesFail) {
    EXPECT_FALSE(readBack());
    EXPECT_FALSE(readBack(kConfiguration, configDir));  // a directory
    nuvrixtest::writeFileBytes(path(), "");
    EXPECT_FALSE(readBack());
    std::mt19937 random(99);
    for (std::size_t size : {1u, 45u, 46u, 47u, 4096u}) {
        const std::string garbage = randomBytes(random, size);
        nuvrixtest::writeFileBytes(path(), garbage);
        EXPECT_FALSE(readBack()) << size << " random bytes";
        nuvrixtest::writeFileBytes(path(), "NVRX" + garbage);
        EXPECT_FALSE(readBack()) << "magic and " << size << " random bytes";
    }
}

TEST_F(EncryptFileUtilsTest, FileWrittenUnderAnotherKeyFails) {
    writeSmallFile();
    const std::string otherLocal = temp->file("other-local");
    setenv("NUVRIX_LOCAL_APP_DIR", otherLocal.c_str(), 1);
    EXPECT_FALSE(readBack());
    setenv("NUVRIX_LOCAL_APP_DIR", localAppDir.c_str(), 1);
    EXPECT_EQ("secret=42", readBack());
}

TEST_F(EncryptFileUtilsTest, HandedOverKeyReplacesTheKeyFile) {
    unsigned char key[32];
    for (int i = 0; i < 32; ++i) {
        key[i] = static_cast<unsigned char>(i * 7);
    }
    ASSERT_TRUE(EncryptFileUtils::setStorageKey(key, sizeof(key)));
    writeSmallFile();
    ASSERT_TRUE(EncryptFileUtils::setStorageKey(nullptr, 0));
    EXPECT_FALSE(readBack());
    EXPECT_FALSE(EncryptFileUtils::setStorageKey(key, 16));
    ASSERT_TRUE(EncryptFileUtils::setStorageKey(key, sizeof(key)));
    EXPECT_EQ("secret=42", readBack());
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

TEST_F(EncryptFileUtilsTest, LinkedKeyFileIsRefused) {
    const std::string real = temp->file("real-local");
    std::filesystem::create_directories(real);
    nuvrixtest::writeFileBytes(real + "/nuvrix-storage.key", std::string(32, 'k'));
    ASSERT_EQ(0, ::chmod((real + "/nuvrix-storage.key").c_str(), 0600));
    const std::string linked = temp->file("linked-local");
    std::filesystem::create_directories(linked);
    std::filesystem::create_symlink(real + "/nuvrix-storage.key", linked + "/nuvrix-storage.key");
    setenv("NUVRIX_LOCAL_APP_DIR", linked.c_str(), 1);
    EXPECT_FALSE(writeEncrypted(path(), "v"));
    EXPECT_FALSE(std::filesystem::exists(path()));
}

TEST_F(EncryptFileUtilsTest, DamagedKeyFileIsRecoveredWithoutHelpAndWithoutWeakeningTheKey) {
    writeSmallFile();
    const std::string good = nuvrixtest::readFileBytes(localAppDir + "/nuvrix-storage.key");
    const struct {
        const char* name;
        std::string bytes;
        mode_t mode;
        bool oldFileRead;  // through the old key, kept as a retired key
        std::string logged;
    } cases[] = {
        {"readable", good, 0644, true, "re-keyed the storage: the key file was readable by others"},
        {"wrong-size", good.substr(0, 31), 0600, false, "replaced the unusable storage key file (wrong size)"},
        {"writable", good, 0666, false, "replaced the unusable storage key file (writable by others)"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        const std::string local = temp->file(each.name);
        const std::string key = local + "/nuvrix-storage.key";
        std::filesystem::create_directories(local);
        nuvrixtest::writeFileBytes(key, each.bytes);
        ASSERT_EQ(0, ::chmod(key.c_str(), each.mode));
        setenv("NUVRIX_LOCAL_APP_DIR", local.c_str(), 1);
        LogCapture log;
        EXPECT_EQ(each.oldFileRead ? std::optional<std::string>("secret=42") : std::nullopt, readBack());
        EXPECT_EQ(1u, log.count(each.logged, 2));
        // A fresh private key writes from now on.
        EXPECT_EQ(0600u, modeOf(key));
        EXPECT_EQ(32u, nuvrixtest::readFileBytes(key).size());
        EXPECT_NE(good, nuvrixtest::readFileBytes(key));
        const std::string fresh = configDir + "/" + each.name + ".dat";
        ASSERT_TRUE(writeEncrypted(fresh, "new"));
        EXPECT_EQ("new", readBack(kConfiguration, fresh));
        // The old key is kept beside it, private.
        std::vector<std::string> kept = namesIn(local);
        kept.erase(std::find(kept.begin(), kept.end(), "nuvrix-storage.key"));
        ASSERT_EQ(1u, kept.size());
        EXPECT_EQ(0600u, modeOf(local + "/" + kept[0]));
        EXPECT_EQ(each.bytes, nuvrixtest::readFileBytes(local + "/" + kept[0]));
    }
}

TEST_F(EncryptFileUtilsTest, FifoInPlaceOfTheFileOrTheKeyFileIsRefusedWithoutWaiting) {
    LogCapture log;
    ASSERT_EQ(0, ::mkfifo(path().c_str(), 0600));
    EXPECT_FALSE(readBack());
    EXPECT_TRUE(log.contains("not a regular file: " + path(), 3));
    // The next write replaces it.
    ASSERT_TRUE(writeEncrypted(path(), "secret=42"));
    EXPECT_EQ("secret=42", readBack());

    const std::string fifoLocal = temp->file("fifo-local");
    std::filesystem::create_directories(fifoLocal);
    ASSERT_EQ(0, ::mkfifo((fifoLocal + "/nuvrix-storage.key").c_str(), 0600));
    setenv("NUVRIX_LOCAL_APP_DIR", fifoLocal.c_str(), 1);
    EXPECT_FALSE(writeEncrypted(path(), "v"));
    EXPECT_TRUE(log.contains("refused the storage key file (not a regular file) " + fifoLocal + "/nuvrix-storage.key", 2));
}

TEST_F(EncryptFileUtilsTest, TemporaryOfALiveWriterSurvivesWhileLeftoversOfInterruptedWritesAreRemovedAndNeverRead) {
    writeSmallFile();
    // Another process's write in progress holds the lock of its temporary.
    const std::string live = configDir + "/.nuvrixLocalConfig.dat.tmp-1111111111111111";
    const int liveFd = ::open(live.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(liveFd, 0);
    ASSERT_EQ(0, ::flock(liveFd, LOCK_EX));
    const std::string dead = configDir + "/.nuvrixLocalConfig.dat.tmp-2222222222222222";
    nuvrixtest::writeFileBytes(dead, "half of a new fi");
    EXPECT_EQ("secret=42", readBack());
    ASSERT_TRUE(writeEncrypted(path(), "secret=43"));
    EXPECT_EQ("secret=43", readBack());
    EXPECT_EQ((std::vector<std::string>{".nuvrixLocalConfig.dat.tmp-1111111111111111", "nuvrixLocalConfig.dat"}),
              namesIn(configDir));
    ::close(liveFd);

    // A key file creation interrupted after its temporary was written.
    const std::string fresh = temp->file("fresh-local");
    std::filesystem::create_directories(fresh);
    nuvrixtest::writeFileBytes(fresh + "/.nuvrix-storage.key.tmp-3333333333333333", std::string(32, 'k'));
    setenv("NUVRIX_LOCAL_APP_DIR", fresh.c_str(), 1);
    ASSERT_TRUE(writeEncrypted(path(), "secret=44"));
    EXPECT_EQ((std::vector<std::string>{"nuvrix-storage.key"}), namesIn(fresh));
}

TEST_F(EncryptFileUtilsTest, FailedWriteLeavesNoTemporaryBehind) {
    // The target is a non-empty directory, so the final rename fails.
    const std::string target = configDir + "/occupied";
    std::filesystem::create_directories(target + "/inside");
    EXPECT_FALSE(writeEncrypted(target, "v"));
    EXPECT_EQ((std::vector<std::string>{"occupied"}), namesIn(configDir));
    EXPECT_TRUE(std::filesystem::is_directory(target + "/inside"));
}
