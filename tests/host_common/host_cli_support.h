// Helpers of the tarnix-host end-to-end tests: expected values straight from
// the board library loaded in the test process (the same built-in world the
// program under test sees), and text checks that print what they missed.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "abi/board_api.h"
#include "abi/velqsim.h"
#include "host_common/host_runner.h"

namespace hosttest {

using tarnix::velq::kLibrarySerial;

inline int32_t FirstSerial() { return VELQ_Query(kLibrarySerial, tarnix::velq::kBoardSerial, 0); }

inline std::string BoardName(int32_t serial) {
  char name[tarnix::velq::kBoardNameBytes] = {};
  VELQ_StrBoardName(serial, name);
  return name;
}

inline std::string LibraryError(int32_t status) {
  char text[tarnix::velq::kErrorTextBytes] = {};
  VELQ_StrError(status, text);
  return text;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::vector<double> CsvRow(const std::string& line) {
  std::vector<double> values;
  std::stringstream in(line);
  for (std::string cell; std::getline(in, cell, ',');) values.push_back(std::stod(cell));
  return values;
}

inline size_t Occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// What the module makes of a reading on a +-10 V range: clamp, then one
// code per 4885 uV truncated toward zero; the host turns it back into volts.
inline double ExpectedVolts(int32_t microvolts) {
  int32_t clamped = std::max(-10000000, std::min(10000000, microvolts));
  return (clamped / 4885) * 10.0 / 2047.0;
}

inline std::string Show(const HostResult& r) {
  return "exit " + std::to_string(r.exitCode) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

#define EXPECT_HAS(text, what) \
  EXPECT_NE((text).find(what), std::string::npos) << "expected to find: " << (what)

}  // namespace hosttest
