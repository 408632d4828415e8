// The samples as a table, written while they arrive: a header line
// `time_s,ch0_V,...`, then one row per whole scan (its time, then volts per
// channel). A last incomplete scan is left out.
#pragma once

#include <cstdio>
#include <string>

#include "block_loop.h"
#include "whole_scans.h"

namespace host {

class CsvStream : public BlockConsumer {
 public:
  explicit CsvStream(std::string path) : path_(std::move(path)) {}
  ~CsvStream() override { Finish(); }

  bool Begin(const RunInfo& run) override;
  bool Take(const int16_t* codes, size_t count, int64_t first) override;
  std::string failure() const override { return error_; }
  // Closes the file; answers whether every row reached it.
  bool Finish();
  int64_t rows() const { return rows_; }

 private:
  bool Failed();
  std::string path_;
  std::FILE* file_ = nullptr;
  RunInfo run_;
  WholeScans scans_;
  int64_t rows_ = 0;
  std::string error_;
};

}  // namespace host
