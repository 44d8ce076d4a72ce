// The encrypted storage under file-system faults: every call one write makes
// fails in turn (EIO, ENOSPC), is interrupted (EINTR) or, for a write,
// writes only half; the file must hold the old content or the new one,
// whole, the failure must be logged once, and no temporary may stay behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "FaultInjectingFileSystem.h"
#include "HostTest.h"
#include "logging/LogCapture.h"

using nuvrixtest::FaultInjectingFileSystem;
using Fault = FaultInjectingFileSystem::Fault;
using Call = FaultInjectingFileSystem::Call;

namespace {

const Fault kAllFaults[] = {Fault::Eio, Fault::Enospc, Fault::Eintr, Fault::ShortWrite};

using nuvrixtest::readEncrypted;
using nuvrixtest::writeEncrypted;

bool isTemporary(const std::string& name) { return name.find(".tmp-") != std::string::npos; }

std::vector<std::string> temporariesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (isTemporary(name)) {
            names.push_back(name);
        }
    }
    return names;
}

// Records of the storage's failures (level 2 and more severe).
std::vector<std::string> storageFailures(const LogCapture& log) {
    std::vector<std::string> failures;
    for (const LogCapture::Record& record : log.records()) {
        if (record.logger == "Host-EncryptFileUtils" && record.level <= 2) {
            failures.push_back(record.message);
        }
    }
    return failures;
}

std::string describe(const Call& call, std::size_t number, Fault fault) {
    return std::string(FaultInjectingFileSystem::nameOf(fault)) + " at call " + std::to_string(number) + ": " +
           call.operation + " " + std::filesystem::path(call.path).filename().string();
}

// Writes content to path with the number-th call of the write misbehaving;
// hard tells whether the fault fired as an error (EIO, ENOSPC).
bool writeWithFault(const std::string& path, const std::string& content, std::size_t number, Fault fault, bool& hard) {
    FaultInjectingFileSystem faulty;
    faulty.failCall(number, fault);
    const bool written = writeEncrypted(path, content);
    hard = faulty.hasFired() && (fault == Fault::Eio || fault == Fault::Enospc);
    return written;
}

// A failed write is logged once, a successful one not at all.
void expectLoggedOnceIfFailed(const LogCapture& log, bool written) {
    const std::vector<std::string> failures = storageFailures(log);
    EXPECT_EQ(written ? 0u : 1u, failures.size()) << ::testing::PrintToString(failures);
}

// The calls of one write of content to path, counted without faults.
std::vector<Call> callsOfOneWrite(const std::string& path, const std::string& content) {
    FaultInjectingFileSystem counting;
    EXPECT_TRUE(writeEncrypted(path, content));
    return counting.getCalls();
}

}  // namespace

class EncryptFileUtilsFaultTest : public nuvrixtest::HostTest {
protected:
    std::string path() const { return configDir + "/nuvrixLocalConfig.dat"; }
};

// A write replacing a settings file, with and without the leftover of an
// interrupted write beside it. A failure of a call that produces or
// publishes the new file fails the write and leaves the old file; once the
// new file has been renamed into place, a failure to make that durable is
// reported with the new file in place. Calls whose failure the storage may
// tolerate (finding the directory, the search for leftovers, the lock, the
// release of a descriptor no longer written) must not fail the write.
TEST_F(EncryptFileUtilsFaultTest, EveryFaultOfAWriteLeavesTheOldOrTheNewFileWholeLoggedOnceWithoutTemporaries) {
    const std::string oldContent = "<Nuvrix><userConfig name=\"theme\" value=\"Dark\"/></Nuvrix>";
    const std::string newContent = "<Nuvrix><userConfig name=\"theme\" value=\"Solarized\"/></Nuvrix>" +
                                   std::string(70000, ' ');  // more than one page
    const std::string leftover = configDir + "/.nuvrixLocalConfig.dat.tmp-0123456789abcdef";
    std::size_t hardFailures = 0;
    for (const bool withLeftover : {false, true}) {
        SCOPED_TRACE(withLeftover ? "with a leftover" : "without a leftover");
        const auto reset = [&] {
            ASSERT_TRUE(writeEncrypted(path(), oldContent));
            if (withLeftover) {
                nuvrixtest::writeFileBytes(leftover, "half of a new fi");
            }
        };
        reset();
        const std::vector<Call> calls = callsOfOneWrite(path(), newContent);
        ASSERT_GE(calls.size(), 12u);
        for (std::size_t number = 1; number <= calls.size(); ++number) {
            const Call& call = calls[number - 1];
            const std::string name = std::filesystem::path(call.path).filename().string();
            const bool onLeftover = call.path == leftover;
            const bool onTemporary = isTemporary(name) && !onLeftover;
            const bool onDirectory = call.path == configDir;
            const bool firstCloseOfTemporary =
                call.operation == "close" && onTemporary &&
                std::none_of(calls.begin(), calls.begin() + static_cast<long>(number - 1), [&](const Call& earlier) {
                    return earlier.operation == "close" && earlier.path == call.path;
                });
            // What a hard failure of this call must lead to.
            const bool keepsOldFile =
                onTemporary && (call.operation != "close" || firstCloseOfTemporary) && call.operation != "flock";
            const bool failsAfterRename = onDirectory && (call.operation == "open" || call.operation == "fsync");
            for (const Fault fault : kAllFaults) {
                SCOPED_TRACE(describe(call, number, fault));
                reset();
                LogCapture log;
                bool hard = false;
                const bool written = writeWithFault(path(), newContent, number, fault, hard);
                const bool expectFailure = hard && (keepsOldFile || failsAfterRename);
                hardFailures += expectFailure ? 1 : 0;
                EXPECT_EQ(!expectFailure, written);
                EXPECT_EQ(hard && keepsOldFile ? oldContent : newContent, readEncrypted(path()).value_or("unreadable"));
                expectLoggedOnceIfFailed(log, written);
                // Only a leftover whose own removal failed may stay.
                const bool leftoverMayStay =
                    hard && (call.operation == "listDirectory" || (onLeftover && call.operation != "close"));
                std::vector<std::string> expected;
                if (leftoverMayStay && std::filesystem::exists(leftover)) {
                    expected.push_back(std::filesystem::path(leftover).filename().string());
                }
                EXPECT_EQ(expected, temporariesIn(configDir));
            }
        }
    }
    // open, fstat, fchmod, write, fsync, dup, close and rename of the new
    // file, and open and fsync of its directory, with two errors each and a
    // leftover or not.
    EXPECT_EQ(2u * 2u * 10u, hardFailures);
}

// The first write under a fresh local-application-data directory also
// creates the storage key. Whatever call of it fails, the key file is
// absent or whole and private, no temporary key stays (unless removing that
// very temporary is what failed), the failure is logged once, and the next
// write succeeds under the key that exists then.
TEST_F(EncryptFileUtilsFaultTest, EveryFaultOfTheFirstWriteLeavesTheKeyAbsentOrWholeLoggedOnce) {
    const std::string content = "<Nuvrix><userConfig name=\"theme\" value=\"Dark\"/></Nuvrix>";
    const auto freshLocal = [&](const std::string& name) {
        const std::string local = temp->file(name);
        std::filesystem::create_directories(local);
        setenv("NUVRIX_LOCAL_APP_DIR", local.c_str(), 1);
        return local;
    };
    freshLocal("counting");
    const std::vector<Call> calls = callsOfOneWrite(configDir + "/counting.dat", content);
    ASSERT_GE(calls.size(), 25u);
    std::size_t hardFailures = 0;
    for (std::size_t number = 1; number <= calls.size(); ++number) {
        const Call& call = calls[number - 1];
        const std::string name = std::filesystem::path(call.path).filename().string();
        const bool onKeyTemporary = name.rfind(".nuvrix-storage.key.tmp-", 0) == 0;
        for (const Fault fault : kAllFaults) {
            SCOPED_TRACE(describe(call, number, fault));
            const std::string tag = std::to_string(number) + "-" + std::to_string(static_cast<int>(fault));
            const std::string local = freshLocal("local-" + tag);
            const std::string target = configDir + "/first-" + tag + ".dat";
            const std::string keyFile = local + "/nuvrix-storage.key";
            LogCapture log;
            bool hard = false;
            const bool written = writeWithFault(target, content, number, fault, hard);
            if (hard && onKeyTemporary &&
                (call.operation == "open" || call.operation == "fchmod" || call.operation == "write" ||
                 call.operation == "fsync" || call.operation == "link")) {
                EXPECT_FALSE(written) << "the key was not created whole";
            }
            hardFailures += written ? 0 : 1;
            EXPECT_TRUE(hard || written);
            expectLoggedOnceIfFailed(log, written);
            if (written) {
                EXPECT_EQ(content, readEncrypted(target).value_or("unreadable"));
            }
            std::optional<std::string> keyBytes;
            if (std::filesystem::exists(keyFile)) {
                keyBytes = nuvrixtest::readFileBytes(keyFile);
                EXPECT_EQ(32u, keyBytes->size());
                struct stat info;
                ASSERT_EQ(0, ::stat(keyFile.c_str(), &info));
                EXPECT_EQ(0600u, info.st_mode & 07777);
            } else {
                EXPECT_FALSE(written);
            }
            const bool removalFailed = hard && onKeyTemporary && call.operation == "unlink";
            EXPECT_EQ(removalFailed ? 1u : 0u, temporariesIn(local).size());
            EXPECT_EQ(std::vector<std::string>(), temporariesIn(configDir));
            // The next write succeeds, under the key that was left.
            ASSERT_TRUE(writeEncrypted(target, content + "again"));
            EXPECT_EQ(content + "again", readEncrypted(target));
            if (keyBytes) {
                EXPECT_EQ(*keyBytes, nuvrixtest::readFileBytes(keyFile));
            }
        }
    }
    // With two errors each: the first open of the key file; open, fstat,
    // fchmod, write, fsync and link of its temporary, open and fsync of its
    // directory; open, fstat and read of the new key file; and the ten calls
    // of the settings write that fail it.
    EXPECT_EQ(2u * 22u, hardFailures);
}
