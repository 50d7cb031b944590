// The host's string objects as plug-ins see them (HostStringRecord), and the program's side
// of them. A nil string is the empty string. Every string that is created is counted until
// its last reference is released, so tests can see that nothing leaks across the boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "plugin_abi.h"

namespace fw {

// A new string with one reference, holding a copy of bytes, tagged with encoding.
REALstring NewHostString(std::string_view bytes, uint32_t encoding);
void RetainHostString(REALstring s);
void ReleaseHostString(REALstring s);  // nil is fine
std::string_view HostStringBytes(REALstring s);  // empty for nil
uint32_t HostStringEncoding(REALstring s);
void SetHostStringEncoding(REALstring s, uint32_t encoding);
// A new string holding s's text in another encoding; nil when s is nil or the target
// encoding cannot be produced.
REALstring ConvertHostString(REALstring s, uint32_t encoding);
size_t LiveHostStrings();

// The program's String is a byte string. An empty one crosses to plug-ins as nil.
REALstring HostStringFrom(std::string_view bytes);
// Takes over one reference of s: the bytes, then s released.
std::string AdoptHostString(REALstring s);

// Holds one reference for the span of a call.
class ScopedHostString {
 public:
  explicit ScopedHostString(std::string_view bytes) : string_(HostStringFrom(bytes)) {}
  ~ScopedHostString() { ReleaseHostString(string_); }
  ScopedHostString(const ScopedHostString&) = delete;
  ScopedHostString& operator=(const ScopedHostString&) = delete;
  REALstring get() const { return string_; }

 private:
  REALstring string_;
};

}  // namespace fw
