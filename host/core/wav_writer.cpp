#include "wav_writer.h"

#include <cstdio>

#include "abi/recording_format.h"

namespace host {
namespace {

namespace rec = tarnix::recording;

// Frames wait in memory up to this many bytes between writes.
constexpr size_t kPendingBytes = 256 * 1024;

// Offsets of the header's fields, from the layout in abi/recording_format.h.
constexpr uint64_t kRiffSizeAt = 4;
constexpr uint64_t kReserveAt = 12;  // "JUNK", later "ds64"
constexpr uint64_t kReserveBodyAt = kReserveAt + 8;
constexpr uint64_t kFmtAt = kReserveBodyAt + rec::kDs64Reserve;
constexpr uint32_t kFmtBytes = 16;
constexpr uint64_t kDescriptionAt = kFmtAt + 8 + kFmtBytes;
// The "ds64" body: RIFF size, data size and frame count (64 bits each),
// then the length of a table this file never has.
constexpr uint64_t kDs64SizesAt = kReserveBodyAt;
static_assert(rec::kDs64Reserve == 8 + 8 + 8 + 4, "ds64: three 64-bit sizes and a table length");
static_assert(kFmtAt == 48 && kDescriptionAt == 72);
constexpr uint16_t kPcm = 1;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
void Put64(std::vector<uint8_t>& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}
void PutId(std::vector<uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

}  // namespace

bool WavWriter::Create(const std::string& path, CreateMode mode, const WavFormat& format,
                       CreateOutcome* outcome) {
  std::string why;
  file_ = CreateOutputFile(path, mode, outcome, &why);
  if (!file_) return Fail(why);
  frameBytes_ = 2u * format.channels;
  std::vector<uint8_t> header;
  PutId(header, "RIFF");
  Put32(header, 0);
  PutId(header, "WAVE");
  PutId(header, "JUNK");
  Put32(header, rec::kDs64Reserve);
  header.resize(header.size() + rec::kDs64Reserve, 0);
  PutId(header, "fmt ");
  Put32(header, kFmtBytes);
  Put16(header, kPcm);
  Put16(header, format.channels);
  Put32(header, format.sampleRate);
  Put32(header, static_cast<uint32_t>(format.sampleRate * frameBytes_));  // bytes per second
  Put16(header, static_cast<uint16_t>(frameBytes_));                      // bytes per frame
  Put16(header, 16);                                                      // bits per sample
  PutId(header, rec::kChunkId);
  Put32(header, static_cast<uint32_t>(format.description.size()));
  header.insert(header.end(), format.description.begin(), format.description.end());
  if (format.description.size() % 2 != 0) header.push_back(0);  // chunks start on even offsets
  PutId(header, "data");
  Put32(header, 0);
  dataStart_ = header.size();
  pending_.reserve(kPendingBytes + frameBytes_);
  if (!WriteWhole(0, header.data(), header.size()) || !WriteSizes()) {
    Fail(file_->error());
    file_->Close();
    file_.reset();
    std::remove(path.c_str());
    *outcome = CreateOutcome::kFailed;
    return false;
  }
  return true;
}

bool WavWriter::Append(const int16_t* frames, size_t count) {
  if (!file_ || failed()) return false;
  const size_t codes = count * (frameBytes_ / 2);
  for (size_t k = 0; k < codes; ++k) Put16(pending_, static_cast<uint16_t>(frames[k]));
  frames_ += count;
  return pending_.size() < kPendingBytes || WriteOut();
}

bool WavWriter::Refresh() {
  if (!file_ || failed()) return false;
  if (!WriteOut()) return false;
  return WriteSizes() || Fail(file_->error());
}

bool WavWriter::Close() {
  if (!file_) return !failed();
  bool ok = Refresh();
  if (!file_->Close() && ok) ok = Fail(file_->error());
  file_.reset();
  return ok;
}

uint64_t WavWriter::bytes() const { return dataStart_ + dataWritten_; }

bool WavWriter::WriteWhole(uint64_t offset, const void* data, size_t size) {
  return file_->WriteAt(offset, data, size) == size;
}

bool WavWriter::WriteOut() {
  if (pending_.empty()) return true;
  size_t written = file_->WriteAt(dataStart_ + dataWritten_, pending_.data(), pending_.size());
  if (written == pending_.size()) {
    dataWritten_ += written;
    pending_.clear();
    return true;
  }
  // The file keeps every frame written whole; a part of one is cut off, and
  // the header says so.
  std::string why = file_->error();
  dataWritten_ += written - written % frameBytes_;
  frames_ = dataWritten_ / frameBytes_;
  pending_.clear();
  file_->Truncate(dataStart_ + dataWritten_);
  WriteSizes();
  return Fail(why);
}

bool WavWriter::WriteSizes() {
  const uint64_t riffSize = dataStart_ + dataWritten_ - 8;
  if (!rf64_ && (riffSize > riffLimit_ || dataWritten_ > riffLimit_)) {
    // The reserve becomes "ds64"; from now on the 32-bit fields say "see ds64".
    std::vector<uint8_t> turn;
    PutId(turn, "RF64");
    Put32(turn, 0xFFFFFFFFu);
    if (!WriteWhole(0, turn.data(), turn.size())) return false;
    turn.clear();
    PutId(turn, "ds64");
    if (!WriteWhole(kReserveAt, turn.data(), turn.size())) return false;
    turn.clear();
    Put32(turn, 0xFFFFFFFFu);
    if (!WriteWhole(dataStart_ - 4, turn.data(), turn.size())) return false;
    rf64_ = true;
  }
  std::vector<uint8_t> field;
  if (rf64_) {
    Put64(field, riffSize);
    Put64(field, dataWritten_);
    Put64(field, dataWritten_ / frameBytes_);
    return WriteWhole(kDs64SizesAt, field.data(), field.size());
  }
  Put32(field, static_cast<uint32_t>(dataWritten_));
  if (!WriteWhole(dataStart_ - 4, field.data(), field.size())) return false;
  field.clear();
  Put32(field, static_cast<uint32_t>(riffSize));
  return WriteWhole(kRiffSizeAt, field.data(), field.size());
}

bool WavWriter::Fail(const std::string& why) {
  if (error_.empty()) error_ = why.empty() ? "write failed" : why;
  return false;
}

}  // namespace host
