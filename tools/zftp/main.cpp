// zftp: get, put and list files on an FTP server with the updater's own client.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "net/ftp_client.h"
#include "net/net_exceptions.h"
#include "net/streams.h"
#include "tools/common/command_line.h"
#include "tools/zftp/ftp_url.h"

namespace {

using zarn::zftp::FtpUrl;

using zarn::tool::kExitFailed;  // the server or the network said no
using zarn::tool::kExitOk;

// The most bytes one receive call takes. The updater keeps the client's default of 32 KiB; a
// command-line download of a large file spends far fewer system calls and wake-ups per byte with
// larger pieces (about a third less processor time per GiB on loopback).
constexpr int kReceivePieceBytes = 256 * 1024;

constexpr const char* kHelp =
    "Usage: zftp [-v] [-c] get URL FILE   download the file at URL into FILE\n"
    "       zftp [-v] put FILE URL        upload FILE to URL\n"
    "       zftp [-v] ls URL              list the names in the folder at URL\n"
    "\n"
    "URL is ftp://[user[:password]@]host[:port]/path; the user is anonymous unless given.\n"
    "For ls the last part of the path may be a pattern (ftp://host/updates/*.*); a URL that\n"
    "ends in \"/\" lists the whole folder. Transfers are binary and passive. Control\n"
    "characters in names and messages from the server are shown as \\xNN.\n"
    "\n"
    "  -c, --continue  get: continue a partial FILE left by a broken download; its last\n"
    "                  4 KiB must match the server's bytes there, or FILE is downloaded whole\n"
    "  -v, --verbose   print the connection's status lines on standard error\n"
    "  -h, --help      show this text\n"
    "\n"
    "Exit status: 0 done, 1 the server or the network failed, 2 bad command line.\n";

int Usage(const std::string& problem) {
  return zarn::tool::Usage("zftp", problem);
}

void Open(zarn::TFtpClient& ftp, const FtpUrl& url, bool verbose) {
  ftp.Host = url.host;
  ftp.Port = url.port;
  ftp.User = url.user;
  ftp.Password = url.password;
  ftp.Passive = true;
  if (verbose) {
    ftp.OnStatus = [](zarn::TNetComponent&, zarn::TNetStatus, const std::string& text) {
      std::fprintf(stderr, "zftp: %s\n", zarn::EscapeControlCharacters(text).c_str());
    };
  }
  ftp.Connect(true);
  if (!url.folder.empty()) ftp.ChangeDir(url.folder);
}

int Run(const std::string& command, const std::vector<std::string>& args, bool verbose,
        bool continued) {
  const std::string& url_text = command == "put" ? args[1] : args[0];
  const auto url = zarn::zftp::ParseFtpUrl(url_text);
  if (!url) return Usage("not an ftp:// address: " + url_text);
  if (command != "ls" && url->name.empty()) return Usage("the address names no file: " + url_text);

  zarn::TFtpClient ftp;
  ftp.RecvBufferSize = kReceivePieceBytes;
  if (command == "get" && continued) {
    Open(ftp, *url, verbose);
    const auto got = ftp.GetContinued(url->name, args[1], std::nullopt);
    std::fprintf(stderr, "zftp: %s, %lld bytes received\n",
                 got.resumed ? ("resumed after " + std::to_string(got.kept) + " bytes").c_str()
                             : "downloaded whole",
                 static_cast<long long>(got.received));
  } else if (command == "get") {
    Open(ftp, *url, verbose);
    zarn::TFileStream file(args[1], zarn::TFileStream::Mode::kCreate);
    ftp.Get(url->name, file);
    file.Close();
  } else if (command == "put") {
    zarn::TFileStream file(args[0], zarn::TFileStream::Mode::kOpenRead);
    Open(ftp, *url, verbose);
    ftp.Put(file, url->name, false);
  } else {
    Open(ftp, *url, verbose);
    std::vector<std::string> names;
    ftp.List(names, url->name, false);
    // Names come from the server: no escape sequence of theirs reaches the terminal.
    for (const auto& name : names) {
      std::printf("%s\n", zarn::EscapeControlCharacters(name).c_str());
    }
  }
  ftp.Quit();
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  bool verbose = false;
  bool continued = false;
  while (!words.empty() && words.front().size() > 1 && words.front()[0] == '-') {
    const std::string option = words.front();
    if (option == "-h" || option == "--help") {
      std::fputs(kHelp, stdout);
      return kExitOk;
    }
    if (option == "-c" || option == "--continue") {
      continued = true;
    } else if (option == "-v" || option == "--verbose") {
      verbose = true;
    } else {
      return Usage("unknown option " + option);
    }
    words.erase(words.begin());
  }
  if (words.empty()) return Usage("no command given");
  const std::string command = words.front();
  const std::vector<std::string> args(words.begin() + 1, words.end());
  const std::size_t wanted = command == "ls" ? 1 : 2;
  if (command != "get" && command != "put" && command != "ls") {
    return Usage("unknown command " + command);
  }
  if (args.size() != wanted)
    return Usage(command + " takes " + std::to_string(wanted) +
                 (wanted == 1 ? " argument" : " arguments"));
  if (continued && command != "get") return Usage("--continue goes with get only");
  try {
    return Run(command, args, verbose, continued);
  } catch (const zarn::Exception& e) {
    std::string message = e.Message();
    // Socket errors carry a CR LF before their text; one line reads better on a terminal.
    for (auto at = message.find("\r\n"); at != std::string::npos; at = message.find("\r\n")) {
      message.replace(at, 2, at + 2 < message.size() ? " " : "");
    }
    std::fprintf(stderr, "zftp: %s\n", zarn::EscapeControlCharacters(message).c_str());
    return kExitFailed;
  }
}
