#include "tiff_reader.h"

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <tiffio.h>

namespace fw {
namespace {

struct OptionsFree {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
struct TiffClose {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// Non-zero keeps libtiff from passing the message on to its process-wide handlers, which
// print to stderr: a failure shows as a failed call.
int DropMessage(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// The largest single allocation libtiff may make for a file: a strip or tile of the largest
// picture, so a header announcing more cannot make it allocate gigabytes.
constexpr tmsize_t kLargestAllocation = Picture::kMaxPixels * sizeof(uint32_t);

std::unique_ptr<TIFF, TiffClose> OpenSilently(const std::filesystem::path& path) {
  const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), DropMessage, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), DropMessage, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kLargestAllocation);
  // The handle keeps its own copy of the options.
  return std::unique_ptr<TIFF, TiffClose>(TIFFOpenExt(path.c_str(), "r", options.get()));
}

}  // namespace

Ref<Picture> ReadTiffFile(const std::filesystem::path& path) {
  const auto tiff = OpenSilently(path);
  if (!tiff) return nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height)) {
    return nullptr;
  }
  Ref<Picture> picture = Picture::Create(width, height);
  if (!picture) return nullptr;

  // libtiff converts every photometric kind and bit depth it knows into packed ABGR words.
  std::vector<uint32_t> raster(size_t{width} * height);
  if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, raster.data(), ORIENTATION_TOPLEFT,
                                 /*stop_on_error=*/1)) {
    return nullptr;
  }
  const std::span<const uint32_t> words(raster);
  for (size_t y = 0; y < height; ++y) {
    const std::span<const uint32_t> source = words.subspan(y * width, width);
    const std::span<uint8_t> row = picture->Row(y);
    for (size_t x = 0; x < width; ++x) {
      const uint32_t abgr = source[x];
      const std::span<uint8_t> pixel =
          row.subspan(x * Picture::kBytesPerPixel, Picture::kBytesPerPixel);
      pixel[0] = static_cast<uint8_t>(TIFFGetR(abgr));
      pixel[1] = static_cast<uint8_t>(TIFFGetG(abgr));
      pixel[2] = static_cast<uint8_t>(TIFFGetB(abgr));
      pixel[3] = static_cast<uint8_t>(TIFFGetA(abgr));
    }
  }
  return picture;
}

}  // namespace fw
