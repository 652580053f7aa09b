#include "core/texts.h"

#include "core/interval_text.h"

namespace reprisa::texts {

std::wstring InsertYear(std::wstring text, int year) {
  const std::size_t at = text.find(kYearPlaceholder);
  if (at != std::wstring::npos) text.replace(at, kYearPlaceholder.size(), DecimalText(year));
  return text;
}

}  // namespace reprisa::texts
