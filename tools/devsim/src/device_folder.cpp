#include "device_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

namespace devsim {

namespace {

constexpr std::string_view kPidKey = "Pid=";
// Far more than a props file holds; the Pid line comes last but well within it.
constexpr std::size_t kLargestProps = 4096;

Error folderError(const std::filesystem::path& dir, const std::string& why) {
  return Error{ErrorCode::FileSystem, "refusing the device folder " + dir.string() + ": " + why};
}

// A props file's text. Like a host, it never blocks and never follows a link: whatever
// else sits under the name is no props file.
std::optional<std::string> readProps(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat status {};
  std::array<char, kLargestProps> buffer{};
  ssize_t length = -1;
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) length = ::read(fd, buffer.data(), buffer.size());
  ::close(fd);
  if (length < 0) return std::nullopt;
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::optional<pid_t> pidIn(std::string_view props) {
  while (!props.empty()) {
    const std::size_t lineEnd = std::min(props.find('\n'), props.size());
    const std::string_view line = props.substr(0, lineEnd);
    props.remove_prefix(std::min(lineEnd + 1, props.size()));
    if (!line.starts_with(kPidKey)) continue;
    const std::string_view digits = line.substr(kPidKey.size());
    pid_t pid = 0;
    const char* last = digits.data() + digits.size();
    const auto [stop, failure] = std::from_chars(digits.data(), last, pid);
    if (failure != std::errc() || stop != last || pid <= 0) return std::nullopt;
    return pid;
  }
  return std::nullopt;
}

}  // namespace

std::optional<Error> prepareDeviceFolder(const std::filesystem::path& dir) {
  std::error_code failure;
  if (std::filesystem::create_directories(dir, failure)) {
    // A device folder is private to its user, like the rest of the runtime directory.
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, failure);
  }
  if (failure) {
    return Error{ErrorCode::FileSystem, "cannot create the device folder " + dir.string() + ": " + failure.message()};
  }
  struct stat status {};
  if (::lstat(dir.c_str(), &status) != 0) return folderError(dir, std::strerror(errno));
  if (!S_ISDIR(status.st_mode)) return folderError(dir, "it is not a folder (a link or another kind of file)");
  if (status.st_uid != ::getuid()) return folderError(dir, "it belongs to another user");
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) return folderError(dir, "other users may write to it");
  return std::nullopt;
}

bool publisherIsAlive(const std::filesystem::path& propsPath) {
  const auto props = readProps(propsPath);
  const auto pid = props ? pidIn(*props) : std::nullopt;
  // Only "no such process" means gone: a process we may not signal still runs, and so
  // does one we cannot ask about, as far as anyone can tell.
  return pid && (::kill(*pid, 0) == 0 || errno != ESRCH);
}

}  // namespace devsim
