#include "logopack/jpeg_codec.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <cstdio>
#include <cstdlib>
#include <csetjmp>
#include <string>
#include <string_view>

#include <jpeglib.h>

namespace logopack {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back
// to the setjmp of the function that made the libjpeg call. Those functions hold nothing
// but plain data and references, so the jump skips no destructor; the objects that own
// libjpeg's state live in their callers, which clean up whichever way the call ended.
// Warnings are kept, not printed: the last one explains a damaged picture.
struct QuietErrors {
  jpeg_error_mgr manager;  // first, so that libjpeg's pointer to it leads back here
  std::jmp_buf jump;
  char lastMessage[JMSG_LENGTH_MAX];
};

void jumpBack(j_common_ptr info) {
  auto* errors = reinterpret_cast<QuietErrors*>(info->err);
  (*info->err->format_message)(info, errors->lastMessage);
  std::longjmp(errors->jump, 1);
}

void keepMessage(j_common_ptr info) {
  auto* errors = reinterpret_cast<QuietErrors*>(info->err);
  (*info->err->format_message)(info, errors->lastMessage);
}

jpeg_error_mgr* quietErrors(QuietErrors& errors) {
  jpeg_error_mgr* manager = jpeg_std_error(&errors.manager);
  manager->error_exit = jumpBack;
  manager->output_message = keepMessage;
  return manager;
}

constexpr std::string_view kNotReadable = "cannot read it as a JPEG";

Error jpegError(ErrorCode code, std::string_view what, const QuietErrors& errors) {
  return Error{code, std::string(what) + ": " + errors.lastMessage};
}

// --- Writing -------------------------------------------------------------------------

// Plain data: see QuietErrors. The JPEG goes into a memory stream, which owns its buffer
// through every error; libjpeg's own memory destination can lose track of its buffer when
// an error interrupts it.
struct Encoder {
  jpeg_compress_struct info;
  QuietErrors errors;
  std::FILE* stream;
};

bool compress(Encoder& encoder, const Picture& picture, std::span<const std::uint8_t> profile) {
  encoder.info.err = quietErrors(encoder.errors);
  if (setjmp(encoder.errors.jump)) return false;
  jpeg_create_compress(&encoder.info);
  jpeg_stdio_dest(&encoder.info, encoder.stream);
  encoder.info.image_width = picture.width;
  encoder.info.image_height = picture.height;
  encoder.info.input_components = 3;
  encoder.info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&encoder.info);
  jpeg_set_quality(&encoder.info, 90, TRUE);
  jpeg_start_compress(&encoder.info, TRUE);
  jpeg_write_icc_profile(&encoder.info, profile.data(), static_cast<unsigned int>(profile.size()));
  const std::size_t stride = std::size_t{picture.width} * 3;
  const std::span<const std::uint8_t> pixels(picture.rgb);
  while (encoder.info.next_scanline < encoder.info.image_height) {
    // libjpeg takes rows through non-const pointers but only reads them.
    JSAMPROW row = const_cast<JSAMPLE*>(pixels.subspan(encoder.info.next_scanline * stride, stride).data());
    jpeg_write_scanlines(&encoder.info, &row, 1);
  }
  jpeg_finish_compress(&encoder.info);
  return true;
}

class OwnedEncoder {
 public:
  OwnedEncoder() { encoder_.stream = open_memstream(&buffer_, &size_); }
  ~OwnedEncoder() {
    jpeg_destroy_compress(&encoder_.info);
    if (encoder_.stream != nullptr) std::fclose(encoder_.stream);
    std::free(buffer_);
  }
  OwnedEncoder(const OwnedEncoder&) = delete;
  OwnedEncoder& operator=(const OwnedEncoder&) = delete;

  Encoder& encoder() { return encoder_; }
  bool hasStream() const { return encoder_.stream != nullptr; }
  // What was written so far; empty when the stream cannot be flushed.
  std::vector<std::uint8_t> written() {
    if (std::fflush(encoder_.stream) != 0) return {};
    const std::span<const char> bytes(buffer_, size_);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  }

 private:
  Encoder encoder_{};
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
};

// --- Reading -------------------------------------------------------------------------

// Plain data: see QuietErrors. `profile` is allocated by libjpeg with malloc.
struct Decoder {
  jpeg_decompress_struct info;
  QuietErrors errors;
  JOCTET* profile;
  unsigned int profileLength;
  bool profileDamaged;  // libjpeg warned while putting the profile's chunks together
};

// Reads up to the picture data, collecting the colour profile on the way when asked, and
// settles the decoded size for RGB output.
bool readHeader(Decoder& decoder, std::span<const std::uint8_t> file, bool wantProfile) {
  decoder.info.err = quietErrors(decoder.errors);
  if (setjmp(decoder.errors.jump)) return false;
  jpeg_create_decompress(&decoder.info);
  jpeg_mem_src(&decoder.info, file.data(), static_cast<unsigned long>(file.size()));
  if (wantProfile) jpeg_save_markers(&decoder.info, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(&decoder.info, TRUE);
  if (wantProfile) {
    const long warningsBefore = decoder.errors.manager.num_warnings;
    jpeg_read_icc_profile(&decoder.info, &decoder.profile, &decoder.profileLength);
    decoder.profileDamaged = decoder.errors.manager.num_warnings > warningsBefore;
  }
  decoder.info.out_color_space = JCS_RGB;
  jpeg_calc_output_dimensions(&decoder.info);
  return true;
}

bool readPixels(Decoder& decoder, std::span<std::uint8_t> rgb) {
  if (setjmp(decoder.errors.jump)) return false;
  jpeg_start_decompress(&decoder.info);
  const std::size_t stride = std::size_t{decoder.info.output_width} * 3;
  while (decoder.info.output_scanline < decoder.info.output_height) {
    JSAMPROW row = rgb.subspan(decoder.info.output_scanline * stride, stride).data();
    jpeg_read_scanlines(&decoder.info, &row, 1);
  }
  jpeg_finish_decompress(&decoder.info);
  return true;
}

class OwnedDecoder {
 public:
  OwnedDecoder() = default;
  ~OwnedDecoder() {
    jpeg_destroy_decompress(&decoder_.info);
    std::free(decoder_.profile);
  }
  OwnedDecoder(const OwnedDecoder&) = delete;
  OwnedDecoder& operator=(const OwnedDecoder&) = delete;

  Decoder& decoder() { return decoder_; }
  std::vector<std::uint8_t> profile() const {
    const std::span<const JOCTET> bytes(decoder_.profile, decoder_.profile == nullptr ? 0 : decoder_.profileLength);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  }

 private:
  Decoder decoder_{};
};

}  // namespace

Result<std::vector<std::uint8_t>> encodeJpeg(const Picture& picture, std::span<const std::uint8_t> profile) {
  if (profile.empty()) return Error{ErrorCode::JpegFailure, "the colour profile to store is empty"};
  if (profile.size() > kMaxProfileBytes) {
    return Error{ErrorCode::PayloadTooLarge, "the payload has " + std::to_string(profile.size()) +
                                                 " bytes; a JPEG colour profile holds at most " +
                                                 std::to_string(kMaxProfileBytes) + " (" +
                                                 std::to_string(kMaxProfileChunks) + " chunks of " +
                                                 std::to_string(kMaxProfileChunkBytes) + ")"};
  }
  if (picture.width == 0 || picture.height == 0 ||
      picture.rgb.size() != std::size_t{picture.width} * picture.height * 3) {
    return Error{ErrorCode::BadPicture, "the picture's size does not match its pixels"};
  }
  OwnedEncoder owned;
  if (!owned.hasStream()) return Error{ErrorCode::JpegFailure, "cannot make a memory stream for the JPEG"};
  if (!compress(owned.encoder(), picture, profile)) {
    return jpegError(ErrorCode::JpegFailure, "cannot write the JPEG", owned.encoder().errors);
  }
  auto written = owned.written();
  if (written.empty()) return Error{ErrorCode::JpegFailure, "cannot collect the written JPEG"};
  return written;
}

Result<Picture> decodeJpeg(std::span<const std::uint8_t> file) {
  OwnedDecoder owned;
  Decoder& decoder = owned.decoder();
  if (!readHeader(decoder, file, false)) return jpegError(ErrorCode::BadPicture, kNotReadable, decoder.errors);
  Picture picture{decoder.info.output_width, decoder.info.output_height, {}};
  if (picture.width > kMaxPictureSide || picture.height > kMaxPictureSide) {
    return Error{ErrorCode::BadPicture, "the picture is " + std::to_string(picture.width) + " x " +
                                            std::to_string(picture.height) + " pixels; a logo may have at most " +
                                            std::to_string(kMaxPictureSide) + " a side"};
  }
  picture.rgb.resize(std::size_t{picture.width} * picture.height * 3);
  if (!readPixels(decoder, picture.rgb)) return jpegError(ErrorCode::BadPicture, kNotReadable, decoder.errors);
  if (decoder.errors.manager.num_warnings > 0) {
    return jpegError(ErrorCode::BadPicture, "the picture's data is damaged", decoder.errors);
  }
  return picture;
}

Result<JpegHeader> readJpegHeader(std::span<const std::uint8_t> file) {
  OwnedDecoder owned;
  Decoder& decoder = owned.decoder();
  if (!readHeader(decoder, file, true)) return jpegError(ErrorCode::BadPicture, kNotReadable, decoder.errors);
  if (decoder.profileDamaged) {
    return jpegError(ErrorCode::BadPicture, "its colour profile is damaged", decoder.errors);
  }
  return JpegHeader{decoder.info.image_width, decoder.info.image_height, owned.profile()};
}

}  // namespace logopack
