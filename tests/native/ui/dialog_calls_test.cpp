// The setup dialog's board-library calls, trace lines and command handling,
// and the about box.
#include <algorithm>

#include "abi/driver_exports.h"
#include "ui/resources.h"
#include "ui/setup_dialog.h"
#include "ui_fixture.h"

namespace tarnix::test {
namespace {

using Strings = std::vector<std::string>;

// The call log without the answers, which the simulated world decides.
Strings CallsOnly(const Strings& log) {
  Strings out;
  for (const std::string& line : log) out.push_back(line.substr(0, line.find(" = ")));
  return out;
}

TEST_F(UiTest, OpeningAsksTheLibraryInOrderAndTracesEachList) {
  Initialised();
  Boards(2);
  Ranges(5000, {0});
  Gains(5000, {20000});
  VELQSIM_ClearLog();
  DRV_ShowDialog(1, 0);  // no script: closed as by the Escape key

  const Strings expected = {
      "VELQ_Query(1000000000, 5, 0)", "VELQ_Query(1000000000, 4, 0)",
      "VELQ_Query(1000000000, 15, 0)", "VELQ_Query(1000000000, 15, 1)",
      // ShowBoardInfo
      "VELQ_Query(1000000000, 15, 0)", "VELQ_Query(5000, 10, 0)", "VELQ_Query(5000, 11, 0)",
      "VELQ_Query(5000, 14, 0)", "VELQ_Query(5000, 13, 0)", "VELQ_Query(5000, 12, 0)",
      "VELQ_StrBoardName(5000, ptr)", "VELQ_Query(5000, 22, 0)", "VELQ_Query(5000, 21, 0)",
      "VELQ_Query(5000, 20, 0)",
      // FillADRange, then FillADGain (clock source and mode ask nothing)
      "VELQ_Query(1000000000, 15, 0)", "VELQ_Query(5000, 146, 0)", "VELQ_Query(5000, 147, 0)",
      "VELQ_Query(1000000000, 15, 0)", "VELQ_Query(5000, 144, 0)", "VELQ_Query(5000, 145, 0)"};
  EXPECT_EQ(CallsOnly(CallLog()), expected);
  EXPECT_EQ(traces_,
            (Strings{"TARNIX - FillADRange\n", "TARNIX - FillClkSrc\n", "TARNIX - FillADMode\n",
                     "TARNIX - FillADGain\n", "TARNIX - WM_COMMAND\n"}));
  EXPECT_EQ(TarnixPortable_LastDialogForced(), 0) << "Cancel did not close the dialog";
}

TEST_F(UiTest, OnlyTheWholeBoardListConfirmationShowsAnotherBoard) {
  Initialised();
  Boards(2);
  // Selection change (1) of the list, a confirmation (9) of another control,
  // then the real confirmation.
  TarnixPortable_ScriptDialog(IDD_SETUP,
                              "select 1005 1; command 0x103ED; command 0x903EE; "
                              "command 0x90001");
  TarnixPortable_ScriptDialog(IDD_SETUP, "cancel");
  DRV_ShowDialog(1, 0);
  EXPECT_EQ(g_state.serialNo, 5000) << "a command other than 590829 took the board";
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), "TARNIX - WM_COMMAND\n"), 4);
  EXPECT_FALSE(Traced("TARNIX - IDOK\n"));

  traces_.clear();
  TarnixPortable_ScriptDialog(IDD_SETUP, "pick 1005 1; cancel");
  DRV_ShowDialog(1, 0);
  EXPECT_EQ(g_state.serialNo, 5001);
  EXPECT_EQ(g_state.boardIndex, 1);
  EXPECT_EQ(g_state.boardType, 11);
  // A pick refills the four lists after its own trace.
  auto it = std::find(traces_.begin(), traces_.end(), "TARNIX - 590829\n");
  ASSERT_NE(it, traces_.end());
  EXPECT_EQ(Strings(it + 1, it + 5), (Strings{"TARNIX - FillADRange\n", "TARNIX - FillClkSrc\n",
                                              "TARNIX - FillADMode\n", "TARNIX - FillADGain\n"}));
}

TEST_F(UiTest, ProcedureComparesTheWholeFirstParameter) {
  // Commands that match no case touch no control, so no dialog is needed.
  uintptr_t notOk = (uintptr_t{1} << 16) | 1;  // BN_DOUBLECLICKED of OK? not a press
  EXPECT_EQ(SetupDialogProc(nullptr, platform::kMsgCommand, notOk, 0), 0);
  if constexpr (sizeof(uintptr_t) > 4) {
    uintptr_t wide = static_cast<uintptr_t>(uint64_t{1} << 32) | 1;
    EXPECT_EQ(SetupDialogProc(nullptr, platform::kMsgCommand, wide, 0), 0);
  }
  EXPECT_EQ(SetupDialogProc(nullptr, platform::kMsgTimer, 1, 0), 0);
  EXPECT_FALSE(Traced("TARNIX - IDOK\n"));
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), "TARNIX - WM_COMMAND\n"),
            sizeof(uintptr_t) > 4 ? 2 : 1);
}

TEST_F(UiTest, AboutBoxOkClosesThenRefillsCancelOnlyCloses) {
  Initialised();
  g_state.serialNo = 0;  // the refill without a board is enough to see it
  TarnixPortable_ScriptDialog(IDD_ABOUT, "command 1005; command 0; ok");
  EXPECT_EQ(DRV_ShowDialog(99, 0), 1);
  EXPECT_EQ(TarnixPortable_LastDialogTemplate(), IDD_ABOUT);
  EXPECT_EQ(TarnixPortable_LastDialogResult(), 1);
  EXPECT_TRUE(Traced("TARNIX - FillInfoStruct\n"));
  EXPECT_EQ(Text(1), "OK");
  EXPECT_EQ(Text(2), "Cancel");

  traces_.clear();
  TarnixPortable_ScriptDialog(IDD_ABOUT, "cancel");
  EXPECT_EQ(DRV_ShowDialog(99, 0), 1);
  EXPECT_EQ(TarnixPortable_LastDialogResult(), 2);
  EXPECT_EQ(TarnixPortable_LastDialogForced(), 0);
  EXPECT_TRUE(traces_.empty()) << traces_.front();
}

}  // namespace
}  // namespace tarnix::test
