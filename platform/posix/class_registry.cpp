#include "platform/class_registry.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/error.h"
#include "platform/file_access.h"
#include "platform/posix/replacement_file.h"
#include "platform/posix/trusted_path.h"

namespace tarvik {

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr std::int32_t kErrPathAccess = 75;

// Not taken from the environment of a set-id program's caller.
std::string Env(const char* name) {
  const char* v = ::secure_getenv(name);
  return v ? v : "";
}

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Class ids compare as GUIDs when they are ones, as text otherwise.
bool SameClsid(const std::string& a, const std::string& b) {
  GUID ga{}, gb{};
  if (GuidFromString(a, &ga) && GuidFromString(b, &gb)) return ga == gb;
  return SameNoCase(a, b);
}

json ToJson(const ClassRegistration& r) {
  return json{{"clsid", r.clsid},         {"progid", r.progid},
              {"library", r.library},     {"threading", r.threading},
              {"interfaces", r.interfaces}, {"typelib", r.typelib}};
}

ClassRegistration FromJson(const json& j) {
  ClassRegistration r;
  r.clsid = j.value("clsid", "");
  r.progid = j.value("progid", "");
  r.library = j.value("library", "");
  r.threading = j.value("threading", "");
  if (j.contains("interfaces") && j["interfaces"].is_array()) {
    for (const auto& i : j["interfaces"]) {
      if (i.is_string()) r.interfaces.push_back(i.get<std::string>());
    }
  }
  r.typelib = j.value("typelib", "");
  return r;
}

constexpr std::size_t kMaxRegistryBytes = 1 << 20;
constexpr auto kLockWait = std::chrono::seconds(3);

[[noreturn]] void Untrusted(const std::string& path, const std::string& why) {
  RaiseError(kErrPathAccess, "The class registry " + path + " cannot be used: " + why);
}

// Creates the registry's missing folders, none open to others whatever the
// umask, and refuses folders that others could change.
void PrepareFolder(const std::string& path) {
  try {
    CreateFolders(fs::path(path).parent_path());
  } catch (const std::system_error& e) {
    Untrusted(path, e.what());
  }
  if (std::string why = WhyNotTrustedFolders(path); !why.empty()) Untrusted(path, why);
}

// Holds an advisory lock beside the registry for one read-modify-write, so
// two processes registering at once do not lose an entry. The lock file is
// this user's alone: one that others could open (and hold locked forever)
// is replaced, and a lock held too long is an error, not a hang.
class RegistryLock {
 public:
  explicit RegistryLock(const std::string& path) {
    PrepareFolder(path);
    const std::string lock = path + ".lock";
    fd_ = OpenPrivate(lock);
    if (fd_ < 0) {
      // Someone else's, shared, or not a file: the folder is ours, so it can go.
      ::unlink(lock.c_str());
      fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd_ < 0) {
        Untrusted(path, "cannot create its lock file " + lock + ": " + std::strerror(errno));
      }
    }
    const auto give_up = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) {
        Untrusted(path, "cannot lock " + lock + ": " + std::strerror(errno));
      }
      if (std::chrono::steady_clock::now() >= give_up) {
        ::close(fd_);
        fd_ = -1;
        Untrusted(path, "another process has held its lock " + lock + " for more than " +
                            std::to_string(kLockWait.count()) + " seconds");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~RegistryLock() {
    if (fd_ >= 0) {
      ::flock(fd_, LOCK_UN);
      ::close(fd_);
    }
  }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;

 private:
  // The lock file when it is a regular file of this user that nobody else
  // may open; -1 otherwise.
  static int OpenPrivate(const std::string& lock) {
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) == 0) {
      return fd;
    }
    ::close(fd);
    return -1;
  }

  int fd_ = -1;
};

struct OpenFile {
  int fd;
  ~OpenFile() { ::close(fd); }
};

std::vector<ClassRegistration> Load(const std::string& path) {
  std::vector<ClassRegistration> out;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return out;  // no file yet: nothing registered
    Untrusted(path, std::string("it cannot be opened: ") + std::strerror(errno));
  }
  std::string text;
  {
    const OpenFile closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) Untrusted(path, std::strerror(errno));
    if (std::string why = WhyNotTrustedFile(st, path); !why.empty()) Untrusted(path, why);
    if (std::string why = WhyNotTrustedFolders(path); !why.empty()) Untrusted(path, why);
    if (static_cast<std::size_t>(st.st_size) > kMaxRegistryBytes) {
      Untrusted(path, "it is larger than " + std::to_string(kMaxRegistryBytes) + " bytes");
    }
    text.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < text.size()) {
      const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Untrusted(path, std::string("it cannot be read: ") + std::strerror(errno));
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    text.resize(got);
  }
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) return out;
  json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object() || !doc.contains("classes") ||
      !doc["classes"].is_array()) {
    RaiseError(kErrPathAccess, "The class registry " + path + " is not a valid registry file");
  }
  for (const auto& c : doc["classes"]) {
    if (c.is_object()) out.push_back(FromJson(c));
  }
  return out;
}

// Written aside under a fresh name and renamed, so a reader never sees half
// a file and a name planted beside the registry is never written through.
void Save(const std::string& path, const std::vector<ClassRegistration>& regs) {
  json doc{{"classes", json::array()}};
  for (const auto& r : regs) doc["classes"].push_back(ToJson(r));
  ReplacementFile file(path, 0644);
  file.Write(doc.dump(2) + "\n");
  file.Commit(ReplacementFile::Existing::kReplace);
}

using GetClassObjectFn = HRESULT (*)(const CLSID&, const IID&, void**);

// Libraries stay loaded for the life of the process, as in-process servers do.
GetClassObjectFn LoadServer(const std::string& library, std::string* error) {
  static std::mutex mutex;
  static std::map<std::string, void*> loaded;
  std::lock_guard<std::mutex> lock(mutex);
  void*& handle = loaded[library];
  if (!handle) {
    if (std::string why = WhyNotLoadable(library); !why.empty()) {
      *error = "Refusing to load the server of this class: " + why;
      loaded.erase(library);
      return nullptr;
    }
    handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = ::dlerror();
      *error = "Cannot load " + library + (why ? std::string(": ") + why : std::string());
      loaded.erase(library);
      return nullptr;
    }
  }
  void* sym = ::dlsym(handle, "DllGetClassObject");
  if (!sym) {
    *error = library + " has no DllGetClassObject";
    return nullptr;
  }
  return reinterpret_cast<GetClassObjectFn>(sym);
}

HRESULT Fail(HRESULT h, const std::string& description) {
  ErrorRecord rec;
  rec.hresult = h;
  rec.number = kErrCannotCreateObject;
  rec.description = description;
  SetErrorRecord(std::move(rec));
  return h;
}

}  // namespace

std::string ClassRegistryPath() {
  if (std::string p = Env("TARVIK_CLASS_REGISTRY"); !p.empty()) return p;
  if (std::string x = Env("XDG_CONFIG_HOME"); !x.empty()) return x + "/tarvik/classes.json";
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
  }
  return home + "/.config/tarvik/classes.json";
}

void RegisterClass(const ClassRegistration& reg) {
  const std::string path = ClassRegistryPath();
  if (reg.library.empty() || reg.library.front() != '/') {
    RaiseError(kErrPathAccess, "Cannot register " + reg.progid + ": its library path " +
                                   reg.library + " is not absolute");
  }
  RegistryLock lock(path);
  std::vector<ClassRegistration> regs = Load(path);
  bool replaced = false;
  for (auto& r : regs) {
    if (SameClsid(r.clsid, reg.clsid)) {
      r = reg;
      replaced = true;
    }
  }
  if (!replaced) regs.push_back(reg);
  Save(path, regs);
}

bool UnregisterClass(const std::string& clsid) {
  const std::string path = ClassRegistryPath();
  RegistryLock lock(path);
  std::vector<ClassRegistration> regs = Load(path);
  const std::size_t before = regs.size();
  std::erase_if(regs, [&](const ClassRegistration& r) { return SameClsid(r.clsid, clsid); });
  if (regs.size() == before) return false;
  Save(path, regs);
  return true;
}

std::optional<ClassRegistration> FindClassByProgId(const std::string& progid) {
  for (auto& r : Load(ClassRegistryPath())) {
    if (SameNoCase(r.progid, progid)) return r;
  }
  return std::nullopt;
}

std::vector<ClassRegistration> RegisteredClasses() { return Load(ClassRegistryPath()); }

HRESULT CreateObject(const std::string& progid, ComPtr<IDispatch>* out) {
  if (!out) return E_POINTER;
  out->reset();
  std::optional<ClassRegistration> reg;
  HRESULT h = Guard([&] { reg = FindClassByProgId(progid); });
  if (Failed(h)) return h;
  if (!reg) return Fail(REGDB_E_CLASSNOTREG, "Class " + progid + " is not registered");
  CLSID clsid{};
  if (!GuidFromString(reg->clsid, &clsid)) {
    return Fail(REGDB_E_CLASSNOTREG, "Class " + progid + " has a malformed class id");
  }
  std::string error;
  GetClassObjectFn get_class_object = LoadServer(reg->library, &error);
  if (!get_class_object) return Fail(CLASS_E_CLASSNOTAVAILABLE, error);

  ComPtr<IClassFactory> factory;
  h = get_class_object(clsid, IID_IClassFactory, factory.put_void());
  if (Failed(h)) return h;
  if (!factory) return Fail(CLASS_E_CLASSNOTAVAILABLE, "No class factory for " + progid);
  ComPtr<IDispatch> object;
  h = factory->CreateInstance(nullptr, IID_IDispatch, object.put_void());
  if (Failed(h)) return h;
  if (!object) return Fail(E_NOINTERFACE, progid + " gave no object");
  *out = std::move(object);
  return S_OK;
}

}  // namespace tarvik
