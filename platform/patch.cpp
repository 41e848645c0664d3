// Patches through zstd's public API: the base is the compressor's and the decoder's prefix, long
// distance matching finds the base's unchanged runs, and the window covers base and result.
#include "platform/patch.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "common/c_deleter.h"
#include "platform/file_handles.h"
#include "platform/files.h"

namespace zarn::platform {

namespace {

using CompressContext = std::unique_ptr<ZSTD_CCtx, CDeleter<ZSTD_freeCCtx>>;
using DecompressContext = std::unique_ptr<ZSTD_DCtx, CDeleter<ZSTD_freeDCtx>>;

// Patches are made once per release and applied on many machines: the strongest level pays.
constexpr int kCompressionLevel = 19;

// An open file handle, closed when it goes.
class File {
 public:
  File(std::string_view path, StreamOpen mode) {
    std::uint32_t error = 0;
    handle_ = OpenStreamFile(path, mode, error);
  }
  ~File() { Close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool IsOpen() const { return handle_ != kInvalidFileHandle; }
  FileHandle Handle() const { return handle_; }
  bool Close() {
    if (!IsOpen()) return true;
    std::uint32_t error = 0;
    const bool closed = CloseFileHandle(handle_, error);
    handle_ = kInvalidFileHandle;
    return closed;
  }

 private:
  FileHandle handle_ = kInvalidFileHandle;
};

// Reads up to count bytes; fewer only at the end of the file. -1 on a read error.
std::int64_t ReadSome(const File& file, std::uint8_t* buffer, std::size_t count) {
  std::size_t total = 0;
  while (total < count) {
    std::uint32_t error = 0;
    const std::uint32_t piece =
        static_cast<std::uint32_t>(std::min<std::size_t>(count - total, 1u << 20));
    const std::uint32_t read = ReadFileHandle(file.Handle(), buffer + total, piece, error);
    if (read == static_cast<std::uint32_t>(-1)) return -1;
    if (read == 0) break;
    total += read;
  }
  return static_cast<std::int64_t>(total);
}

// The whole file, or nullopt when it cannot be read or is larger than kMaxPatchedFileBytes.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(std::string_view path) {
  File file(path, StreamOpen::kStreamRead);
  if (!file.IsOpen()) return std::nullopt;
  std::uint32_t error = 0;
  const std::int64_t size = SeekFileHandle(file.Handle(), 0, SeekOrigin::kEnd, error);
  if (size < 0 || static_cast<std::uint64_t>(size) > kMaxPatchedFileBytes ||
      SeekFileHandle(file.Handle(), 0, SeekOrigin::kBegin, error) != 0) {
    return std::nullopt;
  }
  // One byte more than the size: a file that grew while it was read is refused, not cut.
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) + 1);
  const std::int64_t read = ReadSome(file, bytes.data(), bytes.size());
  if (read != size) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(size));
  return bytes;
}

bool WriteAll(const File& file, const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    std::uint32_t error = 0;
    const std::uint32_t piece = static_cast<std::uint32_t>(std::min<std::size_t>(count, 1u << 20));
    if (WriteFileHandle(file.Handle(), bytes, piece, error) != piece) return false;
    bytes += piece;
    count -= piece;
  }
  return true;
}

// Decodes the patch into the open output; the result as ApplyPatch reports it.
PatchResult Decode(const std::vector<std::uint8_t>& base, const File& patch, const File& output,
                   std::uint64_t result_size) {
  std::vector<std::uint8_t> in(ZSTD_DStreamInSize());
  std::vector<std::uint8_t> out(ZSTD_DStreamOutSize());
  const std::int64_t first = ReadSome(patch, in.data(), in.size());
  if (first < 0) return PatchResult::kPatchUnreadable;
  ZSTD_inBuffer input{in.data(), static_cast<std::size_t>(first), 0};
  // One zstd frame (not a skippable one) that declares the expected size. A frame without a
  // size would let the decoder grow its buffer to the whole window.
  const std::uint32_t magic = ZSTD_MAGICNUMBER;
  if (input.size < 4 || in[0] != (magic & 0xff) || in[1] != ((magic >> 8) & 0xff) ||
      in[2] != ((magic >> 16) & 0xff) || in[3] != (magic >> 24)) {
    return PatchResult::kRefused;
  }
  if (ZSTD_getFrameContentSize(in.data(), input.size) != result_size) return PatchResult::kRefused;

  const DecompressContext context(ZSTD_createDCtx());
  if (!context) return PatchResult::kDecodeFailed;
  // The window bound is explicit: a frame asking for more than base and result need is refused
  // before anything is allocated for it.
  if (ZSTD_isError(ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax,
                                          PatchWindowLog(base.size(), result_size))) ||
      ZSTD_isError(ZSTD_DCtx_refPrefix(context.get(), base.data(), base.size()))) {
    return PatchResult::kDecodeFailed;
  }
  std::uint64_t written = 0;
  for (;;) {
    ZSTD_outBuffer output_buffer{out.data(), out.size(), 0};
    const std::size_t status = ZSTD_decompressStream(context.get(), &output_buffer, &input);
    if (ZSTD_isError(status)) {
      return ZSTD_getErrorCode(status) == ZSTD_error_frameParameter_windowTooLarge
                 ? PatchResult::kRefused
                 : PatchResult::kDecodeFailed;
    }
    written += output_buffer.pos;
    if (written > result_size) return PatchResult::kDecodeFailed;
    if (!WriteAll(output, out.data(), output_buffer.pos)) return PatchResult::kCannotWrite;
    if (status == 0) {
      // The frame is complete: anything after it is not part of a patch.
      if (input.pos < input.size) return PatchResult::kRefused;
      std::uint8_t more = 0;
      const std::int64_t extra = ReadSome(patch, &more, 1);
      if (extra < 0) return PatchResult::kPatchUnreadable;
      if (extra > 0) return PatchResult::kRefused;
      return written == result_size ? PatchResult::kApplied : PatchResult::kDecodeFailed;
    }
    // The decoder may hold output back while input remains; read more only when all is used.
    if (input.pos == input.size && output_buffer.pos < output_buffer.size) {
      const std::int64_t read = ReadSome(patch, in.data(), in.size());
      if (read < 0) return PatchResult::kPatchUnreadable;
      if (read == 0) return PatchResult::kDecodeFailed;  // cut short
      input = {in.data(), static_cast<std::size_t>(read), 0};
    }
  }
}

}  // namespace

int PatchWindowLog(std::uint64_t base_size, std::uint64_t result_size) {
  const ZSTD_bounds bounds = ZSTD_cParam_getBounds(ZSTD_c_windowLog);
  int log = bounds.lowerBound;
  while (log < bounds.upperBound && (std::uint64_t{1} << log) < base_size + result_size) ++log;
  return log;
}

std::string MakePatch(std::string_view base_path, std::string_view new_path,
                      std::string_view patch_path) {
  const auto base = ReadWholeFile(base_path);
  if (!base) return "cannot read " + std::string(base_path) + " (or it is over 64 MiB)";
  const auto result = ReadWholeFile(new_path);
  if (!result) return "cannot read " + std::string(new_path) + " (or it is over 64 MiB)";
  const CompressContext context(ZSTD_createCCtx());
  if (!context) return "zstd cannot make a compression context";
  std::vector<std::uint8_t> patch(ZSTD_compressBound(result->size()));
  ZSTD_CCtx* c = context.get();
  // The size goes into the frame (the decoder requires it); zstd's own checksum does not: the
  // result's SHA-256 is checked instead.
  if (ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, kCompressionLevel)) ||
      ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_windowLog,
                                          PatchWindowLog(base->size(), result->size()))) ||
      ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_enableLongDistanceMatching, 1)) ||
      ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_contentSizeFlag, 1)) ||
      ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 0)) ||
      ZSTD_isError(ZSTD_CCtx_refPrefix(c, base->data(), base->size()))) {
    return "zstd refuses the patch parameters";
  }
  const std::size_t size =
      ZSTD_compress2(c, patch.data(), patch.size(), result->data(), result->size());
  if (ZSTD_isError(size)) return std::string("zstd: ") + ZSTD_getErrorName(size);
  File file(patch_path, StreamOpen::kStreamCreate);
  if (!file.IsOpen() || !WriteAll(file, patch.data(), size) || !file.Close()) {
    return "cannot write " + std::string(patch_path);
  }
  return {};
}

PatchResult ApplyPatch(std::string_view base_path, std::string_view patch_path,
                       std::string_view output_path, std::uint64_t result_size,
                       const Sha256Digest& result_digest) {
  if (result_size > kMaxPatchedFileBytes) return PatchResult::kRefused;
  const auto base = ReadWholeFile(base_path);
  if (!base) return PatchResult::kBaseUnreadable;
  const File patch(patch_path, StreamOpen::kStreamRead);
  if (!patch.IsOpen()) return PatchResult::kPatchUnreadable;
  if (FileExists(output_path) || DirectoryExists(output_path)) return PatchResult::kCannotWrite;
  PatchResult result = PatchResult::kCannotWrite;
  {
    File output(output_path, StreamOpen::kStreamCreate);
    if (output.IsOpen()) {
      result = Decode(*base, patch, output, result_size);
      if (!output.Close() && result == PatchResult::kApplied) result = PatchResult::kCannotWrite;
    }
  }
  if (result == PatchResult::kApplied && Sha256File(output_path) != result_digest) {
    result = PatchResult::kWrongResult;
  }
  if (result != PatchResult::kApplied) {
    DeleteFile(output_path);
  }
  return result;
}

const char* PatchResultText(PatchResult result) {
  switch (result) {
    case PatchResult::kApplied:
      return "applied";
    case PatchResult::kBaseUnreadable:
      return "the base file cannot be read";
    case PatchResult::kPatchUnreadable:
      return "the patch cannot be read";
    case PatchResult::kRefused:
      return "the patch is not one frame of the expected size and window";
    case PatchResult::kDecodeFailed:
      return "the patch does not decode against the base";
    case PatchResult::kWrongResult:
      return "the patched file is not the expected one";
    case PatchResult::kCannotWrite:
      return "the patched file cannot be written";
  }
  return "unknown";
}

}  // namespace zarn::platform
