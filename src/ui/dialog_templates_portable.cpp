// The module's dialog templates for the portable dialog engine (portable
// build only; the DLL has the resource script). Ids and texts come from
// ui/resources.h, like the resource script's.
#include "platform/portable/dialog_templates.h"
#include "ui/resources.h"

namespace tarnix::platform::portable {

namespace {

using K = ControlKind;
constexpr uint32_t kRo = kControlReadOnly;

constexpr ControlTemplate kSetupControls[] = {
    {1, K::kDefaultButton, STR_OK, 121, 237, 50, 14, 0, 0},
    {IDC_STATIC, K::kGroupBox, STR_API_GROUP, 7, 7, 164, 60, 0, 0},
    {IDC_STATIC, K::kLeftText, STR_VERSION_LABEL, 15, 20, 79, 10, 0, 0},
    {IDC_STATIC, K::kLeftText, STR_OS_LABEL, 15, 33, 79, 10, 0, 0},
    {IDC_STATIC, K::kLeftText, STR_BOARDS_LABEL, 15, 45, 79, 10, 0, 0},
    {IDC_API_VERSION, K::kEdit, "", 97, 18, 66, 12, kRo, 0},
    {IDC_OPERATING_SYSTEM, K::kEdit, "", 97, 31, 66, 12, kRo, 0},
    {IDC_BOARD_COUNT, K::kEdit, "", 97, 43, 66, 12, kRo, 0},
    {IDC_STATIC, K::kLeftText, STR_SELECT_BOARD, 7, 75, 55, 11, 0, 0},
    {IDC_STATIC, K::kGroupBox, STR_BOARD_GROUP, 7, 87, 164, 71, 0, 0},
    {IDC_BOARD_LIST, K::kCombo, "", 70, 75, 101, 69, 0, 0},
    {IDC_BOARD_NAME, K::kEdit, "", 16, 97, 148, 12, kRo | kControlCentred, 0},
    {IDC_BOARD_TYPE, K::kEdit, "", 98, 111, 66, 12, kRo, 0},
    {IDC_BOARD_DATE, K::kEdit, "", 98, 124, 66, 12, kRo, 0},
    {IDC_BOARD_REVISION, K::kEdit, "", 98, 138, 66, 12, kRo, 0},
    {IDC_STATIC, K::kLeftText, STR_BOARD_TYPE_LABEL, 19, 114, 59, 9, 0, 0},
    {IDC_STATIC, K::kLeftText, STR_DATE_LABEL, 19, 127, 59, 9, 0, 0},
    {IDC_STATIC, K::kLeftText, STR_REVISION_LABEL, 19, 141, 59, 9, 0, 0},
    {2, K::kButton, STR_CANCEL, 69, 237, 50, 14, 0, 0},
    {IDC_STATIC, K::kGroupBox, STR_SETTINGS_GROUP, 7, 161, 164, 72, 0, 0},
    {IDC_STATIC, K::kLeftText, STR_CLOCK_LABEL, 13, 173, 48, 10, 0, 0},
    {IDC_STATIC, K::kLeftText, STR_RANGE_LABEL, 13, 186, 48, 10, 0, 0},
    {IDC_CLOCK_LIST, K::kCombo, "", 69, 170, 96, 36, 0, 0},
    {IDC_RANGE_LIST, K::kCombo, "", 69, 184, 96, 34, 0, 0},
    {IDC_STATIC, K::kLeftText, STR_GAIN_LABEL, 13, 200, 48, 10, 0, 0},
    {IDC_GAIN_LIST, K::kCombo, "", 69, 198, 96, 37, 0, 0},
    {IDC_STATIC, K::kLeftText, STR_MODE_LABEL, 13, 213, 48, 10, 0, 0},
    {IDC_MODE_LIST, K::kCombo, "", 69, 212, 96, 30, kControlDisabled, 0},
};

constexpr ControlTemplate kAboutControls[] = {
    {1, K::kDefaultButton, STR_OK, 129, 7, 50, 14, 0, 0},
    {2, K::kButton, STR_CANCEL, 129, 24, 50, 14, 0, 0},
};

// The splash: a picture and six centred lines, the driver's name first.
constexpr ControlTemplate kSplashControls[] = {
    {IDC_STATIC, K::kPicture, nullptr, 7, 7, 43, 74, 0, IDB_SPLASH},
    {IDC_STATIC, K::kCentredText, STR_SPLASH_TITLE, 51, 13, 165, 10, 0, 0},
    {IDC_STATIC, K::kCentredText, STR_SPLASH_LINE1, 51, 23, 165, 10, 0, 0},
    {IDC_STATIC, K::kCentredText, STR_SPLASH_LINE2, 51, 33, 165, 10, 0, 0},
    {IDC_STATIC, K::kCentredText, STR_SPLASH_LINE3, 51, 43, 165, 10, 0, 0},
    {IDC_STATIC, K::kCentredText, STR_SPLASH_LINE4, 51, 53, 165, 10, 0, 0},
    {IDC_STATIC, K::kCentredText, STR_SPLASH_LINE5, 51, 63, 165, 10, 0, 0},
};

constexpr DialogTemplate kTemplates[] = {
    {IDD_SETUP, STR_SETUP_CAPTION, 178, 258, kSetupControls},
    {IDD_ABOUT, STR_ABOUT_CAPTION, 186, 95, kAboutControls},
    {IDD_SPLASH, nullptr, 224, 89, kSplashControls},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate& t : kTemplates) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

std::span<const DialogTemplate> AllDialogTemplates() { return kTemplates; }

}  // namespace tarnix::platform::portable
