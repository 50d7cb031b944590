#include "picture_test_files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <stdexcept>

#include <jpeglib.h>
#include <tiffio.h>

namespace framework_test {
namespace {

// Fills in the samples of pixel (x, y), as many as the colour space has components.
using SamplesAt = std::function<void(size_t x, size_t y, std::span<uint8_t> samples)>;

std::string Encode(size_t width, size_t height, J_COLOR_SPACE space, bool adobeMarker,
                   const SamplesAt& samplesAt) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.in_color_space = space;
  cinfo.input_components = space == JCS_CMYK ? 4 : 3;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  cinfo.write_Adobe_marker = adobeMarker;
  jpeg_start_compress(&cinfo, TRUE);
  const size_t components = static_cast<size_t>(cinfo.input_components);
  std::vector<uint8_t> row(width * components);
  while (cinfo.next_scanline < height) {
    for (size_t x = 0; x < width; ++x) {
      samplesAt(x, cinfo.next_scanline, std::span(row).subspan(x * components, components));
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  const std::span<const unsigned char> encoded(buffer, size);
  std::string bytes(encoded.begin(), encoded.end());
  std::free(buffer);
  return bytes;
}

void PutBigEndian16(std::string& bytes, size_t value) {
  bytes += static_cast<char>(value >> 8);
  bytes += static_cast<char>(value & 0xFF);
}

}  // namespace

std::string EncodeJpeg(size_t width, size_t height, const RgbAt& colourAt) {
  return Encode(width, height, JCS_RGB, /*adobeMarker=*/false,
                [&](size_t x, size_t y, std::span<uint8_t> samples) {
                  const Rgb colour = colourAt(x, y);
                  std::copy(colour.begin(), colour.end(), samples.begin());
                });
}

std::string EncodeCmykJpeg(size_t width, size_t height, std::array<uint8_t, 4> stored,
                           bool adobeMarker) {
  return Encode(width, height, JCS_CMYK, adobeMarker,
                [&](size_t, size_t, std::span<uint8_t> samples) {
                  std::copy(stored.begin(), stored.end(), samples.begin());
                });
}

void WriteTiff(const std::filesystem::path& path, size_t width, size_t height,
               const RgbAt& colourAt, uint16_t compression) {
  const std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), "w"), TIFFClose);
  if (!tiff) throw std::runtime_error("cannot write " + path.string());
  TIFFSetField(tiff.get(), TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
  TIFFSetField(tiff.get(), TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
  TIFFSetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff.get(), TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tiff.get(), TIFFTAG_ROWSPERSTRIP, 16);
  std::vector<uint8_t> row(width * 3);
  for (size_t y = 0; y < height; ++y) {
    for (size_t x = 0; x < width; ++x) {
      const Rgb colour = colourAt(x, y);
      std::copy(colour.begin(), colour.end(), std::span(row).subspan(x * 3, 3).begin());
    }
    if (TIFFWriteScanline(tiff.get(), row.data(), static_cast<uint32_t>(y), 0) != 1) {
      throw std::runtime_error("cannot write " + path.string());
    }
  }
}

std::string WithIccChunks(const std::string& jpeg, const std::vector<IccChunk>& chunks) {
  static const std::string kIdentifier("ICC_PROFILE\0", 12);
  std::string markers;
  for (const IccChunk& chunk : chunks) {
    markers += "\xFF\xE2";
    // The length counts itself, the identifier, the two numbers and the data.
    PutBigEndian16(markers, 2 + kIdentifier.size() + 2 + chunk.data.size());
    markers += kIdentifier;
    markers += static_cast<char>(chunk.sequence);
    markers += static_cast<char>(chunk.count);
    markers += chunk.data;
  }
  std::string result = jpeg;
  return result.insert(2, markers);
}

std::string StderrOf(const std::function<void()>& action) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> capture(std::tmpfile(), std::fclose);
  if (!capture) throw std::runtime_error("cannot make a file for stderr");
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  if (saved < 0) throw std::runtime_error("cannot keep stderr");
  if (::dup2(::fileno(capture.get()), STDERR_FILENO) < 0) {
    ::close(saved);
    throw std::runtime_error("cannot capture stderr");
  }
  action();
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);

  std::rewind(capture.get());
  std::string text;
  std::array<char, 4096> block{};
  while (const size_t count = std::fread(block.data(), 1, block.size(), capture.get())) {
    text.append(block.data(), count);
  }
  return text;
}

}  // namespace framework_test
