// A deleter for std::unique_ptr that hands the object to a C library's own free function, so that
// objects of libraries such as OpenSSL are owned like any other.
#pragma once

namespace zarn {

template <auto Free>
struct CDeleter {
  template <typename T>
  void operator()(T* object) const {
    Free(object);
  }
};

}  // namespace zarn
