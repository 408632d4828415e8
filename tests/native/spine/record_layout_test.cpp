// The host record at run time: each field written through RecordRef lands
// on exactly its own bytes of a pattern-filled buffer, the host's gaps stay
// untouched, and the bounded text copy keeps to its width.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "abi/device_record.h"
#include "describe/record_tables.h"

namespace {

using tarnix::ChannelEntry;
using tarnix::DeviceRecord;
using tarnix::EntryOffset;
using tarnix::PortEntryA;
using tarnix::PortEntryB;
using tarnix::RecordRef;

constexpr uint8_t kPattern = 0x5A;
constexpr std::size_t kBufferBytes = 32768;

struct Field {
  const char* name;
  std::size_t offset;  // as the host lays the record out
  std::size_t width;
  std::size_t declaredOffset;
  std::size_t declaredWidth;
  std::function<void(const RecordRef&)> write;
};

template <typename T>
std::function<void(const RecordRef&)> Scalar(std::size_t offset, T value) {
  return [=](const RecordRef& r) { r.set<T>(offset, value); };
}
std::function<void(const RecordRef&)> Text(std::size_t offset, std::size_t width) {
  return [=](const RecordRef& r) { r.setText(offset, width, "Tx"); };
}
template <typename T>
std::function<void(const RecordRef&)> Words(std::size_t offset, int count, T value) {
  return [=](const RecordRef& r) {
    for (int i = 0; i < count; ++i) r.set<T>(offset + i * sizeof(T), value);
  };
}
std::function<void(const RecordRef&)> ChannelTable(std::size_t offset, int count) {
  return [=](const RecordRef& r) {
    for (int i = 0; i < count; ++i) {
      auto at = [&](std::size_t field) {
        return EntryOffset(offset, sizeof(ChannelEntry), i, field);
      };
      r.set<double>(at(TARNIX_OFFSET(ChannelEntry, maxValue)), 10.0);
      r.set<double>(at(TARNIX_OFFSET(ChannelEntry, minValue)), -10.0);
      r.set<int32_t>(at(TARNIX_OFFSET(ChannelEntry, fullScaleCode)), 4095);
      r.set<int16_t>(at(TARNIX_OFFSET(ChannelEntry, entryFlags)), 0x0101);
      r.set<int16_t>(at(TARNIX_OFFSET(ChannelEntry, entryType)), 1);
      r.clear(at(TARNIX_OFFSET(ChannelEntry, unused24)), 8);
      for (int w = 0; w < 4; ++w) {
        r.set<int16_t>(at(TARNIX_OFFSET(ChannelEntry, extraWords)) + 2 * w, 0x0202);
      }
    }
  };
}
template <typename Entry>
std::function<void(const RecordRef&)> PortTable(std::size_t offset, int count) {
  return [=](const RecordRef& r) {
    for (int i = 0; i < count; ++i) {
      for (std::size_t b = 0; b < sizeof(Entry); b += 2) {
        r.set<int16_t>(EntryOffset(offset, sizeof(Entry), i, b), static_cast<int16_t>(0x0300 + i));
      }
    }
  };
}

#define FIELD(name, offset, width, writer) \
  Field { #name, offset, width, TARNIX_RECORD(name), sizeof(DeviceRecord::name), writer }

std::vector<Field> Fields() {
  return {
      FIELD(structVersion, 0, 2, Scalar<int16_t>(0, 17)),
      FIELD(errorCode, 4, 4, Scalar<int32_t>(4, -201)),
      FIELD(driverName, 8, 60, Text(8, 60)),
      FIELD(boardName, 68, 20, Text(68, 20)),
      FIELD(capabilities, 88, 4, Scalar<int32_t>(88, 0x203C)),
      FIELD(initWord, 94, 2, Scalar<int16_t>(94, 2)),
      FIELD(apiVersionText, 96, 40, Text(96, 40)),
      FIELD(boardVersionText, 136, 40, Text(136, 40)),
      FIELD(helpFileName, 196, 20, Text(196, 20)),
      FIELD(descWord, 216, 2, Scalar<int16_t>(216, 1000)),
      FIELD(minSampleRate, 218, 8, Scalar<double>(218, 1.0)),
      FIELD(maxSampleRate, 226, 8, Scalar<double>(226, 100000.0)),
      FIELD(minSampleRate2, 234, 8, Scalar<double>(234, 1.0)),
      FIELD(maxSampleRate2, 242, 8, Scalar<double>(242, 100000.0)),
      FIELD(adChannelCount, 314, 2, Scalar<int16_t>(314, 8)),
      FIELD(portCountA, 316, 2, Scalar<int16_t>(316, 2)),
      FIELD(counterCount, 318, 2, Scalar<int16_t>(318, 3)),
      FIELD(daChannelCount, 320, 2, Scalar<int16_t>(320, 2)),
      FIELD(portCountB, 322, 2, Scalar<int16_t>(322, 2)),
      FIELD(auxCount, 326, 2, Scalar<int16_t>(326, 8)),
      FIELD(indexList, 328, 20, Words<int16_t>(328, 10, 0x0109)),
      FIELD(adChannels, 392, 20480, ChannelTable(392, 512)),
      FIELD(portsA, 20872, 384, PortTable<PortEntryA>(20872, 32)),
      FIELD(counterArea, 21256, 256, [](const RecordRef& r) { r.clear(21256, 256); }),
      FIELD(daChannels, 21512, 1280, ChannelTable(21512, 32)),
      FIELD(portsB, 22792, 320, PortTable<PortEntryB>(22792, 32)),
      FIELD(descFlag, 24276, 2, Scalar<int16_t>(24276, 1)),
      FIELD(descCode, 24278, 4, Scalar<int32_t>(24278, 7)),
      FIELD(sampleRate, 24286, 8, Scalar<double>(24286, 1000.0)),
      FIELD(factorA, 24294, 4, Scalar<uint32_t>(24294, 0x01020304)),
      FIELD(factorB, 24302, 4, Scalar<uint32_t>(24302, 0x01020304)),
      FIELD(factorC, 24306, 4, Scalar<uint32_t>(24306, 0x01020304)),
      FIELD(adChannelMask, 24314, 2, Scalar<uint16_t>(24314, 0x00FF)),
      FIELD(unsupportedSettings, 24382, 12, Words<int32_t>(24382, 3, 0x01010101)),
      FIELD(otherSelections, 24526, 16, Words<int32_t>(24526, 4, 0x01010101)),
      FIELD(bufferSize, 24550, 4, Scalar<int32_t>(24550, 65536)),
      FIELD(blockSize, 24554, 4, Scalar<int32_t>(24554, 256)),
  };
}

// The bytes of the record that are the host's alone.
const std::vector<std::pair<std::size_t, std::size_t>> kGaps = {
    {2, 3},         {92, 93},       {176, 195},     {250, 313},     {324, 325},
    {348, 391},     {23112, 24275}, {24282, 24285}, {24298, 24301}, {24310, 24313},
    {24316, 24381}, {24394, 24525}, {24542, 24549}, {24558, 24577}};

std::vector<uint8_t> PatternBuffer() { return std::vector<uint8_t>(kBufferBytes, kPattern); }

TEST(RecordLayout, DeclarationMatchesTheHostsOffsetsAndWidths) {
  for (const Field& f : Fields()) {
    EXPECT_EQ(f.declaredOffset, f.offset) << f.name;
    EXPECT_EQ(f.declaredWidth, f.width) << f.name;
  }
  EXPECT_EQ(TARNIX_RECORD(adChannelExtras), 24578u);
  EXPECT_EQ(sizeof(tarnix::AdChannelExtra), 14u);
}

TEST(RecordLayout, EachFieldWriteTouchesExactlyItsOwnBytes) {
  for (const Field& f : Fields()) {
    std::vector<uint8_t> buffer = PatternBuffer();
    f.write(RecordRef(buffer.data()));
    for (std::size_t i = 0; i < buffer.size(); ++i) {
      bool inside = i >= f.offset && i < f.offset + f.width;
      if (inside) {
        ASSERT_NE(buffer[i], kPattern) << f.name << " left byte " << i << " unwritten";
      } else {
        ASSERT_EQ(buffer[i], kPattern) << f.name << " wrote byte " << i << " outside " << f.offset
                                       << ".." << f.offset + f.width - 1;
      }
    }
  }
}

TEST(RecordLayout, GapsAndTheHostPartOfEachChannelExtraStayUntouched) {
  std::vector<uint8_t> buffer = PatternBuffer();
  RecordRef record(buffer.data());
  for (const Field& f : Fields()) f.write(record);
  // The module's own walk, asked for more inputs than it keeps extras for.
  tarnix::ClearAdChannelExtraWords(record, 0xFFFF);
  for (auto [first, last] : kGaps) {
    for (std::size_t i = first; i <= last; ++i) ASSERT_EQ(buffer[i], kPattern) << "gap byte " << i;
  }
  for (int entry = 0; entry < tarnix::kAdChannelExtrasUsed; ++entry) {
    std::size_t base = 24578 + 14 * entry;
    EXPECT_EQ(buffer[base], 0) << "extraWord of entry " << entry;
    EXPECT_EQ(buffer[base + 1], 0) << "extraWord of entry " << entry;
    for (std::size_t i = base + 2; i < base + 14; ++i)
      ASSERT_EQ(buffer[i], kPattern) << "byte " << i;
  }
  std::size_t lastTouched = buffer.size() - 1;
  while (lastTouched > 0 && buffer[lastTouched] == kPattern) --lastTouched;
  EXPECT_EQ(lastTouched, 24677u) << "last byte the module touches: extraWord of the 8th input";
  // Every byte up to the last used one is a field or a gap, never both.
  std::vector<int> owners(24678, 0);
  for (const Field& f : Fields())
    for (std::size_t i = f.offset; i < f.offset + f.width; ++i) ++owners[i];
  for (auto [first, last] : kGaps)
    for (std::size_t i = first; i <= last; ++i) ++owners[i];
  for (std::size_t i = 0; i < 24578; ++i) ASSERT_EQ(owners[i], 1) << "byte " << i;
}

TEST(RecordLayout, UnalignedValuesReadBackExactly) {
  std::vector<uint8_t> buffer = PatternBuffer();
  RecordRef record(buffer.data() + 1);  // worse than the host's own alignment
  record.set<double>(TARNIX_RECORD(sampleRate), 1000.0);
  record.set<double>(TARNIX_RECORD(maxSampleRate), 333333.25);
  record.set<uint32_t>(TARNIX_RECORD(factorB), 0xFFFFFFFEu);
  EXPECT_EQ(record.get<double>(TARNIX_RECORD(sampleRate)), 1000.0);
  EXPECT_EQ(record.get<double>(TARNIX_RECORD(maxSampleRate)), 333333.25);
  EXPECT_EQ(record.get<uint32_t>(TARNIX_RECORD(factorB)), 0xFFFFFFFEu);
  double raw;
  std::memcpy(&raw, buffer.data() + 1 + 24286, sizeof raw);
  EXPECT_EQ(raw, 1000.0) << "little-endian IEEE double at byte 24286";
}

TEST(RecordLayout, BoundedTextCopyFillsExactlyTheWidth) {
  std::vector<uint8_t> buffer = PatternBuffer();
  RecordRef record(buffer.data());
  const std::size_t at = TARNIX_RECORD(boardName);
  auto field = [&] { return std::string(reinterpret_cast<char*>(buffer.data() + at), 20); };

  record.setText(at, 20, "PCI-1");
  EXPECT_EQ(field(), std::string("PCI-1") + std::string(15, '\0')) << "shorter: rest zero-filled";

  record.setText(at, 20, "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(field(), "ABCDEFGHIJKLMNOPQRST") << "exactly the width: no terminator";
  EXPECT_EQ(buffer[at + 20], kPattern) << "the byte after the field";

  record.setText(at, 20, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(field(), "ABCDEFGHIJKLMNOPQRST") << "longer: cut at the width";
  EXPECT_EQ(buffer[at + 20], kPattern);

  record.setText(at, 20, nullptr);
  EXPECT_EQ(field(), std::string(20, '\0')) << "no text: all zeros";
  EXPECT_EQ(buffer[at - 1], kPattern) << "the byte before the field";
}

}  // namespace
