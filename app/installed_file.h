// The two file routines of installation: replacing an installed file with the extracted copy, and
// carrying the extracted file's times over to it.
#pragma once

#include <cstdint>
#include <string>

namespace zarn {

struct ReplaceResult {
  bool replaced = false;
  std::uint32_t error = 0;     // the Windows error number of the last attempt; only on failure
  bool times_carried = false;  // the carry-over's result; only on success
};

// Copies source over target, up to three attempts in a row with no pause between them; then, on
// success, carries the file times over. The target is never left half written (see
// platform::ReplaceFileWithCopy).
ReplaceResult ReplaceInstalledFile(const std::string& source, const std::string& target);

// A target with a readable version resource keeps its times (true). Otherwise the source's
// creation, last-write and last-access times go to the target, to the millisecond; then, when the
// creation time the target was given is later than its last-write time (or its times cannot be
// read), its last-write and last-access times become that creation time. True when every setting
// succeeded. Regular files only: a folder, device, FIFO or link is refused (false).
//
// Not every file system keeps a creation time: POSIX has at most a birth time it cannot set, and
// Wine reports the last-write time. So the source's creation time is taken as the later of its
// creation and its last change (for an extracted file: the extraction), and the rule compares the
// value given rather than one read back. An unversioned file with an old stored date so ends with
// its last-write time at the extraction time on every system.
bool CarryFileTimesOver(const std::string& source, const std::string& target);

}  // namespace zarn
