// Looks for the module's splash while a call runs on another thread: the
// dialog of this process that carries the driver's name line. Records what
// a user would see of it and how long it stayed.
#pragma once

#include <windows.h>

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
  RECT client{};                   // client area in pixels
  RECT expectedClient{};           // 224 x 89 dialog units mapped to pixels
  DWORD visibleMs = 0;             // from first seen to gone
};

class SplashWatch {
 public:
  SplashWatch();   // starts looking at once
  ~SplashWatch();  // waits for the watcher to finish
  // Waits until the splash has gone (or `timeoutMs` passed) and answers
  // what was seen.
  SplashSeen Finish(DWORD timeoutMs);

 private:
  static DWORD WINAPI Run(void* self);
  HANDLE thread_;
  HANDLE stop_;
  SplashSeen seen_;
};

}  // namespace devicewine
