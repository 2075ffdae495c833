// Saving never destroys the file that was there before: a save that fails at
// any point leaves the old file byte for byte and no temporary file behind.
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
    {
        AtomicFile file(target);
        file.Write("new content");
        EXPECT_TRUE(std::filesystem::exists(file.TemporaryPath()));
    }
    ExpectOldFileIntact();
}

}  // namespace
}  // namespace mv
