// Patches of one file against an older version of it: zstd frames made with the older file as
// the compressor's prefix ("patch-from"), so that a patch holds little more than what changed.
// The same code serves both back ends (zstd is a library, not a facility of the system; Windows
// builds it from source, POSIX links the system's copy).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/signature.h"

namespace zarn::platform {

// The largest base and result a patch is made or applied for: both are held in memory.
inline constexpr std::uint64_t kMaxPatchedFileBytes = 64ull << 20;

// Makes patch_path (a new file; an existing one is replaced) that turns base_path into new_path.
// Returns an empty text, or what went wrong.
std::string MakePatch(std::string_view base_path, std::string_view new_path,
                      std::string_view patch_path);

enum class PatchResult {
  kApplied,
  kBaseUnreadable,   // the base is missing, unreadable or over kMaxPatchedFileBytes
  kPatchUnreadable,  // the patch is missing or unreadable
  kRefused,          // not one zstd frame of the expected size within the window bound
  kDecodeFailed,     // the frame's data is damaged or does not fit the base
  kWrongResult,      // decoded, but not to the expected SHA-256
  kCannotWrite,      // the output exists already, or writing it failed
};

// Applies patch_path to base_path into output_path, which must not exist yet: the target file is
// never written. The frame must declare exactly result_size bytes and a window no larger than base
// and result need; the decoder then holds the base and at most the result (plus zstd's block
// buffers) in memory. The output stays only when its SHA-256 is result_digest; on every other
// result it is removed.
PatchResult ApplyPatch(std::string_view base_path, std::string_view patch_path,
                       std::string_view output_path, std::uint64_t result_size,
                       const Sha256Digest& result_digest);

// A short English text for a result, for status lines and tool output.
const char* PatchResultText(PatchResult result);

// The window (as a power of two) a patch of result_size bytes against base_size bytes uses, and
// the largest one the decoder accepts for them.
int PatchWindowLog(std::uint64_t base_size, std::uint64_t result_size);

}  // namespace zarn::platform
