// One update pass against a real FTP server, started on 127.0.0.1 by tests/net/ftp_interop.py,
// which passes its port in ZARN_FTP_INTEROP_PORT and checks the stored report afterwards. Without
// that variable (a plain run of the test program) the test is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "net/ftp_client.h"
#include "net/streams.h"
#include "tests/support/temp_dir.h"

namespace zarn::test {
namespace {

// The same patterns as the server script's: the big download and the uploaded report.
std::string DownloadBytes() {
  std::string bytes(3 * 1024 * 1024 + 123, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>((i * 131 + (i >> 8)) & 0xFF);
  }
  return bytes;
}

std::string ReportText() {
  std::string text;
  for (int n = 1; n <= 200; ++n) text += "Line " + std::to_string(n) + " of the update report\r\n";
  return text;
}

std::string ReadFile(const std::string& path) {
  TFileStream file(path, TFileStream::Mode::kOpenRead);
  std::string bytes(static_cast<std::size_t>(file.Size()), '\0');
  bytes.resize(file.Read(bytes.data(), bytes.size()));
  return bytes;
}

TEST(FtpInterop, AnonymousUpdatePass) {
  const char* port = std::getenv("ZARN_FTP_INTEROP_PORT");
  if (port == nullptr) GTEST_SKIP() << "run by tests/net/ftp_interop.py against a real server";
  std::vector<std::string> events;
  TFtpClient ftp;
  ftp.Host = "127.0.0.1";
  ftp.Port = std::atoi(port);
  ftp.User = "anonymous";
  ftp.Passive = true;
  ftp.SetTransferType(TFtpTransferType::ftBinary);
  ftp.OnStatus = [&](TNetComponent&, TNetStatus, const std::string& text) {
    events.push_back(text);
  };
  ftp.OnDisconnected = [&](TNetComponent&) { events.push_back("OnDisconnected"); };

  ftp.Connect(true);
  ftp.ChangeDir("zarn4/updates");
  std::vector<std::string> names;
  ftp.List(names, "*.*", false);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"z4up.ini", "zarn4.cab"}));

  const test::TempDir scratch;
  const std::string local = scratch.PathOf("zarn4.cab");
  ftp.Get("zarn4.cab", local, true);
  EXPECT_TRUE(ReadFile(local) == DownloadBytes()) << "downloaded bytes differ";

  ftp.ChangeDirUp();
  ftp.ChangeDirUp();
  ftp.ChangeDir("incoming");
  TMemoryStream report;
  const std::string text = ReportText();
  report.Write(text.data(), text.size());
  report.Seek(0);
  ftp.Put(report, "2612070001000.txt", false);
  ftp.Quit();

  EXPECT_EQ(events, (std::vector<std::string>{"Connecting to 127.0.0.1.", "Connected.",
                                              "Disconnecting from 127.0.0.1.", "Not connected.",
                                              "OnDisconnected"}));
}

// A download cut after N bytes continues where it broke off and ends byte for byte.
TEST(FtpInterop, ACutDownloadResumes) {
  const char* port = std::getenv("ZARN_FTP_INTEROP_PORT");
  if (port == nullptr) GTEST_SKIP() << "run by tests/net/ftp_interop.py against a real server";
  TFtpClient ftp;
  ftp.Host = "127.0.0.1";
  ftp.Port = std::atoi(port);
  ftp.User = "anonymous";
  ftp.Connect(true);
  ftp.ChangeDir("zarn4/updates");
  const std::string bytes = DownloadBytes();
  const test::TempDir scratch;
  const std::string local = scratch.PathOf("zarn4.cab");
  for (const std::size_t cut : {std::size_t{1024 * 1024 + 777}, bytes.size()}) {
    SCOPED_TRACE(cut);
    {
      TFileStream partial(local, TFileStream::Mode::kCreate);
      partial.Write(bytes.data(), cut);
      partial.Close();
    }
    const auto got = ftp.GetContinued("zarn4.cab", local, static_cast<std::int64_t>(bytes.size()));
    EXPECT_TRUE(got.resumed);
    EXPECT_EQ(got.kept, static_cast<std::int64_t>(cut));
    EXPECT_EQ(got.received,
              static_cast<std::int64_t>(bytes.size() - cut) + TFtpClient::kResumeOverlap);
    EXPECT_TRUE(ReadFile(local) == bytes) << "resumed bytes differ";
  }
  ftp.Quit();
}

}  // namespace
}  // namespace zarn::test
