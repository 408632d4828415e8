#include "splash_watch.h"

namespace devicewine {

namespace {

const char kNameLine[] = "VELQ Sorvik Interface Driver";
constexpr int kMessageTextId = 0xFFFF;  // the text control of a message box

ThreadWindowWatch* g_active = nullptr;

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool HasNameLine(HWND dialog) {
  for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    if (TextOf(c) == kNameLine) return true;
  }
  return false;
}

void Describe(HWND splash, SplashSeen& seen) {
  seen.found = true;
  seen.caption = TextOf(splash);
  seen.style = GetWindowLongA(splash, GWL_STYLE);
  seen.exStyle = GetWindowLongA(splash, GWL_EXSTYLE);
  GetClientRect(splash, &seen.client);
  seen.expectedClient = RECT{0, 0, 224, 89};
  MapDialogRect(splash, &seen.expectedClient);
  for (HWND c = GetWindow(splash, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    if (_stricmp(ClassOf(c).c_str(), "Static") != 0) continue;
    LONG style = GetWindowLongA(c, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_BITMAP) {
      HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageA(c, STM_GETIMAGE, IMAGE_BITMAP, 0));
      BITMAP info{};
      if (bitmap != nullptr && GetObjectA(bitmap, sizeof info, &info) != 0) {
        seen.hasPicture = true;
        seen.pictureWidth = info.bmWidth;
        seen.pictureHeight = info.bmHeight;
      }
      continue;
    }
    seen.lines.push_back(TextOf(c));
    seen.lineStyles.push_back(style);
  }
}

}  // namespace

ThreadWindowWatch::ThreadWindowWatch() {
  g_active = this;
  timer_ = SetTimer(nullptr, 0, 20, &ThreadWindowWatch::Tick);
}

ThreadWindowWatch::~ThreadWindowWatch() {
  KillTimer(nullptr, timer_);
  g_active = nullptr;
}

std::vector<BoxSeen> ThreadWindowWatch::TakeBoxes() {
  std::vector<BoxSeen> out;
  out.swap(boxes_);
  return out;
}

VOID CALLBACK ThreadWindowWatch::Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_active != nullptr) EnumThreadWindows(GetCurrentThreadId(), &Visit, 0);
}

BOOL CALLBACK ThreadWindowWatch::Visit(HWND window, LPARAM) {
  if (g_active != nullptr) g_active->Look(window);
  return TRUE;
}

void ThreadWindowWatch::Look(HWND window) {
  if (!IsWindowVisible(window) || ClassOf(window) != "#32770") return;
  if (window == splashWindow_) {
    splash_.lastSeen = GetTickCount();
    return;
  }
  if (splashWindow_ == nullptr && HasNameLine(window)) {
    splashWindow_ = window;
    Describe(window, splash_);
    splash_.firstSeen = splash_.lastSeen = GetTickCount();
    return;
  }
  if (answered_.count(window) != 0 || GetDlgItem(window, kMessageTextId) == nullptr ||
      GetDlgItem(window, IDOK) == nullptr) {
    return;
  }
  BoxSeen box;
  box.caption = TextOf(window);
  box.text = TextOf(GetDlgItem(window, kMessageTextId));
  HICON errorIcon = LoadIcon(nullptr, IDI_ERROR);
  for (HWND c = GetWindow(window, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        _stricmp(ClassOf(c).c_str(), "Static") == 0 &&
        reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0)) == errorIcon) {
      box.errorIcon = true;
    }
  }
  boxes_.push_back(box);
  answered_.insert(window);
  PostMessageA(window, WM_COMMAND, IDOK, 0);
}

}  // namespace devicewine
