// The setup dialog and the about box of the real tarnix.dll, driven through
// window messages by a stand-in user while DRV_ShowDialog blocks in the
// dialog's modal loop. Settings are observed through worksheets (the
// registry) and the record; the board library is the simulated one.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "abi/device_record.h"
#include "abi/velqsim.h"
#include "ui_harness.h"
#include "wine/support/harness.h"

namespace uiwine {
namespace {

constexpr int32_t kLib = 1000000000;
constexpr int32_t kBoardA = 20130017;  // the simulated world's two boards
constexpr int32_t kBoardB = 20140342;
constexpr int32_t kBoardC = 20150001;  // listed only
constexpr const char* kSetup = "VELQ HW setup";
constexpr const char* kAbout = "About VELQ";
constexpr const char* kBase = "Software\\Morvane\\VELQ\\Sorvik\\";

Driver g_driver;
std::vector<uint8_t> g_record;
bool g_initialised = false;

std::string Worksheet(const char* tag) {
  return "tarnix-ui-wine-" + std::to_string(GetCurrentProcessId()) + "-" + tag;
}

void WriteWorksheet(const std::string& name, int32_t serial, int32_t clock, int32_t gain,
                    int32_t range, int32_t mode) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kBase + name).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::pair<const char*, int32_t> values[] = {{"SerialNo", serial},
                                                    {"ClockSource", clock},
                                                    {"Gain", gain},
                                                    {"Range", range},
                                                    {"Mode", mode}};
  for (auto [value, number] : values) {
    RegSetValueExA(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
  }
  RegCloseKey(key);
}

int32_t ReadWorksheet(const std::string& name, const char* value) {
  int32_t number = 0x7EADBEEF;
  DWORD size = sizeof number;
  RegGetValueA(HKEY_LOCAL_MACHINE, (kBase + name).c_str(), value, RRF_RT_REG_DWORD, nullptr,
               &number, &size);
  return number;
}

// The module's current settings, saved under a fresh name and read back.
struct Settings {
  int32_t serial, clock, gain, range, mode;
};
Settings CurrentSettings() {
  static int n = 0;
  std::string name = Worksheet(("probe" + std::to_string(++n)).c_str());
  g_driver.SaveWorksheet(name.c_str());
  Settings s{ReadWorksheet(name, "SerialNo"), ReadWorksheet(name, "ClockSource"),
             ReadWorksheet(name, "Gain"), ReadWorksheet(name, "Range"),
             ReadWorksheet(name, "Mode")};
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kBase + name).c_str());
  return s;
}

void Screenshot(HWND, const char* name) { RequestScreenshot(name); }

class SetupDialogWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (g_initialised) return;
    g_driver = LoadDriver();
    if (g_driver.module == nullptr) return;
    g_record = NewRecord();
    UserOutcome splash = WithUser([] { return g_driver.InitDevice(g_record.data()); }, nullptr,
                                  [](HWND w) {
                                    Sleep(400);
                                    Screenshot(w, "splash");
                                  });
    g_initialised = splash.result == 1;
  }

  void SetUp() override {
    ASSERT_TRUE(g_initialised) << "DRV_InitDevice did not succeed";
    VELQSIM_Reset();
    VELQSIM_SetAnswer(kLib, 5, 0, 3);
    VELQSIM_SetAnswer(kLib, 15, 2, kBoardC);
    VELQSIM_SetBoardName(kBoardA, "Board A");
    VELQSIM_SetBoardName(kBoardB, "Board B");
    for (int32_t serial : {kBoardA, kBoardB}) {  // four ranges, three gains
      VELQSIM_SetAnswer(serial, 146, 0, 4);
      for (int32_t i = 0; i < 4; ++i) VELQSIM_SetAnswer(serial, 147, i, i);
      VELQSIM_SetAnswer(serial, 144, 0, 3);
      for (int32_t i = 0; i < 3; ++i) VELQSIM_SetAnswer(serial, 145, i, 20000 >> i);
    }
    VELQSIM_SetAnswer(kBoardA, 20, 0, 1);
    VELQSIM_SetAnswer(kBoardB, 20, 0, 2);
  }

  // Opens the setup dialog (or `caption`'s) and lets `user` work it.
  static UserOutcome Open(int32_t selector, const char* caption,
                          const std::function<void(HWND)>& user) {
    return WithUser([selector] { return g_driver.ShowDialog(selector, 0); }, caption, user);
  }
  static void LoadSettings(int32_t serial, int32_t clock, int32_t gain, int32_t range,
                           int32_t mode) {
    std::string name = Worksheet("load");
    WriteWorksheet(name, serial, clock, gain, range, mode);
    g_driver.LoadWorksheet(name.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kBase + name).c_str());
  }
  static std::string BoardName() {
    std::string field = RecordText(g_record, TARNIX_RECORD(boardName), 20);
    return field.substr(0, field.find('\0'));
  }
  static void SpoilBoardName() { std::memset(g_record.data() + TARNIX_RECORD(boardName), 'x', 20); }
};

TEST_F(SetupDialogWine, OtherSelectorsShowNothing) {
  for (int32_t selector : {0, 2, 100}) {
    UserOutcome out = Open(selector, kSetup, [](HWND) {});
    EXPECT_EQ(out.result, 1) << "selector " << selector;
    EXPECT_FALSE(out.shown) << "selector " << selector;
    EXPECT_EQ(FindThreadDialog(GetCurrentThreadId(), kAbout), nullptr);
  }
}

TEST_F(SetupDialogWine, FirstBoardIsShownAndItsSerialReplacesALoadedOne) {
  // Leave boardIndex at 0, then load a worksheet naming the second board.
  Open(1, kSetup, [](HWND d) {
    PickEntry(d, 1005, 0);
    Press(d, IDCANCEL);
  });
  LoadSettings(kBoardB, 0, 0, 0, 0);
  ASSERT_EQ(CurrentSettings().serial, kBoardB) << "the worksheet load did not take effect";

  DialogView view;
  UserOutcome out = Open(1, kSetup, [&](HWND d) {
    view = ReadDialog(d);
    Press(d, IDCANCEL);
  });
  ASSERT_TRUE(out.shown);
  EXPECT_FALSE(out.stuck);
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(view[1005].entries,
            (std::vector<std::string>{std::to_string(kBoardA), std::to_string(kBoardB),
                                      std::to_string(kBoardC)}));
  EXPECT_EQ(view[1005].selected, 0);
  EXPECT_EQ(view[1002].text, "3");
  EXPECT_EQ(view[1007].text, "Board A");
  EXPECT_EQ(CurrentSettings().serial, kBoardA);
}

TEST_F(SetupDialogWine, CancelKeepsTheSettingsButKeepsTheBoardPick) {
  LoadSettings(kBoardA, 1, 1, 1, 0);
  Open(1, kSetup, [](HWND d) {
    PickEntry(d, 1005, 1);
    SelectEntry(d, 1013, 0);
    SelectEntry(d, 1014, 3);
    SelectEntry(d, 1015, 2);
    Click(d, IDCANCEL);  // the button itself
  });
  Settings s = CurrentSettings();
  EXPECT_EQ(s.serial, kBoardB);
  EXPECT_EQ(s.clock, 1);
  EXPECT_EQ(s.gain, 1);
  EXPECT_EQ(s.range, 1);
  EXPECT_EQ(s.mode, 0);
  // The immediate effect of showing board B: its version in the record.
  EXPECT_EQ(RecordText(g_record, TARNIX_RECORD(boardVersionText), 2), "2.");

  // Opening again shows the kept settings and the kept board.
  DialogView view;
  Open(1, kSetup, [&](HWND d) {
    view = ReadDialog(d);
    Press(d, IDCANCEL);
  });
  EXPECT_EQ(view[1005].selected, 1);
  EXPECT_EQ(view[1013].selected, 1);
  EXPECT_EQ(view[1014].selected, 1);
  EXPECT_EQ(view[1015].selected, 1);
}

TEST_F(SetupDialogWine, OkReadsAllFourListsAndRefillsTheRecord) {
  LoadSettings(kBoardA, 0, 0, 0, 0);
  SpoilBoardName();
  winetest::StartTraceCapture();
  UserOutcome out = Open(1, kSetup, [](HWND d) {
    PickEntry(d, 1005, 0);
    SelectEntry(d, 1013, 1);
    SelectEntry(d, 1014, 1);
    SelectEntry(d, 1015, 2);
    Sleep(300);
    Screenshot(d, "setup_dialog");
    Click(d, IDOK);
  });
  EXPECT_FALSE(out.stuck);
  std::vector<std::string> traces = winetest::TakeTraces();
  auto at = [&](const char* line) { return std::find(traces.begin(), traces.end(), line); };
  ASSERT_NE(at("TARNIX - IDOK\n"), traces.end());
  EXPECT_LT(at("TARNIX - WM_COMMAND\n"), at("TARNIX - IDOK\n"));
  EXPECT_LT(at("TARNIX - IDOK\n"), at("TARNIX - FillInfoStruct\n"));
  EXPECT_NE(at("TARNIX - FillInfoStruct\n"), traces.end());
  Settings s = CurrentSettings();
  EXPECT_EQ(s.clock, 1);
  EXPECT_EQ(s.range, 1);
  EXPECT_EQ(s.gain, 2);
  EXPECT_EQ(s.mode, 0);
  EXPECT_EQ(BoardName(), "Board A");
  int16_t adChannels;
  std::memcpy(&adChannels, g_record.data() + TARNIX_RECORD(adChannelCount), 2);
  EXPECT_EQ(adChannels, 4) << "range 1 describes four inputs";
}

TEST_F(SetupDialogWine, OperatingSystemTextFollowsQueryFour) {
  for (auto [answer, text] : {std::pair<int32_t, const char*>{2, "Windows NT"},
                              {1, "Windows 95/98"},
                              {0, "Windows NT"}}) {
    VELQSIM_SetAnswer(kLib, 4, 0, answer);
    DialogView view;
    Open(1, kSetup, [&](HWND d) {
      view = ReadDialog(d);
      Press(d, IDCANCEL);
    });
    EXPECT_EQ(view[1001].text, text) << "answer " << answer;
  }
}

TEST_F(SetupDialogWine, GainsVersionAndDateAsTheLibraryAnswers) {
  LoadSettings(kBoardA, 0, 0, 0, 0);
  VELQSIM_SetAnswer(kBoardA, 144, 0, 2);
  VELQSIM_SetAnswer(kBoardA, 145, 0, 20000);
  VELQSIM_SetAnswer(kBoardA, 145, 1, 5);
  VELQSIM_SetAnswer(kBoardA, 20, 0, 3);
  VELQSIM_SetAnswer(kBoardA, 21, 0, 1);
  VELQSIM_SetAnswer(kBoardA, 22, 0, 7);
  VELQSIM_SetAnswer(kBoardA, 12, 0, 3);
  VELQSIM_SetAnswer(kBoardA, 13, 0, 2);
  VELQSIM_SetAnswer(kBoardA, 14, 0, 1);
  std::memset(g_record.data() + TARNIX_RECORD(boardVersionText), 'x', 40);
  DialogView view;
  Open(1, kSetup, [&](HWND d) {
    PickEntry(d, 1005, 0);
    view = ReadDialog(d);
    Press(d, IDCANCEL);
  });
  EXPECT_EQ(view[1015].entries,
            (std::vector<std::string>{"+/-10000 or +/-10000", "+/-10000 or +/-2"}));
  EXPECT_EQ(view[1009].text, "1/2/3");
  EXPECT_EQ(RecordText(g_record, TARNIX_RECORD(boardVersionText), 40),
            std::string("3.1.7") + std::string(35, '\0'));
}

TEST_F(SetupDialogWine, ModeListIsDisabledAndAModeOutsideItBecomesMinusOne) {
  LoadSettings(kBoardA, 0, 0, 0, 7);
  DialogView view;
  Open(1, kSetup, [&](HWND d) {
    PickEntry(d, 1005, 0);
    view = ReadDialog(d);
    Press(d, IDOK);
  });
  EXPECT_FALSE(view[1016].enabled);
  EXPECT_TRUE(view[1015].enabled);
  EXPECT_EQ(view[1016].selected, -1);
  EXPECT_EQ(view[1016].entries, (std::vector<std::string>{"Normal Mode", "Burst Mode"}));
  EXPECT_EQ(CurrentSettings().mode, -1);

  LoadSettings(kBoardA, 0, 0, 0, 1);
  Open(1, kSetup, [&](HWND d) {
    view = ReadDialog(d);
    Press(d, IDOK);
  });
  EXPECT_EQ(view[1016].selected, 1);
  EXPECT_EQ(CurrentSettings().mode, 1);
}

TEST_F(SetupDialogWine, RangeFiveOnAFourRangeBoardShowsNoneAndOkStoresMinusOne) {
  LoadSettings(kBoardA, 0, 0, 5, 0);
  DialogView view;
  Open(1, kSetup, [&](HWND d) {
    PickEntry(d, 1005, 0);
    view = ReadDialog(d);
    Press(d, IDOK);
  });
  EXPECT_EQ(view[1014].entries.size(), 4u);
  EXPECT_EQ(view[1014].entries[3], "Bipolar Differential");
  EXPECT_EQ(view[1014].selected, -1);
  EXPECT_EQ(CurrentSettings().range, -1);
}

TEST_F(SetupDialogWine, AboutOkRefillsTheRecordOnlyAfterTheBoxHasGone) {
  LoadSettings(kBoardA, 0, 0, 0, 0);
  SpoilBoardName();
  std::string whileOpen;
  UserOutcome out = Open(99, kAbout, [&](HWND d) {
    Sleep(300);
    Screenshot(d, "about_box");
    whileOpen = BoardName();
    Press(d, IDOK);
  });
  ASSERT_TRUE(out.shown);
  EXPECT_FALSE(out.stuck);
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(whileOpen, std::string(20, 'x'));
  EXPECT_EQ(BoardName(), "Board A");

  // The close box (and so Cancel) closes it without a refill.
  SpoilBoardName();
  out = Open(99, kAbout, [](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); });
  EXPECT_TRUE(out.shown);
  EXPECT_FALSE(out.stuck) << "Cancel left the about box open";
  EXPECT_EQ(BoardName(), std::string(20, 'x'));
}

}  // namespace
}  // namespace uiwine
