// Channel lists as a bench engineer types them: "0-3,6".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// The record's channel mask has 16 bits: inputs 0 to 15.
inline constexpr int kMaxChannels = 16;

// Parses a list of channel numbers and ranges ("0-3,6", "5", "7-7"; blanks
// allowed around items). Answers the channels in scan order (ascending,
// each once), or an empty list and the reason in *error.
std::vector<int> ParseChannelList(const std::string& text, std::string* error);

// Bit i set for each channel i.
uint16_t ChannelMask(const std::vector<int>& channels);

}  // namespace host
