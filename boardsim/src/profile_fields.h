// The checks every part of the profile loader applies to a JSON value: each
// answers the value or throws ProfileFault naming its place in the profile
// ("boards[1].maxRate: must be from 1 to 10000000").
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

namespace velqsim::profile {

using nlohmann::json;

// Thrown inside the loader only: the first fault found in a profile.
struct ProfileFault {
  std::string message;
};

[[noreturn]] inline void Fail(const std::string& path, const std::string& reason) {
  throw ProfileFault{path + ": " + reason};
}

inline void RejectUnknownKeys(const json& object, const std::string& path,
                              std::initializer_list<const char*> known) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    bool found = false;
    for (const char* key : known) found = found || it.key() == key;
    if (!found) Fail(path, "unknown key \"" + it.key() + "\"");
  }
}

inline const json& ObjectAt(const json& value, const std::string& path) {
  if (!value.is_object()) Fail(path, "must be an object");
  return value;
}

inline int32_t IntegerIn(const json& value, const std::string& path, int64_t low, int64_t high) {
  if (!value.is_number_integer()) Fail(path, "must be an integer");
  int64_t number = 0;
  if (value.is_number_unsigned()) {
    const uint64_t raw = value.get<uint64_t>();
    number = raw > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(raw);
  } else {
    number = value.get<int64_t>();
  }
  if (number < low || number > high) {
    Fail(path, "must be from " + std::to_string(low) + " to " + std::to_string(high));
  }
  return static_cast<int32_t>(number);
}

inline int32_t AnyInt32(const json& value, const std::string& path) {
  return IntegerIn(value, path, INT32_MIN, INT32_MAX);
}

inline double NumberIn(const json& value, const std::string& path, double low, double high) {
  if (!value.is_number()) Fail(path, "must be a number");
  const double number = value.get<double>();
  if (!std::isfinite(number) || number < low || number > high) {
    std::ostringstream range;
    range << "must be a number from " << low << " to " << high;
    Fail(path, range.str());
  }
  return number;
}

inline bool BooleanAt(const json& value, const std::string& path) {
  if (!value.is_boolean()) Fail(path, "must be true or false");
  return value.get<bool>();
}

}  // namespace velqsim::profile
