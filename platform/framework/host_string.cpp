#include "host_string.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "text_encoding.h"

namespace fw {
namespace {

size_t g_liveStrings = 0;

}  // namespace

REALstring NewHostString(std::string_view bytes, uint32_t encoding) {
  // One allocation: the record, then a length byte, the bytes and a terminating NUL.
  void* memory = std::malloc(sizeof(HostStringRecord) + bytes.size() + 2);
  if (!memory) return nullptr;
  auto* record = new (memory) HostStringRecord{};
  record->refCount = 1;
  record->text = reinterpret_cast<unsigned char*>(record + 1);
  record->text[0] = static_cast<unsigned char>(bytes.size() > 255 ? 255 : bytes.size());
  if (!bytes.empty()) std::memcpy(record->text + 1, bytes.data(), bytes.size());
  record->text[bytes.size() + 1] = 0;
  record->encoding = encoding;
  record->length = bytes.size();
  ++g_liveStrings;
  return record;
}

void RetainHostString(REALstring s) {
  if (s) ++s->refCount;
}

void ReleaseHostString(REALstring s) {
  if (!s || --s->refCount > 0) return;
  --g_liveStrings;
  s->~HostStringRecord();
  std::free(s);
}

std::string_view HostStringBytes(REALstring s) {
  if (!s) return {};
  return {reinterpret_cast<const char*>(s->text + 1), s->length};
}

uint32_t HostStringEncoding(REALstring s) { return s ? static_cast<uint32_t>(s->encoding) : 0; }

void SetHostStringEncoding(REALstring s, uint32_t encoding) {
  if (s) s->encoding = encoding;
}

REALstring ConvertHostString(REALstring s, uint32_t encoding) {
  if (!s) return nullptr;
  auto text = ConvertText(HostStringBytes(s), static_cast<uint32_t>(s->encoding), encoding);
  if (!text) return nullptr;
  return NewHostString(*text, encoding);
}

size_t LiveHostStrings() { return g_liveStrings; }

REALstring HostStringFrom(std::string_view bytes) {
  return bytes.empty() ? nullptr : NewHostString(bytes, kEncodingUnknown);
}

std::string AdoptHostString(REALstring s) {
  std::string bytes(HostStringBytes(s));
  ReleaseHostString(s);
  return bytes;
}

}  // namespace fw
