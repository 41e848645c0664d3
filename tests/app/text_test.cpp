#include <gtest/gtest.h>

#include "common/date_time.h"
#include "common/text.h"

namespace zarn {
namespace {

TEST(Text, CaseChangesTouchOnlyAsciiLetters) {
  EXPECT_EQ(UpperAscii("c:\\zarn4\\\xe9"), "C:\\ZARN4\\\xe9");
  EXPECT_EQ(LowerAscii("/RUN"), "/run");
  EXPECT_TRUE(EqualsIgnoringCase("Files", "FILES"));
  EXPECT_FALSE(EqualsIgnoringCase("File", "Files"));
}

TEST(Text, FormatMessageFillsPlaceholdersInOrder) {
  EXPECT_EQ(FormatMessage("Invalid data type for '%s'", {"Last Web Update"}),
            "Invalid data type for 'Last Web Update'");
  EXPECT_EQ(FormatMessage("%s and %s", {"a"}), "a and %s");
}

TEST(Text, ControlCharactersAreShownEscaped) {
  const struct {
    const char* text;
    bool keep_line_ends;
    const char* shown;
  } cases[] = {
      {"226 \x1b]0;owned\x07 done", false, "226 \\x1b]0;owned\\x07 done"},
      {"a\tb\x7f", false, "a\tb\\x7f"},
      {"one\r\ntwo", false, "one\\x0d\\x0atwo"},
      {"one\r\ntwo\x1b[2J", true, "one\r\ntwo\\x1b[2J"},
      {"caf\xe9", false, "caf\xe9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeControlCharacters(c.text, c.keep_line_ends), c.shown);
  }
}

TEST(DateTime, RoundTripsAcrossTheEpochAndLeapDays) {
  const struct {
    CivilDateTime civil;
    double value;
  } cases[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
      {{1900, 1, 1, 12, 0, 0, 0}, 2.5},
      {{2000, 2, 29, 6, 0, 0, 0}, 36585.25},
      {{2026, 12, 7, 0, 0, 0, 0}, 46363.0},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(EncodeDateTime(c.civil), c.value);
    const CivilDateTime back = DecodeDateTime(c.value);
    EXPECT_EQ(back.year, c.civil.year);
    EXPECT_EQ(back.month, c.civil.month);
    EXPECT_EQ(back.day, c.civil.day);
    EXPECT_EQ(back.hour, c.civil.hour);
  }
}

TEST(DateTime, NegativeValuesCountTheTimeForwardWithinTheirDay) {
  const struct {
    double value;
    int day, hour;
  } cases[] = {
      {-1.25, 29, 6},
      {-1.9999999999, 30, 0},  // 23:59:59.99999 on 29 December rounds to the next midnight
  };
  for (const auto& c : cases) {
    const CivilDateTime civil = DecodeDateTime(c.value);
    EXPECT_EQ(civil.year, 1899) << c.value;
    EXPECT_EQ(civil.day, c.day) << c.value;
    EXPECT_EQ(civil.hour, c.hour) << c.value;
  }
}

TEST(DateTime, MonthLengthsFollowTheGregorianLeapRule) {
  const struct {
    int year, month, days;
  } cases[] = {
      {2023, 1, 31}, {2023, 2, 28}, {2024, 2, 29}, {1900, 2, 28},
      {2000, 2, 29}, {2100, 2, 28}, {2023, 4, 30}, {2023, 12, 31},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DaysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
  }
  // Day numbers count from 1970-01-01, on both sides of it and across a leap day.
  EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(DaysFromCivil(1969, 12, 31), -1);
  EXPECT_EQ(DaysFromCivil(1980, 1, 1), 3652);
  EXPECT_EQ(DaysFromCivil(2000, 3, 1) - DaysFromCivil(2000, 2, 28), 2);
}

}  // namespace
}  // namespace zarn
