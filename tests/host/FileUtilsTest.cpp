#include "PTKCoreUtils/FileUtils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PTKCoreUtils/FstreamUtils.h"
#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "logging/LogCapture.h"

using PTKCoreUtils::FileUtils;

TEST(FileUtilsTest, DirectoriesComeFromTheirVariablesAtEveryCall) {
    nuvrixtest::ScopedEnvironment env;
    env.set("NUVRIX_CONFIG_DIR", "/srv/a/config/");
    env.set("NUVRIX_LOCAL_APP_DIR", "/srv/a/local");
    env.set("NUVRIX_RESOURCES_DIR", "/srv/a/resources");
    EXPECT_EQ("/srv/a/config", FileUtils::getConfigDirectory());
    EXPECT_EQ("/srv/a/local", FileUtils::getUserLocalAppDir());
    EXPECT_EQ("/srv/a/resources", FileUtils::getResourcesDirectory());
    env.set("NUVRIX_CONFIG_DIR", "/srv/b");
    EXPECT_EQ("/srv/b", FileUtils::getConfigDirectory());
}

TEST(FileUtilsTest, DirectoriesFollowXdgConventionsWithoutTheirVariables) {
    nuvrixtest::ScopedEnvironment env;
    env.set("NUVRIX_CONFIG_DIR", nullptr);
    env.set("NUVRIX_LOCAL_APP_DIR", "");
    env.set("NUVRIX_RESOURCES_DIR", nullptr);
    env.set("HOME", "/home/tester");
    env.set("XDG_CONFIG_HOME", "/xdg/config");
    env.set("XDG_DATA_HOME", "/xdg/data/");
    EXPECT_EQ("/xdg/config/nuvrix", FileUtils::getConfigDirectory());
    EXPECT_EQ("/xdg/data/nuvrix", FileUtils::getUserLocalAppDir());
    env.set("XDG_CONFIG_HOME", nullptr);
    env.set("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ("/home/tester/.config/nuvrix", FileUtils::getConfigDirectory());
    EXPECT_EQ("/home/tester/.local/share/nuvrix", FileUtils::getUserLocalAppDir());
    const std::string resources = FileUtils::getResourcesDirectory();
    EXPECT_EQ("/nuvrix", resources.substr(resources.size() - 7));
    EXPECT_EQ('/', resources[0]);
}

TEST(FileUtilsTest, FilesFromDirectoryAreMatchingRegularFilesInNameOrder) {
    nuvrixtest::TempDir dir;
    for (const char* name : {"cachedB.dat", "cachedA.dat", "notes.txt", "cachedC.dat.old", "a.dat"}) {
        nuvrixtest::writeFileBytes(dir.file(name), "x");
    }
    std::filesystem::create_directories(dir.file("folder.dat"));
    std::vector<std::string> found{"earlier"};
    FileUtils::getFilesFromDirectory(dir.path(), ".dat", found);
    EXPECT_EQ((std::vector<std::string>{"earlier", "a.dat", "cachedA.dat", "cachedB.dat"}), found);
    found.clear();
    FileUtils::getFilesFromDirectory(dir.path(), "cached*.dat", found);
    EXPECT_EQ((std::vector<std::string>{"cachedA.dat", "cachedB.dat"}), found);
    found.clear();
    FileUtils::getFilesFromDirectory(dir.file("missing"), "", found);
    EXPECT_TRUE(found.empty());
}

TEST(FileUtilsTest, CreatesMovesAndRemovesFiles) {
    nuvrixtest::TempDir dir;
    const std::string nested = dir.file("a/b/c");
    EXPECT_TRUE(FileUtils::createDirectory(nested));
    EXPECT_TRUE(FileUtils::createDirectory(nested));  // already there
    struct stat info;
    ASSERT_EQ(0, ::stat(nested.c_str(), &info));
    EXPECT_EQ(0700u, info.st_mode & 0777);

    nuvrixtest::writeFileBytes(nested + "/one.xml", "1");
    nuvrixtest::writeFileBytes(nested + "/two.xml", "2");
    EXPECT_TRUE(FileUtils::fileExists(nested + "/one.xml"));
    EXPECT_EQ(0, FileUtils::moveFile(nested + "/one.xml", nested + "/two.xml", false));
    EXPECT_FALSE(FileUtils::fileExists(nested + "/one.xml"));
    std::string content;
    ASSERT_TRUE(FileUtils::readFile(nested + "/two.xml", content));
    EXPECT_EQ("1", content);
    EXPECT_NE(0, FileUtils::moveFile(nested + "/one.xml", nested + "/three.xml", true));
    EXPECT_EQ(0, FileUtils::removeFile(nested + "/two.xml"));
    EXPECT_EQ(ENOENT, FileUtils::removeFile(nested + "/two.xml"));
    EXPECT_FALSE(FileUtils::readFile(nested + "/two.xml", content));
    EXPECT_FALSE(FileUtils::readFile(nested, content));  // a directory is no file
}

TEST(FileUtilsTest, PathPiecesAndStreams) {
    EXPECT_EQ("c.xml", FileUtils::getFileName(std::string("a/b/c.xml")));
    EXPECT_EQ(L"c.xml", FileUtils::getFileName(std::wstring(L"/a/b/c.xml")));
    EXPECT_EQ("plain", FileUtils::getFileName(std::string("plain")));
    EXPECT_EQ("a/b", FileUtils::getParentDirectory("a/b/c.xml"));
    EXPECT_EQ("/", FileUtils::getParentDirectory("/c.xml"));
    EXPECT_EQ("", FileUtils::getParentDirectory("c.xml"));
    EXPECT_EQ("/", FileUtils::FileSeparator());

    nuvrixtest::TempDir dir;
    std::fstream out;
    ASSERT_TRUE(PTKCoreUtils::FstreamUtils::open(out, dir.file("s.txt"), std::ios::out | std::ios::binary));
    out << "line";
    out.close();
    std::ifstream in;
    ASSERT_TRUE(PTKCoreUtils::FstreamUtils::open(in, dir.file("s.txt"), std::ios::binary));
    std::string word;
    in >> word;
    EXPECT_EQ("line", word);
    std::ifstream missing;
    EXPECT_FALSE(PTKCoreUtils::FstreamUtils::open(missing, dir.file("none"), std::ios::binary));
}

TEST(FileUtilsTest, OnlyRegularFilesAreReadAndAFifoIsNeverWaitedOn) {
    nuvrixtest::TempDir temp;
    const std::string fifo = temp.file("fifo");
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    LogCapture log;
    std::string bytes = "unchanged";
    EXPECT_FALSE(FileUtils::readFile(fifo, bytes));
    EXPECT_EQ("unchanged", bytes);
    EXPECT_TRUE(log.contains("refused to read what is not a regular file: " + fifo, 3));
}
