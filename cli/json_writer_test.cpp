#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "testing/json_reader.h"

namespace nv {
namespace {

// Whatever bytes a text holds, its JSON string is valid JSON that a strict
// reader takes back: valid UTF-8 as it is, control bytes escaped, and each
// byte that is no part of valid UTF-8 as the Latin-1 character of its value.
TEST(JsonStringTest, AnyBytesGiveValidJson) {
  struct StringCase {
    std::string text;
    std::string json;  // as written, quotes left out
    std::string read;  // as a strict reader takes it back
  };
  const StringCase cases[] = {
      {"plain", "plain", "plain"},
      {"a\"b\\c/d", "a\\\"b\\\\c/d", "a\"b\\c/d"},
      {"\n\r\t\b\x01\x1F\x7F", "\\n\\r\\t\\u0008\\u0001\\u001f\\u007f", "\n\r\t\b\x01\x1F\x7F"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xA8", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xA8",
       "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xA8"},
      {"\xE9t\xE9", "\\u00e9t\\u00e9", "\xC3\xA9t\xC3\xA9"},                  // Latin-1
      {"\xC0\xAF", "\\u00c0\\u00af", "\xC3\x80\xC2\xAF"},                     // overlong '/'
      {"\xED\xA0\x80", "\\u00ed\\u00a0\\u0080", "\xC3\xAD\xC2\xA0\xC2\x80"},  // a surrogate
      {"\xF4\x90\x80\x80", "\\u00f4\\u0090\\u0080\\u0080",
       "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},                // beyond U+10FFFF
      {"\xE2\x82", "\\u00e2\\u0082", "\xC3\xA2\xC2\x82"},  // cut short
      {std::string("a\0b", 3), "a\\u0000b", std::string("a\0b", 3)},
  };
  for (const StringCase& c : cases) {
    const std::string json = JsonString(c.text);
    EXPECT_EQ("\"" + c.json + "\"", json);
    JsonValue value;
    std::string error;
    ASSERT_TRUE(JsonReader::Parse(json, &value, &error)) << error << " in " << json;
    EXPECT_EQ(JsonValue::Type::kString, value.type);
    EXPECT_EQ(c.read, value.string) << json;
  }
  // The reader is strict: the raw byte would not have passed.
  JsonValue value;
  std::string error;
  EXPECT_FALSE(JsonReader::Parse("\"\xE9t\xE9\"", &value, &error));
  EXPECT_FALSE(JsonReader::Parse("\"a\nb\"", &value, &error));
}

// Indented, each item on a line of its own; compact, the whole document on
// one line, as a JSON Lines stream takes it.
TEST(JsonWriterTest, NestsAndSeparates) {
  const std::pair<JsonLayout, std::string> layouts[] = {
      {JsonLayout::kIndented,
       "{\n  \"a\": [\n    1,\n    false,\n    null,\n    {}\n  ],\n  \"b\": \"x\\ny\"\n}\n"},
      {JsonLayout::kCompact, "{\"a\":[1,false,null,{}],\"b\":\"x\\ny\"}\n"},
  };
  for (const auto& layout : layouts) {
    std::ostringstream out;
    JsonWriter json(out, layout.first);
    json.BeginObject();
    json.Key("a");
    json.BeginArray();
    json.Number(1);
    json.Bool(false);
    json.StringOrNull("");
    json.BeginObject();
    json.EndObject();
    json.EndArray();
    json.Key("b");
    json.String("x\ny");
    json.EndObject();
    json.Finish();
    EXPECT_EQ(layout.second, out.str());
  }
}

}  // namespace
}  // namespace nv
