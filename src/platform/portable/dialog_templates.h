// The module's dialog templates as the portable backend knows them: the same
// ids, kinds, texts, positions and sizes as the resource script, so that a
// portable dialog has exactly the controls the real one has. The backend
// declares what it needs here; the module defines the templates beside its
// resource script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnix::platform::portable {

enum class ControlKind {
  kDefaultButton,  // DEFPUSHBUTTON
  kButton,         // PUSHBUTTON
  kGroupBox,       // GROUPBOX
  kLeftText,       // LTEXT
  kCentredText,    // CTEXT
  kEdit,           // EDITTEXT
  kCombo,          // COMBOBOX
  kPicture,        // a static showing a bitmap resource
};

inline constexpr uint32_t kControlDisabled = 1;  // WS_DISABLED
inline constexpr uint32_t kControlCentred = 2;   // ES_CENTER on an edit
inline constexpr uint32_t kControlReadOnly = 4;  // ES_READONLY on an edit

struct ControlTemplate {
  int id;  // -1: no id
  ControlKind kind;
  const char* text;         // caption; nullptr when the script gives none
  int x, y, width, height;  // dialog units
  uint32_t flags;
  int image;  // bitmap resource of a picture, else 0
};

struct DialogTemplate {
  int id;
  const char* caption;                        // nullptr: no caption bar
  int width, height;                          // dialog units
  std::span<const ControlTemplate> controls;  // template (and tab) order
};

// The template with resource id `id`, or nullptr when the module has none.
const DialogTemplate* FindDialogTemplate(int id);

// Every template the module has, for tests that compare them with the script.
std::span<const DialogTemplate> AllDialogTemplates();

// The resource script's keyword for a kind of control.
constexpr const char* ControlKindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kDefaultButton:
      return "DEFPUSHBUTTON";
    case ControlKind::kButton:
      return "PUSHBUTTON";
    case ControlKind::kGroupBox:
      return "GROUPBOX";
    case ControlKind::kLeftText:
      return "LTEXT";
    case ControlKind::kCentredText:
      return "CTEXT";
    case ControlKind::kEdit:
      return "EDITTEXT";
    case ControlKind::kCombo:
      return "COMBOBOX";
    case ControlKind::kPicture:
      return "PICTURE";
  }
  return "?";
}

}  // namespace tarnix::platform::portable
