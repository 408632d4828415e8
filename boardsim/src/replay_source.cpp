#include "replay_source.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace velqsim {

namespace {

// A CSV column, held whole: a text file has no way to find row N without
// reading the rows before it.
class CsvReplay final : public ReplaySource {
 public:
  CsvReplay(std::vector<int32_t> microvolts, double secondsPerSample)
      : ReplaySource(microvolts.size(), secondsPerSample, false),
        microvolts_(std::move(microvolts)) {}
  int32_t Microvolts(uint64_t index) const override {
    return microvolts_[static_cast<size_t>(index)];
  }

 private:
  std::vector<int32_t> microvolts_;
};

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

std::shared_ptr<const ReplaySource> ReadCsvColumn(const ReplayRequest& request, std::string* why) {
  std::ifstream file(request.path, std::ios::binary);
  std::string line;
  if (!std::getline(file, line)) {
    *why = "empty file, a header line of column names is needed";
    return nullptr;
  }
  const std::vector<std::string> header = SplitCells(line);
  size_t column = header.size();
  if (!request.columnName.empty()) {
    for (size_t i = 0; i < header.size(); ++i) {
      if (header[i] == request.columnName) column = i;
    }
    if (column == header.size()) {
      *why = "no column \"" + request.columnName + "\" in the header \"" + line + "\"";
      return nullptr;
    }
  } else {
    column = static_cast<size_t>(request.columnIndex);
    if (column >= header.size()) {
      *why = "no column " + std::to_string(request.columnIndex) + ": the header has " +
             std::to_string(header.size());
      return nullptr;
    }
  }
  const bool timed = !header.empty() && header[0] == "time_s";
  std::vector<int32_t> microvolts;
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
      return nullptr;
    }
    if (timed) {
      double time = 0;
      if (!ParseNumber(cells[0], &time)) {
        *why = "line " + std::to_string(lineNumber) + ": time_s holds no number";
        return nullptr;
      }
      if (microvolts.empty()) firstTime = time;
      lastTime = time;
    }
    microvolts.push_back(MicrovoltsOf(value));
  }
  if (microvolts.empty()) {
    *why = "no samples below the header";
    return nullptr;
  }
  double secondsPerSample = 0;
  if (timed && microvolts.size() > 1) {
    secondsPerSample = (lastTime - firstTime) / static_cast<double>(microvolts.size() - 1);
    if (!(secondsPerSample > 0)) {
      *why = "time_s does not increase";
      return nullptr;
    }
  }
  return std::make_shared<CsvReplay>(std::move(microvolts), secondsPerSample);
}

}  // namespace

int32_t SaturatedMicrovolts(double microvolts) {
  const double rounded = std::nearbyint(microvolts);
  if (!(rounded == rounded)) return 0;
  if (rounded >= 2147483647.0) return INT32_MAX;
  if (rounded <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(rounded);
}

int32_t MicrovoltsOf(double volts) { return SaturatedMicrovolts(volts * 1e6); }

std::shared_ptr<const ReplaySource> LoadReplay(const ReplayRequest& request, std::string* why) {
  if (!std::ifstream(request.path, std::ios::binary).good()) {
    *why = "cannot open the file";
    return nullptr;
  }
  return LooksLikeWav(request.path) ? OpenWavReplay(request, why)
                                    : ReadCsvColumn(request, why);
}

}  // namespace velqsim
