#include "dde/ComponentText.h"

#include <cctype>

namespace {
bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }
bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

class Reader {
public:
  explicit Reader(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ == text_.size();
  }
  bool Peek(char c) {
    SkipBlanks();
    return pos_ < text_.size() && text_[pos_] == c;
  }
  bool Take(char c) {
    if (!Peek(c)) return false;
    ++pos_;
    return true;
  }
  std::optional<std::string> Identifier() {
    SkipBlanks();
    if (pos_ >= text_.size() || !IsIdentStart(text_[pos_])) return std::nullopt;
    std::size_t start = pos_;
    while (pos_ < text_.size() && IsIdentChar(text_[pos_])) ++pos_;
    return std::string(text_.substr(start, pos_ - start));
  }
  bool PeekText() { return Peek('\'') || Peek('#'); }
  // Adjacent quoted runs and #nn bytes make one text.
  std::optional<std::string> Text() {
    SkipBlanks();
    std::string value;
    bool any = false;
    while (pos_ < text_.size()) {
      if (text_[pos_] == '\'') {
        ++pos_;
        for (;;) {
          if (pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r') return std::nullopt;
          char c = text_[pos_++];
          if (c != '\'') {
            value += c;
          } else if (pos_ < text_.size() && text_[pos_] == '\'') {
            value += '\'';
            ++pos_;
          } else {
            break;
          }
        }
      } else if (text_[pos_] == '#') {
        ++pos_;
        unsigned code = 0;
        std::size_t digits = 0;
        while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])) && digits < 3) {
          code = code * 10 + static_cast<unsigned>(text_[pos_++] - '0');
          ++digits;
        }
        if (digits == 0 || code > 255) return std::nullopt;
        value += static_cast<char>(code);
      } else {
        break;
      }
      any = true;
    }
    if (!any) return std::nullopt;
    return value;
  }

private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

std::optional<StreamValue> ReadValue(Reader& in) {
  if (in.Take('(')) {
    std::vector<std::string> list;
    while (!in.Take(')')) {
      auto item = in.Text();
      if (!item) return std::nullopt;
      list.push_back(std::move(*item));
    }
    return StreamValue::List(std::move(list));
  }
  if (in.PeekText()) {
    auto text = in.Text();
    if (!text) return std::nullopt;
    return StreamValue::Text(std::move(*text));
  }
  auto identifier = in.Identifier();
  if (!identifier) return std::nullopt;
  return StreamValue::Identifier(std::move(*identifier));
}
}  // namespace

std::string QuoteStreamText(std::string_view value) {
  std::string out;
  bool inQuotes = false;
  for (unsigned char c : value) {
    if (IsControl(c)) {
      if (inQuotes) out += '\'';
      inQuotes = false;
      out += '#';
      out += std::to_string(c);
      continue;
    }
    if (!inQuotes) out += '\'';
    inQuotes = true;
    out += static_cast<char>(c);
    if (c == '\'') out += '\'';
  }
  if (inQuotes) out += '\'';
  if (out.empty()) out = "''";
  return out;
}

std::string WriteComponentText(const ComponentText& component) {
  std::string out = "object " + component.className + "\r\n";
  for (const StreamProperty& property : component.properties) {
    out += "  " + property.name + " = ";
    switch (property.value.kind) {
      case StreamValue::Kind::Text: out += QuoteStreamText(property.value.text); break;
      case StreamValue::Kind::Identifier: out += property.value.text; break;
      case StreamValue::Kind::List:
        out += "(";
        for (const std::string& item : property.value.list) out += "\r\n    " + QuoteStreamText(item);
        out += ")";
        break;
    }
    out += "\r\n";
  }
  out += "end\r\n";
  return out;
}

std::optional<ComponentText> ReadComponentText(std::string_view text) {
  Reader in(text);
  if (in.Identifier() != std::optional<std::string>("object")) return std::nullopt;
  auto className = in.Identifier();
  if (!className) return std::nullopt;
  ComponentText component{std::move(*className), {}};
  for (;;) {
    auto name = in.Identifier();
    if (!name) return std::nullopt;
    if (*name == "end") break;
    if (!in.Take('=')) return std::nullopt;
    auto value = ReadValue(in);
    if (!value) return std::nullopt;
    component.properties.push_back({std::move(*name), std::move(*value)});
  }
  if (!in.AtEnd()) return std::nullopt;
  return component;
}
