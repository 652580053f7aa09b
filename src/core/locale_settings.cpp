#include "core/locale_settings.h"

#include <utility>

namespace reprisa {

namespace {
LocaleSettings& Current() noexcept {
  static LocaleSettings settings;
  return settings;
}
}  // namespace

const LocaleSettings& CurrentLocaleSettings() noexcept { return Current(); }

void SetCurrentLocaleSettings(LocaleSettings settings) { Current() = std::move(settings); }

}  // namespace reprisa
