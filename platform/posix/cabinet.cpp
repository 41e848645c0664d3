// The cabinet library on POSIX: an adapter over libmspack. libmspack reads and writes through a
// system structure of its own; here its methods forward to the caller's callbacks, so that every
// byte of the cabinet and of the output files passes where it would pass with "cabinet.dll". The
// copy walks libmspack's file records in cabinet order and asks the caller about each through the
// notifications, extracting into the handle that the copy-file answer gives.
#include "platform/cabinet.h"

#include <mspack.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "platform/posix/mszip_folder.h"

namespace zarn::platform {

namespace {

// FDI's error numbers, for the error record.
enum FdiError {
  kFdiNone = 0,
  kFdiCabinetNotFound = 1,
  kFdiNotACabinet = 2,
  kFdiCorruptCabinet = 4,
  kFdiAllocFail = 5,
  kFdiDecompressFail = 7,
  kFdiTargetFile = 8,
  kFdiUserAbort = 11,
};

int FdiErrorOf(int mspack_error) {
  switch (mspack_error) {
    case MSPACK_ERR_OK:
      return kFdiNone;
    case MSPACK_ERR_OPEN:
      return kFdiCabinetNotFound;
    case MSPACK_ERR_SIGNATURE:
      return kFdiNotACabinet;
    case MSPACK_ERR_NOMEMORY:
      return kFdiAllocFail;
    case MSPACK_ERR_WRITE:
      return kFdiTargetFile;
    case MSPACK_ERR_DECRUNCH:
      return kFdiDecompressFail;
    default:
      return kFdiCorruptCabinet;
  }
}

// A file name that stands for "the handle given beforehand": libmspack passes names to the system
// structure unchanged, so it is recognised by its address. Used for the cabinet that the cabinet
// test gets open, and for the output file that the caller opened at copy-file.
const char kGivenHandle[] = "<given handle>";

// One file as libmspack sees it.
struct AdapterFile {
  std::intptr_t handle;
  bool owned;  // closed through the callbacks when libmspack closes it
  const CabinetCallbacks* callbacks;
};

// libmspack's system structure followed by what its methods need; libmspack passes the address
// of the first member back as `self`.
struct AdapterSystem {
  mspack_system base;
  const CabinetCallbacks* callbacks = nullptr;
  std::intptr_t given = 0;
};

AdapterFile* AsFile(mspack_file* file) {
  return reinterpret_cast<AdapterFile*>(file);
}

mspack_file* SysOpen(mspack_system* self, const char* name, int mode) {
  auto* system = reinterpret_cast<AdapterSystem*>(self);
  const CabinetCallbacks* callbacks = system->callbacks;
  if (name == kGivenHandle) {
    return reinterpret_cast<mspack_file*>(
        std::make_unique<AdapterFile>(AdapterFile{system->given, false, callbacks}).release());
  }
  // The C library's open flags, as FDI passes them: read-only for reading, read-write else.
  const int flags = mode == MSPACK_SYS_OPEN_READ ? 0 : 2;
  const std::intptr_t handle = callbacks->open(const_cast<char*>(name), flags, 0);
  if (handle == -1) return nullptr;
  return reinterpret_cast<mspack_file*>(
      std::make_unique<AdapterFile>(AdapterFile{handle, true, callbacks}).release());
}

void SysClose(mspack_file* file) {
  std::unique_ptr<AdapterFile> owned(AsFile(file));
  if (owned->owned) owned->callbacks->close(owned->handle);
}

int SysRead(mspack_file* file, void* buffer, int bytes) {
  AdapterFile* f = AsFile(file);
  const unsigned n = f->callbacks->read(f->handle, buffer, static_cast<unsigned>(bytes));
  return n == static_cast<unsigned>(-1) ? -1 : static_cast<int>(n);
}

int SysWrite(mspack_file* file, void* buffer, int bytes) {
  AdapterFile* f = AsFile(file);
  const unsigned n = f->callbacks->write(f->handle, buffer, static_cast<unsigned>(bytes));
  return n == static_cast<unsigned>(-1) ? -1 : static_cast<int>(n);
}

int SysSeek(mspack_file* file, off_t offset, int mode) {
  AdapterFile* f = AsFile(file);
  const int origin = mode == MSPACK_SYS_SEEK_START ? 0 : mode == MSPACK_SYS_SEEK_CUR ? 1 : 2;
  return f->callbacks->seek(f->handle, static_cast<long>(offset), origin) < 0 ? -1 : 0;
}

off_t SysTell(mspack_file* file) {
  AdapterFile* f = AsFile(file);
  return static_cast<off_t>(f->callbacks->seek(f->handle, 0, 1));
}

void SysMessage(mspack_file*, const char*, ...) {}  // libmspack's remarks are not shown

// libmspack's free carries no context, so its memory comes straight from the C allocator rather
// than from the caller's allocate callback.
void* SysAlloc(mspack_system*, size_t bytes) {
  return std::malloc(bytes);
}
void SysFree(void* block) {
  std::free(block);
}
void SysCopy(void* source, void* target, size_t bytes) {
  std::memmove(target, source, bytes);
}

// The file's time as the cabinet stores it (libmspack hands it over unpacked).
DosDateTime FileDosDateTime(const mscabd_file& file) {
  CivilDateTime civil;
  civil.year = file.date_y;
  civil.month = static_cast<unsigned char>(file.date_m);
  civil.day = static_cast<unsigned char>(file.date_d);
  civil.hour = static_cast<unsigned char>(file.time_h);
  civil.minute = static_cast<unsigned char>(file.time_m);
  civil.second = static_cast<unsigned char>(file.time_s);
  return PackDosDateTime(civil).value_or(DosDateTime{});
}

// The MSZIP folders of a cabinet, inflated with zlib when the cabinet's layout allows; every
// other file goes through libmspack. Holds its own handle of the cabinet.
class MszipShortcut {
 public:
  MszipShortcut(const CabinetCallbacks& callbacks, const std::string& path,
                const mscabd_cabinet& cabinet)
      : callbacks_(callbacks) {
    handle_ = callbacks.open(const_cast<char*>(path.c_str()), 0, 0);
    if (handle_ == -1 || !posix::ReadCabinetLayout(callbacks, handle_, layout_)) return;
    for (const mscabd_folder* f = cabinet.folders; f != nullptr; f = f->next) folders_.push_back(f);
    if (folders_.size() != layout_.folders.size()) return;
    for (std::size_t i = 0; i < folders_.size(); ++i) {
      if (MSCABD_COMP_METHOD(folders_[i]->comp_type) != (layout_.folders[i].compression & 0x0f)) {
        return;
      }
    }
    reader_ = std::make_unique<posix::MszipFolderReader>(callbacks, handle_, layout_);
    if (!reader_->Ready()) reader_.reset();
  }
  ~MszipShortcut() {
    reader_.reset();
    if (handle_ != -1) callbacks_.close(handle_);
  }
  MszipShortcut(const MszipShortcut&) = delete;
  MszipShortcut& operator=(const MszipShortcut&) = delete;

  bool Handles(const mscabd_file& file) const {
    return reader_ != nullptr && file.folder != nullptr &&
           MSCABD_COMP_METHOD(file.folder->comp_type) == MSCAB_COMP_MSZIP;
  }

  int Extract(const mscabd_file& file, std::intptr_t output) {
    std::size_t index = 0;
    while (index < folders_.size() && folders_[index] != file.folder) ++index;
    switch (reader_->Extract(index, file.offset, file.length, output)) {
      case posix::MszipFolderReader::Result::kOk:
        return MSPACK_ERR_OK;
      case posix::MszipFolderReader::Result::kWriteFailed:
        return MSPACK_ERR_WRITE;
      default:
        return MSPACK_ERR_DECRUNCH;
    }
  }

 private:
  const CabinetCallbacks& callbacks_;
  std::intptr_t handle_ = -1;
  posix::CabinetLayout layout_;
  std::vector<const mscabd_folder*> folders_;
  std::unique_ptr<posix::MszipFolderReader> reader_;
};

class MspackContext final : public CabinetContext {
 public:
  MspackContext(const CabinetCallbacks& callbacks, CabinetErrorRecord& error) : error_(error) {
    system_.base = mspack_system{SysOpen,    SysClose, SysRead, SysWrite, SysSeek, SysTell,
                                 SysMessage, SysAlloc, SysFree, SysCopy,  nullptr};
    system_.callbacks = &callbacks;
    decompressor_ = mspack_create_cab_decompressor(&system_.base);
    if (decompressor_ != nullptr) {
      // A larger input buffer means fewer reads of the cabinet.
      decompressor_->set_param(decompressor_, MSCABD_PARAM_DECOMPBUF, 65536);
    }
  }
  ~MspackContext() override { Destroy(); }
  MspackContext(const MspackContext&) = delete;
  MspackContext& operator=(const MspackContext&) = delete;

  bool Ready() const { return decompressor_ != nullptr; }

  bool IsCabinet(std::intptr_t file, CabinetInfo& info) override {
    system_.given = file;
    mscabd_cabinet* cabinet = decompressor_->open(decompressor_, kGivenHandle);
    if (cabinet == nullptr) return Fail(decompressor_->last_error(decompressor_));
    info = CabinetInfo{};
    info.size = static_cast<std::int32_t>(cabinet->length);
    for (const mscabd_folder* f = cabinet->folders; f != nullptr; f = f->next) ++info.folders;
    for (const mscabd_file* f = cabinet->files; f != nullptr; f = f->next) ++info.files;
    info.set_id = cabinet->set_id;
    info.index = cabinet->set_index;
    info.has_reserve = (cabinet->flags & MSCAB_HDR_RESV) != 0;
    info.has_previous = (cabinet->flags & MSCAB_HDR_PREVCAB) != 0;
    info.has_next = (cabinet->flags & MSCAB_HDR_NEXTCAB) != 0;
    decompressor_->close(decompressor_, cabinet);
    return true;
  }

  bool Copy(const char* name, const char* folder, int /*flags*/, CabinetNotify notify,
            void* user) override {
    const std::string path = std::string(folder) + name;
    mscabd_cabinet* cabinet = decompressor_->open(decompressor_, path.c_str());
    if (cabinet == nullptr) return Fail(decompressor_->last_error(decompressor_));
    MszipShortcut shortcut(*system_.callbacks, path, *cabinet);
    const bool whole = CopyFiles(*cabinet, folder, notify, user, shortcut);
    decompressor_->close(decompressor_, cabinet);
    return whole;
  }

  bool Destroy() override {
    if (decompressor_ == nullptr) return false;
    mspack_destroy_cab_decompressor(decompressor_);
    decompressor_ = nullptr;
    return true;
  }

 private:
  bool Fail(int mspack_error) {
    error_.type = FdiErrorOf(mspack_error);
    error_.error = 1;
    return false;
  }

  bool CopyFiles(const mscabd_cabinet& cabinet, const char* folder, CabinetNotify notify,
                 void* user, MszipShortcut& shortcut) {
    CabinetNotification info;
    info.name = cabinet.nextname != nullptr ? cabinet.nextname : "";
    info.text2 = cabinet.nextinfo != nullptr ? cabinet.nextinfo : "";
    info.text3 = folder;
    info.user = user;
    info.set_id = cabinet.set_id;
    info.cabinet_index = cabinet.set_index;
    if (notify(CabinetNotificationType::kCabinetInfo, &info) == -1) return Abort();

    for (mscabd_file* file = cabinet.files; file != nullptr; file = file->next) {
      CabinetNotification copy;
      copy.size = static_cast<std::int32_t>(file->length);
      copy.name = file->filename;
      copy.user = user;
      const DosDateTime stamp = FileDosDateTime(*file);
      copy.date = stamp.date;
      copy.time = stamp.time;
      copy.attributes = static_cast<std::uint16_t>(file->attribs);
      const std::intptr_t answer = notify(CabinetNotificationType::kCopyFile, &copy);
      if (answer == -1) return Abort();
      if (answer == 0) continue;

      const int result = shortcut.Handles(*file) ? shortcut.Extract(*file, answer)
                                                 : ExtractWithMspack(*file, answer);
      if (result != MSPACK_ERR_OK) return Fail(result);

      CabinetNotification close = copy;
      close.size = (file->attribs & MSCAB_ATTRIB_EXEC) != 0 ? 1 : 0;
      close.handle = answer;
      if (notify(CabinetNotificationType::kCloseFileInfo, &close) != 1) {
        return Abort();
      }
    }
    return true;
  }

  int ExtractWithMspack(mscabd_file& file, std::intptr_t output) {
    system_.given = output;
    return decompressor_->extract(decompressor_, &file, kGivenHandle);
  }

  // The caller's notification asked to stop.
  bool Abort() {
    error_.type = kFdiUserAbort;
    error_.error = 1;
    return false;
  }

  AdapterSystem system_;
  mscab_decompressor* decompressor_ = nullptr;
  CabinetErrorRecord& error_;
};

class MspackLibrary final : public CabinetLibrary {
 public:
  std::unique_ptr<CabinetContext> Create(const CabinetCallbacks& callbacks,
                                         CabinetErrorRecord& error) override {
    auto context = std::make_unique<MspackContext>(callbacks, error);
    if (!context->Ready()) {
      error.type = kFdiAllocFail;
      error.error = 1;
      return nullptr;
    }
    return context;
  }
};

}  // namespace

std::unique_ptr<CabinetLibrary> LoadCabinetLibrary() {
  int selftest = MSPACK_ERR_OK;
  MSPACK_SYS_SELFTEST(selftest);
  if (selftest != MSPACK_ERR_OK) return nullptr;
  return std::make_unique<MspackLibrary>();
}

}  // namespace zarn::platform
