// Cabinets through "cabinet.dll": a cabinet of one MSZIP folder holding one file, made with FCI.
// The library is loaded for each cabinet, as the updater loads it for FDI; FCI's file callbacks
// go to the C runtime's descriptors, whose open flags FCI passes in.
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/win32/windows_api.h"
#include "tools/zrelease/cabinet_writer.h"
// The FCI declarations need the base types above.
#include <fci.h>

namespace zarn::release {

namespace {

// Wine's FCI hands a file with no bytes a data file it never opened (-1) to seek and read; taken
// as an empty file, the cabinet comes out as libgcab writes it. Windows never passes -1.
constexpr INT_PTR kNeverOpened = -1;

void* DIAMONDAPI Allocate(ULONG size) {
  return std::malloc(size);
}
void DIAMONDAPI Release(void* memory) {
  std::free(memory);
}

INT_PTR DIAMONDAPI Open(char* path, int flags, int mode, int* error, void*) {
  const int descriptor = _open(path, flags | _O_BINARY | _O_NOINHERIT, mode);
  if (descriptor < 0) *error = errno;
  return descriptor;
}

UINT DIAMONDAPI Read(INT_PTR file, void* buffer, UINT size, int* error, void*) {
  if (file == kNeverOpened) return 0;
  const int count = _read(static_cast<int>(file), buffer, size);
  if (count < 0) *error = errno;
  return static_cast<UINT>(count);
}

UINT DIAMONDAPI Write(INT_PTR file, void* buffer, UINT size, int* error, void*) {
  const int count = _write(static_cast<int>(file), buffer, size);
  if (count < 0) *error = errno;
  return static_cast<UINT>(count);
}

int DIAMONDAPI Close(INT_PTR file, int* error, void*) {
  const int result = _close(static_cast<int>(file));
  if (result != 0) *error = errno;
  return result;
}

LONG DIAMONDAPI Seek(INT_PTR file, LONG distance, int origin, int* error, void*) {
  if (file == kNeverOpened) return 0;
  const LONG at = _lseek(static_cast<int>(file), distance, origin);
  if (at < 0) *error = errno;
  return at;
}

int DIAMONDAPI Delete(char* path, int* error, void*) {
  const int result = std::remove(path);
  if (result != 0) *error = errno;
  return result;
}

// A new name in the temporary folder for FCI's work files (FCI creates the file itself).
BOOL DIAMONDAPI TempName(char* name, int size, void*) {
  char folder[MAX_PATH];
  char path[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH || GetTempFileNameA(folder, "zrc", 0, path) == 0) {
    return FALSE;
  }
  DeleteFileA(path);
  if (std::strlen(path) >= static_cast<std::size_t>(size)) return FALSE;
  std::strcpy(name, path);
  return TRUE;
}

int DIAMONDAPI Placed(PCCAB, char*, LONG, BOOL, void*) {
  return 0;
}
// One cabinet, never split.
BOOL DIAMONDAPI NextCabinet(PCCAB, ULONG, void*) {
  return FALSE;
}
LONG DIAMONDAPI Status(UINT, ULONG, ULONG, void*) {
  return 0;
}

// Opens the source for FCI and gives its modification time as the cabinet keeps it: local time,
// in DOS form, and the archive attribute libgcab gives every file.
INT_PTR DIAMONDAPI OpenSource(char* path, USHORT* date, USHORT* time, USHORT* attributes,
                              int* error, void* user) {
  WIN32_FILE_ATTRIBUTE_DATA facts{};
  FILETIME local{};
  WORD dos_date = 0;
  WORD dos_time = 0;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &facts) ||
      !FileTimeToLocalFileTime(&facts.ftLastWriteTime, &local) ||
      !FileTimeToDosDateTime(&local, &dos_date, &dos_time)) {
    *error = ENOENT;
    return -1;
  }
  *date = dos_date;
  *time = dos_time;
  *attributes = _A_ARCH;
  return Open(path, _O_RDONLY, 0, error, user);
}

const char* FciProblem(int code) {
  switch (code) {
    case FCIERR_OPEN_SRC:
      return "cannot open the file";
    case FCIERR_READ_SRC:
      return "cannot read the file";
    case FCIERR_ALLOC_FAIL:
      return "out of memory";
    case FCIERR_TEMP_FILE:
      return "cannot use a temporary file";
    case FCIERR_BAD_COMPR_TYPE:
      return "MSZIP is not offered";
    case FCIERR_CAB_FILE:
      return "cannot write the cabinet";
    default:
      return "the cabinet library failed";
  }
}

template <typename Function>
bool Find(HMODULE module, const char* name, Function& function) {
  // GetProcAddress gives a generic function pointer; the export has the declared type.
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  return function != nullptr;
}

struct LibraryFree {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};

}  // namespace

std::string WriteSingleFileCabinet(const std::string& source_path, const std::string& stored_name,
                                   const std::string& cabinet_path) {
  const std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree> module(
      LoadLibraryA("cabinet.dll"));
  decltype(&FCICreate) create = nullptr;
  decltype(&FCIAddFile) add_file = nullptr;
  decltype(&FCIFlushCabinet) flush = nullptr;
  decltype(&FCIDestroy) destroy = nullptr;
  if (!module || !Find(module.get(), "FCICreate", create) ||
      !Find(module.get(), "FCIAddFile", add_file) ||
      !Find(module.get(), "FCIFlushCabinet", flush) || !Find(module.get(), "FCIDestroy", destroy)) {
    return "cannot make cabinets: cabinet.dll with FCI is missing";
  }

  CCAB cabinet{};
  const std::size_t slash = cabinet_path.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? "" : cabinet_path.substr(0, slash + 1);
  const std::string name = cabinet_path.substr(folder.size());
  if (folder.size() >= sizeof cabinet.szCabPath || name.size() >= sizeof cabinet.szCab) {
    return "the path is too long for a cabinet: " + cabinet_path;
  }
  std::strcpy(cabinet.szCabPath, folder.c_str());
  std::strcpy(cabinet.szCab, name.c_str());
  cabinet.cb = 0x7FFFFFFF;  // one cabinet, as large as the file needs
  cabinet.cbFolderThresh = 0x7FFFFFFF;

  ERF error{};
  const auto failed = [&error](const std::string& what) {
    return what + ": " + FciProblem(error.erfOper) +
           (error.erfType != 0 ? " (" + std::string(std::strerror(error.erfType)) + ")" : "");
  };
  struct ContextDestroy {
    decltype(&FCIDestroy) destroy;
    void operator()(void* context) const { destroy(context); }
  };
  const std::unique_ptr<void, ContextDestroy> context(
      create(&error, Placed, Allocate, Release, Open, Read, Write, Close, Seek, Delete, TempName,
             &cabinet, nullptr),
      ContextDestroy{destroy});
  if (!context) return failed("cannot make the cabinet " + cabinet_path);
  // FCI takes non-const texts but only reads them.
  std::string source = source_path;
  std::string stored = stored_name;
  if (!add_file(context.get(), source.data(), stored.data(), FALSE, NextCabinet, Status, OpenSource,
                tcompTYPE_MSZIP)) {
    return failed("cannot add " + source_path);
  }
  if (!flush(context.get(), FALSE, NextCabinet, Status)) {
    return failed("cannot write " + cabinet_path);
  }
  return {};
}

}  // namespace zarn::release
