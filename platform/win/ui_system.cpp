// The UI services' operating-system side on Windows: the environment and
// file names as UTF-16, the box log appended with one WriteFile, problems
// on standard error and the debugger's output.
#include "platform/ui_platform.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "platform/win/wide_text.h"

namespace tarvik::ui_platform {

using win::Utf8;
using win::Wide;

namespace {

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return text.empty() ? "error " + std::to_string(code) : Utf8(text);
}

// Closes the handle on every path out.
class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

}  // namespace

std::optional<std::string> EnvironmentText(const char* name) {
  const std::wstring wide_name = Wide(name);
  const DWORD n = ::GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (n == 0) {
    // Set to an empty text, or not set at all.
    if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::vector<wchar_t> value(n);
  const DWORD got = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(), n);
  if (got == 0 || got >= n) return std::nullopt;
  return Utf8(std::wstring_view(value.data(), got));
}

namespace {

// Holds an exclusive lock on one byte far past any line while it lives.
// Every writer of the log takes it, so lines from several objects and
// processes stay whole even where appending is not atomic (Wine positions
// each append itself).
class AppendLock {
 public:
  explicit AppendLock(HANDLE file) : file_(file) {
    locked_ = ::LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, Region()) != 0;
  }
  ~AppendLock() {
    if (locked_) ::UnlockFileEx(file_, 0, 1, 0, Region());
  }
  AppendLock(const AppendLock&) = delete;
  AppendLock& operator=(const AppendLock&) = delete;

 private:
  OVERLAPPED* Region() {
    overlapped_ = OVERLAPPED{};
    overlapped_.Offset = 0;
    overlapped_.OffsetHigh = 0x7FFFFFFF;
    return &overlapped_;
  }

  HANDLE file_;
  OVERLAPPED overlapped_{};
  bool locked_ = false;
};

}  // namespace

// FILE_APPEND_DATA makes every write land at the end; read access is what
// LockFileEx asks for.
bool AppendLine(const std::string& path, std::string_view line, std::string* why) {
  FileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    if (why) *why = SystemMessage(::GetLastError());
    return false;
  }
  std::string whole(line);
  whole += '\n';  // the same bytes as elsewhere, for readers on either side
  AppendLock lock(file.get());
  DWORD written = 0;
  if (!::WriteFile(file.get(), whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr)) {
    if (why) *why = SystemMessage(::GetLastError());
    return false;
  }
  if (written != whole.size()) {
    if (why) *why = "short write (disk full?)";
    return false;
  }
  return true;
}

void ReportProblem(const std::string& message) {
  const std::string line = "TarvikInvoice: " + message + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  ::OutputDebugStringW(Wide(line).c_str());
}

}  // namespace tarvik::ui_platform
