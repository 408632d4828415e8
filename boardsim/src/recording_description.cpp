#include "recording_description.h"

#include <charconv>
#include <cmath>
#include <map>

#include "abi/recording_format.h"
#include "replay_source.h"

namespace velqsim {

namespace rec = tarnix::recording;

namespace {

// Numbers as the writer prints them, whatever the process's locale.
bool ParseDouble(const std::string& text, double* value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, *value);
  return error == std::errc() && stop == end && std::isfinite(*value);
}

bool ParseInt(const std::string& text, int32_t* value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, *value);
  return error == std::errc() && stop == end;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  size_t from = 0;
  for (;;) {
    const size_t comma = text.find(',', from);
    items.push_back(text.substr(from, comma - from));
    if (comma == std::string::npos) return items;
    from = comma + 1;
  }
}

// A list of one number per file channel; `check` says whether one is allowed.
template <typename T, typename Parse, typename Check>
bool ReadList(const std::map<std::string, std::string>& keys, const char* key,
              int32_t fileChannels, Parse parse, Check check, const char* what,
              std::vector<T>* out, std::string* why) {
  const auto found = keys.find(key);
  if (found == keys.end()) {
    *why = std::string("recording description: no \"") + key + "\" line";
    return false;
  }
  const std::vector<std::string> items = SplitList(found->second);
  if (items.size() != static_cast<size_t>(fileChannels)) {
    *why = std::string("recording description: \"") + key + "\" has " +
           std::to_string(items.size()) + " values for " + std::to_string(fileChannels) +
           " channels";
    return false;
  }
  for (const std::string& item : items) {
    T value{};
    if (!parse(item, &value) || !check(value)) {
      *why = std::string("recording description: \"") + key + "\" value \"" + item + "\" is not " +
             what;
      return false;
    }
    out->push_back(value);
  }
  return true;
}

}  // namespace

bool ParseRecordingDescription(const std::string& text, int32_t fileChannels,
                               RecordingDescription* out, std::string* why) {
  std::map<std::string, std::string> keys;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    from = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals != std::string::npos) keys[line.substr(0, equals)] = line.substr(equals + 1);
  }
  const auto format = keys.find(rec::kKeyFormat);
  if (format == keys.end()) {
    *why = "recording description: no \"format\" line";
    return false;
  }
  if (format->second != rec::kFormatName) {
    *why = "recording description of format \"" + format->second + "\"; this board plays \"" +
           rec::kFormatName + "\"";
    return false;
  }
  RecordingDescription description;
  const auto anyInput = [](int32_t input) { return input >= 0; };
  const auto positive = [](double volts) { return volts > 0.0; };
  const auto anyVolts = [](double) { return true; };
  if (!ReadList<int32_t>(keys, rec::kKeyChannels, fileChannels, ParseInt, anyInput,
                         "an input number", &description.channels, why) ||
      !ReadList<double>(keys, rec::kKeyVoltsPerCode, fileChannels, ParseDouble, positive,
                        "a step in volts above 0", &description.voltsPerCode, why) ||
      !ReadList<double>(keys, rec::kKeyOffsetVolts, fileChannels, ParseDouble, anyVolts,
                        "a number of volts", &description.offsetVolts, why)) {
    return false;
  }
  const auto rate = keys.find(rec::kKeyScanRate);
  if (rate == keys.end() || !ParseDouble(rate->second, &description.scanRate) ||
      !(description.scanRate > 0)) {
    *why = "recording description: \"scan_rate\" must be a number of scans per second above 0";
    return false;
  }
  *out = std::move(description);
  return true;
}

// The module divides a reading by its step, a whole number of microvolts, and
// truncates toward zero: code c > 0 stands for c x step up to one microvolt
// short of (c + 1) x step, a negative code for the mirror of that, code 0 for
// less than one step either side. A recording may give the nominal step (the
// range's upper limit / 2047), a fraction of a microvolt above the module's,
// so the step taken is its whole microvolts.
int32_t CodeMicrovolts(int32_t code, double voltsPerCode, double offsetVolts) {
  const double step = voltsPerCode * 1e6;
  const double offset = offsetVolts * 1e6;
  const double whole = std::floor(step + 1e-6);
  if (whole < 1.0) return SaturatedMicrovolts(offset + code * step);
  const double half = std::floor((whole - 1.0) / 2.0);
  const double inside = code > 0 ? half : code < 0 ? -half : 0.0;
  return SaturatedMicrovolts(offset + code * whole + inside);
}

}  // namespace velqsim
