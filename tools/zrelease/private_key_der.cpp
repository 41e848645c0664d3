// A strict DER reader and writer for the single PKCS #8 layout of a P-256 private key.
#include "tools/zrelease/private_key_der.h"

#include <algorithm>

namespace zarn::release {

namespace {

constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kBitString = 0x03;
constexpr std::uint8_t kOctetString = 0x04;
constexpr std::uint8_t kObjectId = 0x06;
constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kParameters = 0xA0;  // [0], constructed
constexpr std::uint8_t kPublicKey = 0xA1;   // [1], constructed

// id-ecPublicKey (1.2.840.10045.2.1) and prime256v1 (1.2.840.10045.3.1.7), each a whole TLV.
constexpr std::uint8_t kEcPublicKeyOid[] = {0x06, 0x07, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
constexpr std::uint8_t kP256Oid[] = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

using Bytes = std::span<const std::uint8_t>;

bool Equal(Bytes bytes, Bytes expected) {
  return std::equal(bytes.begin(), bytes.end(), expected.begin(), expected.end());
}

// Reads one element after another from a run of DER bytes.
class Reader {
 public:
  explicit Reader(Bytes bytes) : rest_(bytes) {}

  bool AtEnd() const { return rest_.empty(); }
  std::uint8_t NextTag() const { return rest_.empty() ? 0 : rest_[0]; }

  // The next element's whole encoding (tag, length and content) when its tag is tag.
  std::optional<Bytes> Element(std::uint8_t tag) {
    const Bytes before = rest_;
    if (!Content(tag)) return std::nullopt;
    return before.first(before.size() - rest_.size());
  }

  // The next element's content when its tag is tag. Lengths must be in DER's shortest form and
  // fit the bytes that are left.
  std::optional<Bytes> Content(std::uint8_t tag) {
    if (rest_.size() < 2 || rest_[0] != tag) return std::nullopt;
    std::size_t length = rest_[1];
    std::size_t header = 2;
    if (length == 0x81) {
      if (rest_.size() < 3 || rest_[2] < 0x80) return std::nullopt;
      length = rest_[2];
      header = 3;
    } else if (length == 0x82) {
      if (rest_.size() < 4 || rest_[2] == 0) return std::nullopt;
      length = (std::size_t{rest_[2]} << 8) | rest_[3];
      header = 4;
    } else if (length > 0x7F) {
      return std::nullopt;  // longer length forms, and the indefinite one, are not DER here
    }
    if (rest_.size() - header < length) return std::nullopt;
    const Bytes content = rest_.subspan(header, length);
    rest_ = rest_.subspan(header + length);
    return content;
  }

 private:
  Bytes rest_;
};

void Append(std::vector<std::uint8_t>& out, std::initializer_list<std::uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void Append(std::vector<std::uint8_t>& out, Bytes bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<std::uint8_t> EncodeP256PrivateKey(const P256Secret& secret,
                                               const platform::P256PublicKey& public_key) {
  std::vector<std::uint8_t> der;
  der.reserve(138);
  Append(der, {kSequence, 0x81, 0x87, kInteger, 0x01, 0x00, kSequence, 0x13});
  Append(der, kEcPublicKeyOid);
  Append(der, kP256Oid);
  Append(der, {kOctetString, 0x6D, kSequence, 0x6B, kInteger, 0x01, 0x01, kOctetString, 0x20});
  Append(der, secret);
  Append(der, {kPublicKey, 0x44, kBitString, 0x42, 0x00, 0x04});
  Append(der, public_key);
  return der;
}

std::optional<P256KeyParts> DecodeP256PrivateKey(Bytes der, std::string& problem) {
  const auto refuse = [&problem](const char* why) {
    problem = std::string("not a PKCS #8 P-256 private key: ") + why;
    return std::nullopt;
  };
  Reader file(der);
  const auto info = file.Content(kSequence);
  if (!info || !file.AtEnd()) return refuse("no single DER SEQUENCE");
  Reader fields(*info);
  const auto version = fields.Content(kInteger);
  if (!version || !Equal(*version, std::array<std::uint8_t, 1>{0})) {
    return refuse("version is not 0");
  }
  const auto algorithm = fields.Content(kSequence);
  if (!algorithm) return refuse("no algorithm");
  Reader ids(*algorithm);
  const auto key_type = ids.Element(kObjectId);
  if (!key_type || !Equal(*key_type, kEcPublicKeyOid)) return refuse("not an EC key");
  const auto curve = ids.Element(kObjectId);
  if (!curve || !Equal(*curve, kP256Oid) || !ids.AtEnd()) return refuse("not the curve P-256");
  const auto private_key = fields.Content(kOctetString);
  if (!private_key) return refuse("no private key");
  if (!fields.AtEnd()) return refuse("unexpected attributes or fields after the private key");

  Reader outer(*private_key);
  const auto ec_key = outer.Content(kSequence);
  if (!ec_key || !outer.AtEnd()) return refuse("the private key is not one ECPrivateKey");
  Reader parts(*ec_key);
  const auto ec_version = parts.Content(kInteger);
  if (!ec_version || !Equal(*ec_version, std::array<std::uint8_t, 1>{1})) {
    return refuse("ECPrivateKey version is not 1");
  }
  const auto secret = parts.Content(kOctetString);
  if (!secret || secret->size() != 32) return refuse("the private value is not 32 bytes");
  P256KeyParts key;
  std::copy(secret->begin(), secret->end(), key.secret.begin());
  if (std::all_of(key.secret.begin(), key.secret.end(), [](std::uint8_t b) { return b == 0; })) {
    return refuse("the private value is zero");
  }
  if (parts.NextTag() == kParameters) {
    const auto parameters = parts.Content(kParameters);
    Reader named(parameters.value_or(Bytes()));
    const auto named_curve = named.Element(kObjectId);
    if (!parameters || !named_curve || !Equal(*named_curve, kP256Oid) || !named.AtEnd()) {
      return refuse("the key's own curve is not P-256");
    }
  }
  if (parts.NextTag() == kPublicKey) {
    const auto public_key = parts.Content(kPublicKey);
    Reader wrapped(public_key.value_or(Bytes()));
    const auto point = wrapped.Content(kBitString);
    if (!public_key || !point || !wrapped.AtEnd() || point->size() != 66 || (*point)[0] != 0 ||
        (*point)[1] != 0x04) {
      return refuse("the public key is not an uncompressed P-256 point");
    }
    key.public_key.emplace();
    std::copy(point->begin() + 2, point->end(), key.public_key->begin());
  }
  if (!parts.AtEnd()) return refuse("unexpected fields in the ECPrivateKey");
  return key;
}

}  // namespace zarn::release
