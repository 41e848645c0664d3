// The program's one creatable automation class, Z4Update (ProgID "zarn4update.Z4Update"), its
// object TZ4Update and the type library that describes it. Request accepts its arguments and
// does nothing: the class exists so that the suite's programs can find and start the updater.
#pragma once

#include <cstdint>
#include <string_view>

#include "automation/com_object_factory.h"
#include "common/guid.h"
#include "platform/automation.h"

namespace zarn {

// {4C3AF079-DB46-4F30-AC8F-088FED28DF95}
inline constexpr Guid CLASS_Z4Update{
    0x4C3AF079, 0xDB46, 0x4F30, {0xAC, 0x8F, 0x08, 0x8F, 0xED, 0x28, 0xDF, 0x95}};
// {A7AD74B3-C0DD-4466-B6BF-34843D6406ED}
inline constexpr Guid IID_IZ4Update90{
    0xA7AD74B3, 0xC0DD, 0x4466, {0xB6, 0xBF, 0x34, 0x84, 0x3D, 0x64, 0x06, 0xED}};
// {7B744231-5CD8-4B9A-926E-A1F86D65F74F}
inline constexpr Guid LIBID_zarn4update{
    0x7B744231, 0x5CD8, 0x4B9A, {0x92, 0x6E, 0xA1, 0xF8, 0x6D, 0x65, 0xF7, 0x4F}};

// The type library as the program file carries it.
platform::TypeLibraryFacts Zarn4UpdateLibrary();

class TZ4Update : public TAutoObject {
 public:
  // The interfaces of the class's own; Request is IZ4Update90's one method.
  static constexpr Guid kImplemented[] = {IID_IZ4Update90};

  using TAutoObject::TAutoObject;
  void Request(std::int32_t Code, std::int32_t iValue, std::string_view sValue) override;
};

// Creates the class's factory (multiple-use, apartment) on the server. Raises EOleSysError or
// EOleError when the type library is missing or does not describe the class.
TComObjectFactory& CreateZ4UpdateFactory(TComServer& server);

}  // namespace zarn
