// SHA-256 and ECDSA P-256 checks through CNG ("bcrypt.dll"). The library is loaded for each call,
// as the cabinet library is: Windows before Vista has none, and then every check fails. Keys go
// in as an ECC public blob (the header, then X and Y), signatures as CNG's own r||s.
#include "platform/signature.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
// The CNG declarations need the base types above.
#include <bcrypt.h>

namespace zarn::platform {

namespace {

constexpr NTSTATUS kSuccess = 0;

// CNG's entry points, valid while the library object holds the module.
class Cng {
 public:
  Cng() : module_(LoadLibraryA("bcrypt.dll")) {
    ok_ = module_ != nullptr && Find("BCryptOpenAlgorithmProvider", open) &&
          Find("BCryptCloseAlgorithmProvider", close) && Find("BCryptGetProperty", get_property) &&
          Find("BCryptCreateHash", create_hash) && Find("BCryptHashData", hash_data) &&
          Find("BCryptFinishHash", finish_hash) && Find("BCryptDestroyHash", destroy_hash) &&
          Find("BCryptImportKeyPair", import_key) && Find("BCryptDestroyKey", destroy_key) &&
          Find("BCryptVerifySignature", verify);
  }
  ~Cng() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  Cng(const Cng&) = delete;
  Cng& operator=(const Cng&) = delete;

  bool Loaded() const { return ok_; }

  decltype(&BCryptOpenAlgorithmProvider) open = nullptr;
  decltype(&BCryptCloseAlgorithmProvider) close = nullptr;
  decltype(&BCryptGetProperty) get_property = nullptr;
  decltype(&BCryptCreateHash) create_hash = nullptr;
  decltype(&BCryptHashData) hash_data = nullptr;
  decltype(&BCryptFinishHash) finish_hash = nullptr;
  decltype(&BCryptDestroyHash) destroy_hash = nullptr;
  decltype(&BCryptImportKeyPair) import_key = nullptr;
  decltype(&BCryptDestroyKey) destroy_key = nullptr;
  decltype(&BCryptVerifySignature) verify = nullptr;

 private:
  template <typename Function>
  bool Find(const char* name, Function& function) {
    // GetProcAddress gives a generic function pointer; the export has the declared type.
    function =
        reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
    return function != nullptr;
  }

  HMODULE module_;
  bool ok_ = false;
};

// An open algorithm provider, closed with the object.
class Algorithm {
 public:
  Algorithm(const Cng& cng, const wchar_t* id) : cng_(cng) {
    if (cng.Loaded() && cng.open(&handle_, id, nullptr, 0) != kSuccess) handle_ = nullptr;
  }
  ~Algorithm() {
    if (handle_ != nullptr) cng_.close(handle_, 0);
  }
  Algorithm(const Algorithm&) = delete;
  Algorithm& operator=(const Algorithm&) = delete;

  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  const Cng& cng_;
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// A SHA-256 hash in progress, with the object memory CNG asks for.
class Hash {
 public:
  explicit Hash(const Cng& cng) : cng_(cng), algorithm_(cng, BCRYPT_SHA256_ALGORITHM) {
    if (algorithm_.get() == nullptr) return;
    DWORD length = 0;
    ULONG written = 0;
    if (cng.get_property(algorithm_.get(), BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&length),
                         sizeof length, &written, 0) != kSuccess) {
      return;
    }
    object_.resize(length);
    if (cng.create_hash(algorithm_.get(), &handle_, object_.data(), length, nullptr, 0, 0) !=
        kSuccess) {
      handle_ = nullptr;
    }
  }
  ~Hash() {
    if (handle_ != nullptr) cng_.destroy_hash(handle_);
  }
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;

  bool Add(const std::uint8_t* bytes, std::size_t count) {
    // BCryptHashData takes a non-const pointer but only reads through it.
    return handle_ != nullptr && cng_.hash_data(handle_, const_cast<PUCHAR>(bytes),
                                                static_cast<ULONG>(count), 0) == kSuccess;
  }

  std::optional<Sha256Digest> Finish() {
    Sha256Digest digest{};
    if (handle_ == nullptr || cng_.finish_hash(handle_, digest.data(),
                                               static_cast<ULONG>(digest.size()), 0) != kSuccess) {
      return std::nullopt;
    }
    return digest;
  }

 private:
  const Cng& cng_;
  Algorithm algorithm_;
  std::vector<std::uint8_t> object_;
  BCRYPT_HASH_HANDLE handle_ = nullptr;
};

struct HandleCloser {
  void operator()(void* handle) const { CloseHandle(handle); }
};

}  // namespace

std::optional<Sha256Digest> Sha256(std::span<const std::uint8_t> bytes) {
  const Cng cng;
  Hash hash(cng);
  // One call takes at most 4 GiB; the pieces keep far below.
  constexpr std::size_t kPiece = 1 << 30;
  for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
    if (!hash.Add(bytes.data() + at, std::min(kPiece, bytes.size() - at))) return std::nullopt;
  }
  return hash.Finish();
}

std::optional<Sha256Digest> Sha256File(std::string_view path) {
  const HANDLE opened = CreateFileA(std::string(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
  const std::unique_ptr<void, HandleCloser> file(opened);
  const Cng cng;
  Hash hash(cng);
  std::vector<std::uint8_t> buffer(64 * 1024);
  DWORD count = 0;
  for (;;) {
    if (!ReadFile(opened, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr)) {
      return std::nullopt;
    }
    if (count == 0) break;
    if (!hash.Add(buffer.data(), count)) return std::nullopt;
  }
  return hash.Finish();
}

bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                const P256Signature& signature) {
  const Cng cng;
  const Algorithm algorithm(cng, BCRYPT_ECDSA_P256_ALGORITHM);
  if (algorithm.get() == nullptr) return false;
  std::vector<std::uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, key.data(), key.size());
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (cng.import_key(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &handle, blob.data(),
                     static_cast<ULONG>(blob.size()), 0) != kSuccess) {
    return false;
  }
  Sha256Digest hash = digest;
  P256Signature copy = signature;
  const bool valid = cng.verify(handle, nullptr, hash.data(), static_cast<ULONG>(hash.size()),
                                copy.data(), static_cast<ULONG>(copy.size()), 0) == kSuccess;
  cng.destroy_key(handle);
  return valid;
}

}  // namespace zarn::platform
