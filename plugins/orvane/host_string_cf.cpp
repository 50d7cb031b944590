#include "host_string_cf.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <span>

#include "plugin_frame.h"

namespace orvane {

namespace {

// More than any UTF-16 unit needs in UTF-8, so the text always fits with its closing NUL.
constexpr CFIndex kBytesPerUnit = 6;

}  // namespace

REALstring HostStringFromCFString(CFStringRef string) {
  // Registry values are untyped: a property of another kind must not be read as text.
  if (!string || CFGetTypeID(string) != CFStringGetTypeID()) return nullptr;
  const CFIndex units = CFStringGetLength(string);
  if (units <= 0 || units > std::numeric_limits<CFIndex>::max() / kBytesPerUnit) return nullptr;
  const CFIndex capacity = units * kBytesPerUnit;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(capacity)]());
  if (!buffer) return nullptr;
  if (!CFStringGetCString(string, buffer.get(), capacity, kCFStringEncodingUTF8)) return nullptr;
  const std::span<const char> text(buffer.get(), static_cast<size_t>(capacity));
  const auto end = std::find(text.begin(), text.end(), '\0');
  return plugin::BuildHostString(text.data(), static_cast<size_t>(end - text.begin()),
                                 kEncodingUTF8);
}

}  // namespace orvane
