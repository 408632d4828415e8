// Texts: status messages within 80 bytes and board names within 40, whatever
// the status or name.
#include <cstring>
#include <set>

#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {
namespace {

using TextTest = SimTest;

constexpr unsigned char kGuard = 0xAB;

// Runs `fill` on a guarded buffer; checks the text ends within `limit` bytes
// and nothing at or past `limit` was touched. Answers the text.
template <typename Fill>
std::string Bounded(int limit, Fill fill) {
  std::vector<unsigned char> buffer(static_cast<size_t>(limit) + 64, kGuard);
  fill(reinterpret_cast<char*>(buffer.data()));
  const void* end = std::memchr(buffer.data(), 0, static_cast<size_t>(limit));
  EXPECT_NE(end, nullptr) << "no terminator within " << limit << " bytes";
  for (size_t i = static_cast<size_t>(limit); i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], kGuard) << "byte " << i << " written";
  }
  if (end == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(buffer.data()));
}

TEST_F(TextTest, EveryStatusHasItsOwnTextAndOthersAGenericOne) {
  std::set<std::string> texts;
  for (int32_t status = kNotReady; status <= -1; ++status) {
    const std::string text = Bounded(80, [&](char* t) { EXPECT_EQ(VELQ_StrError(status, t), 0); });
    EXPECT_FALSE(text.empty()) << status;
    EXPECT_EQ(text.find("Unknown board library status"), std::string::npos) << status;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), 20u) << "texts must tell the statuses apart";

  for (int32_t status : {-21, -5000, 7, INT32_MIN, INT32_MAX}) {
    const std::string text = Bounded(80, [&](char* t) { VELQ_StrError(status, t); });
    EXPECT_EQ(text, "Unknown board library status " + std::to_string(status));
  }
  EXPECT_EQ(VELQ_StrError(-1, nullptr), kNullPointer);
}

TEST_F(TextTest, BoardNamesStopAtFortyBytes) {
  EXPECT_EQ(Bounded(40, [&](char* t) { EXPECT_EQ(VELQ_StrBoardName(0, t), 0); }), "No board");
  EXPECT_EQ(Bounded(40, [&](char* t) { EXPECT_EQ(VELQ_StrBoardName(424242, t), kUnknownSerial); }),
            "Unknown board");
  const std::string one = Bounded(40, [&](char* t) { EXPECT_EQ(VELQ_StrBoardName(first_, t), 0); });
  const std::string two =
      Bounded(40, [&](char* t) { EXPECT_EQ(VELQ_StrBoardName(second_, t), 0); });
  EXPECT_FALSE(one.empty());
  EXPECT_NE(one, two);
  EXPECT_FALSE(Bounded(40, [&](char* t) { VELQ_StrBoardName(kLibrary, t); }).empty());

  const std::string longName(100, 'N');
  ASSERT_EQ(VELQSIM_SetBoardName(first_, longName.c_str()), 0);
  EXPECT_EQ(Bounded(40, [&](char* t) { EXPECT_EQ(VELQ_StrBoardName(first_, t), 0); }),
            std::string(39, 'N'));
  ASSERT_EQ(VELQSIM_SetBoardName(0, "Twenty characters!!!"), 0);
  EXPECT_EQ(Bounded(40, [&](char* t) { VELQ_StrBoardName(0, t); }), "Twenty characters!!!");
  EXPECT_EQ(VELQ_StrBoardName(first_, nullptr), kNullPointer);
}

TEST_F(TextTest, ControlTextsHonourTheirByteCount) {
  VELQ_Query(kLibrary, 1, 0);
  const std::string whole = CallLine(0);
  ASSERT_EQ(whole, "VELQ_Query(1000000000, 1, 0) = 3");
  EXPECT_EQ(Bounded(10, [&](char* t) { EXPECT_EQ(VELQSIM_CallLine(0, t, 10), 0); }),
            whole.substr(0, 9));
  char one[1] = {'x'};
  EXPECT_EQ(VELQSIM_CallLine(0, one, 1), 0);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(VELQSIM_CallLine(0, one, 0), kBadParameter);
  EXPECT_EQ(VELQSIM_CallLine(1, one, 1), kBadParameter);
  EXPECT_EQ(VELQSIM_CallLine(-1, one, 1), kBadParameter);
  EXPECT_EQ(VELQSIM_LastError(nullptr, 10), kNullPointer);
}

}  // namespace
}  // namespace boardsim_test
