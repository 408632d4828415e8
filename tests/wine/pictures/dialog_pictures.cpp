// dialog_pictures: puts up the module's splash, hardware setup dialog and
// about box against the simulated board library beside it, exactly as a
// host does, and holds each one still while somebody outside Wine takes its
// picture. Not a test: scripts/render-dialogs.sh runs it on an X display and
// answers its requests.
//
//   dialog_pictures <folder>
//
// For each dialog it writes "<folder>/<name>.request" holding the window's
// rectangle on the screen ("left top width height") and waits, the dialog
// held open, until the file is gone; the watcher deletes it once the picture
// is taken. Exit status 0 when all three pictures were taken.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "wine/ui/ui_harness.h"

namespace {

constexpr int32_t kSetupSelector = 1;
constexpr int32_t kAboutSelector = 99;
constexpr DWORD kWatcherPatienceMs = 60000;

std::string g_folder;
int g_taken = 0;

// Lets the window system show what has been drawn: paint messages are
// handled, nothing else (the splash's timer must not close it), and the
// waits go through the message queue, where Wine hands the drawn window
// surfaces to the X server.
void Settle(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
      DispatchMessageA(&message);
    }
    const DWORD spent = GetTickCount() - start;
    if (spent >= milliseconds) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(milliseconds - spent, 50),
                              QS_PAINT);
  }
}

// Asks for the picture of `window` and waits for it, the dialog drawn first,
// frame and controls.
void Picture(HWND window, const char* name) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  GdiFlush();
  Settle(500);
  RECT r{};
  GetWindowRect(window, &r);
  // Written whole, then renamed: the watcher never sees half a request.
  std::string request = g_folder + "\\" + name + ".request";
  std::string partial = request + ".part";
  FILE* out = std::fopen(partial.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "dialog_pictures: cannot write %s\n", partial.c_str());
    return;
  }
  std::fprintf(out, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::fclose(out);
  if (!MoveFileA(partial.c_str(), request.c_str())) {
    std::fprintf(stderr, "dialog_pictures: cannot write %s\n", request.c_str());
    return;
  }
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kWatcherPatienceMs) {
    if (GetFileAttributesA(request.c_str()) == INVALID_FILE_ATTRIBUTES) {
      std::printf("picture taken: %s\n", name);
      ++g_taken;
      return;
    }
    Settle(50);
  }
  DeleteFileA(request.c_str());
  std::fprintf(stderr, "dialog_pictures: nobody took the picture %s\n", name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dialog_pictures <folder for the requests>\n");
    return 2;
  }
  g_folder = argv[1];
  uiwine::Driver driver = uiwine::LoadDriver();
  if (driver.module == nullptr) {
    std::fprintf(stderr, "dialog_pictures: tarnix.dll not loaded\n");
    return 1;
  }
  std::vector<uint8_t> record = uiwine::NewRecord();
  // The splash closes on its own timer; held here, that timer waits.
  uiwine::UserOutcome splash = uiwine::WithUser([&] { return driver.InitDevice(record.data()); },
                                                nullptr, [](HWND w) { Picture(w, "splash"); });
  if (splash.result != 1) {
    std::fprintf(stderr, "dialog_pictures: DRV_InitDevice failed\n");
    return 1;
  }
  uiwine::WithUser([&] { return driver.ShowDialog(kSetupSelector, 0); }, "VELQ HW setup",
                   [](HWND w) {
                     Picture(w, "setup-dialog");
                     uiwine::Press(w, IDCANCEL);
                   });
  uiwine::WithUser([&] { return driver.ShowDialog(kAboutSelector, 0); }, "About VELQ",
                   [](HWND w) {
                     Picture(w, "about-box");
                     uiwine::Press(w, IDOK);
                   });
  return g_taken == 3 ? 0 : 1;
}
