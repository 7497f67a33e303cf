#include "script/json_shape.h"

#include <vector>

namespace ql {
namespace {

// The script engine reads an exponent into a 32-bit integer and spins forever
// once it goes past that (1e9999999999), and near the limit the digits of the
// mantissa push its sum over (0.1e-2147483647 reads as Infinity). Nine digits
// after any leading zeros keep clear of both, and lose nothing: below a
// thousand million digits of mantissa, any larger exponent gives Infinity or 0.
constexpr std::size_t kMaxExponentDigits = 9;

class ShapeReader {
 public:
  explicit ShapeReader(const std::u16string& text) : s_(text), n_(text.size()) {}

  bool atEnd() const { return i_ >= n_; }
  char16_t peek() const { return s_[i_]; }

  void skipSpace() {
    while (i_ < n_ && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }

  bool readWord(const char16_t* word) {
    for (std::size_t k = 0; word[k]; ++k)
      if (i_ + k >= n_ || s_[i_ + k] != word[k]) return false;
    while (*word++) ++i_;
    return true;
  }

  bool readString() {
    ++i_;  // the opening quotation mark
    while (i_ < n_) {
      char16_t u = peek();
      if (u == u'"') {
        ++i_;
        return true;
      }
      if (u == u'\\') {
        if (!readEscape()) return false;
      } else if (u < 0x20 || u == 0x2028 || u == 0x2029) {
        // JSON forbids raw control characters; the two separators would end
        // a script string literal early.
        return false;
      } else {
        ++i_;
      }
    }
    return false;
  }

  bool readNumber() {
    if (i_ < n_ && s_[i_] == '-') ++i_;
    if (i_ >= n_ || !isDigit(s_[i_])) return false;
    if (s_[i_] == '0') {
      ++i_;
    } else {
      skipDigits();
    }
    if (i_ < n_ && s_[i_] == '.') {
      ++i_;
      if (!skipDigits()) return false;
    }
    if (i_ < n_ && (s_[i_] == 'e' || s_[i_] == 'E')) {
      ++i_;
      if (i_ < n_ && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
      std::size_t digits = i_;
      if (!skipDigits()) return false;
      while (digits < i_ && s_[digits] == '0') ++digits;
      if (i_ - digits > kMaxExponentDigits) return false;
    }
    return true;
  }

  void advance() { ++i_; }

 private:
  static bool isDigit(char16_t c) { return c >= '0' && c <= '9'; }
  static bool isHex(char16_t c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

  bool skipDigits() {
    std::size_t start = i_;
    while (i_ < n_ && isDigit(s_[i_])) ++i_;
    return i_ > start;
  }

  bool readEscape() {
    if (i_ + 1 >= n_) return false;
    char16_t e = s_[i_ + 1];
    if (e == '"' || e == '\\' || e == '/' || e == 'b' || e == 'f' || e == 'n' || e == 'r' || e == 't') {
      i_ += 2;
      return true;
    }
    if (e != 'u' || i_ + 5 >= n_) return false;
    for (std::size_t k = 2; k < 6; ++k)
      if (!isHex(s_[i_ + k])) return false;
    i_ += 6;
    return true;
  }

  const std::u16string& s_;
  std::size_t n_;
  std::size_t i_ = 0;
};

// What the grammar allows at the current position.
enum class Expect { value, valueOrClose, keyOrClose, key, colon, commaOrClose, end };

}  // namespace

bool isJsonText(const std::u16string& text, int maxDepth) {
  ShapeReader r(text);
  std::vector<char> open;  // the unclosed '[' and '{', innermost last
  Expect expect = Expect::value;
  auto afterValue = [&] { expect = open.empty() ? Expect::end : Expect::commaOrClose; };
  for (;;) {
    r.skipSpace();
    if (r.atEnd()) return expect == Expect::end;
    char16_t c = r.peek();
    bool wantValue = expect == Expect::value || expect == Expect::valueOrClose;
    if (c == '"') {
      if (expect == Expect::keyOrClose || expect == Expect::key) {
        if (!r.readString()) return false;
        expect = Expect::colon;
      } else if (wantValue) {
        if (!r.readString()) return false;
        afterValue();
      } else {
        return false;
      }
    } else if (c == '[' || c == '{') {
      if (!wantValue || static_cast<int>(open.size()) >= maxDepth) return false;
      open.push_back(static_cast<char>(c));
      r.advance();
      expect = c == '[' ? Expect::valueOrClose : Expect::keyOrClose;
    } else if (c == ']' || c == '}') {
      char opener = c == ']' ? '[' : '{';
      Expect emptyClose = c == ']' ? Expect::valueOrClose : Expect::keyOrClose;
      if (open.empty() || open.back() != opener || (expect != emptyClose && expect != Expect::commaOrClose))
        return false;
      open.pop_back();
      r.advance();
      afterValue();
    } else if (c == ':') {
      if (expect != Expect::colon) return false;
      r.advance();
      expect = Expect::value;
    } else if (c == ',') {
      if (expect != Expect::commaOrClose) return false;
      r.advance();
      expect = open.back() == '[' ? Expect::value : Expect::key;
    } else if (wantValue && (c == '-' || (c >= '0' && c <= '9'))) {
      if (!r.readNumber()) return false;
      afterValue();
    } else if (wantValue && (r.readWord(u"true") || r.readWord(u"false") || r.readWord(u"null"))) {
      afterValue();
    } else {
      return false;
    }
  }
}

}  // namespace ql
