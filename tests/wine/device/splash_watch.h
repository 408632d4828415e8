// Watches this thread's windows while a call into the module runs: the
// splash (recorded as a user would see it) and message boxes (recorded and
// answered OK). It works from a timer of the calling thread, whose messages
// the module's modal loops dispatch: where Wine runs under qemu-user, a
// second thread that works windows while this one sits in a modal loop
// brings the process down.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace devicewine {

struct SplashSeen {
  bool found = false;
  std::string caption;
  LONG style = 0;
  LONG exStyle = 0;
  std::vector<std::string> lines;  // texts of its static text controls, in order
  std::vector<LONG> lineStyles;    // their styles (alignment bits)
  bool hasPicture = false;         // a static control showing a bitmap
  LONG pictureWidth = 0;           // size of that bitmap in pixels
  LONG pictureHeight = 0;
  RECT client{};          // client area in pixels
  RECT expectedClient{};  // 224 x 89 dialog units mapped to pixels
  DWORD firstSeen = 0;    // tick counts
  DWORD lastSeen = 0;
  DWORD visibleMs() const { return lastSeen - firstSeen; }
};

struct BoxSeen {
  std::string caption;
  std::string text;
  bool errorIcon = false;
};

// One at a time, on the thread that calls the module.
class ThreadWindowWatch {
 public:
  ThreadWindowWatch();
  ~ThreadWindowWatch();
  const SplashSeen& splash() const { return splash_; }
  std::vector<BoxSeen> TakeBoxes();

 private:
  static VOID CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  static BOOL CALLBACK Visit(HWND window, LPARAM self);
  void Look(HWND window);

  UINT_PTR timer_ = 0;
  HWND splashWindow_ = nullptr;
  SplashSeen splash_;
  std::vector<BoxSeen> boxes_;
  std::set<HWND> answered_;
};

}  // namespace devicewine
