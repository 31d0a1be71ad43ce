#pragma once
// Catches the message boxes of the calling thread: records their title and text and closes
// each at once (as Esc would), so code that shows a box can run unattended in a test.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

struct CapturedBox {
  std::string title;
  std::string text;
};

class BoxCapture {
 public:
  explicit BoxCapture(WPARAM closeWith = IDCANCEL) {
    instance_ = this;
    closeWith_ = closeWith;
    hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
  }
  ~BoxCapture() {
    UnhookWindowsHookEx(hook_);
    instance_ = nullptr;
  }
  const std::vector<CapturedBox>& Boxes() const { return boxes_; }

 static std::string Hex(const std::string& s) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
      out.push_back(digits[c >> 4]);
      out.push_back(digits[c & 15]);
    }
    return out;
  }

 private:
  // Windows gives the text of a box the control id 0xFFFF, Wine another one: take the
  // longest static text.
  static BOOL CALLBACK LongestStaticText(HWND child, LPARAM param) {
    char* best = reinterpret_cast<char*>(param);
    char cls[32] = {0}, text[1024] = {0};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
      GetWindowTextA(child, text, sizeof text);
      if (lstrlenA(text) > lstrlenA(best)) lstrcpyA(best, text);
    }
    return TRUE;
  }
  // The box is read a moment after it is activated (its text may be set after that) from a
  // thread timer, which the box's own modal loop dispatches.
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && instance_) {
      HWND box = reinterpret_cast<HWND>(wParam);
      char cls[32] = {0};
      GetClassNameA(box, cls, sizeof cls);
      if (lstrcmpA(cls, "#32770") == 0) {
        instance_->box_ = box;
        instance_->timer_ = SetTimer(nullptr, 0, 20, ReadAndClose);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static void CALLBACK ReadAndClose(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (!instance_ || !instance_->box_) return;
    HWND box = instance_->box_;
    instance_->box_ = nullptr;
    char title[256] = {0}, text[1024] = {0};
    GetWindowTextA(box, title, sizeof title);
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    if (!text[0]) EnumChildWindows(box, LongestStaticText, reinterpret_cast<LPARAM>(text));
    instance_->boxes_.push_back({title, text});
    // A box shown on the way out of the process is reported on stderr as well, in hex,
    // for death tests.
    std::fprintf(stderr, "BOX[%s|%s]\n", Hex(title).c_str(), Hex(text).c_str());
    std::fflush(stderr);
    PostMessageA(box, WM_COMMAND, instance_->closeWith_, 0);
  }
  static inline BoxCapture* instance_ = nullptr;
  HHOOK hook_;
  WPARAM closeWith_;
  std::vector<CapturedBox> boxes_;
  HWND box_ = nullptr;
  UINT_PTR timer_ = 0;
};
