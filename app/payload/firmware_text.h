// The firmware text of the update (Intel HEX) as the updater's loader reads it: lines
// separated by CR LF, each holding one record after any leading white space, ":" and then
// count, address, type, data and checksum as hexadecimal digits cut by position. The record
// ends with its checksum: the line's CR LF must follow it at once. Only data (00), extended
// linear address (04) and end-of-file (01) records are taken, every checksum is tested, and
// the text counts only when an end-of-file record is reached. The updater loads its update by
// these rules, and the packing tool checks a logo by them, so the two never disagree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace FirmwareText {

enum RecordType : int32_t { kData = 0, kEndOfFile = 1, kExtendedLinearAddress = 4 };

// One record's fields. The length of a line is not tested: a field that runs past its end is
// shorter or empty, and an empty field reads as 0.
struct Record {
  int32_t byteCount = 0;
  int32_t address = 0;
  int32_t recordType = 0;
  std::string_view data;  // stays text
  int32_t checksum = 0;

  // Data byte j (counted from 0), read from its two digits.
  int32_t DataByte(int32_t j) const;
};

enum class Verdict {
  Loaded,             // an end-of-file record was reached and every record before it passed
  NotARecord,         // a line that does not start with ":" (an empty line too)
  ChecksumError,      // a record whose checksum field differs from the computed one
  UnknownRecordType,  // a record of a type other than 00, 01 and 04
  TextAfterRecord,    // text between a record's checksum and the line's end
  NoEndOfFile,        // the lines ran out before an end-of-file record
};

struct Outcome {
  Verdict verdict = Verdict::NoEndOfFile;
  size_t lines = 0;  // the lines looked at: on a refusal, the last one is the refused line
  Record record;     // the last record read
  int64_t computedChecksum = 0;
  std::string_view textAfterRecord;  // of the refused line, for TextAfterRecord
};

// What the reading does with the records that pass, and how it lets other work run in
// between: the updater stores data records into the device's memory images and yields to its
// framework; a plain check does neither.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // fullAddress: the upper address of the last extended linear address record (0 before
  // one) times 65536 plus the record's address, wrapping in 32 bits.
  virtual void Data(const Record& /*record*/, int32_t /*fullAddress*/) {}
  // Called once per checksum byte summed and once per line gone on from.
  virtual void Yield() {}
};

// Reads the records in order until the text is loaded or refused.
Outcome Read(std::string_view text, RecordSink& sink);

// The message the updater shows for a refusal; empty for a loaded text and for a text that
// ends without an end-of-file record, which the loader refuses without a word.
std::string RefusalMessage(const Outcome& outcome);

}  // namespace FirmwareText
