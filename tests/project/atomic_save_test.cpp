// Saving never destroys the file that was there before: a save that fails at
// any point, or is killed, leaves the old file byte for byte and no temporary
// file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>

#include "platform/file/atomic_file.h"
#include "project/list/recipient_list.h"
#include "project/stream/project_stream.h"
#include "test_support.h"

namespace mv {
namespace {

std::vector<std::string> Names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `body` in a child process (as an ordinary user when the tests run as
// root, so that folder permissions bind) and returns its exit code.
int InChild(const std::function<int()>& body, bool unprivileged) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(99);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

void Fill(RecipientList& list, size_t rows) {
    for (size_t i = 0; i < rows; ++i) {
        RecipientRow row;
        row.caption = "user" + std::to_string(i) + "@example.com";
        row.subItems = {"[0] Valid E-mail Address!"};
        list.AppendRow(row);
    }
}

class AtomicSave : public ::testing::Test {
  protected:
    void SetUp() override {
        target = dir / "project.mlt";
        test::WriteFile(target, "the old project");
    }
    void ExpectOldFileIntact() {
        EXPECT_EQ(test::ReadFile(target), "the old project");
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"project.mlt"});
    }
    test::TempDir dir;
    std::filesystem::path target;
};

TEST_F(AtomicSave, AProducerThatFailsHalfWayChangesNothing) {
    EXPECT_THROW(WriteFileAtomically(target,
                                     [](ByteSink& sink) {
                                         sink.Write(std::string(1 << 20, 'x'));
                                         throw EWriteError(ENOSPC);
                                     }),
                 EWriteError);
    ExpectOldFileIntact();
}

TEST_F(AtomicSave, AFileSizeLimitMidWayChangesNothing) {
    RecipientList list;
    Fill(list, 20000);  // about a megabyte of stream
    const int code = InChild(
        [&] {
            std::signal(SIGXFSZ, SIG_IGN);  // let write() report EFBIG instead
            const rlimit limit{rlim_t{64} * 1024, rlim_t{64} * 1024};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return 2;
            }
            try {
                SaveProjectFile(list, target);
            } catch (const EWriteError& error) {
                return std::string(error.what()) == "Stream write error" &&
                               error.SystemError() == EFBIG
                           ? 0
                           : 3;
            } catch (...) {
                return 4;
            }
            return 1;
        },
        false);
    EXPECT_EQ(code, 0);
    ExpectOldFileIntact();
}

TEST_F(AtomicSave, AReadOnlyFolderGivesCannotCreateAndChangesNothing) {
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    std::filesystem::permissions(target, std::filesystem::perms(0644));
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0555));
    RecipientList list;
    Fill(list, 3);
    const int code = InChild(
        [&] {
            try {
                SaveProjectFile(list, target);
            } catch (const EFCreateError& error) {
                return std::string(error.what()) == "Cannot create file " + target.string() ? 0 : 3;
            }
            return 1;
        },
        true);
    EXPECT_EQ(code, 0);
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0700));
    ExpectOldFileIntact();
}

TEST_F(AtomicSave, AReadOnlyFileIsNotReplaced) {
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0777));
    std::filesystem::permissions(target, std::filesystem::perms(0444));
    RecipientList list;
    const int code = InChild(
        [&] {
            try {
                SaveProjectFile(list, target);
            } catch (const EFCreateError&) {
                return 0;
            }
            return 1;
        },
        true);
    EXPECT_EQ(code, 0);
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0700));
    ExpectOldFileIntact();
}

TEST_F(AtomicSave, ASuccessfulSaveKeepsTheModeAndFollowsLinks) {
    chmod(target.c_str(), 0640);
    std::filesystem::create_symlink("project.mlt", dir / "link.mlt");
    RecipientList list;
    Fill(list, 2);
    SaveProjectFile(list, dir / "link.mlt");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.mlt"));
    EXPECT_EQ(test::ReadFile(target).substr(0, 4), "TPF0");
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"link.mlt", "project.mlt"}));
}

TEST_F(AtomicSave, AnUncommittedFileLeavesNothingBehind) {
    for (const auto naming : {TemporaryName::WhenComplete, TemporaryName::FromTheStart}) {
        {
            AtomicFile file(target, naming);
            file.Write("new content");
            if (naming == TemporaryName::FromTheStart) {
                EXPECT_TRUE(std::filesystem::exists(file.TemporaryPath()));
            }
        }
        ExpectOldFileIntact();
    }
}

bool SupportsUnnamedFiles(const std::filesystem::path& folder) {
    const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

TEST_F(AtomicSave, ASaveKilledWhileWritingLeavesNoFileBehind) {
    if (!SupportsUnnamedFiles(dir.path())) {
        GTEST_SKIP() << "the file system of " << dir.path() << " has no unnamed files";
    }
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        WriteFileAtomically(target, [&](ByteSink& sink) {
            sink.Write(std::string(size_t{4} << 20, 'x'));
            (void)!write(ready[1], "w", 1);
            pause();  // killed here, in the middle of the save
        });
        _exit(1);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    ExpectOldFileIntact();
}

TEST_F(AtomicSave, TheNextSaveRemovesTheLeftoversOfEarlierSaves) {
    AtomicFile live(target, TemporaryName::FromTheStart);  // a save still under way
    const std::vector<std::string> leftovers = {".project.mlt.abcd1234.tmp",
                                                ".project.mlt.0a1b2c3d.tmp"};
    std::vector<std::string> kept = {
        live.TemporaryPath().filename().string(),
        ".other.mlt.abcd1234.tmp",     // another file's
        "project.mlt.abcd1234.tmp",    // not our pattern
        ".project.mlt.ABCD1234.tmp",   // not our pattern
        ".project.mlt.abcd12345.tmp",  // not our pattern
    };
    for (const std::string& name : leftovers) {
        test::WriteFile(dir / name, "half a save");
    }
    for (size_t i = 1; i < kept.size(); ++i) {
        test::WriteFile(dir / kept[i], "someone else's");
    }

    WriteFileAtomically(target, [](ByteSink& sink) { sink.Write("the new project"); });
    kept.emplace_back("project.mlt");
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Names(dir.path()), kept);
    EXPECT_EQ(test::ReadFile(target), "the new project");
}

}  // namespace
}  // namespace mv
