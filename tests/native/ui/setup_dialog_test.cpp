// The hardware setup dialog through DRV_ShowDialog, driven by the portable
// backend's scripted user.
#include <algorithm>
#include <climits>

#include "abi/driver_exports.h"
#include "ui/resources.h"
#include "ui_fixture.h"

namespace tarnix::test {
namespace {

using Strings = std::vector<std::string>;

TEST_F(UiTest, RefusesBeforeInitialisationWithCodeFiveAndNoDialog) {
  g_state.deviceRecord = record_.data();  // a record, but DRV_InitDevice failed
  int opened = TarnixPortable_DialogsOpened();
  TarnixPortable_ScriptDialog(0, "ok");
  EXPECT_EQ(DRV_ShowDialog(1, 0), 0);
  EXPECT_EQ(ErrorCode(), 5);
  EXPECT_EQ(TarnixPortable_DialogsOpened(), opened) << "a dialog was shown";
  EXPECT_EQ(VELQSIM_CallCount(), 0);
  EXPECT_EQ(TarnixPortable_ClearDialogScript(), 1);

  // No record handed over at all: still refused, nothing written anywhere
  // (the sanitizers watch the null record).
  g_state.deviceRecord = nullptr;
  EXPECT_EQ(DRV_ShowDialog(99, 0), 0);
  EXPECT_EQ(TarnixPortable_DialogsOpened(), opened);
}

TEST_F(UiTest, SelectorsOtherThanSetupAndAboutShowNothing) {
  Initialised();
  int opened = TarnixPortable_DialogsOpened();
  for (int32_t selector : {0, 2, 100, -1, 98, INT32_MIN}) {
    EXPECT_EQ(DRV_ShowDialog(selector, 1), 1) << "selector " << selector;
  }
  EXPECT_EQ(TarnixPortable_DialogsOpened(), opened);
  EXPECT_EQ(VELQSIM_CallCount(), 0);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(UiTest, OpeningSelectsBoardAtIndexAndTakesItsSerialOverALoadedOne) {
  Initialised();
  Boards(3);
  g_state.serialNo = 5002;  // as a worksheet load would have left it
  g_state.boardIndex = 0;
  g_state.boardType = 99;
  VELQSIM_SetBoardName(5000, "First board");
  EXPECT_EQ(DRV_ShowDialog(1, 0), 1);

  EXPECT_EQ(TarnixPortable_LastDialogTemplate(), IDD_SETUP);
  EXPECT_EQ(Entries(IDC_BOARD_LIST), (Strings{"5000", "5001", "5002"}));
  EXPECT_EQ(TarnixPortable_DialogComboSelection(IDC_BOARD_LIST), 0);
  EXPECT_EQ(Text(IDC_BOARD_COUNT), "3");
  EXPECT_EQ(Text(IDC_BOARD_NAME), "First board");
  EXPECT_EQ(Text(IDC_BOARD_TYPE), "10");
  EXPECT_EQ(Text(IDC_BOARD_REVISION), "20");
  EXPECT_EQ(g_state.serialNo, 5000);
  EXPECT_EQ(g_state.boardType, 10);
  EXPECT_EQ(g_state.boardCount, 3);
}

TEST_F(UiTest, CancelKeepsTheSettingsButKeepsTheBoardPick) {
  Initialised();
  Boards(3);
  Gains(5002, {20000, 10000});
  Ranges(5002, {0, 1});
  g_state.clockSource = 1;
  g_state.range = 1;
  g_state.gain = 1;
  g_state.mode = 0;
  TarnixPortable_ScriptDialog(IDD_SETUP,
                              "pick 1005 2; select 1013 0; select 1014 0; select 1015 0; cancel");
  EXPECT_EQ(DRV_ShowDialog(1, 0), 1);

  EXPECT_EQ(TarnixPortable_LastDialogResult(), 1);
  EXPECT_EQ(g_state.boardIndex, 2);
  EXPECT_EQ(g_state.serialNo, 5002);
  EXPECT_EQ(g_state.boardType, 12);
  EXPECT_EQ(Text(IDC_BOARD_TYPE), "12");
  EXPECT_EQ(g_state.clockSource, 1);
  EXPECT_EQ(g_state.range, 1);
  EXPECT_EQ(g_state.gain, 1);
  EXPECT_EQ(g_state.mode, 0);
  EXPECT_TRUE(Traced("TARNIX - 590829\n"));
  EXPECT_FALSE(Traced("TARNIX - IDOK\n"));
  EXPECT_FALSE(Traced("TARNIX - FillInfoStruct\n")) << "Cancel refilled the record";
}

TEST_F(UiTest, OkReadsAllFourListsAndRefillsTheRecord) {
  Initialised();
  Boards(2);
  Gains(5000, {20000, 10000, 5000});
  Ranges(5000, {0, 1, 2, 3});
  g_state.mode = 1;
  // The mode list is disabled: a user cannot change it, the script neither.
  TarnixPortable_ScriptDialog(IDD_SETUP,
                              "select 1013 1; select 1014 3; select 1015 2; "
                              "select 1016 0; ok");
  EXPECT_EQ(DRV_ShowDialog(1, 0), 1);

  EXPECT_EQ(TarnixPortable_DialogControlEnabled(IDC_MODE_LIST), 0);
  EXPECT_EQ(TarnixPortable_DialogControlEnabled(IDC_GAIN_LIST), 1);
  EXPECT_EQ(g_state.clockSource, 1);
  EXPECT_EQ(g_state.range, 3);
  EXPECT_EQ(g_state.gain, 2);
  EXPECT_EQ(g_state.mode, 1);
  // The command, the OK, then the refill, in that order.
  auto at = [&](const std::string& line) {
    return std::find(traces_.begin(), traces_.end(), line) - traces_.begin();
  };
  ASSERT_TRUE(Traced("TARNIX - IDOK\n"));
  ASSERT_TRUE(Traced("TARNIX - FillInfoStruct\n"));
  EXPECT_LT(at("TARNIX - WM_COMMAND\n"), at("TARNIX - IDOK\n"));
  EXPECT_LT(at("TARNIX - IDOK\n"), at("TARNIX - FillInfoStruct\n"));
}

TEST_F(UiTest, SettingsOutsideTheirListsShowNoSelectionAndOkStoresMinusOne) {
  Initialised();
  Boards(1);
  Ranges(5000, {0, 1, 2, 3});
  Gains(5000, {20000});
  g_state.range = 5;
  g_state.mode = 7;
  g_state.gain = 1;
  g_state.clockSource = -3;
  TarnixPortable_ScriptDialog(IDD_SETUP, "ok");
  EXPECT_EQ(DRV_ShowDialog(1, 0), 1);
  EXPECT_EQ(TarnixPortable_DialogComboSelection(IDC_RANGE_LIST), -1);
  EXPECT_EQ(TarnixPortable_DialogComboSelection(IDC_MODE_LIST), -1);
  EXPECT_EQ(Text(IDC_RANGE_LIST), "");
  EXPECT_EQ(g_state.range, -1);
  EXPECT_EQ(g_state.mode, -1);
  EXPECT_EQ(g_state.gain, -1);
  EXPECT_EQ(g_state.clockSource, -1);

  // Modes 0 and 1 come back unchanged.
  for (int32_t mode : {0, 1}) {
    g_state.mode = mode;
    TarnixPortable_ScriptDialog(IDD_SETUP, "ok");
    DRV_ShowDialog(1, 0);
    EXPECT_EQ(TarnixPortable_DialogComboSelection(IDC_MODE_LIST), mode);
    EXPECT_EQ(Text(IDC_MODE_LIST), mode == 0 ? "Normal Mode" : "Burst Mode");
    EXPECT_EQ(g_state.mode, mode);
  }
}

TEST_F(UiTest, OperatingSystemIsWindows9xOnlyForAnswerOne) {
  Initialised();
  Boards(1);
  const std::pair<int32_t, const char*> cases[] = {
      {1, "Windows 95/98"}, {2, "Windows NT"}, {0, "Windows NT"}, {-1, "Windows NT"}};
  for (auto [answer, shown] : cases) {
    VELQSIM_SetAnswer(kLib, 4, 0, answer);
    DRV_ShowDialog(1, 0);
    EXPECT_EQ(Text(IDC_OPERATING_SYSTEM), shown) << "answer " << answer;
  }
}

TEST_F(UiTest, BoardDetailsVersionAndDateAreFormattedFromTheirQueries) {
  Initialised();
  Boards(1);
  VELQSIM_SetAnswer(5000, 20, 0, 3);
  VELQSIM_SetAnswer(5000, 21, 0, 1);
  VELQSIM_SetAnswer(5000, 22, 0, 7);
  VELQSIM_SetAnswer(5000, 12, 0, 3);
  VELQSIM_SetAnswer(5000, 13, 0, 2);
  VELQSIM_SetAnswer(5000, 14, 0, 1);
  std::memset(record_.data() + TARNIX_RECORD(boardVersionText), 0xAA, 40);
  std::memcpy(record_.data() + TARNIX_RECORD(apiVersionText), "3.5.3", 6);
  DRV_ShowDialog(1, 0);

  EXPECT_EQ(RecordText(TARNIX_RECORD(boardVersionText), 40),
            std::string("3.1.7") + std::string(35, '\0'));
  EXPECT_EQ(Text(IDC_BOARD_DATE), "1/2/3");
  EXPECT_EQ(Text(IDC_API_VERSION), "3.5.3");
  // The byte after the field is the record's, not the text's.
  EXPECT_EQ(record_[TARNIX_RECORD(boardVersionText) + 40], 0);
}

TEST_F(UiTest, GainEntriesShowTenThousandAndHalfTheSpan) {
  Initialised();
  Boards(1);
  Gains(5000, {20000, 5, -5, INT32_MIN, 0});
  DRV_ShowDialog(1, 0);
  EXPECT_EQ(Entries(IDC_GAIN_LIST),
            (Strings{"+/-10000 or +/-10000", "+/-10000 or +/-2", "+/-10000 or +/--2",
                     "+/-10000 or +/--1073741824", "+/-10000 or +/-0"}));
}

TEST_F(UiTest, RangeKindsOutsideTheTableKeepTheirPositionWithAGenericName) {
  Initialised();
  Boards(1);
  Ranges(5000, {3, 4, -1, INT32_MAX, 0});
  g_state.range = 3;
  DRV_ShowDialog(1, 0);
  EXPECT_EQ(Entries(IDC_RANGE_LIST),
            (Strings{"Bipolar Differential", "Unknown Range", "Unknown Range", "Unknown Range",
                     "Unipolar Single Ended"}));
  EXPECT_EQ(TarnixPortable_DialogComboSelection(IDC_RANGE_LIST), 3);
}

TEST_F(UiTest, NonsensicalListCountsGiveNoEntriesOrACappedList) {
  Initialised();
  Boards(1);
  VELQSIM_SetAnswer(5000, 146, 0, INT32_MAX);
  VELQSIM_SetAnswer(5000, 147, -1, 1);
  VELQSIM_SetAnswer(5000, 144, 0, -4);
  DRV_ShowDialog(1, 0);
  EXPECT_EQ(TarnixPortable_DialogComboCount(IDC_RANGE_LIST), 1024);
  EXPECT_EQ(TarnixPortable_DialogComboCount(IDC_GAIN_LIST), 0);
}

TEST_F(UiTest, BoardListWithoutSelectionAsksForBoardMinusOne) {
  Initialised();
  Boards(3);
  VELQSIM_SetAnswer(kLib, 15, -1, 777);
  g_state.boardIndex = 3;  // one past the list
  TarnixPortable_ScriptDialog(IDD_SETUP, "ok");
  EXPECT_EQ(DRV_ShowDialog(1, 0), 1);
  EXPECT_EQ(TarnixPortable_DialogComboSelection(IDC_BOARD_LIST), -1);
  EXPECT_EQ(g_state.boardIndex, -1);
  EXPECT_EQ(g_state.serialNo, 777);
  Strings log = CallLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "VELQ_Query(1000000000, 15, -1) = 777"), log.end());

  // No boards at all: an empty list, the same -1 question, nothing breaks.
  VELQSIM_ClearAnswers();
  VELQSIM_SetAnswer(kLib, 5, 0, 0);
  VELQSIM_SetAnswer(kLib, 15, -1, 0);
  g_state.boardIndex = 0;
  DRV_ShowDialog(1, 0);
  EXPECT_EQ(Entries(IDC_BOARD_LIST), Strings{});
  EXPECT_EQ(Text(IDC_BOARD_COUNT), "0");
  EXPECT_EQ(g_state.serialNo, 0);
}

}  // namespace
}  // namespace tarnix::test
