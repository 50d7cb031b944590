#include "logopack/command_line.h"

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>

#include "logopack/payload.h"

namespace logopack {

namespace {

constexpr std::array kPackRequired = {std::string_view("--hex"), std::string_view("--version"),
                                      std::string_view("--title"), std::string_view("--vid"),
                                      std::string_view("--pid"),   std::string_view("--out")};

using PathField = std::filesystem::path PackRequest::*;
using TextField = std::string PackRequest::*;
using IdField = std::uint16_t PackRequest::*;
using Field = std::variant<PathField, TextField, IdField>;

const std::map<std::string_view, Field>& packOptions() {
  static const std::map<std::string_view, Field> options = {
      {"--hex", &PackRequest::hexFile},     {"--picture", &PackRequest::pictureFile},
      {"--out", &PackRequest::outFile},     {"--first", &PackRequest::first},
      {"--version", &PackRequest::version}, {"--title", &PackRequest::title},
      {"--vid", &PackRequest::vendorId},    {"--pid", &PackRequest::productId},
  };
  return options;
}

std::optional<Error> setPath(std::string_view option, std::string_view value, std::filesystem::path& path) {
  if (value.empty()) return Error{ErrorCode::InvalidValue, std::string(option) + ": needs a file name"};
  path = std::filesystem::path(value);
  return std::nullopt;
}

std::optional<Error> setField(std::string_view option, const Field& field, std::string_view value,
                              PackRequest& request) {
  if (const auto* path = std::get_if<PathField>(&field)) return setPath(option, value, request.**path);
  if (const auto* text = std::get_if<TextField>(&field)) {
    request.**text = value;
    return std::nullopt;
  }
  auto id = parseUsbId(value);
  if (!id) return id.error().within(std::string(option));
  request.*std::get<IdField>(field) = id.value();
  return std::nullopt;
}

// One option with its value: "--name value" or "--name=value".
struct OptionWithValue {
  std::string_view name;
  std::optional<std::string_view> value;
};

OptionWithValue splitInlineValue(std::string_view arg) {
  if (auto equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
    return {arg.substr(0, equals), arg.substr(equals + 1)};
  }
  return {arg, std::nullopt};
}

}  // namespace

Result<Command> parseCommandLine(std::span<const std::string_view> args) {
  PackRequest pack;
  std::optional<std::filesystem::path> listFile;
  std::set<std::string_view> seen;

  for (std::size_t i = 0; i < args.size(); ++i) {
    auto [name, inlineValue] = splitInlineValue(args[i]);
    if (name == "--help") return Command{HelpRequest{}};
    const bool isList = name == "--list";
    auto option = packOptions().find(name);
    if (!isList && option == packOptions().end()) {
      return Error{ErrorCode::UnknownOption, "unknown option \"" + std::string(args[i]) + "\""};
    }
    if (!seen.insert(name).second) {
      return Error{ErrorCode::ConflictingOptions, std::string(name) + " is given more than once"};
    }
    std::string_view value;
    if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return Error{ErrorCode::MissingValue, std::string(name) + " needs a value"};
    }
    if (isList) {
      listFile.emplace();
      if (auto problem = setPath("--list", value, *listFile)) return *problem;
    } else if (auto problem = setField(option->first, option->second, value, pack)) {
      return *problem;
    }
  }

  if (listFile) {
    if (seen.size() > 1) return Error{ErrorCode::ConflictingOptions, "--list takes no other option"};
    return Command{ListRequest{*listFile}};
  }
  if (seen.empty()) return Error{ErrorCode::MissingOption, "nothing to do: give --list or the options to pack"};
  for (std::string_view required : kPackRequired) {
    if (!seen.contains(required)) return Error{ErrorCode::MissingOption, std::string(required) + " is required"};
  }
  if (auto problem = checkTextFields(pack.first, pack.version, pack.title)) return *problem;
  return Command{std::move(pack)};
}

std::string_view usageText() {
  return R"(usage: logopack --hex FIRMWARE.hex --version TEXT --title TEXT --vid ID --pid ID
                [--first TEXT] [--picture PICTURE.jpg] --out logo.jpg
       logopack --list logo.jpg
       logopack --help

Packs an update into the updater's logo image: the firmware (Intel HEX as toolchains write
it), the version and title the updater shows, and the USB vendor and product id of the
device to update go into the JPEG's colour profile. The picture is PICTURE.jpg re-encoded,
or else a plain generated one. --first sets the payload's first field, which the updater
does not read (default empty). IDs take decimal or 0x hex, 0 to 65535. No text may hold "$".

--list shows what a logo image carries, the ids and the firmware as the updater reads them
(CR LF lines, nothing after a record's checksum; record types 00, 01 and 04; checksums; an
end-of-file record), and says why when the updater would refuse the logo.

Exit status: 0 done, 1 an input or output file is wrong (or the updater would refuse the
logo listed), 2 the command line is wrong.
)";
}

}  // namespace logopack
