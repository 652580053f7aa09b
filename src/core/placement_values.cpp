// The texts of the stored window placement.
#include "core/placement_values.h"

#include <cstddef>
#include <cstdint>
#include <limits>

#include "core/interval_text.h"

namespace reprisa {

std::optional<std::int32_t> ParseIntegerText(std::wstring_view text) {
  std::size_t pos = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) {
    negative = text[0] == L'-';
    pos = 1;
  }
  if (pos == text.size()) return std::nullopt;
  // Accumulated as a magnitude; the negative range reaches one further than the positive one.
  const std::int64_t limit =
      negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
               : std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    const wchar_t ch = text[pos];
    if (ch < L'0' || ch > L'9') return std::nullopt;
    magnitude = magnitude * 10 + (ch - L'0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::array<std::int32_t, 4> ReadFourNumbers(std::wstring_view text,
                                            const std::array<std::int32_t, 4>& defaults) {
  std::array<std::int32_t, 4> result = defaults;
  const auto is_delimiter = [](wchar_t ch) { return ch == L',' || ch == L' '; };
  std::size_t pos = 0;
  for (std::size_t word = 0; word < result.size(); ++word) {
    while (pos < text.size() && is_delimiter(text[pos])) ++pos;
    if (pos == text.size()) break;
    const std::size_t start = pos;
    while (pos < text.size() && !is_delimiter(text[pos])) ++pos;
    if (const auto value = ParseIntegerText(text.substr(start, pos - start))) {
      result[word] = *value;
    }
  }
  return result;
}

std::wstring FourNumbersText(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
  return DecimalText(a) + L',' + DecimalText(b) + L',' + DecimalText(c) + L',' + DecimalText(d);
}

std::wstring ScreenSuffix(std::int32_t width, std::int32_t height) {
  return L'(' + DecimalText(width) + L'x' + DecimalText(height) + L')';
}

std::wstring ExecutableBaseName(std::wstring_view path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring_view::npos) name = name.substr(0, dot);
  return std::wstring(name);
}

std::wstring DefaultKeyPath(std::wstring_view executable_path, std::wstring_view title,
                            bool use_title, std::wstring_view company) {
  std::wstring path = L"Software\\";
  if (!company.empty()) {
    path += company;
    path += L'\\';
  }
  if (use_title && !title.empty()) {
    path += title;
  } else {
    path += ExecutableBaseName(executable_path);
  }
  return path;
}

std::wstring NormalizeKeyPath(std::wstring_view path) {
  if (!path.empty() && path[0] == L'\\') path.remove_prefix(1);
  return std::wstring(path);
}

bool WildcardMatch(std::wstring_view text, std::wstring_view pattern) {
  // Greedy scan with one backtrack point: the most recent '*' and the text position it has been
  // tried against. Runs in O(text * pattern) at worst, without recursion.
  std::size_t t = 0;
  std::size_t p = 0;
  std::size_t star = std::wstring_view::npos;
  std::size_t star_text = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      star_text = t;
    } else if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == text[t])) {
      ++t;
      ++p;
    } else if (star != std::wstring_view::npos) {
      p = star + 1;
      t = ++star_text;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

bool MatchesSectionPattern(std::wstring_view name, std::wstring_view section) {
  if (name == section) return true;
  std::wstring pattern(section);
  pattern += L".*";
  if (WildcardMatch(name, pattern)) return true;
  pattern.resize(section.size());
  pattern += L"\\*";
  return WildcardMatch(name, pattern);
}

std::optional<StoredWindowState> StateFromShowCmd(std::int32_t cmd) {
  switch (cmd) {
    case 1:
    case 5:
    case 9:
      return StoredWindowState::Normal;
    case 2:
    case 6:
    case 7:
      return StoredWindowState::Minimized;
    case 3:
      return StoredWindowState::Maximized;
    default:
      return std::nullopt;
  }
}

}  // namespace reprisa
