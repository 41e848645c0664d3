// The platform's cabinet library, shaped like the FDI interface of Windows' "cabinet.dll": a
// decompression context made with the caller's memory and file callbacks, a test whether an open
// file is a cabinet, and a copy that walks the cabinet's files and asks the caller, through one
// notification callback, where each goes. The caller opens every output file itself and closes it
// at the close-file notification; the library reads the cabinet and writes the data through the
// callbacks only.
//
// Windows loads "cabinet.dll" for each LoadCabinetLibrary and frees it with the object; POSIX
// drives libmspack and turns its records into the same notifications.
#pragma once

#include <cstdint>
#include <memory>

namespace zarn::platform {

// The callbacks, with the argument and result types of the FDI callbacks (on 32-bit Windows they
// are the very same types, so the library calls them directly). Numbers as there: open gets the C
// library's open flags (O_RDONLY 0, O_WRONLY 1, O_RDWR 2, others above) and returns -1 on
// failure; read and write return the count moved or -1 as unsigned; seek gets SEEK_SET, SEEK_CUR
// or SEEK_END and returns the new position or -1; close returns 0 on success.
struct CabinetCallbacks {
  void* (*alloc)(unsigned long size);
  void (*free)(void* block);
  std::intptr_t (*open)(char* name, int flags, int mode);
  unsigned (*read)(std::intptr_t file, void* buffer, unsigned count);
  unsigned (*write)(std::intptr_t file, void* buffer, unsigned count);
  int (*close)(std::intptr_t file);
  long (*seek)(std::intptr_t file, long distance, int origin);
};

enum class CabinetNotificationType : int {
  kCabinetInfo = 0,
  kPartialFile = 1,
  kCopyFile = 2,
  kCloseFileInfo = 3,
  kNextCabinet = 4,
  kEnumerate = 5,
};

// What a notification carries. For copy-file: size, name (as stored), date, time, attributes.
// For close-file: name, handle (the one the copy-file answer gave), date, time, attributes.
struct CabinetNotification {
  std::int32_t size = 0;
  const char* name = nullptr;
  const char* text2 = nullptr;  // cabinet info: the next disk's name
  const char* text3 = nullptr;  // cabinet info: the cabinet's folder
  void* user = nullptr;         // the value given to Copy
  std::intptr_t handle = 0;
  std::uint16_t date = 0;  // MS-DOS date: year-1980 (7 bits), month (4), day (5)
  std::uint16_t time = 0;  // MS-DOS time: hour (5 bits), minute (6), second/2 (5)
  std::uint16_t attributes = 0;
  std::uint16_t set_id = 0;
  std::uint16_t cabinet_index = 0;
  std::uint16_t folder_index = 0;
  int error = 0;
};

// The answer to copy-file: an open handle to write the file to, 0 to skip it, -1 to abort the
// copy. To close-file: 1 (any other value fails the copy). To the others: 0 to go on, -1 to abort.
using CabinetNotify = std::intptr_t (*)(CabinetNotificationType type,
                                        CabinetNotification* notification);

// The error record FDI fills (operation, type, error flag).
struct CabinetErrorRecord {
  int operation = 0;
  int type = 0;
  int error = 0;
};

// What the cabinet test reports about a cabinet.
struct CabinetInfo {
  std::int32_t size = 0;
  std::uint16_t folders = 0;
  std::uint16_t files = 0;
  std::uint16_t set_id = 0;
  std::uint16_t index = 0;
  int has_reserve = 0;
  int has_previous = 0;
  int has_next = 0;
};

// One decompression context. Destroy ends it and reports whether that went well; a context
// destroyed by neither is ended by its destructor.
class CabinetContext {
 public:
  virtual ~CabinetContext() = default;
  // True when the open file is a cabinet; `info` describes it then.
  virtual bool IsCabinet(std::intptr_t file, CabinetInfo& info) = 0;
  // Processes every file of the cabinet `folder` + `name` (folder ends in a delimiter). True when
  // the whole cabinet was processed.
  virtual bool Copy(const char* name, const char* folder, int flags, CabinetNotify notify,
                    void* user) = 0;
  virtual bool Destroy() = 0;
};

// The loaded library. Contexts must be gone before the library object is.
class CabinetLibrary {
 public:
  virtual ~CabinetLibrary() = default;
  // A new context over the callbacks (which must outlive it); null when the library fails, with
  // `error` filled in.
  virtual std::unique_ptr<CabinetContext> Create(const CabinetCallbacks& callbacks,
                                                 CabinetErrorRecord& error) = 0;
};

// Loads the cabinet library; null when it cannot be loaded or lacks an entry point.
std::unique_ptr<CabinetLibrary> LoadCabinetLibrary();

}  // namespace zarn::platform
