#include "splash_watch.h"

#include <cstring>

namespace devicewine {

namespace {

const char kNameLine[] = "VELQ Sorvik Interface Driver";

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

BOOL CALLBACK FindSplash(HWND window, LPARAM out) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId() || ClassOf(window) != "#32770") return TRUE;
  HWND child = nullptr;
  while ((child = FindWindowExA(window, child, "Static", nullptr)) != nullptr) {
    if (TextOf(child) == kNameLine) {
      *reinterpret_cast<HWND*>(out) = window;
      return FALSE;
    }
  }
  return TRUE;
}

void Describe(HWND splash, SplashSeen& seen) {
  seen.found = true;
  seen.caption = TextOf(splash);
  seen.style = GetWindowLongA(splash, GWL_STYLE);
  seen.exStyle = GetWindowLongA(splash, GWL_EXSTYLE);
  GetClientRect(splash, &seen.client);
  seen.expectedClient = RECT{0, 0, 224, 89};
  MapDialogRect(splash, &seen.expectedClient);
  HWND child = nullptr;
  while ((child = FindWindowExA(splash, child, "Static", nullptr)) != nullptr) {
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_BITMAP) {
      HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
      BITMAP info{};
      if (bitmap != nullptr && GetObjectA(bitmap, sizeof info, &info) != 0) {
        seen.hasPicture = true;
        seen.pictureWidth = info.bmWidth;
        seen.pictureHeight = info.bmHeight;
      }
      continue;
    }
    seen.lines.push_back(TextOf(child));
    seen.lineStyles.push_back(style);
  }
}

}  // namespace

SplashWatch::SplashWatch() {
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &SplashWatch::Run, this, 0, nullptr);
}

SplashWatch::~SplashWatch() {
  SetEvent(stop_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(stop_);
}

DWORD WINAPI SplashWatch::Run(void* self) {
  auto* watch = static_cast<SplashWatch*>(self);
  HWND splash = nullptr;
  DWORD firstSeen = 0;
  while (WaitForSingleObject(watch->stop_, 10) == WAIT_TIMEOUT) {
    if (splash == nullptr) {
      EnumWindows(&FindSplash, reinterpret_cast<LPARAM>(&splash));
      if (splash == nullptr) continue;
      firstSeen = GetTickCount();
      // Let the dialog finish creating its controls before reading them.
      Sleep(100);
      if (IsWindow(splash)) Describe(splash, watch->seen_);
    } else if (!IsWindow(splash) || !IsWindowVisible(splash)) {
      watch->seen_.visibleMs = GetTickCount() - firstSeen;
      return 0;
    }
  }
  return 0;
}

SplashSeen SplashWatch::Finish(DWORD timeoutMs) {
  if (WaitForSingleObject(thread_, timeoutMs) == WAIT_TIMEOUT) SetEvent(stop_);
  WaitForSingleObject(thread_, INFINITE);
  return seen_;
}

}  // namespace devicewine
