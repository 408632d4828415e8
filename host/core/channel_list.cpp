#include "channel_list.h"

#include <algorithm>
#include <cctype>

namespace host {
namespace {

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

// A channel number: decimal digits only, 0..kMaxChannels-1.
bool ParseChannel(const std::string& text, int* channel) {
  if (text.empty() || text.size() > 3) return false;
  int value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + (c - '0');
  }
  if (value >= kMaxChannels) return false;
  *channel = value;
  return true;
}

}  // namespace

std::vector<int> ParseChannelList(const std::string& text, std::string* error) {
  bool used[kMaxChannels] = {};
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string item = Trim(text.substr(start, comma - start));
    size_t dash = item.find('-');
    int first = 0;
    int last = 0;
    bool ok = dash == std::string::npos
                  ? ParseChannel(item, &first) && ParseChannel(item, &last)
                  : ParseChannel(Trim(item.substr(0, dash)), &first) &&
                        ParseChannel(Trim(item.substr(dash + 1)), &last) && first <= last;
    if (!ok) {
      *error = "bad channel item '" + item + "' (channels are 0 to " +
               std::to_string(kMaxChannels - 1) + ", ranges low-high)";
      return {};
    }
    for (int c = first; c <= last; ++c) used[c] = true;
    start = comma + 1;
  }
  std::vector<int> channels;
  for (int c = 0; c < kMaxChannels; ++c) {
    if (used[c]) channels.push_back(c);
  }
  return channels;
}

uint16_t ChannelMask(const std::vector<int>& channels) {
  uint16_t mask = 0;
  for (int c : channels) {
    if (c >= 0 && c < kMaxChannels) mask = static_cast<uint16_t>(mask | (1u << c));
  }
  return mask;
}

}  // namespace host
