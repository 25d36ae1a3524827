#include "platform/class_registry.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/error.h"

namespace tarvik {

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr std::int32_t kErrPathAccess = 75;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
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

// Holds an advisory lock beside the registry for one read-modify-write, so
// two processes registering at once do not lose an entry.
class RegistryLock {
 public:
  explicit RegistryLock(const std::string& path) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
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
  int fd_ = -1;
};

std::vector<ClassRegistration> Load(const std::string& path) {
  std::vector<ClassRegistration> out;
  std::ifstream in(path);
  if (!in) return out;  // no file yet: nothing registered
  std::stringstream text;
  text << in.rdbuf();
  if (text.str().find_first_not_of(" \t\r\n") == std::string::npos) return out;
  json doc = json::parse(text.str(), nullptr, false);
  if (doc.is_discarded() || !doc.is_object() || !doc.contains("classes") ||
      !doc["classes"].is_array()) {
    RaiseError(kErrPathAccess, "The class registry " + path + " is not a valid registry file");
  }
  for (const auto& c : doc["classes"]) {
    if (c.is_object()) out.push_back(FromJson(c));
  }
  return out;
}

void Save(const std::string& path, const std::vector<ClassRegistration>& regs) {
  json doc{{"classes", json::array()}};
  for (const auto& r : regs) doc["classes"].push_back(ToJson(r));
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  // Written aside and renamed, so a reader never sees half a file.
  const std::string tmp = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << doc.dump(2) << '\n';
    out.flush();
    if (!out) {
      fs::remove(tmp, ec);
      RaiseError(kErrPathAccess, "Cannot write the class registry " + path);
    }
  }
  fs::rename(tmp, path, ec);
  if (ec) {
    fs::remove(tmp, ec);
    RaiseError(kErrPathAccess, "Cannot write the class registry " + path);
  }
}

using GetClassObjectFn = HRESULT (*)(const CLSID&, const IID&, void**);

// Libraries stay loaded for the life of the process, as in-process servers do.
GetClassObjectFn LoadServer(const std::string& library, std::string* error) {
  static std::mutex mutex;
  static std::map<std::string, void*> loaded;
  std::lock_guard<std::mutex> lock(mutex);
  void*& handle = loaded[library];
  if (!handle) {
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
