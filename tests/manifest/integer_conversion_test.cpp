#include "common/integer_conversion.h"

#include <gtest/gtest.h>

#include <optional>

#include "common/exception.h"

namespace zarn {
namespace {

TEST(IntegerConversion, AcceptsTheRunTimeFormsAndNothingElse) {
  const struct {
    const char* text;
    std::optional<std::int32_t> decimal;
    std::optional<std::int32_t> with_hex;
  } cases[] = {
      {"1733580000", 1733580000, 1733580000},
      {"  42", 42, 42},
      {"+7", 7, 7},
      {"-7", -7, -7},
      {"007", 7, 7},
      {"2147483647", 2147483647, 2147483647},
      {"-2147483648", INT32_MIN, INT32_MIN},
      {"2147483648", std::nullopt, std::nullopt},
      {"-2147483649", std::nullopt, std::nullopt},
      {"99999999999999999999", std::nullopt, std::nullopt},
      {"$1F", std::nullopt, 31},
      {"x1f", std::nullopt, 31},
      {"X10", std::nullopt, 16},
      {"0x7FFFFFFF", std::nullopt, 2147483647},
      {"0X10", std::nullopt, 16},
      {"-$10", std::nullopt, -16},
      {"$80000000", std::nullopt, std::nullopt},  // beyond the signed range
      {"$", std::nullopt, std::nullopt},
      {"0x", std::nullopt, std::nullopt},
      {"$1G", std::nullopt, std::nullopt},
      {"12a", std::nullopt, std::nullopt},  // "Time Of Update" with a trailing letter
      {"12 ", std::nullopt, std::nullopt},
      {"1 2", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {" ", std::nullopt, std::nullopt},
      {"+", std::nullopt, std::nullopt},
      {"--1", std::nullopt, std::nullopt},
      {"\t1", std::nullopt, std::nullopt},
      {"ERROR", std::nullopt, std::nullopt},
      {"1.5", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseInt32(c.text, IntegerForms::Decimal), c.decimal);
    EXPECT_EQ(ParseInt32(c.text, IntegerForms::DecimalOrHex), c.with_hex);
    EXPECT_EQ(TextToInt32Or(c.text, -1), c.with_hex.value_or(-1));
  }
}

TEST(IntegerConversion, DecimalFailureNamesTheWholeText) {
  for (const char* text : {"4,1,0,5", "", "4.1", "0x10"}) {
    try {
      DecimalTextToInt32(text);
      ADD_FAILURE() << text << " converted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

}  // namespace
}  // namespace zarn
