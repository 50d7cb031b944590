#include "logopack/logo.h"

#include <map>
#include <optional>

#include "firmware_text.h"
#include "logopack/hex_text.h"
#include "logopack/jpeg_codec.h"
#include "text_functions.h"
#include "update_payload.h"

namespace logopack {

namespace {

// One line each: a control character of a field (an escape sequence, a line end) is shown,
// not sent to the terminal.
std::string shown(std::string_view field) { return fw::EscapeControlCharacters(field, fw::LineEnds::Escape); }

// The id the updater searches for, by its own reading of the text, and in hex too, as USB
// tools show ids. A text that is not that id's plain decimal ("&h1234", "4660.5", " 4660")
// is shown beside it, as is an id that no USB device can have.
std::string describeId(const std::string& text) {
  const std::int32_t id = UpdatePayload::IdFromText(text);
  const std::string read = std::to_string(id);
  const std::string described =
      id >= 0 && id <= 0xFFFF ? read + " (" + hexNumber(static_cast<std::uint32_t>(id), 4) + ")"
                              : read + ", which no USB id can be (0 to 65535)";
  if (text == read) return described;
  return "\"" + shown(text) + "\", read by the updater as " + described;
}

// The bytes the updater's loader would put where; a later record wins, as in the loader.
class LoadedBytes : public FirmwareText::RecordSink {
 public:
  void Data(const FirmwareText::Record& record, std::int32_t fullAddress) override {
    for (std::int32_t j = 0; j < record.byteCount; ++j) {
      bytes_[static_cast<std::uint32_t>(fullAddress) + static_cast<std::uint32_t>(j)] =
          static_cast<std::uint8_t>(record.DataByte(j));
    }
  }
  std::vector<Segment> segments() const {
    std::vector<Segment> runs;
    for (const auto& [address, byte] : bytes_) {
      if (runs.empty() || runs.back().end() != address) runs.push_back(Segment{address, {}});
      runs.back().bytes.push_back(byte);
    }
    return runs;
  }

 private:
  std::map<std::uint32_t, std::uint8_t> bytes_;
};

// Why the updater's loader refuses the text, in its own words where it has any.
std::string loaderRefusal(const FirmwareText::Outcome& outcome) {
  const std::string where = "line " + std::to_string(outcome.lines) + ": ";
  const std::string says = "the updater says \"Invalid file format.\"";
  switch (outcome.verdict) {
    case FirmwareText::Verdict::NotARecord:
      return where + "no record (it does not start with \":\"): " + says;
    case FirmwareText::Verdict::TextAfterRecord:
      return where + "text after the record's checksum, \"" + shown(outcome.textAfterRecord.substr(0, 16)) +
             (outcome.textAfterRecord.size() > 16 ? "\"..." : "\"") +
             " (a record must end its line, and only CR LF ends a line): " + says;
    case FirmwareText::Verdict::ChecksumError:
      return where + "wrong checksum: the updater says \"" + FirmwareText::RefusalMessage(outcome) + "\"";
    case FirmwareText::Verdict::UnknownRecordType:
      return where + "record type " + hexNumber(static_cast<std::uint32_t>(outcome.record.recordType), 2) +
             ", which the updater does not take (only 00, 01 and 04): " + says + " (recordType=" +
             std::to_string(outcome.record.recordType) + ")";
    case FirmwareText::Verdict::NoEndOfFile:
      return "no end-of-file record (the updater's records are lines ending in CR LF): " + says;
    case FirmwareText::Verdict::Loaded:
      break;
  }
  return {};
}

struct FirmwareDescription {
  std::string text;
  std::optional<std::string> refusal;
};

FirmwareDescription describeFirmware(const std::string& hexText) {
  LoadedBytes loaded;
  const FirmwareText::Outcome outcome = FirmwareText::Read(hexText, loaded);
  if (outcome.verdict != FirmwareText::Verdict::Loaded) {
    const std::string refusal = loaderRefusal(outcome);
    return {"refused: " + refusal + "\n", refusal};
  }
  const FirmwareImage image{loaded.segments()};
  std::string text = std::to_string(outcome.lines) + " records, " + std::to_string(image.byteCount()) + " bytes\n";
  for (const Segment& segment : image.segments) {
    text += "  " + hexNumber(segment.address, 8) + "-" + hexNumber(segment.end() - 1, 8) + " (" +
            std::to_string(segment.bytes.size()) + " bytes)\n";
  }
  return {text, std::nullopt};
}

}  // namespace

Result<std::vector<std::uint8_t>> makeLogo(const UpdateFields& update, const Picture& picture) {
  auto text = buildPayloadText(update);
  if (!text) return text.error();
  return encodeJpeg(picture, scramblePayload(text.value()));
}

Result<LogoContents> readLogo(std::span<const std::uint8_t> jpegFile) {
  auto header = readJpegHeader(jpegFile);
  if (!header) return header.error();
  if (header.value().profile.empty()) {
    return Error{ErrorCode::NoProfile, "the JPEG has no colour profile, so it carries no update"};
  }
  return LogoContents{header.value().width, header.value().height, header.value().profile.size(),
                      splitPayloadText(unscramblePayload(header.value().profile))};
}

LogoListing listLogo(const LogoContents& logo) {
  const PayloadFields& fields = logo.fields;
  FirmwareDescription firmware = describeFirmware(fields.firmwareHex);
  // The updater's own test before it looks for the device.
  if (fields.version.empty() || fields.firmwareHex.empty()) {
    firmware.refusal = "the version or the firmware is empty: the updater says \"Application is not complete.\"";
  }
  return {"version:     " + shown(fields.version) + "\n" +
              "title:       " + shown(fields.title) + "\n" +
              "vendor id:   " + describeId(fields.vendorId) + "\n" +
              "product id:  " + describeId(fields.productId) + "\n" +
              "first field: " + (fields.first.empty() ? "(empty)" : shown(fields.first)) + "\n" +
              "firmware:    " + firmware.text +
              "picture:     " + std::to_string(logo.width) + " x " + std::to_string(logo.height) + ", payload " +
              std::to_string(logo.profileBytes) + " bytes\n",
          firmware.refusal};
}

}  // namespace logopack
