#include "net/resume_sink.h"

#include <algorithm>

namespace zarn {

TResumeSink::TResumeSink(TFileStream& file, std::int64_t partial,
                         std::optional<std::int64_t> known_size, std::int64_t max_bytes)
    : file_(file), partial_(partial), known_size_(known_size), max_bytes_(max_bytes) {}

void TResumeSink::Begin(std::int64_t offset) {
  offset_ = offset;
  probe_.clear();
  placed_ = 0;
  if (offset > 0) {
    mode_ = Mode::kProbe;
    return;
  }
  mode_ = Mode::kWhole;
  file_.SetSize(0);
  file_.Seek(0);
}

bool TResumeSink::Finished() const {
  if (mode_ == Mode::kProbe) return false;
  return mode_ != Mode::kAppend || !known_size_ || file_.Size() == *known_size_;
}

void TResumeSink::Write(const char* bytes, std::size_t count) {
  received_ += static_cast<std::int64_t>(count);
  if (mode_ == Mode::kProbe) {
    const auto overlap = static_cast<std::size_t>(partial_ - offset_);
    const std::size_t taken = std::min(count, overlap - probe_.size());
    probe_.append(bytes, taken);
    bytes += taken;
    count -= taken;
    if (probe_.size() < overlap) return;
    Decide();
  }
  Place(bytes, count);
}

void TResumeSink::Decide() {
  if (probe_ == PartialBytes(offset_, probe_.size())) {
    mode_ = Mode::kAppend;
    file_.Seek(partial_);
    placed_ = static_cast<std::int64_t>(probe_.size());
    return;
  }
  if (probe_ == PartialBytes(0, probe_.size())) {
    // The server sent from the start although it accepted the restart: this is the whole file.
    mode_ = Mode::kWhole;
    file_.SetSize(0);
    file_.Seek(0);
    Place(probe_.data(), probe_.size());
    return;
  }
  throw EResumeMismatch();
}

void TResumeSink::Place(const char* bytes, std::size_t count) {
  if (count == 0) return;
  const std::int64_t end = file_.Position() + static_cast<std::int64_t>(count);
  // A resumed file that outgrows the remote file's size was not its prefix after all (a server
  // that sent from the start a file whose overlap looks like its beginning).
  if (mode_ == Mode::kAppend && known_size_ && end > *known_size_) throw EResumeMismatch();
  if (max_bytes_ >= 0 && end > max_bytes_) {
    throw ENetLimitExceeded("Download larger than " + std::to_string(max_bytes_) + " bytes.");
  }
  file_.Write(bytes, count);
  placed_ += static_cast<std::int64_t>(count);
}

std::string TResumeSink::PartialBytes(std::int64_t from, std::size_t count) {
  std::string bytes(count, '\0');
  file_.Seek(from);
  bytes.resize(file_.Read(bytes.data(), count));
  return bytes;
}

}  // namespace zarn
