#include "cab/cabfiles.h"

#include <algorithm>

#include "cab/cabinet_callbacks.h"
#include "cab/cabinet_directory.h"
#include "cab/stored_names.h"
#include "common/date_time.h"
#include "common/text.h"
#include "platform/file_handles.h"
#include "platform/file_times.h"
#include "platform/files.h"
#include "platform/path_names.h"

namespace zarn {

namespace {

// The component whose file is being written: set at each copy-file notification and read by the
// write callback, which the library calls without any user value. One per process, so only one
// extraction may run at a time.
TCABFile* g_progress_target = nullptr;

// The full form of a path, an empty one naming the current folder; empty when it cannot be formed.
std::string FullPath(const std::string& path) {
  return platform::FullPathName(path.empty() ? std::string_view(".") : std::string_view(path))
      .value_or(std::string());
}

}  // namespace

TCABFile::TCABFile() = default;

TCABFile::~TCABFile() {
  if (g_progress_target == this) g_progress_target = nullptr;
}

bool TCABFile::ExtractAll() {
  mode_ = Mode::kAllFiles;
  return ExtractFiles() == 0;
}

bool TCABFile::ListContents() {
  mode_ = Mode::kList;
  CABFileContents.Items().clear();
  const bool listed = ExtractFiles() == 0;
  mode_ = Mode::kAllFiles;
  return listed;
}

int TCABFile::ExtractFiles() {
  std::uint32_t error = 0;
  // A missing or unreadable cabinet fails before the library is loaded.
  const platform::FileHandle probe =
      platform::OpenFileHandle(CABFile, platform::FileAccess::kRead, error);
  if (probe == platform::kInvalidFileHandle) return -1;
  platform::CloseFileHandle(probe, error);
  // A cabinet made to write far more than it holds is refused before the library reads it.
  const CabinetDirectoryVerdict directory = CheckDirectory();
  if (directory != CabinetDirectoryVerdict::kSound &&
      directory != CabinetDirectoryVerdict::kDamaged) {
    return -1;
  }

  const auto library = platform::LoadCabinetLibrary();
  if (!library) return -1;
  platform::CabinetErrorRecord record;
  const auto context = library->Create(CabinetFileCallbacks(), record);
  if (!context) return -1;

  bool is_cabinet = false;
  const platform::FileHandle file =
      platform::OpenFileHandle(CABFile, platform::FileAccess::kRead, error);
  if (file != platform::kInvalidFileHandle) {
    platform::CabinetInfo info;
    is_cabinet = context->IsCabinet(file, info);
    platform::CloseFileHandle(file, error);
  }

  int result = -1;
  if (is_cabinet && directory == CabinetDirectoryVerdict::kSound) {
    const char delimiter = platform::PathDelimiter();
    const std::string name = NamePart(CABFile, delimiter);
    const std::string folder = FolderPart(FullPath(CABFile), delimiter) + delimiter;
    refused_ = false;
    total_written_ = 0;
    limited_ = false;
    lost_file_ = false;
    open_output_ = 0;
    unfinished_path_.clear();
    const bool copied = context->Copy(name.c_str(), folder.c_str(), 0, &Notify, this);
    DiscardUnfinishedFile();
    result = copied && !refused_ && !limited_ && !lost_file_ ? 0 : -1;
  }
  const bool destroyed = context->Destroy();
  return destroyed && result == 0 ? 0 : -1;
}

CabinetDirectoryVerdict TCABFile::CheckDirectory() const {
  std::uint32_t error = 0;
  const platform::FileHandle file =
      platform::OpenFileHandle(CABFile, platform::FileAccess::kRead, error);
  if (file == platform::kInvalidFileHandle) return CabinetDirectoryVerdict::kDamaged;
  const std::uint64_t size = static_cast<std::uint64_t>(std::max<std::int64_t>(
      platform::SeekFileHandle(file, 0, platform::SeekOrigin::kEnd, error), 0));
  const auto read_start = [&](std::uint64_t length) {
    std::string bytes(static_cast<std::size_t>(std::min(length, size)), '\0');
    if (platform::SeekFileHandle(file, 0, platform::SeekOrigin::kBegin, error) != 0)
      return std::string();
    const std::uint32_t n = platform::ReadFileHandle(
        file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), error);
    bytes.resize(n == static_cast<std::uint32_t>(-1) ? 0 : n);
    return bytes;
  };
  std::string head = read_start(cabinet_format::kHeaderSize);
  // The directory's longest possible length: the header tells; a shorter file is read whole.
  const std::uint64_t length = CabinetDirectoryLength(head);
  if (length > head.size()) head = read_start(length);
  platform::CloseFileHandle(file, error);
  return CheckCabinetDirectory(head, MaxExtractedBytes);
}

std::intptr_t TCABFile::Notify(platform::CabinetNotificationType type,
                               platform::CabinetNotification* notification) {
  auto* self = static_cast<TCABFile*>(notification->user);
  switch (type) {
    case platform::CabinetNotificationType::kCopyFile:
      return self->mode_ == Mode::kList ? self->ListFile(*notification)
                                        : self->CopyFile(*notification);
    case platform::CabinetNotificationType::kCloseFileInfo:
      return self->CloseFile(*notification);
    default:
      return 0;  // the library goes on with its default behaviour
  }
}

std::intptr_t TCABFile::CopyFile(const platform::CabinetNotification& notification) {
  const std::string stored = notification.name != nullptr ? notification.name : "";
  current_name_ = stored;
  bytes_written_ = 0;
  current_size_ = notification.size;
  output_failed_ = false;
  g_progress_target = this;

  const bool reserved =
      std::any_of(RefusedNames.begin(), RefusedNames.end(),
                  [&stored](const std::string& name) { return EqualsIgnoringCase(stored, name); });
  if (reserved || !IsSafeStoredName(stored)) {
    refused_ = true;
    return 0;
  }
  const char delimiter = platform::PathDelimiter();
  const std::string relative = LocalStoredName(stored, delimiter);
  std::string base = TargetPath;
  std::string folder;
  if (!base.empty()) {
    if (base.back() != delimiter) base += delimiter;
    folder = base + FolderPart(relative, delimiter);
  } else {
    folder = FullPath(FolderPart(relative, delimiter));
  }
  if (LeadsThroughLink(base, relative, delimiter)) {
    refused_ = true;
    return 0;
  }
  // One level only: a name two missing levels deep fails at the create below.
  if (!platform::DirectoryExists(folder)) platform::CreateFolder(folder);
  // A file that cannot fit ends the extraction before it fills the volume.
  const auto free_space = platform::FreeDiskSpace(folder);
  if (free_space && static_cast<std::uint32_t>(notification.size) > *free_space) {
    limited_ = true;
    return -1;
  }

  const std::string target = base + relative;
  bool allow = true;
  if (platform::FileExists(target)) {
    if (OnOverWriteFile) OnOverWriteFile(*this, target, allow);
    if (allow) platform::DeleteFile(target);
  }
  if (!allow) return 0;  // the library skips the file; the existing one stays

  std::uint32_t error = 0;
  const platform::FileHandle output = platform::CreateFileHandle(target, error);
  if (output != platform::kInvalidFileHandle) {
    open_output_ = output;
    unfinished_path_ = target;
  }
  return output;  // -1 aborts the whole copy
}

std::intptr_t TCABFile::CloseFile(const platform::CabinetNotification& notification) {
  std::uint32_t error = 0;
  platform::SetLastWriteTimeFromDos(notification.handle, notification.date, notification.time,
                                    error);
  const bool closed = platform::CloseFileHandle(notification.handle, error);
  if (notification.handle == open_output_) open_output_ = 0;
  if (!closed) cab_callbacks::ShowSystemError(error);
  // A file whose write or close failed may have lost data, and a library that gives up inside a
  // file's data may still close it short of its stored size. Such a file is deleted at once (the
  // library may go on with the next file) and the extraction fails.
  if (!closed || output_failed_ || bytes_written_ != current_size_) {
    DiscardUnfinishedFile();
    lost_file_ = true;
    return -1;
  }
  unfinished_path_.clear();
  return 1;
}

std::intptr_t TCABFile::ListFile(const platform::CabinetNotification& notification) {
  const std::string stored = notification.name != nullptr ? notification.name : "";
  TCABFileEntry entry;
  entry.Name = NamePart(stored, '\\');
  entry.RelPath = FolderPart(stored, '\\');
  entry.Size = notification.size;
  entry.Date = EncodeDateTime(UnpackDosDateTime({notification.date, notification.time}));
  CABFileContents.Items().push_back(std::move(entry));
  return 0;  // nothing is written
}

void TCABFile::DiscardUnfinishedFile() {
  std::uint32_t error = 0;
  if (open_output_ != 0) {
    platform::CloseFileHandle(open_output_, error);
    open_output_ = 0;
  }
  if (!unfinished_path_.empty()) {
    platform::DeleteFile(unfinished_path_);
    unfinished_path_.clear();
  }
}

unsigned TCABFile::WriteCallback(std::intptr_t file, void* buffer, unsigned count) {
  // Past the limit of one extraction the write fails, which ends the copy.
  if (TCABFile* target = g_progress_target) {
    target->total_written_ += count;
    if (target->total_written_ > target->MaxExtractedBytes) {
      target->limited_ = true;
      return static_cast<unsigned>(-1);
    }
  }
  std::uint32_t error = 0;
  const std::uint32_t written = platform::WriteFileHandle(file, buffer, count, error);
  if (TCABFile* target = g_progress_target) {
    target->bytes_written_ =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(target->bytes_written_) + count);
    if (target->OnDecompressProgress) {
      target->OnDecompressProgress(*target, target->current_name_, target->bytes_written_,
                                   target->current_size_);
    }
  }
  if (written == static_cast<std::uint32_t>(-1)) {
    if (TCABFile* target = g_progress_target; target != nullptr && target->open_output_ == file) {
      target->output_failed_ = true;
    }
    cab_callbacks::ShowSystemError(error);
  }
  return written;
}

int TCABFile::CloseCallback(std::intptr_t file) {
  // The library closing an output file itself (on a failed copy) leaves nothing for the
  // component to close.
  if (TCABFile* target = g_progress_target; target != nullptr && target->open_output_ == file) {
    target->open_output_ = 0;
  }
  std::uint32_t error = 0;
  if (!platform::CloseFileHandle(file, error)) {
    cab_callbacks::ShowSystemError(error);
    return -1;
  }
  return 0;
}

const platform::CabinetCallbacks& CabinetFileCallbacks() {
  static const platform::CabinetCallbacks callbacks{
      cab_callbacks::Alloc,    cab_callbacks::Free,     cab_callbacks::Open, cab_callbacks::Read,
      TCABFile::WriteCallback, TCABFile::CloseCallback, cab_callbacks::Seek};
  return callbacks;
}

}  // namespace zarn
