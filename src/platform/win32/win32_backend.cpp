// Windows backend of the platform interface: the real API and nothing more.
#include <windows.h>

#include "platform/platform.h"

namespace tarnix::platform {

void DebugLine(const char* text) {
  if (text != nullptr) OutputDebugStringA(text);
}

WindowHandle ActiveWindow() { return GetActiveWindow(); }

void ErrorBox(WindowHandle owner, const char* text, const char* caption) {
  MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OK | MB_ICONERROR);
}

int LoadText(ModuleHandle module, unsigned id, char* buffer, int limit) {
  return LoadStringA(static_cast<HINSTANCE>(module), id, buffer, limit);
}

intptr_t RunDialog(ModuleHandle module, int templateId, WindowHandle owner, DialogProc proc) {
  return DialogBoxParamA(static_cast<HINSTANCE>(module), MAKEINTRESOURCEA(templateId),
                         static_cast<HWND>(owner), reinterpret_cast<DLGPROC>(proc), 0);
}

void EndDialog(WindowHandle dialog, intptr_t result) {
  ::EndDialog(static_cast<HWND>(dialog), result);
}

void SetControlText(WindowHandle dialog, int controlId, const char* text) {
  SetDlgItemTextA(static_cast<HWND>(dialog), controlId, text);
}

void ComboReset(WindowHandle dialog, int controlId) {
  SendDlgItemMessageA(static_cast<HWND>(dialog), controlId, CB_RESETCONTENT, 0, 0);
}

void ComboAdd(WindowHandle dialog, int controlId, const char* text) {
  SendDlgItemMessageA(static_cast<HWND>(dialog), controlId, CB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(text));
}

void ComboSelect(WindowHandle dialog, int controlId, int position) {
  SendDlgItemMessageA(static_cast<HWND>(dialog), controlId, CB_SETCURSEL,
                      static_cast<WPARAM>(position), 0);
}

int ComboSelected(WindowHandle dialog, int controlId) {
  return static_cast<int>(
      SendDlgItemMessageA(static_cast<HWND>(dialog), controlId, CB_GETCURSEL, 0, 0));
}

void StartTimer(WindowHandle dialog, uintptr_t timerId, uint32_t milliseconds) {
  SetTimer(static_cast<HWND>(dialog), timerId, milliseconds, nullptr);
}

void StopTimer(WindowHandle dialog, uintptr_t timerId) {
  KillTimer(static_cast<HWND>(dialog), timerId);
}

void* GlobalAllocate(uint32_t bytes) {
  GlobalCompact(bytes);
  HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes);
  if (block == nullptr) return nullptr;
  return GlobalLock(block);
}

bool GlobalRelease(void* address) {
  if (address == nullptr) return false;
  HGLOBAL block = GlobalHandle(address);
  if (block == nullptr) return false;
  GlobalUnlock(block);
  GlobalFree(block);
  return true;
}

uint32_t GlobalBlockSize(const void* address) {
  if (address == nullptr) return 0;
  HGLOBAL block = GlobalHandle(address);
  return block == nullptr ? 0 : static_cast<uint32_t>(GlobalSize(block));
}

namespace {

HKEY RootOf(Hive hive) {
  return hive == Hive::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

}  // namespace

long RegOpen(const char* path, uint32_t access, RegistryKey* key, Hive hive) {
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExA(RootOf(hive), path, 0, access, &opened);
  *key = opened;
  return status;
}

long RegCreate(const char* path, uint32_t access, RegistryKey* key, Hive hive) {
  HKEY created = nullptr;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExA(RootOf(hive), path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                nullptr, &created, &disposition);
  *key = created;
  return status;
}

long RegQuery(RegistryKey key, const char* name, uint32_t* type, void* data, uint32_t* size) {
  DWORD valueType = 0;
  DWORD bytes = size != nullptr ? *size : 0;
  LONG status = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &valueType,
                                 static_cast<BYTE*>(data), &bytes);
  if (type != nullptr) *type = valueType;
  if (size != nullptr) *size = bytes;
  return status;
}

long RegSet(RegistryKey key, const char* name, uint32_t type, const void* data, uint32_t size) {
  return RegSetValueExA(static_cast<HKEY>(key), name, 0, type, static_cast<const BYTE*>(data),
                        size);
}

void RegClose(RegistryKey key) { RegCloseKey(static_cast<HKEY>(key)); }

// The plain registry calls the module uses have no transaction: each call of
// a group stands alone.
void RegGroupBegin(RegGroupKind) {}

long RegGroupEnd() { return kRegOk; }

void* AllocateValueBuffer(uint32_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }

void ReleaseValueBuffer(void* buffer) {
  if (buffer != nullptr) HeapFree(GetProcessHeap(), 0, buffer);
}

}  // namespace tarnix::platform
