// The cabinet component: unpacks every file of one cabinet into a target folder through the
// platform's cabinet library, which it loads for each extraction.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cab/cabinet_directory.h"
#include "common/date_time.h"
#include "platform/cabinet.h"

namespace zarn {

class TCABFile;

// Settings for building cabinets; stored, never used by extraction.
enum class TCompressionType : std::uint8_t { typNone, typMSZIP, typLZX };
enum class TLZXMemory : std::uint8_t {
  lzxLowest,
  lzxLower,
  lzxLow,
  lzxMedium,
  lzxHigh,
  lzxHigher,
  lzxHighest
};

using TCompressProgress = std::function<void(TCABFile& sender, int pos, int tot)>;
// Fired after every write of an extracted file: bytes written so far out of the stored size.
using TDeCompressProgress =
    std::function<void(TCABFile& sender, const std::string& filename, int pos, int tot)>;
// Asked before an existing file is replaced; clearing `allow` keeps the existing file.
using TOverWriteFile =
    std::function<void(TCABFile& sender, const std::string& filename, bool& allow)>;

// One file of a cabinet as the listing records it: the name without and the folder part of the
// stored name, the stored size and date, and a selection mark.
struct TCABFileEntry {
  std::string Name;
  std::string RelPath;
  std::int32_t Size = 0;
  TDateTime Date = 0;
  bool Selected = false;
};

// The content list, owned by the component. Extraction of all files neither reads nor fills it.
class TCABFileContents {
 public:
  explicit TCABFileContents(TCABFile& owner) : owner_(&owner) {}

  TCABFile& Owner() const { return *owner_; }
  std::vector<TCABFileEntry>& Items() { return items_; }
  const std::vector<TCABFileEntry>& Items() const { return items_; }

 private:
  TCABFile* owner_;
  std::vector<TCABFileEntry> items_;
};

class TCABFile {
 public:
  TCABFile();
  ~TCABFile();
  TCABFile(const TCABFile&) = delete;
  TCABFile& operator=(const TCABFile&) = delete;

  // Extracts every file of CABFile into TargetPath. True on success; false when the cabinet is
  // missing or no cabinet, the library is missing, the data is damaged, a file cannot be created,
  // a write or close of a file fails (that file is deleted, whatever the library does next), or a
  // stored name would lead outside the target folder or is one of RefusedNames (that file is not
  // written; the others are). A
  // file kept because OnOverWriteFile refused is no failure. A cabinet whose entries overlap in
  // their folder's stream, reach past what its data can hold, or add up to more than
  // MaxExtractedBytes is refused before anything is written; the extraction also fails as soon as
  // it would write more than MaxExtractedBytes, or a file would not fit in the free space of the
  // target's volume.
  bool ExtractAll();
  // Lists the files of CABFile into CABFileContents (replacing its items); writes nothing.
  bool ListContents();
  // Runs one pass in the current mode: 0 on success, -1 on any failure.
  int ExtractFiles();

  TCABFileContents CABFileContents{*this};
  std::string CABFile;
  TCompressionType CompressionType = TCompressionType::typMSZIP;
  TLZXMemory LZXMemory = TLZXMemory::lzxLowest;
  std::string TargetPath;
  TCompressProgress OnCompressProgress;
  TDeCompressProgress OnDecompressProgress;
  TOverWriteFile OnOverWriteFile;
  // The most one extraction may write: generous for any update, and far below a full disk.
  static constexpr std::uint64_t kDefaultMaxExtractedBytes = 4ull << 30;
  std::uint64_t MaxExtractedBytes = kDefaultMaxExtractedBytes;
  // Stored names (whole, letter case ignored) that are refused like unsafe ones: not written, and
  // the extraction fails. The updater gives the manifest's and the signature's names.
  std::vector<std::string> RefusedNames;

 private:
  enum class Mode : std::uint8_t { kAllFiles, kList };

  static std::intptr_t Notify(platform::CabinetNotificationType type,
                              platform::CabinetNotification* notification);
  static unsigned WriteCallback(std::intptr_t file, void* buffer, unsigned count);
  static int CloseCallback(std::intptr_t file);
  friend const platform::CabinetCallbacks& CabinetFileCallbacks();

  std::intptr_t CopyFile(const platform::CabinetNotification& notification);
  std::intptr_t CloseFile(const platform::CabinetNotification& notification);
  std::intptr_t ListFile(const platform::CabinetNotification& notification);
  CabinetDirectoryVerdict CheckDirectory() const;
  void DiscardUnfinishedFile();

  Mode mode_ = Mode::kAllFiles;
  std::string current_name_;
  std::int32_t current_size_ = 0;
  std::int32_t bytes_written_ = 0;
  // A stored name was refused during this pass.
  bool refused_ = false;
  // Bytes written by this pass, and whether a limit stopped it.
  std::uint64_t total_written_ = 0;
  bool limited_ = false;
  // The output file opened at copy-file and not yet closed at close-file: deleted when the copy
  // fails before its end, so that a half-written file never passes for an extracted one.
  std::intptr_t open_output_ = 0;
  std::string unfinished_path_;
  // A write to the open output failed; and a file of this pass was lost that way. Libraries differ
  // on a failed write or close (one stops, another goes on with the next file), so the component
  // keeps the verdict itself.
  bool output_failed_ = false;
  bool lost_file_ = false;
};

// The memory and file callbacks the component gives the cabinet library. The write, close and
// seek callbacks show the "Error" warning box when their operation failed.
const platform::CabinetCallbacks& CabinetFileCallbacks();

}  // namespace zarn
