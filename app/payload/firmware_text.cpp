#include "firmware_text.h"

#include "text_functions.h"

namespace FirmwareText {

namespace {

constexpr std::string_view kRecordSeparator = "\r\n";  // the Windows line end the text uses
constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

// The bytes of text from position start (counted from 1), at most length of them; what lies
// past the end is left out.
std::string_view MidB(std::string_view text, size_t start, size_t length = std::string_view::npos) {
  if (start < 1 || start > text.size()) return {};
  return text.substr(start - 1, length);
}

// White space before the start code is let pass; at the line's end it is not (see TextAfter).
std::string_view TrimStart(std::string_view text) {
  const size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first);
}

// The record's fields, cut by position from the text after the start code.
Record Cut(std::string_view rest) {
  Record record;
  record.byteCount = fw::IntegerFromHex(MidB(rest, 1, 2));
  record.address = fw::IntegerFromHex(MidB(rest, 3, 4));
  record.recordType = fw::IntegerFromHex(MidB(rest, 7, 2));
  const size_t dataDigits = 2 * static_cast<size_t>(record.byteCount);
  record.data = MidB(rest, 9, dataDigits);
  record.checksum = fw::IntegerFromHex(MidB(rest, 9 + dataDigits, 2));
  return record;
}

// What follows the checksum field, whose place the record's own byte count gives. Nothing
// may: behind a line feed there, the next record would share the line and be passed over
// without a word.
std::string_view TextAfter(std::string_view rest, int32_t byteCount) {
  return MidB(rest, 11 + 2 * static_cast<size_t>(byteCount));
}

// The low byte of the two's complement of the sum of the record's bytes before the checksum.
int64_t ComputedChecksum(std::string_view rest, int32_t byteCount, RecordSink& sink) {
  int64_t sum = 0;
  for (int64_t i = 1; i <= int64_t{byteCount} + 4; ++i) {
    sum += fw::IntegerFromHex(MidB(rest, static_cast<size_t>(2 * i - 1), 2));
    sink.Yield();
  }
  return (~sum + 1) & 0xFF;
}

}  // namespace

int32_t Record::DataByte(int32_t j) const { return fw::IntegerFromHex(MidB(data, static_cast<size_t>(2 * j + 1), 2)); }

Outcome Read(std::string_view text, RecordSink& sink) {
  Outcome outcome;
  int32_t upperAddress = 0;
  size_t lineStart = 0;
  while (lineStart <= text.size()) {
    const size_t separator = text.find(kRecordSeparator, lineStart);
    const size_t lineEnd = separator == std::string_view::npos ? text.size() : separator;
    const std::string_view line = TrimStart(text.substr(lineStart, lineEnd - lineStart));
    lineStart = separator == std::string_view::npos ? text.size() + 1 : separator + kRecordSeparator.size();
    ++outcome.lines;

    if (!line.starts_with(':')) {
      outcome.verdict = Verdict::NotARecord;
      return outcome;
    }
    const std::string_view rest = line.substr(1);
    outcome.record = Cut(rest);
    outcome.computedChecksum = ComputedChecksum(rest, outcome.record.byteCount, sink);
    const Record& record = outcome.record;
    if (outcome.computedChecksum != record.checksum) {
      outcome.verdict = Verdict::ChecksumError;
      return outcome;
    }
    outcome.textAfterRecord = TextAfter(rest, record.byteCount);
    if (!outcome.textAfterRecord.empty()) {
      outcome.verdict = Verdict::TextAfterRecord;
      return outcome;
    }
    if (record.recordType == kExtendedLinearAddress) {
      upperAddress = fw::IntegerFromHex(record.data);
    } else if (record.recordType == kEndOfFile) {
      outcome.verdict = Verdict::Loaded;
      return outcome;
    } else if (record.recordType == kData) {
      // The 32-bit address space wraps, as the device's does.
      sink.Data(record, static_cast<int32_t>(static_cast<uint32_t>(upperAddress) << 16 |
                                             static_cast<uint32_t>(record.address)));
    } else {
      outcome.verdict = Verdict::UnknownRecordType;
      return outcome;
    }
    sink.Yield();
  }
  outcome.verdict = Verdict::NoEndOfFile;
  return outcome;
}

std::string RefusalMessage(const Outcome& outcome) {
  switch (outcome.verdict) {
    case Verdict::NotARecord:
    case Verdict::TextAfterRecord:
      return "Invalid file format.";
    case Verdict::ChecksumError:
      return "Checksum Error: " + fw::Str(outcome.computedChecksum) + " <> " + fw::Str(outcome.record.checksum);
    case Verdict::UnknownRecordType:
      return "Invalid file format." + fw::EndOfLine + fw::EndOfLine + "recordType=" +
             fw::Str(outcome.record.recordType);
    case Verdict::Loaded:
    case Verdict::NoEndOfFile:
      break;
  }
  return {};
}

}  // namespace FirmwareText
