// The text form in which a component's stored properties are kept: one
// "object <class>" block of "Name = value" lines closed by "end". A value is a
// quoted text, an identifier (enumeration values, True/False) or a list of
// quoted texts in parentheses. Quoted texts double their apostrophes and write
// control bytes as #nn, so any byte string survives a round trip.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct StreamValue {
  enum class Kind { Text, Identifier, List };
  Kind kind = Kind::Text;
  std::string text;               // Text and Identifier
  std::vector<std::string> list;  // List

  static StreamValue Text(std::string value) { return {Kind::Text, std::move(value), {}}; }
  static StreamValue Identifier(std::string value) { return {Kind::Identifier, std::move(value), {}}; }
  static StreamValue List(std::vector<std::string> value) { return {Kind::List, {}, std::move(value)}; }
  bool operator==(const StreamValue&) const = default;
};

struct StreamProperty {
  std::string name;
  StreamValue value;
  bool operator==(const StreamProperty&) const = default;
};

struct ComponentText {
  std::string className;
  std::vector<StreamProperty> properties;
  bool operator==(const ComponentText&) const = default;
};

// Identifiers are [A-Za-z_][A-Za-z0-9_]*; WriteComponentText expects them so.
std::string WriteComponentText(const ComponentText& component);
// Nothing when the text is not one well-formed block (trailing blanks allowed).
std::optional<ComponentText> ReadComponentText(std::string_view text);

// One quoted text in the stream's notation, and back (nothing when malformed).
std::string QuoteStreamText(std::string_view value);
