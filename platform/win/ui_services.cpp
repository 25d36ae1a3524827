// The platform's own UI services on Windows: MessageBoxW for message boxes,
// an input box dialog of our own built in memory (no resource script), the
// hourglass pointer and a message pump for DoEvents.
//
// Our headers come first: <windows.h> defines MessageBox as a macro, which
// must not rename UiServices::MessageBox; it is undefined right after.
#include "platform/ui_platform.h"
#include "platform/ui_services.h"

#include <windows.h>
#undef MessageBox

#include <cstddef>
#include <vector>

#include "platform/win/wide_text.h"

namespace tarvik {

namespace {

using win::Utf8;
using win::Wide;

// The component ends lines with a bare carriage return; the system's
// controls break lines on CR LF.
std::wstring ScreenText(const std::string& text) {
  std::wstring wide = Wide(text);
  std::wstring shown;
  shown.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const wchar_t c = wide[i];
    if (c == L'\r') {
      shown += L"\r\n";
      if (i + 1 < wide.size() && wide[i + 1] == L'\n') ++i;
    } else if (c == L'\n') {
      shown += L"\r\n";
    } else {
      shown += c;
    }
  }
  return shown;
}

// A dialog template laid out in memory the way DialogBoxIndirectParamW
// reads it: the dialog header, then each control on a DWORD boundary.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short cx, short cy, std::wstring_view font, WORD points) {
    AddDword(style | DS_SETFONT);
    AddDword(0);          // extended style
    count_at_ = words_.size();
    words_.push_back(0);  // number of controls, counted by AddControl
    AddRect(0, 0, cx, cy);
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the system's dialog class
    AddText(L"");         // title, set when shown
    words_.push_back(points);
    AddText(font);
  }

  // class_atom: 0x0080 button, 0x0081 edit, 0x0082 static.
  void AddControl(DWORD style, short x, short y, short cx, short cy, WORD id, WORD class_atom,
                  std::wstring_view text) {
    if (words_.size() % 2) words_.push_back(0);
    AddDword(style | WS_CHILD | WS_VISIBLE);
    AddDword(0);
    AddRect(x, y, cx, cy);
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(class_atom);
    AddText(text);
    words_.push_back(0);  // no creation data
    ++words_[count_at_];
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void AddDword(DWORD d) {
    words_.push_back(LOWORD(d));
    words_.push_back(HIWORD(d));
  }
  void AddRect(short x, short y, short cx, short cy) {
    for (short v : {x, y, cx, cy}) words_.push_back(static_cast<WORD>(v));
  }
  void AddText(std::wstring_view text) {
    for (wchar_t c : text) words_.push_back(static_cast<WORD>(c));
    words_.push_back(0);
  }

  // WORDs from the allocator are DWORD-aligned at the start, so an even
  // index is a DWORD boundary.
  std::vector<WORD> words_;
  std::size_t count_at_ = 0;
};

constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kPromptId = 100;
constexpr WORD kEditId = 101;

// The familiar input box layout, in dialog units: the prompt at the top
// left, OK and Cancel at the right, the edit box across the bottom.
DialogTemplate InputBoxTemplate() {
  DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 240, 92,
                   L"MS Shell Dlg", 8);
  // The edit box comes first so it is first in the tab order.
  t.AddControl(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 70, 226, 13, kEditId, kEditClass, L"");
  t.AddControl(BS_DEFPUSHBUTTON | WS_TABSTOP, 185, 7, 48, 14, IDOK, kButtonClass, L"OK");
  t.AddControl(BS_PUSHBUTTON | WS_TABSTOP, 185, 25, 48, 14, IDCANCEL, kButtonClass, L"Cancel");
  t.AddControl(SS_LEFT | SS_NOPREFIX, 7, 7, 170, 58, kPromptId, kStaticClass, L"");
  return t;
}

struct InputBoxState {
  std::wstring prompt;
  std::wstring title;
  std::wstring text;  // the default in, the answer out
};

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<InputBoxState*>(lparam);
      ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      ::SetWindowTextW(dialog, state->title.c_str());
      ::SetDlgItemTextW(dialog, kPromptId, state->prompt.c_str());
      HWND edit = ::GetDlgItem(dialog, kEditId);
      ::SetWindowTextW(edit, state->text.c_str());
      ::SendMessageW(edit, EM_SETSEL, 0, -1);
      ::SetFocus(edit);
      ::SetForegroundWindow(dialog);
      return FALSE;  // the focus is set already
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        auto* state = reinterpret_cast<InputBoxState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        HWND edit = ::GetDlgItem(dialog, kEditId);
        std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
        const int n = ::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()));
        text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
        state->text = std::move(text);
        ::EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

class WindowsUi : public UiServices {
 public:
  int MessageBox(const std::string& text, int style, const std::string& title) override {
    const std::wstring shown_title = Wide(title.empty() ? AppTitle() : title);
    const int answer = ::MessageBoxW(::GetActiveWindow(), ScreenText(text).c_str(),
                                     shown_title.c_str(), static_cast<UINT>(style));
    if (answer > 0) return answer;
    // No desktop to show it on (a service, a display-less Wine): the run
    // goes on with the default, and says so. (Windows answers 0 then, Wine
    // passes on its dialog's -1.)
    ui_platform::ReportProblem("could not show a message box, it takes its default: " + text);
    return DefaultAnswer(style);
  }

  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override {
    InputBoxState state{ScreenText(prompt), Wide(title.empty() ? AppTitle() : title),
                        Wide(default_text)};
    const DialogTemplate dialog = InputBoxTemplate();
    const INT_PTR result =
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), dialog.get(), ::GetActiveWindow(),
                                  InputBoxProc, reinterpret_cast<LPARAM>(&state));
    if (result == IDOK) return Utf8(state.text);
    if (result != IDCANCEL) {
      ui_platform::ReportProblem("could not show an input box, it is cancelled: " + prompt);
    }
    return std::nullopt;
  }

  // Runs what is queued, then hands back; a WM_QUIT is put back for the
  // caller's own loop.
  void DoEvents() override {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }

  void SetMousePointer(int pointer) override {
    const auto* cursor = pointer == kPointerBusy ? reinterpret_cast<LPCWSTR>(IDC_WAIT)
                                                 : reinterpret_cast<LPCWSTR>(IDC_ARROW);
    ::SetCursor(::LoadCursorW(nullptr, cursor));
  }

  std::string AppTitle() override { return kApplicationTitle; }
};

}  // namespace

std::unique_ptr<UiServices> ui_platform::MakePlatformUi() { return std::make_unique<WindowsUi>(); }

}  // namespace tarvik
