// What the library and the default boards answer, and how bad questions are
// refused.
#include <set>

#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {
namespace {

using AnswersTest = SimTest;

TEST_F(AnswersTest, LibraryDescribesItselfAndTwoBoards) {
  EXPECT_EQ(VELQ_Query(kLibrary, 1, 0), 3);
  EXPECT_EQ(VELQ_Query(kLibrary, 2, 0), 5);
  EXPECT_EQ(VELQ_Query(kLibrary, 3, 0), 3);
  EXPECT_EQ(VELQ_Query(kLibrary, 4, 0), 2);
  EXPECT_EQ(VELQ_Query(kLibrary, 5, 0), 2);
  EXPECT_NE(first_, second_);
  EXPECT_EQ(VELQ_Query(kLibrary, 15, 2), kBadParameter);
  EXPECT_EQ(VELQ_Query(kLibrary, 15, -1), kBadParameter);
}

TEST_F(AnswersTest, DefaultBoardsDifferAndCarryRealisticTables) {
  // Each identity query must tell the two boards apart.
  for (int32_t code : {10, 11, 20, 102}) {
    EXPECT_NE(VELQ_Query(first_, code, 0), VELQ_Query(second_, code, 0)) << "query " << code;
  }
  const auto date = [](int32_t serial) {
    return std::vector<int32_t>{VELQ_Query(serial, 12, 0), VELQ_Query(serial, 13, 0),
                                VELQ_Query(serial, 14, 0)};
  };
  EXPECT_NE(date(first_), date(second_));
  std::set<int32_t> rates = {VELQ_Query(first_, 102, 0), VELQ_Query(second_, 102, 0)};
  EXPECT_EQ(rates, (std::set<int32_t>{100000, 250000}));

  for (int32_t serial : {first_, second_}) {
    SCOPED_TRACE(serial);
    const int32_t gains = VELQ_Query(serial, 144, 0);
    std::set<int32_t> spans;
    for (int32_t i = 0; i < gains; ++i) spans.insert(VELQ_Query(serial, 145, i));
    for (int32_t span : {20000, 10000, 5000, 2000}) EXPECT_TRUE(spans.count(span)) << span;
    EXPECT_EQ(VELQ_Query(serial, 145, gains), kBadParameter);

    const int32_t ranges = VELQ_Query(serial, 146, 0);
    EXPECT_GE(ranges, 2);
    std::set<int32_t> kinds;
    for (int32_t i = 0; i < ranges; ++i) {
      const int32_t kind = VELQ_Query(serial, 147, i);
      EXPECT_GE(kind, 0);
      EXPECT_LE(kind, 3);
      kinds.insert(kind);
    }
    EXPECT_GE(kinds.size(), 2u) << "ranges of different kinds";
    EXPECT_EQ(VELQ_Query(serial, 147, -1), kBadParameter);

    for (int32_t code : {200, 300, 400}) EXPECT_GT(VELQ_Query(serial, code, 0), 0) << code;
    EXPECT_EQ(VELQ_Query(serial, 103, 0), 0);
    EXPECT_EQ(VELQ_Query(serial, 105, 0), 0);
    EXPECT_EQ(VELQ_Query(serial, 107, 0), 0);
    EXPECT_EQ(VELQ_Query(serial, 109, 0), 0);
    const int32_t major = VELQ_Query(serial, 20, 0);
    EXPECT_GT(major + VELQ_Query(serial, 21, 0) + VELQ_Query(serial, 22, 0), 0);
  }
}

TEST_F(AnswersTest, BadQuestionsGetDistinctStatuses) {
  EXPECT_EQ(VELQ_Query(12345, 10, 0), kUnknownSerial);
  EXPECT_EQ(VELQ_Query(0, 102, 0), kUnknownSerial);
  EXPECT_EQ(VELQ_Query(-7, 1, 0), kUnknownSerial);
  EXPECT_EQ(VELQ_Query(first_, 999, 0), kUnknownQuery);
  EXPECT_EQ(VELQ_Query(first_, -1, 0), kUnknownQuery);
  EXPECT_EQ(VELQ_Query(kLibrary, 0, 0), kUnknownQuery);
  // A board question put to the library, and a library question to a board.
  EXPECT_EQ(VELQ_Query(kLibrary, 102, 0), kWrongTarget);
  EXPECT_EQ(VELQ_Query(first_, 5, 0), kWrongTarget);
}

TEST_F(AnswersTest, OverridesWinUntilCleared) {
  ASSERT_EQ(VELQSIM_SetAnswer(kLibrary, 2, 0, 4), 0);
  ASSERT_EQ(VELQSIM_SetAnswer(first_, 145, -1, 1000), 0);
  ASSERT_EQ(VELQSIM_SetAnswer(first_, 145, 2, 777), 0);
  ASSERT_EQ(VELQSIM_SetAnswer(0, 102, 0, 55), 0);  // serial 0 can be given answers too
  EXPECT_EQ(VELQ_Query(kLibrary, 2, 0), 4);
  EXPECT_EQ(VELQ_Query(first_, 145, 0), 1000);
  EXPECT_EQ(VELQ_Query(first_, 145, 99), 1000);
  EXPECT_EQ(VELQ_Query(first_, 145, 2), 777) << "an exact parameter beats -1";
  EXPECT_EQ(VELQ_Query(0, 102, 0), 55);
  EXPECT_EQ(VELQ_Query(second_, 145, 0), 20000) << "other boards unaffected";
  ASSERT_EQ(VELQSIM_ClearAnswers(), 0);
  EXPECT_EQ(VELQ_Query(kLibrary, 2, 0), 5);
  EXPECT_EQ(VELQ_Query(first_, 145, 2), 5000);
  EXPECT_EQ(VELQ_Query(0, 102, 0), kUnknownSerial);
}

}  // namespace
}  // namespace boardsim_test
