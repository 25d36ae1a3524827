// The class registry decides what code a host runs, so it is believed only
// when nobody but the user (or root) could have written it, and it names
// libraries by absolute paths that nobody else could have replaced. Its
// writer follows no planted link and waits a bounded time for its lock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/class_registry.h"
#include "platform/error.h"
#include "tarvik/guids.h"
#include "tests/platform/posix_files.h"
#include "tests/support/scoped_variable.h"

namespace tarvik::testing {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

constexpr const char* kPlantedProgId = "Test.Planted";

std::string BuiltLibrary() { return std::string(TARVIK_BUILD_DIR_DEFAULT) + "/libtarvikinvoice.so"; }

struct Outcome {
  HRESULT hresult = S_OK;
  bool object = false;
  std::string description;
};

Outcome Create(const std::string& progid) {
  ComPtr<IDispatch> object;
  Outcome o;
  o.hresult = CreateObject(progid, &object);
  o.object = static_cast<bool>(object);
  if (auto rec = TakeErrorRecord()) o.description = rec->description;
  return o;
}

// A registry in a folder of the test naming a working server (a copy of the
// built one) under a program id of its own; each case then spoils one thing.
struct Scene {
  PosixTempFolder top;
  fs::path config;       // $XDG_CONFIG_HOME
  std::string registry;  // config/tarvik/classes.json
  std::string library;   // top/server.so
  std::optional<uid_t> other;
};

using Spoil = void (*)(Scene&);

struct SpoilCase {
  const char* name;
  const char* variable;  // how the registry is named
  bool needs_other_user;  // or group
  const char* library;   // as the registry names it; empty: the copy, by its absolute path
  Spoil spoil;           // after the registry is written
  const char* reason;    // in the refusal; empty: the object is created
};

void Nothing(Scene&) {}
void LibraryToOtherUser(Scene& s) { EXPECT_EQ(::chown(s.library.c_str(), *s.other, -1), 0); }
void LibraryGroupWritable(Scene& s) {
  ::chmod(s.library.c_str(), 0775);
  EXPECT_EQ(::chown(s.library.c_str(), -1, *OtherGroup()), 0);
}
void LibraryFolderShared(Scene& s) { ::chmod(s.top.path().c_str(), 0777); }
void RegistryToOtherUser(Scene& s) { EXPECT_EQ(::chown(s.registry.c_str(), *s.other, -1), 0); }
void RegistryGroupWritable(Scene& s) {
  ::chmod(s.registry.c_str(), 0664);
  EXPECT_EQ(::chown(s.registry.c_str(), -1, *OtherGroup()), 0);
}
void RegistryFolderShared(Scene& s) { ::chmod((s.config / "tarvik").c_str(), 0777); }
void ConfigToOtherUser(Scene& s) { EXPECT_EQ(::chown(s.config.c_str(), *s.other, -1), 0); }

class SpoiledRegistry : public ::testing::TestWithParam<SpoilCase> {
 protected:
  void SetUp() override {
    s_.other = OtherUser();
    s_.config = s_.top.path() / "config";
    fs::create_directories(s_.config / "tarvik");
    ::chmod(s_.config.c_str(), 0755);
    ::chmod((s_.config / "tarvik").c_str(), 0755);
    s_.registry = (s_.config / "tarvik" / "classes.json").string();
    s_.library = s_.top.file("server.so");
    fs::copy_file(BuiltLibrary(), s_.library);
    ::chmod(s_.library.c_str(), 0755);
  }

  void WriteRegistry(const std::string& library) const {
    nlohmann::json doc{{"classes",
                        {{{"clsid", GuidToString(CLSID_Invoice)},
                          {"progid", kPlantedProgId},
                          {"library", library},
                          {"threading", "Apartment"}}}}};
    WriteText(s_.registry, doc.dump());
    ::chmod(s_.registry.c_str(), 0644);
  }

  Scene s_;
};

TEST_P(SpoiledRegistry, IsRefusedNamingThePathAndTheReason) {
  const SpoilCase& c = GetParam();
  if (c.needs_other_user && !s_.other) GTEST_SKIP() << "needs root to give files to another user";
  WriteRegistry(std::string(c.library).empty() ? s_.library : std::string(c.library));
  c.spoil(s_);

  const bool by_file = std::string(c.variable) == "TARVIK_CLASS_REGISTRY";
  ScopedVariable named("TARVIK_CLASS_REGISTRY", std::nullopt);
  ScopedVariable xdg("XDG_CONFIG_HOME", std::nullopt);
  ScopedVariable chosen(c.variable, by_file ? s_.registry : s_.config.string());
  ASSERT_EQ(ClassRegistryPath(), s_.registry);

  const fs::path cwd = fs::current_path();
  fs::current_path(s_.top.path());  // where a relative library name would be found
  const Outcome o = Create(kPlantedProgId);
  fs::current_path(cwd);

  if (std::string(c.reason).empty()) {
    EXPECT_EQ(o.hresult, S_OK) << o.description;
    EXPECT_TRUE(o.object);
    return;
  }
  EXPECT_TRUE(Failed(o.hresult));
  EXPECT_FALSE(o.object);
  EXPECT_THAT(o.description, HasSubstr(c.reason));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpoiledRegistry,
    ::testing::Values(
        SpoilCase{"AllOurs", "TARVIK_CLASS_REGISTRY", false, "", Nothing, ""},
        SpoilCase{"RelativeLibrary", "TARVIK_CLASS_REGISTRY", false, "./server.so", Nothing,
                  "./server.so is not absolute"},
        SpoilCase{"LibraryOfAnotherUser", "TARVIK_CLASS_REGISTRY", true, "", LibraryToOtherUser,
                  "server.so belongs to another user"},
        SpoilCase{"LibraryWritableByGroup", "TARVIK_CLASS_REGISTRY", true, "",
                  LibraryGroupWritable, "server.so is writable by group or others"},
        SpoilCase{"LibraryInASharedFolder", "TARVIK_CLASS_REGISTRY", false, "",
                  LibraryFolderShared, "is writable by group or others"},
        SpoilCase{"RegistryOfAnotherUser", "TARVIK_CLASS_REGISTRY", true, "", RegistryToOtherUser,
                  "classes.json belongs to another user"},
        SpoilCase{"RegistryWritableByGroup", "TARVIK_CLASS_REGISTRY", true, "",
                  RegistryGroupWritable, "classes.json is writable by group or others"},
        SpoilCase{"RegistryInASharedFolder", "TARVIK_CLASS_REGISTRY", false, "",
                  RegistryFolderShared, "tarvik is writable by group or others"},
        SpoilCase{"ConfigHomeOfAnotherUser", "XDG_CONFIG_HOME", true, "", ConfigToOtherUser,
                  "config belongs to another user"}),
    [](const auto& info) { return std::string(info.param.name); });

ClassRegistration Registration(const std::string& library) {
  return {GuidToString(CLSID_BackOrder), "Test.Written", library, "Apartment", {}, ""};
}

// Runs `call` aside; when it has not ended after `limit`, `release` is run
// so it can end, and the call counts as hung.
bool EndsWithin(std::chrono::seconds limit, const std::function<void()>& call,
                const std::function<void()>& release, std::string* error) {
  auto run = std::async(std::launch::async, [&] {
    try {
      call();
    } catch (const AutomationError& e) {
      *error = e.description();
    }
  });
  if (run.wait_for(limit) == std::future_status::ready) return true;
  release();
  run.wait();
  return false;
}

class RegistryWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { registry_ = top_.file("config/tarvik/classes.json"); }
  PosixTempFolder top_;
  std::string registry_;
};

TEST_F(RegistryWriterTest, FollowsNoLinkPlantedForItsTemporaryFile) {
  const std::string victim = top_.file("root-only");
  WriteText(victim, "secret\n");
  ::chmod(victim.c_str(), 0600);
  fs::create_directories(fs::path(registry_).parent_path());
  for (const std::string& planted : {registry_ + ".tmp" + std::to_string(::getpid()),
                                     registry_ + ".tmp", registry_ + ".part"}) {
    ASSERT_EQ(::symlink(victim.c_str(), planted.c_str()), 0);
  }
  ScopedVariable named("TARVIK_CLASS_REGISTRY", registry_);
  RegisterClass(Registration(BuiltLibrary()));
  EXPECT_EQ(FileText(victim), "secret\n");
  ASSERT_EQ(RegisteredClasses().size(), 1u);
  EXPECT_EQ(RegisteredClasses()[0].library, BuiltLibrary());
}

TEST_F(RegistryWriterTest, CreatesItsFolderAndFileClosedToOthersWhateverTheUmask) {
  ScopedVariable named("TARVIK_CLASS_REGISTRY", registry_);
  {
    ScopedUmask open_umask(0);
    RegisterClass(Registration(BuiltLibrary()));
  }
  EXPECT_EQ(ModeOf(registry_), 0644);
  EXPECT_EQ(ModeOf(top_.file("config/tarvik")), 0755);
  EXPECT_EQ(ModeOf(top_.file("config")), 0755);
  EXPECT_EQ(ModeOf(registry_ + ".lock") & 077, 0);
}

TEST_F(RegistryWriterTest, RefusesToRegisterARelativeLibrary) {
  ScopedVariable named("TARVIK_CLASS_REGISTRY", registry_);
  try {
    RegisterClass(Registration("./evil.so"));
    FAIL() << "registered a relative path";
  } catch (const AutomationError& e) {
    EXPECT_THAT(e.description(), HasSubstr("not absolute"));
  }
  EXPECT_FALSE(fs::exists(registry_));
}

// A lock file anyone may open can be held by anyone: it is replaced by one
// of the user's own instead of being waited for.
TEST_F(RegistryWriterTest, ALockOthersCanOpenDoesNotHoldRegistrationUp) {
  const auto other = OtherUser();
  fs::create_directories(fs::path(registry_).parent_path());
  const std::string lock = registry_ + ".lock";
  const int held = ::open(lock.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(held, 0);
  ::fchmod(held, 0644);
  if (other) {
    ASSERT_EQ(::fchown(held, *other, -1), 0);
  }
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  ScopedVariable named("TARVIK_CLASS_REGISTRY", registry_);
  std::string error;
  const bool ended = EndsWithin(
      std::chrono::seconds(10), [&] { RegisterClass(Registration(BuiltLibrary())); },
      [&] { ::flock(held, LOCK_UN); }, &error);
  ::close(held);
  EXPECT_TRUE(ended) << "register waited for a lock anyone could hold";
  EXPECT_EQ(error, "");
  EXPECT_EQ(RegisteredClasses().size(), 1u);
  EXPECT_EQ(ModeOf(lock) & 077, 0);
}

TEST_F(RegistryWriterTest, ALockHeldTooLongIsAClearErrorNotAHang) {
  ScopedVariable named("TARVIK_CLASS_REGISTRY", registry_);
  RegisterClass(Registration(BuiltLibrary()));  // makes the user's own lock
  const int held = ::open((registry_ + ".lock").c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  std::string error;
  const bool ended = EndsWithin(
      std::chrono::seconds(20), [&] { UnregisterClass(GuidToString(CLSID_BackOrder)); },
      [&] { ::flock(held, LOCK_UN); }, &error);
  ::close(held);
  EXPECT_TRUE(ended) << "unregister waited for the lock without end";
  EXPECT_THAT(error, HasSubstr(registry_ + ".lock"));
  EXPECT_THAT(error, HasSubstr("seconds"));
  EXPECT_EQ(RegisteredClasses().size(), 1u);  // nothing was changed
}

}  // namespace
}  // namespace tarvik::testing
