#include "replay_source.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace velqsim {

namespace {

std::vector<std::string> SplitCells(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  std::stringstream in(line);
  while (std::getline(in, cell, ',')) {
    if (!cell.empty() && cell.back() == '\r') cell.pop_back();
    cells.push_back(cell);
  }
  if (!line.empty() && line.back() == ',') cells.emplace_back();
  return cells;
}

bool ParseNumber(const std::string& cell, double* value) {
  if (cell.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(cell.c_str(), &end);
  while (end != nullptr && (*end == ' ' || *end == '\t')) ++end;
  return end != nullptr && *end == '\0' && std::isfinite(*value);
}

bool LooksLikeWav(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  char magic[4] = {};
  file.read(magic, 4);
  const std::string head(magic, 4);
  return file.gcount() == 4 && (head == "RIFF" || head == "RF64" || head == "RIFX");
}

bool ReadCsvColumn(const ReplayRequest& request, ReplaySource* out, std::string* why) {
  std::ifstream file(request.path, std::ios::binary);
  std::string line;
  if (!std::getline(file, line)) {
    *why = "empty file, a header line of column names is needed";
    return false;
  }
  const std::vector<std::string> header = SplitCells(line);
  size_t column = header.size();
  if (!request.columnName.empty()) {
    for (size_t i = 0; i < header.size(); ++i) {
      if (header[i] == request.columnName) column = i;
    }
    if (column == header.size()) {
      *why = "no column \"" + request.columnName + "\" in the header \"" + line + "\"";
      return false;
    }
  } else {
    column = static_cast<size_t>(request.columnIndex);
    if (column >= header.size()) {
      *why = "no column " + std::to_string(request.columnIndex) + ": the header has " +
             std::to_string(header.size());
      return false;
    }
  }
  const bool timed = !header.empty() && header[0] == "time_s";
  double firstTime = 0;
  double lastTime = 0;
  size_t lineNumber = 1;
  while (std::getline(file, line)) {
    ++lineNumber;
    if (line.empty() || line == "\r") continue;
    const std::vector<std::string> cells = SplitCells(line);
    double value = 0;
    if (column >= cells.size() || !ParseNumber(cells[column], &value)) {
      *why = "line " + std::to_string(lineNumber) + ": column \"" + header[column] +
             "\" holds no number";
      return false;
    }
    if (timed) {
      double time = 0;
      if (!ParseNumber(cells[0], &time)) {
        *why = "line " + std::to_string(lineNumber) + ": time_s holds no number";
        return false;
      }
      if (out->microvolts.empty()) firstTime = time;
      lastTime = time;
    }
    out->microvolts.push_back(MicrovoltsOf(value));
  }
  if (out->microvolts.empty()) {
    *why = "no samples below the header";
    return false;
  }
  if (timed && out->microvolts.size() > 1) {
    const double step = (lastTime - firstTime) / static_cast<double>(out->microvolts.size() - 1);
    if (!(step > 0)) {
      *why = "time_s does not increase";
      return false;
    }
    out->secondsPerSample = step;
  }
  return true;
}

}  // namespace

int32_t MicrovoltsOf(double volts) {
  const double microvolts = std::nearbyint(volts * 1e6);
  if (!(microvolts == microvolts)) return 0;
  if (microvolts >= 2147483647.0) return INT32_MAX;
  if (microvolts <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(microvolts);
}

std::shared_ptr<const ReplaySource> LoadReplay(const ReplayRequest& request, std::string* why) {
  if (!std::ifstream(request.path, std::ios::binary).good()) {
    *why = "cannot open the file";
    return nullptr;
  }
  auto source = std::make_shared<ReplaySource>();
  const bool ok = LooksLikeWav(request.path) ? ReadWavChannel(request, source.get(), why)
                                             : ReadCsvColumn(request, source.get(), why);
  if (!ok) return nullptr;
  return source;
}

}  // namespace velqsim
