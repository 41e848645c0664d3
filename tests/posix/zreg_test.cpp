// zreg driven as a real process: what it prints, what it changes in the store, and its exit
// codes (0 done, 1 failed or cancelled, 2 bad input).
#include <gtest/gtest.h>

#include <fstream>

#include "platform/registry.h"
#include "tests/posix/run_program.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace zarn::test {
namespace {

using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryStatus;
using platform::RegistryType;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kKey = "HKCU\\Software\\ZarnTest\\Zreg";
constexpr const char* kTestPath = "Software\\ZarnTest\\Zreg";

ProgramResult Zreg(const std::vector<std::string>& args, const std::string& input = {}) {
  return RunProgram(BuiltProgram("zreg"), args, input);
}

struct Step {
  std::vector<std::string> args;
  std::string input;  // the answer to a question, if any
  int exit_code;
  std::string expected_out;  // a part of standard output ("" = anything)
};

// Every test starts without the test key.
class ZregTest : public testing::Test {
 protected:
  void SetUp() override { RegistryKey::DeleteTree(RegistryRoot::kCurrentUser, kTestPath); }
  void TearDown() override { RegistryKey::DeleteTree(RegistryRoot::kCurrentUser, kTestPath); }
};

void RunSteps(const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    std::string command;
    for (const auto& arg : step.args) command += arg + " ";
    SCOPED_TRACE(command);
    const ProgramResult result = Zreg(step.args, step.input);
    EXPECT_EQ(result.exit_code, step.exit_code) << result.err;
    EXPECT_NE(result.out.find(step.expected_out), std::string::npos) << result.out;
  }
}

TEST_F(ZregTest, AddQueryAndDeleteAskBeforeChangingWhatExists) {
  const std::string key = kKey;
  RunSteps({
      {{"add", key, "/v", "Program Folder", "/d", "C:\\ZARN4\\"},
       "",
       0,
       "The operation completed successfully."},
      {{"query", key, "/v", "program folder"},
       "",
       0,
       "\nHKEY_CURRENT_USER\\Software\\ZarnTest\\Zreg\n    Program Folder    REG_SZ    "
       "C:\\ZARN4\\\n"},
      {{"add", key, "/v", "Count", "/t", "reg_dword", "/d", "0x2A"}, "", 0, ""},
      {{"query", key, "/v", "Count"}, "", 0, "    Count    REG_DWORD    0x2a\n"},
      // Overwriting asks; "no" and the end of input both keep the old value.
      {{"add", key, "/v", "Count", "/t", "REG_DWORD", "/d", "7"},
       "n\n",
       1,
       "Value Count exists, overwrite (Yes/No)? "},
      {{"add", key, "/v", "Count", "/t", "REG_DWORD", "/d", "7"}, "", 1, ""},
      {{"query", key, "/v", "Count"}, "", 0, "0x2a"},
      {{"add", key, "/v", "Count", "/t", "REG_DWORD", "/d", "7"}, "YES\n", 0, ""},
      {{"query", key, "/v", "Count"}, "", 0, "0x7"},
      {{"add", key, "-v", "Count", "-t", "REG_DWORD", "-d", "4294967295", "-F"}, "", 0, ""},
      {{"query", key, "/v", "Count"}, "", 0, "0xffffffff"},
      {{"add", key, "/ve", "/d", "default text"}, "", 0, ""},
      {{"query", key, "/ve"}, "", 0, "    (Default)    REG_SZ    default text\n"},
      {{"add", key, "/v", "Bytes", "/t", "REG_BINARY", "/d", "00ff10"}, "", 0, ""},
      {{"add", key, "/v", "List", "/t", "REG_MULTI_SZ", "/s", ",", "/d", "a,b"}, "", 0, ""},
      {{"query", key},
       "",
       0,
       "    Bytes    REG_BINARY    00FF10\n    List    REG_MULTI_SZ    a\\0b\n"},
      {{"add", key + "\\Sub\\Deeper"}, "", 0, ""},
      {{"query", key}, "", 0, "\nHKEY_CURRENT_USER\\Software\\ZarnTest\\Zreg\\Sub\n"},
      {{"query", key + "\\Sub", "/s"}, "", 0, "End of search: 2 match(es) found."},
      {{"delete", key, "/v", "Count"}, "n\n", 1, "Delete the registry value Count (Yes/No)? "},
      {{"delete", key, "/v", "Count"}, "y\n", 0, ""},
      {{"query", key, "/v", "Count"}, "", 1, ""},
      {{"delete", key, "/va", "/f"}, "", 0, ""},
      {{"query", key, "/ve"}, "", 0, "(value not set)"},
      {{"delete", key}, "", 1, "Permanently delete the registry key"},
      {{"delete", key, "/f"}, "", 0, ""},
      {{"query", key}, "", 1, ""},
      {{"delete", key, "/f"}, "", 1, ""},
  });
}

TEST_F(ZregTest, BadInputIsRefusedWithAReasonAndExitCodeTwo) {
  const std::string key = kKey;
  const struct {
    std::vector<std::string> args;
    const char* reason;
  } cases[] = {
      {{}, "No operation"},
      {{"frobnicate"}, "Unknown operation"},
      {{"query"}, "takes one argument"},
      {{"query", key, "extra"}, "takes one argument"},
      {{"query", "HKXX\\Software"}, "Invalid key name"},
      {{"query", "HKCU\\\\Software"}, "Invalid key name"},
      {{"query", "\\\\server\\HKCU\\Software"}, "Remote registries"},
      {{"query", key, "/v", "a", "/v", "b"}, "given twice"},
      {{"query", key, "/v"}, "needs a parameter"},
      {{"add", key, "/v", "a", "/ve"}, "only one of"},
      {{"add", key, "/v", "a", "/t", "REG_FOO"}, "Invalid type"},
      {{"add", key, "/v", "a", "/t", "REG_DWORD", "/d", "4294967296"}, "Invalid REG_DWORD"},
      {{"add", key, "/v", "a", "/t", "REG_DWORD", "/d", "-1"}, "Invalid REG_DWORD"},
      {{"add", key, "/v", "a", "/t", "REG_DWORD", "/d", "12abc"}, "Invalid REG_DWORD"},
      {{"add", key, "/v", "a", "/t", "REG_BINARY", "/d", "0g"}, "Invalid REG_BINARY"},
      {{"add", key, "/v", "a", "/t", "REG_BINARY", "/d", "012"}, "Invalid REG_BINARY"},
      {{"add", key, "/v", "a", "/t", "REG_MULTI_SZ", "/s", "ab"}, "one character"},
      {{"add", key, "/d", "data"}, "Give /v NAME or /ve"},
      {{"delete", "HKCU", "/f"}, "root key"},
      {{"export", key}, "takes two arguments"},
      {{"import", "/nonexistent/folder/missing.reg"}, "Could not read"},
  };
  for (const auto& c : cases) {
    std::string command;
    for (const auto& arg : c.args) command += arg + " ";
    SCOPED_TRACE(command);
    const ProgramResult result = Zreg(c.args);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
  }
  // None of it created anything.
  EXPECT_EQ(RegistryKey::Open(RegistryRoot::kCurrentUser, "Software\\ZarnTest\\Zreg",
                              RegistryKey::Access::kRead),
            nullptr);
}

TEST_F(ZregTest, HelpIsShownForEveryOperation) {
  const struct {
    std::vector<std::string> args;
    const char* text;
  } cases[] = {
      {{"-h"}, "zreg query  KEY"}, {{"--help"}, "Exit codes"}, {{"/?"}, "HKCU"},
      {{"add", "/?"}, "/t TYPE"},  {{"query", "-h"}, "/s"},    {{"import", "--help"}, "REGEDIT4"},
  };
  for (const auto& c : cases) {
    const ProgramResult result = Zreg(c.args);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.out.find(c.text), std::string::npos) << result.out;
  }
}

// Values the command line cannot write (odd texts, unknown types) survive an export and import.
TEST_F(ZregTest, ExportAndImportRoundTripEveryValueExactly) {
  const struct {
    const char* name;
    RegistryType type;
    Bytes data;
  } values[] = {
      {"", RegistryType::kSz, {'d', 0}},
      {"Quote \" and \\ backslash", RegistryType::kSz, {'C', ':', '\\', '"', 0}},
      {"Embedded NUL", RegistryType::kSz, {'a', 0, 'b', 0}},
      {"Unterminated", RegistryType::kSz, {'a', 'b'}},
      {"Line break", RegistryType::kSz, {'a', '\n', 'b', 0}},
      {"Empty text", RegistryType::kSz, {}},
      {"Expandable", RegistryType::kExpandSz, {'%', 'T', '%', 0}},
      {"Number", RegistryType::kDword, {0x2a, 0, 0, 0x80}},
      {"Short number", RegistryType::kDword, {1, 2}},
      {"Long binary", RegistryType::kBinary, Bytes(100, 0xab)},
      {"Empty binary", RegistryType::kBinary, {}},
      {"Odd type", static_cast<RegistryType>(0x1234), {9}},
  };
  {
    auto key = RegistryKey::Create(RegistryRoot::kCurrentUser, "Software\\ZarnTest\\Zreg\\Sub");
    ASSERT_NE(key, nullptr);
    for (const auto& v : values) ASSERT_TRUE(key->SetValue(v.name, v.type, v.data));
  }
  const TempDir scratch;
  const std::string first = scratch.PathOf("first.reg");
  const std::string second = scratch.PathOf("second.reg");
  ASSERT_EQ(Zreg({"export", kKey, first}).exit_code, 0);
  ASSERT_EQ(Zreg({"delete", kKey, "/f"}).exit_code, 0);
  ASSERT_EQ(Zreg({"import", first}).exit_code, 0);

  auto key = RegistryKey::Open(RegistryRoot::kCurrentUser, "Software\\ZarnTest\\Zreg\\Sub",
                               RegistryKey::Access::kRead);
  ASSERT_NE(key, nullptr);
  for (const auto& v : values) {
    SCOPED_TRACE(v.name);
    const auto read = key->QueryValue(v.name);
    ASSERT_EQ(read.status, RegistryStatus::kOk);
    EXPECT_EQ(read.value.type, v.type);
    EXPECT_EQ(read.value.data, v.data);
  }
  // Exporting again asks before replacing the file, and writes the same text.
  EXPECT_EQ(Zreg({"export", kKey, first}, "n\n").exit_code, 1);
  ASSERT_EQ(Zreg({"export", kKey, second}).exit_code, 0);
  const std::string text = ReadWholeFile(first);
  EXPECT_EQ(ReadWholeFile(second), text);
  for (const char* line :
       {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\ZarnTest\\Zreg]\r\n", "\r\n@=\"d\"\r\n",
        "\"Quote \\\" and \\\\ backslash\"=\"C:\\\\\\\"\"\r\n", "\"Number\"=dword:8000002a\r\n",
        "\"Unterminated\"=hex(1):61,62\r\n", ",\\\r\n  ab,", "\"Odd type\"=hex(1234):09\r\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
  }
}

TEST_F(ZregTest, ImportDeletesKeysAndValuesMarkedWithAMinus) {
  ASSERT_EQ(Zreg({"add", std::string(kKey) + "\\Gone", "/v", "x", "/d", "1"}).exit_code, 0);
  ASSERT_EQ(Zreg({"add", kKey, "/v", "Old", "/d", "1"}).exit_code, 0);
  ASSERT_EQ(Zreg({"add", kKey, "/v", "Kept", "/d", "1"}).exit_code, 0);
  const TempDir scratch;
  const std::string file = scratch.PathOf("changes.reg");
  std::ofstream(file, std::ios::binary) << "REGEDIT4\n\n; a comment\n"
                                           "[-HKEY_CURRENT_USER\\Software\\ZarnTest\\Zreg\\Gone]\n"
                                           "[-HKCU\\Software\\ZarnTest\\Zreg\\NeverWas]\n"
                                           "[HKCU\\Software\\ZarnTest\\Zreg]\n"
                                           "\"Old\"=-\n\"NeverWas\"=-\n"
                                           "\"New\" = hex:01,\\\n    02\n";
  const ProgramResult result = Zreg({"import", file});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  auto key = RegistryKey::Open(RegistryRoot::kCurrentUser, "Software\\ZarnTest\\Zreg",
                               RegistryKey::Access::kRead);
  ASSERT_NE(key, nullptr);
  EXPECT_TRUE(key->SubKeyNames().empty());
  EXPECT_EQ(key->ValueNames(), (std::vector<std::string>{"Kept", "New"}));
  EXPECT_EQ(key->QueryValue("New").value.data, (Bytes{1, 2}));
}

TEST_F(ZregTest, AnImportFileWithAMistakeChangesNothingAndNamesTheLine) {
  const std::string head = "REGEDIT4\r\n[HKCU\\Software\\ZarnTest\\Zreg]\r\n\"a\"=\"1\"\r\n";
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"", "line 1: The file does not begin with REGEDIT4."},
      {"Windows Registry Editor Version 5.00\r\n", "line 1: The file does not begin"},
      {"REGEDIT4\r\n\"a\"=\"1\"\r\n", "line 2: A value must follow"},
      {head + "\"b\"=dword:123456789\r\n", "line 4: Invalid dword"},
      {head + "\"b\"=dword:\r\n", "line 4: Invalid dword"},
      {head + "\"b\"=hex:01,0g\r\n", "line 4: Invalid byte '0g'"},
      {head + "\"b\"=hex:01,,02\r\n", "line 4: Invalid byte ''"},
      {head + "\"b\"=hex(zz):01\r\n", "line 4: Invalid hex(type)"},
      {head + "\"b\"=hex:01,\\\r\n", "line 4: The file ends inside"},
      {head + "\"b\"=\"unterminated\r\n", "line 4: Invalid text"},
      {head + "\"b\"=\"bad \\escape\"\r\n", "line 4: Invalid text"},
      {head + "\"b\"=\"x\" trailing\r\n", "line 4: Invalid text"},
      {head + "\"b\"=42\r\n", "line 4: Unknown data"},
      {head + "b=\"x\"\r\n", "line 4: A value line must begin"},
      {head + "\"b\"\"x\"\r\n", "line 4: Expected '='"},
      {head + "[HKXX\\Software]\r\n", "line 4: Invalid key name"},
      {head + "[HKCU\\Software\r\n", "line 4: A key line must end"},
      {head + "[-HKCU]\r\n", "line 4: A root key cannot be deleted"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const TempDir scratch;
    const std::string file = scratch.PathOf("bad.reg");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.text;
    const ProgramResult result = Zreg({"import", file});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
    EXPECT_EQ(RegistryKey::Open(RegistryRoot::kCurrentUser, "Software\\ZarnTest\\Zreg",
                                RegistryKey::Access::kRead),
              nullptr);
  }
}

}  // namespace
}  // namespace zarn::test
