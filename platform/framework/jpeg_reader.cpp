#include "jpeg_reader.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <utility>

#include <jpeglib.h>

namespace fw {
namespace {

constexpr int kIccMarker = JPEG_APP0 + 2;
// Chunks are saved whole: no marker is longer than this.
constexpr unsigned int kLongestMarker = 0xFFFF;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
struct LibraryFree {
  void operator()(JOCTET* bytes) const { std::free(bytes); }
};

[[noreturn]] void JumpBack(j_common_ptr cinfo);
// Damage shows in the jump back or in the warning count; the user gets no library text.
void DropMessage(j_common_ptr) {}

// One pass over a file: libjpeg's state and everything the pass produced. It lives outside
// the frame libjpeg jumps back to on an error, so its destructor frees all of it however
// the pass ended.
struct Decoding {
  Decoding(std::FILE* opened, bool withIccProfile) : file(opened), withProfile(withIccProfile) {
    cinfo.err = jpeg_std_error(&errors);
    errors.error_exit = JumpBack;
    errors.output_message = DropMessage;
    cinfo.client_data = this;
  }
  ~Decoding() { jpeg_destroy_decompress(&cinfo); }
  Decoding(const Decoding&) = delete;
  Decoding& operator=(const Decoding&) = delete;

  std::unique_ptr<std::FILE, FileCloser> file;
  const bool withProfile;
  jpeg_error_mgr errors{};
  jpeg_decompress_struct cinfo{};
  std::jmp_buf escape{};
  std::unique_ptr<JOCTET, LibraryFree> profile;
  unsigned int profileLength = 0;
  // Warnings about a damaged chunk set: they cost the profile, not the image.
  long profileWarnings = 0;
  Ref<Picture> picture;
};

void JumpBack(j_common_ptr cinfo) {
  std::longjmp(static_cast<Decoding*>(cinfo->client_data)->escape, 1);
}

void ReadProfile(Decoding& decoding) {
  const long warningsBefore = decoding.errors.num_warnings;
  JOCTET* bytes = nullptr;
  unsigned int length = 0;
  if (jpeg_read_icc_profile(&decoding.cinfo, &bytes, &length)) {
    decoding.profile.reset(bytes);
    decoding.profileLength = length;
  }
  decoding.profileWarnings = decoding.errors.num_warnings - warningsBefore;
}

// libjpeg hands CMYK over as stored. Adobe's marker, which Photoshop and libjpeg itself write
// into every CMYK file, means the inks are stored inverted (255 for no ink); without it 0 is
// no ink.
void CmykToRgba(std::span<uint8_t> row, bool inverted) {
  for (size_t offset = 0; offset + Picture::kBytesPerPixel <= row.size();
       offset += Picture::kBytesPerPixel) {
    const std::span<uint8_t> pixel = row.subspan(offset, Picture::kBytesPerPixel);
    const auto light = [&](size_t ink) -> unsigned {
      return inverted ? pixel[ink] : 255u - pixel[ink];
    };
    const unsigned black = light(3);
    for (size_t channel = 0; channel < 3; ++channel) {
      pixel[channel] = static_cast<uint8_t>(light(channel) * black / 255);
    }
    pixel[3] = 255;
  }
}

// Every libjpeg call that can fail runs in this frame or below it. The frame holds nothing
// with a destructor, so libjpeg's jump back to it on an error skips no clean-up.
bool Decode(Decoding& decoding) {
  if (setjmp(decoding.escape) != 0) return false;
  jpeg_decompress_struct& cinfo = decoding.cinfo;
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, decoding.file.get());
  if (decoding.withProfile) jpeg_save_markers(&cinfo, kIccMarker, kLongestMarker);
  jpeg_read_header(&cinfo, TRUE);
  if (decoding.withProfile) ReadProfile(decoding);

  decoding.picture = Picture::Create(cinfo.image_width, cinfo.image_height);
  if (!decoding.picture) return false;
  // libjpeg-turbo turns grey, RGB and YCbCr into RGBA itself, but has no conversion from CMYK.
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  jpeg_start_decompress(&cinfo);
  // libjpeg writes whole rows through a bare pointer: they must be the picture's rows exactly.
  if (cinfo.output_width != decoding.picture->Width() ||
      static_cast<size_t>(cinfo.output_components) != Picture::kBytesPerPixel) {
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    const std::span<uint8_t> row = decoding.picture->Row(cinfo.output_scanline);
    JSAMPROW rows[] = {row.data()};
    jpeg_read_scanlines(&cinfo, rows, 1);
    if (cmyk) CmykToRgba(row, cinfo.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

}  // namespace

JpegFileContents ReadJpegFile(const std::filesystem::path& path, bool withIccProfile) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {};
  Decoding decoding(file, withIccProfile);
  // Any other warning is libjpeg patching over damage (a file cut short, corrupt data): the
  // file is not what its writer made, so nothing read from it is trusted.
  if (!Decode(decoding) || decoding.errors.num_warnings > decoding.profileWarnings) return {};

  JpegFileContents contents;
  const std::span<const JOCTET> profile(decoding.profile.get(), decoding.profileLength);
  contents.iccProfile.assign(profile.begin(), profile.end());
  contents.picture = std::move(decoding.picture);
  return contents;
}

}  // namespace fw
