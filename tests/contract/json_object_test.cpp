#include "contract/json_object.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using contract::jsonObjectText;

TEST(JsonObjectText, KeepsEveryTokenOnOneLineInAscii) {
  const auto result = jsonObjectText(
      " {\"\xC3\xA9\" : [1 , {\"b\":\"\xF0\x9F\x98\x80\\n\\u00E9\"}, true],\r\n\t\"c\":-0.50E+3,"
      "\"c\": null }\n");
  EXPECT_EQ(result.problem, "");
  EXPECT_EQ(
      result.text,
      "{\"\\u00e9\":[1,{\"b\":\"\\ud83d\\ude00\\n\\u00E9\"},true],\"c\":-0.50E+3,\"c\":null}");
}

TEST(JsonObjectText, SaysWhereAndWhyATextIsNoObject) {
  const std::string nested = std::string(63, '[') + std::string(63, ']');
  const std::pair<std::string, std::string> cases[] = {
      {"[]", "byte 1: a JSON object must begin here with '{'"},
      {"{\"a\" 1}", "byte 6: a ':' is missing"},
      {"{\"a\": \"\xFF\"}", "byte 8: not UTF-8"},
      {"{\"a\": [1 2]}", "byte 10: a ']' is missing"},
      {"{\"a\": 1.}", "byte 9: a digit is missing after the point"},
      {"{\"a\": \"\\u12G4\"}", "byte 8: a bad \\u escape"},
      {"{\"a\": " + nested + "}", ""},
      {"{\"a\": [" + nested + "]}", "byte 70: nested deeper than 64"},
  };
  for (const auto& [json, problem] : cases) {
    EXPECT_EQ(jsonObjectText(json).problem, problem) << json;
    EXPECT_EQ(jsonObjectText(json).ok(), problem.empty()) << json;
  }
}

}  // namespace
