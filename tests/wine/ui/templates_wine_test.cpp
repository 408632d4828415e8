// The dialog templates as the DLL really carries them: found with
// FindResource/LoadResource and read as DLGTEMPLATE structures.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui_harness.h"

namespace uiwine {
namespace {

struct Item {
  uint32_t style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  int classAtom = 0;  // 0x80 Button, 0x81 Edit, 0x82 Static, 0x85 ComboBox
  std::string title;  // text, or "#n" for an ordinal
};
struct Template {
  uint32_t style = 0;
  int cx = 0, cy = 0;
  std::string caption, font;
  int pointSize = 0;
  std::vector<Item> items;
};

// Reads a sz_Or_Ord field: 0 (none), 0xFFFF + ordinal, or a UTF-16 text.
std::string ReadNameOrOrdinal(const uint16_t*& p, int* ordinal = nullptr) {
  if (*p == 0xFFFF) {
    if (ordinal != nullptr) *ordinal = p[1];
    std::string out = "#" + std::to_string(p[1]);
    p += 2;
    return out;
  }
  std::string out;
  while (*p != 0) out.push_back(static_cast<char>(*p++));
  ++p;
  return out;
}

bool ParseTemplate(int id, Template* t) {
  HMODULE module = GetModuleHandleA("tarnix.dll");
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
  if (found == nullptr) return false;
  auto* base = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  if (base == nullptr) return false;
  auto* words = reinterpret_cast<const uint16_t*>(base);
  uint32_t style;
  std::memcpy(&style, base, 4);
  t->style = style;
  int count = words[4];
  t->cx = static_cast<int16_t>(words[7]);
  t->cy = static_cast<int16_t>(words[8]);
  const uint16_t* p = words + 9;
  ReadNameOrOrdinal(p);  // menu
  ReadNameOrOrdinal(p);  // class
  t->caption = ReadNameOrOrdinal(p);
  if (style & DS_SETFONT) {
    t->pointSize = *p++;
    t->font = ReadNameOrOrdinal(p);
  }
  for (int i = 0; i < count; ++i) {
    size_t offset = reinterpret_cast<const uint8_t*>(p) - base;
    p = reinterpret_cast<const uint16_t*>(base + ((offset + 3) & ~size_t{3}));
    Item item;
    std::memcpy(&item.style, p, 4);
    item.x = static_cast<int16_t>(p[4]);
    item.y = static_cast<int16_t>(p[5]);
    item.cx = static_cast<int16_t>(p[6]);
    item.cy = static_cast<int16_t>(p[7]);
    item.id = static_cast<int16_t>(p[8]);
    p += 9;
    std::string cls = ReadNameOrOrdinal(p, &item.classAtom);
    // A class given by name (CONTROL statements) means the same atom.
    const std::pair<const char*, int> atoms[] = {
        {"button", 0x80}, {"edit", 0x81}, {"static", 0x82}, {"combobox", 0x85}};
    for (auto [name, atom] : atoms) {
      if (_stricmp(cls.c_str(), name) == 0) item.classAtom = atom;
    }
    item.title = ReadNameOrOrdinal(p);
    uint16_t extra = *p++;
    p = reinterpret_cast<const uint16_t*>(reinterpret_cast<const uint8_t*>(p) + extra);
    t->items.push_back(item);
  }
  return true;
}

enum Kind {
  kDefButton,
  kButton,
  kGroup,
  kLeft,
  kCentre,
  kEdit,
  kEditCentred,
  kCombo,
  kComboDisabled,
  kPicture
};
struct Expected {
  int id;
  Kind kind;
  const char* text;
  int x, y, cx, cy;
};

// The checks that make a control of each kind what it is.
void CheckKind(const Item& item, Kind kind) {
  uint32_t s = item.style;
  EXPECT_EQ(s & (WS_CHILD | WS_VISIBLE), static_cast<uint32_t>(WS_CHILD | WS_VISIBLE));
  switch (kind) {
    case kDefButton:
    case kButton:
      EXPECT_EQ(item.classAtom, 0x80);
      EXPECT_EQ(s & 0xF, kind == kDefButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      EXPECT_TRUE(s & WS_TABSTOP);
      break;
    case kGroup:
      EXPECT_EQ(item.classAtom, 0x80);
      EXPECT_EQ(s & 0xF, static_cast<uint32_t>(BS_GROUPBOX));
      break;
    case kLeft:
    case kCentre:
      EXPECT_EQ(item.classAtom, 0x82);
      EXPECT_EQ(s & SS_TYPEMASK, kind == kLeft ? SS_LEFT : SS_CENTER);
      EXPECT_TRUE(s & WS_GROUP);
      break;
    case kPicture:
      EXPECT_EQ(item.classAtom, 0x82);
      EXPECT_EQ(s & SS_TYPEMASK, static_cast<uint32_t>(SS_BITMAP));
      break;
    case kEdit:
    case kEditCentred:
      EXPECT_EQ(item.classAtom, 0x81);
      EXPECT_EQ(s & (ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP),
                static_cast<uint32_t>(ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP));
      EXPECT_EQ(s & (ES_CENTER | ES_RIGHT), kind == kEditCentred ? ES_CENTER : 0u);
      break;
    case kCombo:
    case kComboDisabled:
      EXPECT_EQ(item.classAtom, 0x85);
      EXPECT_EQ(s & 3, static_cast<uint32_t>(CBS_DROPDOWN));
      EXPECT_EQ(s & CBS_SORT, 0u) << "lists keep the order of adding";
      EXPECT_TRUE(s & WS_VSCROLL);
      EXPECT_TRUE(s & WS_TABSTOP);
      break;
  }
  EXPECT_EQ((s & WS_DISABLED) != 0, kind == kComboDisabled);
}

void CheckItems(const Template& t, const std::vector<Expected>& expected) {
  ASSERT_EQ(t.items.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Item& item = t.items[i];
    const Expected& e = expected[i];
    SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(e.id));
    EXPECT_EQ(item.id, e.id);
    EXPECT_EQ(item.title, e.text);
    EXPECT_EQ((std::vector<int>{item.x, item.y, item.cx, item.cy}),
              (std::vector<int>{e.x, e.y, e.cx, e.cy}));
    CheckKind(item, e.kind);
  }
}

constexpr uint32_t kModalStyle = DS_MODALFRAME | WS_POPUP | DS_SETFONT;

TEST(DialogResources, SetupTemplateIsExactlyAsDesigned) {
  Driver driver = LoadDriver();
  ASSERT_NE(driver.module, nullptr);
  Template t;
  ASSERT_TRUE(ParseTemplate(101, &t));
  EXPECT_EQ(t.style & (kModalStyle | WS_CAPTION | WS_SYSMENU),
            kModalStyle | WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(t.caption, "VELQ HW setup");
  EXPECT_EQ(t.font, "MS Sans Serif");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_EQ(t.cx, 178);
  EXPECT_EQ(t.cy, 258);
  CheckItems(t, {
                    {1, kDefButton, "OK", 121, 237, 50, 14},
                    {-1, kGroup, "API Information", 7, 7, 164, 60},
                    {-1, kLeft, "Version", 15, 20, 79, 10},
                    {-1, kLeft, "Operating System", 15, 33, 79, 10},
                    {-1, kLeft, "Boards Installed", 15, 45, 79, 10},
                    {1000, kEdit, "", 97, 18, 66, 12},
                    {1001, kEdit, "", 97, 31, 66, 12},
                    {1002, kEdit, "", 97, 43, 66, 12},
                    {-1, kLeft, "Select a board", 7, 75, 55, 11},
                    {-1, kGroup, "Board Information", 7, 87, 164, 71},
                    {1005, kCombo, "", 70, 75, 101, 69},
                    {1007, kEditCentred, "", 16, 97, 148, 12},
                    {1008, kEdit, "", 98, 111, 66, 12},
                    {1009, kEdit, "", 98, 124, 66, 12},
                    {1010, kEdit, "", 98, 138, 66, 12},
                    {-1, kLeft, "BoardType", 19, 114, 59, 9},
                    {-1, kLeft, "Macnufactured on", 19, 127, 59, 9},
                    {-1, kLeft, "Revision", 19, 141, 59, 9},
                    {2, kButton, "Cancel", 69, 237, 50, 14},
                    {-1, kGroup, "Settings", 7, 161, 164, 72},
                    {-1, kLeft, "Clock Source", 13, 173, 48, 10},
                    {-1, kLeft, "A/D Range", 13, 186, 48, 10},
                    {1013, kCombo, "", 69, 170, 96, 36},
                    {1014, kCombo, "", 69, 184, 96, 34},
                    {-1, kLeft, "A/D Gain (mV)", 13, 200, 48, 10},
                    {1015, kCombo, "", 69, 198, 96, 37},
                    {-1, kLeft, "A/D Mode", 13, 213, 48, 10},
                    {1016, kComboDisabled, "", 69, 212, 96, 30},
                });
}

TEST(DialogResources, AboutTemplateHasJustOkAndCancel) {
  Driver driver = LoadDriver();
  ASSERT_NE(driver.module, nullptr);
  Template t;
  ASSERT_TRUE(ParseTemplate(103, &t));
  EXPECT_EQ(t.style & (kModalStyle | WS_CAPTION | WS_SYSMENU),
            kModalStyle | WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(t.caption, "About VELQ");
  EXPECT_EQ(t.font, "MS Sans Serif");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_EQ(t.cx, 186);
  EXPECT_EQ(t.cy, 95);
  CheckItems(t, {{1, kDefButton, "OK", 129, 7, 50, 14}, {2, kButton, "Cancel", 129, 24, 50, 14}});
}

TEST(DialogResources, SplashTemplateLayout) {
  Driver driver = LoadDriver();
  ASSERT_NE(driver.module, nullptr);
  Template t;
  ASSERT_TRUE(ParseTemplate(104, &t));
  EXPECT_EQ(t.style & kModalStyle, kModalStyle);
  EXPECT_EQ(t.style & WS_CAPTION, 0u);
  EXPECT_EQ(t.caption, "");
  EXPECT_EQ(t.font, "MS Sans Serif");
  EXPECT_EQ(t.cx, 224);
  EXPECT_EQ(t.cy, 89);
  ASSERT_EQ(t.items.size(), 7u);
  CheckKind(t.items[0], kPicture);
  EXPECT_EQ(t.items[0].title, "#105");
  EXPECT_EQ(t.items[1].title, "VELQ Sorvik Interface Driver");
  // The build line names the module's own build; this program is built for
  // the same width as the module it loads.
  EXPECT_EQ(t.items[4].title, sizeof(void*) == 8 ? "64-bit Windows build" : "32-bit Windows build");
  for (size_t i = 0; i < t.items.size(); ++i) {
    SCOPED_TRACE("control " + std::to_string(i));
    EXPECT_EQ(t.items[i].id, -1);
    if (i > 0) {
      CheckKind(t.items[i], kCentre);
      EXPECT_FALSE(t.items[i].title.empty());
      EXPECT_EQ((std::vector<int>{t.items[i].x, t.items[i].y, t.items[i].cx, t.items[i].cy}),
                (std::vector<int>{51, 13 + 10 * static_cast<int>(i - 1), 165, 10}));
    }
  }
  EXPECT_EQ((std::vector<int>{t.items[0].x, t.items[0].y, t.items[0].cx, t.items[0].cy}),
            (std::vector<int>{7, 7, 43, 74}));
}

}  // namespace
}  // namespace uiwine
