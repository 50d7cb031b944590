// The firmware text into the region images, byte for byte: what the loader takes, where each
// byte lands, and what it says when it refuses.
#include <gtest/gtest.h>

#include <map>

#include "files.h"
#include "firmware.h"
#include "hex_test_support.h"
#include "hid.h"
#include "logopack/intel_hex_reader.h"
#include "logopack/intel_hex_writer.h"
#include "run_process.h"
#include "temp_dir.h"
#include "update_run.h"

namespace app_test {
namespace {

using logopack::test::kEndOfFile;
using logopack::test::Record;

const std::string kLineEnd = "\r\n";

// Image bytes that differ from a fresh image, by region and offset.
using Writes = std::map<size_t, std::map<size_t, uint8_t>>;

class HexLoader : public StepTest {
 protected:
  bool Load(const std::string& text) {
    messages.clear();
    HID::datafile = text;
    return Window().ReadFile();
  }

  // Every region's whole image, spare bytes included.
  std::vector<std::vector<uint8_t>> Images() const {
    std::vector<std::vector<uint8_t>> images;
    for (const fw::Ref<MemoryRegion>& region : HID::MemoryRegions) {
      images.emplace_back(region->data->Bytes().begin(), region->data->Bytes().end());
    }
    return images;
  }

  // The images a fresh load gives, with these bytes changed: 255 for the region's own
  // bytes, 0 for the 10 spare bytes after them.
  std::vector<std::vector<uint8_t>> Expected(const Writes& writes) const {
    std::vector<std::vector<uint8_t>> images;
    for (const fw::Ref<MemoryRegion>& region : HID::MemoryRegions) {
      std::vector<uint8_t> image(size_t(region->Size) * size_t(HID::bytesPerAddress), 0xFF);
      image.resize(image.size() + 10, 0);
      if (const auto found = writes.find(images.size()); found != writes.end()) {
        for (const auto& [offset, value] : found->second) image.at(offset) = value;
      }
      images.push_back(std::move(image));
    }
    return images;
  }
};

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + kLineEnd;
  return text;
}

struct LoadCase {
  std::string name;
  std::vector<Region> regions;
  int32_t bytesPerAddress;
  std::string text;
  bool loaded;
  std::vector<std::string> messages;
  Writes writes;
};

TEST_F(HexLoader, EveryByteLandsWhereItsAddressSaysOrTheLoadSaysWhyNot) {
  const std::vector<LoadCase> cases = {
      {"a data record's checksum", {{0, 0, 16}}, 1, Lines({":0100000000FE", kEndOfFile}), false,
       {"Checksum Error: 255 <> 254"}, {}},
      {"the end-of-file record's checksum", {{0, 0, 16}}, 1, Lines({":00000001FE"}), false,
       {"Checksum Error: 255 <> 254"}, {}},
      {"an extended linear address", {{0, 65536, 32}}, 1,
       Lines({":020000040001F9", ":0400100011223344" "42", kEndOfFile}), true, {},
       {{0, {{16, 0x11}, {17, 0x22}, {18, 0x33}, {19, 0x44}}}}},
      // One address past the region's end still goes into the image's spare bytes; a
      // record is placed by its first byte alone.
      {"records at and around a region's end",
       {{0, 4096, 16}},
       1,
       Lines({Record(4111, 0, {1, 2, 3, 4}), Record(4112, 0, {5}), Record(4095, 0, {6, 7}), kEndOfFile}),
       true,
       {"Warning: p=17 over limit=17"},
       {{0, {{15, 1}, {16, 2}}}}},
      {"two bytes per address",
       {{0, 2048, 4}},
       2,
       Lines({Record(4096, 0, {1, 2, 3, 4, 5, 6, 7, 8}), Record(4103, 0, {9, 10, 11, 12}), Record(4104, 0, {13}),
              Record(4095, 0, {14, 15}), kEndOfFile}),
       true,
       {"Warning: p=10 over limit=10"},
       {{0, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 9}, {8, 10}, {9, 11}}}}},
      {"anything after the end of file", {{0, 0, 16}}, 1,
       Lines({Record(0, 0, {0xAA}), kEndOfFile, ":zz not a record", ""}), true, {}, {{0, {{0, 0xAA}}}}},
      {"a last line end without end of file", {{0, 0, 16}}, 1, Lines({Record(0, 0, {0xAA})}), false,
       {"Invalid file format."}, {{0, {{0, 0xAA}}}}},
      {"neither a last line end nor an end of file", {{0, 0, 16}}, 1, Record(0, 0, {0xAA}), false, {},
       {{0, {{0, 0xAA}}}}},
      {"an empty line", {{0, 0, 16}}, 1, Lines({Record(0, 0, {0xAA}), "", kEndOfFile}), false,
       {"Invalid file format."}, {{0, {{0, 0xAA}}}}},
      {"a blank line", {{0, 0, 16}}, 1, Lines({" \t ", kEndOfFile}), false, {"Invalid file format."}, {}},
      {"white space before the start code", {{0, 0, 16}}, 1,
       Lines({"  " + Record(0, 0, {0xAA}), "\t\n" + kEndOfFile}), true, {}, {{0, {{0, 0xAA}}}}},
      // A record ends with its checksum, where its count says; whatever follows on the line
      // would be read past, a record hidden behind a line feed with it.
      {"a record line ending in a line feed alone", {{0, 0, 16}}, 1,
       Lines({Record(0, 0, {0xAA}), Record(1, 0, {0xBB}) + "\n" + Record(2, 0, {0xCC}), kEndOfFile}), false,
       {"Invalid file format."}, {{0, {{0, 0xAA}}}}},
      {"a line feed before the line end", {{0, 0, 16}}, 1, Lines({Record(0, 0, {0xAA}) + "\n", kEndOfFile}),
       false, {"Invalid file format."}, {}},
      {"text after the checksum", {{0, 0, 16}}, 1, Lines({Record(0, 0, {0xAA}) + "junk", kEndOfFile}), false,
       {"Invalid file format."}, {}},
      {"a byte count short of the data", {{0, 0, 16}}, 1, Lines({":0100000000FF00", kEndOfFile}), false,
       {"Invalid file format."}, {}},
      {"a space after the end of file's checksum", {{0, 0, 16}}, 1, Lines({kEndOfFile + " "}), false,
       {"Invalid file format."}, {}},
      {"line feeds alone", {{0, 0, 16}}, 1, Record(0, 0, {0xAA}) + "\n" + kEndOfFile + "\n", false,
       {"Invalid file format."}, {}},
      {"carriage returns alone", {{0, 0, 16}}, 1, Record(0, 0, {0xAA}) + "\r" + kEndOfFile + "\r", false,
       {"Invalid file format."}, {}},
      {"a start code alone", {{0, 0, 16}}, 1, Lines({":", kEndOfFile}), true, {}, {}},
      {"a start linear address", {{0, 0, 16}}, 1, Lines({Record(0, 5, {0, 0, 1, 0}), kEndOfFile}), false,
       {"Invalid file format.\n\nrecordType=5"}, {}},
      {"an extended segment address", {{0, 0, 16}}, 1, Lines({Record(0, 2, {0x10, 0}), kEndOfFile}), false,
       {"Invalid file format.\n\nrecordType=2"}, {}},
      {"a start segment address", {{0, 0, 16}}, 1, Lines({Record(0, 3, {0, 0, 1, 0}), kEndOfFile}), false,
       {"Invalid file format.\n\nrecordType=3"}, {}},
      {"no regions", {}, 1, Lines({Record(0, 0, {1, 2}), kEndOfFile}), true, {}, {}},
      {"upper address 0 until an extended linear address",
       {{0, 0x800, 16}, {1, 0x10800, 16}},
       1,
       Lines({Record(0x800, 0, {1}), Record(0, 4, {0, 1}), Record(0x801, 0, {2}), Record(0, 4, {0, 0}),
              Record(0x802, 0, {3}), kEndOfFile}),
       true,
       {},
       {{0, {{0, 1}, {2, 3}}}, {1, {{1, 2}}}}},
      {"overlapping regions of any type each take the record", {{3, 0x800, 16}, {0, 0x808, 16}}, 1,
       Lines({Record(0x808, 0, {7}), kEndOfFile}), true, {}, {{0, {{8, 7}}}, {1, {{0, 7}}}}},
      {"above 0x80000000", {{0, 0x80000000, 16}}, 1,
       Lines({Record(0, 4, {0x80, 0x00}), Record(4, 0, {1, 2}), kEndOfFile}), true, {}, {{0, {{4, 1}, {5, 2}}}}},
      {"above 0x80000000 at two bytes per address", {{0, 0xC0000000, 8}}, 2,
       Lines({Record(0, 4, {0x80, 0x00}), Record(2, 0, {3, 4}), kEndOfFile}), true, {}, {{0, {{2, 3}, {3, 4}}}}},
      {"at the top of the address range", {{0, 0xFFFFFFF0, 16}}, 1,
       Lines({Record(0, 4, {0xFF, 0xFF}), Record(0xFFF0, 0, {1}), Record(0xFFFF, 0, {2, 3, 4}), kEndOfFile}), true,
       {"Warning: p=17 over limit=17"}, {{0, {{0, 1}, {15, 2}, {16, 3}}}}},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.name);
    Regions(c.regions, c.bytesPerAddress);
    EXPECT_EQ(Load(c.text), c.loaded);
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(Images(), Expected(c.writes));
    EXPECT_EQ(HID::datafile, c.text) << "the text itself is not changed";
  }
}

// Intel HEX as a toolchain writes it, packed by the packing tool into the form the update
// carries, fills the image with exactly the bytes objcopy reads from the same file.
TEST_F(HexLoader, ToolchainFirmwareLoadsAsObjcopyReadsIt) {
  const auto objcopy = logopack::test::FindProgram("objcopy");
  ASSERT_TRUE(objcopy) << "objcopy is not on PATH (package binutils)";
  testsupport::TempDir dir{"hexload"};
  auto run = [](const std::vector<std::string>& argv) {
    const testsupport::ProcessResult result = testsupport::RunProcess(argv);
    ASSERT_EQ(result.exitCode, 0) << argv[0] << ": " << result.err;
  };
  struct Placement {
    uint32_t address;  // of the firmware's first byte
    Region region;
    int32_t bytesPerAddress;
  };
  // Below 1 MiB objcopy writes segment addresses (02); above, linear ones (04), here with
  // an upper address of 0x8000 and more.
  for (const Placement& at : {Placement{0x805, {0, 0x800, 0x1000}, 1}, Placement{0x80000010, {0, 0x80000000, 0x400}, 1},
                              Placement{0x80000020, {0, 0xC0000000, 0x200}, 2}}) {
    SCOPED_TRACE(at.address);
    const std::vector<uint8_t> code = logopack::test::SampleBytes(700, at.address);
    testsupport::WriteFile(dir.path() / "code.bin", std::string(code.begin(), code.end()));
    run({objcopy->string(), "-I", "binary", "-O", "ihex", "--change-addresses", std::to_string(at.address),
         (dir.path() / "code.bin").string(), (dir.path() / "code.hex").string()});
    run({objcopy->string(), "-I", "ihex", "-O", "binary", (dir.path() / "code.hex").string(),
         (dir.path() / "flat.bin").string()});
    const std::string flat = testsupport::ReadFile(dir.path() / "flat.bin");
    const auto read = logopack::readIntelHex(testsupport::ReadFile(dir.path() / "code.hex"));
    ASSERT_TRUE(read) << read.error().message;

    Regions({at.region}, at.bytesPerAddress);
    EXPECT_TRUE(Load(logopack::writeLoaderHex(read.value().image)));
    EXPECT_TRUE(messages.empty());
    const size_t first = at.address - at.region.address * uint32_t(at.bytesPerAddress);
    std::map<size_t, uint8_t> bytes;
    for (size_t i = 0; i < flat.size(); ++i) bytes[first + i] = static_cast<uint8_t>(flat[i]);
    EXPECT_EQ(flat.size(), code.size());
    EXPECT_EQ(Images(), Expected({{0, bytes}}));
  }
}

}  // namespace
}  // namespace app_test
