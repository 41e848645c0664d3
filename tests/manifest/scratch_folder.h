// A folder of its own for one test, removed with everything in it when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "common/date_time.h"

namespace zarn::testing_support {

class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // A random part keeps runs of the same test (other build folders, other checkouts) apart.
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("zarn-manifest-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
             std::to_string(random()) + std::to_string(random()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string PathOf(std::string_view name) const { return (path_ / name).string(); }

  // Writes the bytes as they are (no line-end translation) and returns the file's path.
  std::string Write(std::string_view name, std::string_view bytes) const {
    const std::string path = PathOf(name);
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // Gives the file a last-write time stated in local time, through the C library's own idea of
  // the local zone (the one the platform's file times are converted with).
  static void SetLocalWriteTime(const std::string& path, const CivilDateTime& local) {
    std::tm parts{};
    parts.tm_year = local.year - 1900;
    parts.tm_mon = local.month - 1;
    parts.tm_mday = local.day;
    parts.tm_hour = local.hour;
    parts.tm_min = local.minute;
    parts.tm_sec = local.second;
    parts.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&parts));
    std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(when));
  }

 private:
  std::filesystem::path path_;
};

}  // namespace zarn::testing_support
