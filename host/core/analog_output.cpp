#include "analog_output.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace host {
namespace {

constexpr double kMicrovoltsPerCode = tarnix::abi::kAnalogOutputMicrovoltsPerCode;
constexpr double kMicrovoltsAtZero = -kMicrovoltsPerCode * tarnix::abi::kAnalogOutputZeroVoltsCode;

}  // namespace

double AnalogOutputVolts(int32_t code) {
  return (kMicrovoltsPerCode * code + kMicrovoltsAtZero) / 1e6;
}

bool AnalogOutputCode(double volts, int32_t* code) {
  if (!std::isfinite(volts)) return false;
  double c = std::round((volts * 1e6 - kMicrovoltsAtZero) / kMicrovoltsPerCode);
  if (!(c >= 0 && c <= kOutputCodeMax)) return false;
  *code = static_cast<int32_t>(c);
  return true;
}

bool ParseAnalogOutputValue(const std::string& text, int32_t* code) {
  if (text.empty()) return false;
  if (text.back() == 'V' || text.back() == 'v') {
    std::string number = text.substr(0, text.size() - 1);
    char* end = nullptr;
    double volts = std::strtod(number.c_str(), &end);
    return !number.empty() && *end == '\0' && AnalogOutputCode(volts, code);
  }
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value < 0 || value > kOutputCodeMax) return false;
  *code = static_cast<int32_t>(value);
  return true;
}

}  // namespace host
