// The updater's settings (one registry key of the current user, shared with the suite's main
// program) and its small system helpers. Every settings call opens the key, does its one read or
// write and closes it again; nothing is cached.
//
// Readers return their default when the key or the value is missing. A value of the wrong type
// raises ERegistryException "Invalid data type for '<name>'", one that cannot be read "Failed to
// get data for '<name>'". Writers create the key; when it cannot be created they write nothing
// and say nothing, and a write the store refuses raises "Failed to set data for '<name>'".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/date_time.h"
#include "platform/connection.h"

namespace zarn {

inline constexpr const char* kSettingsKey = "Software\\Brenicsoft\\Zarn4\\Config";

// The value names of the settings key.
inline constexpr const char* kLastWebUpdateValue = "Last Web Update";
inline constexpr const char* kLastWebUpdateTimeValue = "Last Web Update Time";
inline constexpr const char* kProgramFolderValue = "Program Folder";
inline constexpr const char* kBetaModeEnabledValue = "Beta Mode Enabled";
inline constexpr const char* kLastUpdateWasBetaValue = "Last Update Was Beta";
inline constexpr const char* kRepeatRollbackValue = "Repeat Rollback";
// The main program writes the installation's identifier here; the updater only reads it.
inline constexpr const char* kInstallationIdValue = "Installation Id";
inline constexpr const char* kUpdateServerValue = "Update Server";
inline constexpr const char* kServerTimeoutValue = "Server Timeout";

// "Last Web Update": the "Time Of Update" stamp of the last manifest processed; -1 when absent.
std::int32_t ReadLastWebUpdate();
void WriteLastWebUpdate(std::int32_t value);
// "Last Web Update Time": 8 bytes of REG_BINARY, the date-time double, little-endian.
void WriteLastWebUpdateTime(TDateTime when);
// "Program Folder" (REG_SZ; a REG_EXPAND_SZ value is read without expanding it); empty if absent.
std::string ReadProgramFolder();
void WriteProgramFolder(std::string_view folder);
// Booleans are DWORDs: any non-zero value reads as true, true is written as 1; false if absent.
bool ReadBetaModeEnabled();
bool ReadLastUpdateWasBeta();
void WriteLastUpdateWasBeta(bool value);
bool ReadRepeatRollback();
void WriteRepeatRollback(bool value);
// "Installation Id" (REG_SZ): the first line of the uploaded report; empty if absent.
std::string ReadInstallationId();

// The FTP update server: the value "Update Server" (REG_SZ), "host" or "host:port" ("[v6]:port"
// for an IPv6 address). Absent or blank: ftp.zarn4.example, port 21. A port that is not a number
// from 1 to 65535 is ignored: the host is kept and port 21 used.
inline constexpr const char* kDefaultUpdateHost = "ftp.zarn4.example";
inline constexpr std::uint16_t kDefaultFtpPort = 21;

struct UpdateServer {
  std::string host;
  std::uint16_t port = kDefaultFtpPort;
};

UpdateServer ParseUpdateServer(std::string_view text);
// "Update Server" may list several servers separated by ";", each in the form above, to be tried
// in this order; blank entries are skipped, and a list without any is the default server.
std::vector<UpdateServer> ParseUpdateServers(std::string_view text);
std::vector<UpdateServer> ReadUpdateServers();

// How long the pass waits for a server that sends nothing: "Server Timeout" (REG_DWORD, seconds,
// default 120), in milliseconds; 0 waits for ever. A value too large for the millisecond count
// waits as long as the count can say.
inline constexpr std::uint32_t kDefaultServerTimeoutSeconds = 120;
std::uint32_t ReadServerTimeoutMs();

// True when a command-line parameter (not the program path) equals switch_text after its ASCII
// letters are lower-cased; switch_text is given in lower case ("/run").
bool CommandLineHasSwitch(std::string_view switch_text);
// The same test over a given parameter list (parameter 0 being the program path).
bool ParametersHaveSwitch(const std::vector<std::string>& parameters, std::string_view switch_text);

// A string of the program's own version resource by index: 1 CompanyName, 2 FileDescription,
// 3 FileVersion, 4 InternalName, 5 LegalCopyright, 6 LegalTradeMarks, 7 OriginalFilename,
// 8 ProductName, 9 ProductVersion, 10 Comments. Empty when there is no such string, no version
// resource, no translation table, or the index is outside 1..10.
std::string GetAppVersionString(int index);

// Processes window messages for the given time, at most 5000 ms; always at least once. Between
// passes it blocks until a message arrives or the time is up, so a pause costs no processor time.
void PumpMessagesFor(std::uint32_t milliseconds);

// The Internet connection state. modem is updated from the connection flags (1 for a modem, 0
// for a LAN, unchanged when neither is reported); description is "LAN", "Modem" or "OffLine".
bool GetConnectionState(std::uint8_t& modem, std::string& description);
// The same, from a state already queried.
bool GetConnectionState(const platform::ConnectedState& state, std::uint8_t& modem,
                        std::string& description);

// Runs "derozor.exe" from folder with "-q " (register) or "-q -u " (unregister) + file and waits,
// processing window messages, until it ends or the application terminates. False with the
// system's error code when it cannot be started; the tool's own exit code is not looked at.
bool RunRegistrationTool(std::string_view file, std::string_view folder, bool register_file,
                         std::uint32_t& error);

// Deletes everything in folder: files of every kind (hidden and system ones too), links (never
// followed) and sub-folders with all they hold. True when the folder exists and every deletion
// succeeded; a read-only file stays and makes it false. The work folder is emptied this way so
// that nothing of an earlier pass can pass for a file of this one.
bool EmptyFolder(std::string_view folder);

}  // namespace zarn
