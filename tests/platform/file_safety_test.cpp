// Reading files others may name, writing files beside planted links, and
// the permissions of what is created, whatever the umask.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/bounded_file.h"
#include "platform/error.h"
#include "platform/file_access.h"
#include "platform/posix/replacement_file.h"
#include "platform/posix/trusted_path.h"
#include "tests/platform/posix_files.h"

namespace tarvik::testing {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

constexpr std::size_t kLimit = 64;

struct ReadCase {
  const char* name;
  std::string path;  // "%" stands for the test folder
  FileReadFault fault;
};

class BoundedReadTest : public ::testing::TestWithParam<ReadCase> {
 protected:
  void SetUp() override {
    WriteText(folder_.file("small"), "column head=x\n");
    WriteText(folder_.file("large"), std::string(kLimit + 1, 'x'));
    WriteText(folder_.file("exact"), std::string(kLimit, 'x'));
    ASSERT_EQ(::mkfifo(folder_.file("fifo").c_str(), 0600), 0);
    fs::create_directory(folder_.path() / "folder");
  }
  std::string Resolve(std::string path) const {
    if (!path.empty() && path[0] == '%') path = folder_.path().string() + path.substr(1);
    return path;
  }

  PosixTempFolder folder_;
};

TEST_P(BoundedReadTest, OnlyRegularFilesUpToTheLimitAreRead) {
  const std::string path = Resolve(GetParam().path);
  // A read that blocked would hang the test: it runs aside, with a limit.
  auto read = std::async(std::launch::async, [&] { return ReadRegularFile(path, kLimit); });
  if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    // Let a reader stuck on the FIFO go before failing.
    const int writer = ::open(folder_.file("fifo").c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    FAIL() << path << " blocked the reader";
  }
  const BoundedRead result = read.get();
  EXPECT_EQ(result.fault, GetParam().fault);
  if (GetParam().fault == FileReadFault::kNone) {
    EXPECT_EQ(result.text, FileText(path));
  } else {
    EXPECT_TRUE(result.text.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BoundedReadTest,
    ::testing::Values(ReadCase{"Regular", "%/small", FileReadFault::kNone},
                      ReadCase{"AtTheLimit", "%/exact", FileReadFault::kNone},
                      ReadCase{"OverTheLimit", "%/large", FileReadFault::kTooLarge},
                      ReadCase{"Missing", "%/absent", FileReadFault::kMissing},
                      ReadCase{"Folder", "%/folder", FileReadFault::kNotRegular},
                      ReadCase{"Fifo", "%/fifo", FileReadFault::kNotRegular},
                      ReadCase{"EndlessDevice", "/dev/zero", FileReadFault::kNotRegular}),
    [](const auto& info) { return std::string(info.param.name); });

class ReplacementFileTest : public ::testing::Test {
 protected:
  PosixTempFolder folder_;
};

// The old writers used "<target>.part" and "<target>.tmp<pid>": names anyone
// can guess and plant a link under.
TEST_F(ReplacementFileTest, APlantedLinkBesideTheTargetIsNotWrittenThrough) {
  const std::string victim = folder_.file("victim");
  WriteText(victim, "root only\n");
  ::chmod(victim.c_str(), 0600);
  const std::string target = folder_.file("out.pdf");
  for (const std::string& planted : {target + ".part", target + ".tmp" + std::to_string(::getpid()),
                                     target + ".tmp"}) {
    ASSERT_EQ(::symlink(victim.c_str(), planted.c_str()), 0);
  }
  ReplacementFile file(target, 0644);
  file.Write("new");
  file.Commit(ReplacementFile::Existing::kReplace);
  EXPECT_EQ(FileText(victim), "root only\n");
  EXPECT_EQ(FileText(target), "new");
}

TEST_F(ReplacementFileTest, ALinkAtTheTargetIsReplacedNotFollowed) {
  const std::string victim = folder_.file("victim");
  WriteText(victim, "keep");
  const std::string target = folder_.file("registry.json");
  ASSERT_EQ(::symlink(victim.c_str(), target.c_str()), 0);
  ReplacementFile file(target, 0644);
  file.Write("new");
  file.Commit(ReplacementFile::Existing::kReplace);
  EXPECT_EQ(FileText(victim), "keep");
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_EQ(FileText(target), "new");
}

TEST_F(ReplacementFileTest, RefusingLeavesAnExistingTargetAndNoStrayFile) {
  const std::string target = folder_.file("taken.pdf");
  WriteText(target, "old");
  try {
    ReplacementFile file(target, 0644);
    file.Write("new");
    file.Commit(ReplacementFile::Existing::kRefuse);
    FAIL() << "replaced an existing file";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 58);
    EXPECT_THAT(e.description(), HasSubstr(target));
  }
  EXPECT_EQ(FileText(target), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path()), fs::directory_iterator()), 1);
}

TEST_F(ReplacementFileTest, AnUncommittedFileLeavesNothing) {
  {
    ReplacementFile file(folder_.file("never.pdf"), 0644);
    file.Write("half");
  }
  EXPECT_TRUE(fs::is_empty(folder_.path()));
}

// Under umask 000 a plain open would leave everything writable by anyone.
TEST(CreatedFiles, ModesAreDeliberateWhateverTheUmask) {
  PosixTempFolder folder;
  ScopedUmask open_umask(0);
  {
    ReplacementFile pdf(folder.file("invoice.pdf"), 0644);
    pdf.Commit(ReplacementFile::Existing::kRefuse);
  }
  EXPECT_EQ(ModeOf(folder.file("invoice.pdf")), 0644);
  EXPECT_TRUE(CreateOwnerOnlyFile(folder.file("books.db")));
  EXPECT_EQ(ModeOf(folder.file("books.db")), 0600);
  EXPECT_FALSE(CreateOwnerOnlyFile(folder.file("books.db")));
  CreateFolders(folder.path() / "a" / "b");
  EXPECT_EQ(ModeOf(folder.file("a")), 0755);
  EXPECT_EQ(ModeOf(folder.file("a/b")), 0755);
}

TEST(CreatedFiles, AnOwnerOnlyFileIsNotCreatedThroughALink) {
  PosixTempFolder folder;
  const std::string victim = folder.file("victim");
  const std::string link = folder.file("books.db");
  ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
  EXPECT_FALSE(CreateOwnerOnlyFile(link));
  EXPECT_FALSE(fs::exists(victim));
}

// "Another" owner is nobody, "another" group nogroup; write access for the
// group counts only when it is not the user's private group (root's, here).
struct TrustCase {
  const char* name;
  mode_t folder_mode;
  mode_t file_mode;
  bool file_to_other_user;
  bool folder_to_other_user;
  bool to_other_group;  // file and folder
  const char* subject;  // "file" or "folder" at fault; empty: trusted
  const char* fault;
};

class TrustedPathTest : public ::testing::TestWithParam<TrustCase> {};

TEST_P(TrustedPathTest, FileAndFoldersMustBeOursAndClosedToOthers) {
  const TrustCase& c = GetParam();
  const auto other = OtherUser();
  const auto other_group = OtherGroup();
  if ((c.file_to_other_user || c.folder_to_other_user || c.to_other_group) && !other) {
    GTEST_SKIP() << "needs root to give files to another user";
  }
  // Only root's own group is known to be private (no members) everywhere.
  const bool own_group_writes = !c.to_other_group && ((c.file_mode | c.folder_mode) & S_IWGRP) &&
                                !((c.file_mode | c.folder_mode) & S_IWOTH);
  if (own_group_writes) {
    const group* root = ::getgrgid(0);
    if (::geteuid() != 0 || !root || (root->gr_mem && root->gr_mem[0])) {
      GTEST_SKIP() << "needs root, with a group of no other members";
    }
  }
  PosixTempFolder top;
  const fs::path folder = top.path() / "shared";
  fs::create_directory(folder);
  const std::string file = (folder / "classes.json").string();
  WriteText(file, "{}");
  ASSERT_EQ(::chmod(file.c_str(), c.file_mode), 0);
  ASSERT_EQ(::chmod(folder.c_str(), c.folder_mode), 0);
  if (c.file_to_other_user) {
    ASSERT_EQ(::chown(file.c_str(), *other, -1), 0);
  }
  if (c.folder_to_other_user) {
    ASSERT_EQ(::chown(folder.c_str(), *other, -1), 0);
  }
  if (c.to_other_group) {
    ASSERT_EQ(::chown(file.c_str(), -1, *other_group), 0);
    ASSERT_EQ(::chown(folder.c_str(), -1, *other_group), 0);
  }
  const std::string why = WhyNotTrusted(file);
  if (std::string(c.subject).empty()) {
    EXPECT_EQ(why, "");
  } else {
    EXPECT_EQ(why.rfind(std::string(c.subject) + " ", 0), 0u) << why;
    EXPECT_THAT(why, HasSubstr(c.fault));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TrustedPathTest,
    ::testing::Values(
        TrustCase{"Ours", 0755, 0644, false, false, false, "", ""},
        TrustCase{"StickyFolderForAll", 01777, 0644, false, false, false, "", ""},
        TrustCase{"WritableByOwnPrivateGroup", 0775, 0664, false, false, false, "", ""},
        TrustCase{"GroupWritableFile", 0755, 0664, false, false, true, "file", "writable by group"},
        TrustCase{"WorldWritableFile", 0755, 0646, false, false, false, "file", "writable by group or others"},
        TrustCase{"GroupWritableFolder", 0775, 0644, false, false, true, "folder", "writable by group"},
        TrustCase{"WorldWritableFolder", 0777, 0644, false, false, false, "folder", "writable by group or others"},
        TrustCase{"FileOfAnotherUser", 0755, 0644, true, false, false, "file", "another user"},
        TrustCase{"FolderOfAnotherUser", 0755, 0644, false, true, false, "folder", "another user"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrustedPath, ALibraryIsLoadedOnlyByAnAbsolutePathToARegularFile) {
  PosixTempFolder folder;
  WriteText(folder.file("lib.so"), "x");
  EXPECT_EQ(WhyNotLoadable(folder.file("lib.so")), "");
  EXPECT_THAT(WhyNotLoadable("./lib.so"), HasSubstr("not absolute"));
  EXPECT_THAT(WhyNotLoadable("lib.so"), HasSubstr("not absolute"));
  EXPECT_THAT(WhyNotLoadable(""), HasSubstr("no library"));
  EXPECT_THAT(WhyNotLoadable(folder.path().string()), HasSubstr("not a regular file"));
  EXPECT_THAT(WhyNotLoadable(folder.file("absent.so")), HasSubstr("does not exist"));
}

}  // namespace
}  // namespace tarvik::testing
