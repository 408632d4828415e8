// The portable dialog engine itself: templates, the modal loop, timers, the
// scripted user's language and what it reads back.
#include <string>
#include <vector>

#include "abi/portable_control.h"
#include "platform/platform.h"
#include "ui/resources.h"
#include "ui_fixture.h"

namespace tarnix::test {
namespace {

using platform::WindowHandle;

// Every message a procedure saw, for the procedures below.
struct Seen {
  uint32_t message;
  uintptr_t wparam;
};
std::vector<Seen> g_seen;

// Handles nothing and never ends its dialog.
intptr_t TARNIX_WINAPI Stubborn(WindowHandle, uint32_t message, uintptr_t wparam, intptr_t) {
  g_seen.push_back({message, wparam});
  return 0;
}

// Starts a 500 ms timer, counts its messages, ends on OK with their number.
int g_ticks = 0;
intptr_t TARNIX_WINAPI Ticking(WindowHandle dialog, uint32_t message, uintptr_t wparam, intptr_t) {
  g_seen.push_back({message, wparam});
  if (message == platform::kMsgInitDialog) {
    g_ticks = 0;
    platform::StartTimer(dialog, 7, 500);
    // Operations on controls the template lacks, or of the wrong kind, do
    // nothing.
    platform::SetControlText(dialog, 4242, "nowhere");
    platform::ComboAdd(dialog, IDC_API_VERSION, "not a list");
    platform::SetControlText(dialog, IDC_API_VERSION, "edit text");
  }
  if (message == platform::kMsgTimer) ++g_ticks;
  if (message == platform::kMsgCommand && wparam == platform::kIdOk) {
    platform::EndDialog(dialog, 100 + g_ticks);
  }
  return 1;
}

class EngineTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    g_seen.clear();
  }
  intptr_t Run(int templateId, platform::DialogProc proc) {
    return platform::RunDialog(nullptr, templateId, nullptr, proc);
  }
};

TEST_F(EngineTest, UnknownTemplateFailsWithoutCallingTheProcedure) {
  EXPECT_EQ(Run(102, Stubborn), -1);
  EXPECT_TRUE(g_seen.empty());
  ASSERT_EQ(TarnixPortable_FailOperation("RunDialog", 0, 1), 1);
  EXPECT_EQ(Run(IDD_ABOUT, Stubborn), -1);
  TarnixPortable_ClearFaults();
}

TEST_F(EngineTest, WithNobodyLeftTheDialogGetsCancelAndIsEndedIfItIgnoresIt) {
  EXPECT_EQ(Run(IDD_ABOUT, Stubborn), 2);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].message, platform::kMsgInitDialog);
  EXPECT_EQ(g_seen[1].message, platform::kMsgCommand);
  EXPECT_EQ(g_seen[1].wparam, platform::kIdCancel);
  EXPECT_EQ(TarnixPortable_LastDialogForced(), 1);
  EXPECT_EQ(TarnixPortable_LastDialogTemplate(), IDD_ABOUT);
}

TEST_F(EngineTest, TimersFireOnTheVirtualClockAndWaitLetsTimePass) {
  uint64_t before = TarnixPortable_VirtualMilliseconds();
  ASSERT_EQ(TarnixPortable_ScriptDialog(IDD_SETUP, "wait 1200\nOK"), 2);
  EXPECT_EQ(Run(IDD_SETUP, Ticking), 102);  // ticks at 500 and 1000
  EXPECT_EQ(TarnixPortable_VirtualMilliseconds() - before, 1200u);
  ASSERT_EQ(g_seen.size(), 4u);
  EXPECT_EQ(g_seen[1].message, platform::kMsgTimer);
  EXPECT_EQ(g_seen[1].wparam, 7u);
  EXPECT_EQ(Text(IDC_API_VERSION), "edit text");
  EXPECT_EQ(Text(4242), "");
  EXPECT_EQ(TarnixPortable_DialogComboCount(IDC_API_VERSION), -1);

  // Without a script the loop waits for the timer rather than cancelling.
  g_seen.clear();
  TarnixPortable_SetDialogHook(
      [](int, uint32_t message, uintptr_t, void*) {
        if (message == platform::kMsgTimer && g_ticks == 3) {
          TarnixPortable_ScriptDialog(0, "ok");
        }
      },
      nullptr);
  EXPECT_EQ(Run(IDD_SPLASH, Ticking), 103);
}

TEST_F(EngineTest, ScriptsWaitForTheirTemplateAndBadScriptsQueueNothing) {
  ASSERT_EQ(TarnixPortable_ScriptDialog(IDD_ABOUT, "ok"), 1);
  EXPECT_EQ(Run(IDD_SETUP, Stubborn), 2);  // not this dialog's action
  EXPECT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(TarnixPortable_ClearDialogScript(), 1);

  for (const char* bad : {"pick 1005", "jump", "pick 70000 1", "command -1", "ok 3", "wait",
                          "select 1005 x", "ok; pick 1005 99999999999"}) {
    EXPECT_EQ(TarnixPortable_ScriptDialog(0, bad), -1) << bad;
  }
  EXPECT_EQ(TarnixPortable_ScriptDialog(0, nullptr), -1);
  EXPECT_EQ(TarnixPortable_ClearDialogScript(), 0);
  EXPECT_EQ(TarnixPortable_ScriptDialog(0, " Pick 1005 2 ;; \r\n command 0x903ED;CANCEL; "), 3);
  EXPECT_EQ(TarnixPortable_ClearDialogScript(), 3);
}

TEST_F(EngineTest, SnapshotReadsLiveDialogInHookAndDumpsEveryControlWithAnId) {
  static std::string live;
  TarnixPortable_SetDialogHook(
      [](int, uint32_t message, uintptr_t, void*) {
        if (message == platform::kMsgInitDialog) live = UiTest::Text(IDC_API_VERSION);
      },
      nullptr);
  TarnixPortable_ScriptDialog(IDD_SETUP, "ok");
  Run(IDD_SETUP, Ticking);
  EXPECT_EQ(live, "edit text");

  Run(IDD_ABOUT, Stubborn);
  char dump[256];
  int length = TarnixPortable_DialogDump(dump, sizeof dump);
  EXPECT_EQ(std::string(dump), "1 button \"OK\"\n2 button \"Cancel\"\n");
  EXPECT_EQ(length, 32);
  // A short buffer gets a terminated prefix and the full length.
  char small[5];
  EXPECT_EQ(TarnixPortable_DialogDump(small, sizeof small), 32);
  EXPECT_EQ(std::string(small), "1 bu");
  EXPECT_EQ(TarnixPortable_DialogControlEnabled(1), 1);
  EXPECT_EQ(TarnixPortable_DialogControlEnabled(-1), -1);
}

}  // namespace
}  // namespace tarnix::test
