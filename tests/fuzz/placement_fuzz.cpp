// Fuzzes the placement reader: any stored text (any characters, any length) and any type under
// every value name, on one or two screens, for each kind of form. Whatever is stored, the restore
// must neither crash nor hang, and the window must end on a screen with a positive size.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "../core/placement_fakes.h"

namespace {
using namespace reprisa;
using namespace reprisa::testing_support;

std::wstring WideText(FuzzedDataProvider& in) {
  // A byte below 0x80 is that character, so that digits, signs, commas and blanks come easily;
  // a higher byte takes the next two as any UTF-16 unit (NUL and surrogates too).
  const std::string bytes = in.ConsumeRandomLengthString(1024 * 1024);
  std::wstring text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80 || i + 2 >= bytes.size()) {
      text.push_back(static_cast<wchar_t>(byte));
    } else {
      const auto low = static_cast<unsigned char>(bytes[i + 1]);
      const auto high = static_cast<unsigned char>(bytes[i + 2]);
      text.push_back(static_cast<wchar_t>(low | high << 8));
      i += 2;
    }
  }
  return text;
}

bool OnAScreen(const Rect& r, const std::vector<PlacementScreen>& screens) {
  if (r.right <= r.left || r.bottom <= r.top) return false;
  for (const PlacementScreen& s : screens) {
    if (r.left < s.bounds.right && s.bounds.left < r.right && r.top < s.bounds.bottom &&
        s.bounds.top < r.bottom)
      return true;
  }
  return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  MemoryStore store;
  FakeWindow window;
  window.border = static_cast<PlacementBorderStyle>(in.ConsumeIntegralInRange(0, 5));
  window.visible = in.ConsumeBool();
  window.screen = {1920, 1080};
  const int second_x = in.ConsumeIntegralInRange(-4000, 4000);
  const int second_y = in.ConsumeIntegralInRange(-4000, 4000);
  const int bar = in.ConsumeIntegralInRange(0, 100);
  window.screens = {{{0, -bar, 1920, 1080 - bar}, {0, 0, 1920, 1080 - bar}}};
  if (in.ConsumeBool())
    window.screens.push_back({{second_x, second_y, second_x + 1280, second_y + 1024},
                              {second_x + bar, second_y, second_x + 1280, second_y + 1024}});
  window.bounds = {100, 100, 100 + in.ConsumeIntegralInRange(1, 3000),
                   100 + in.ConsumeIntegralInRange(1, 3000)};
  window.record.normal = window.bounds;
  const std::wstring suffix = L"(1920x1080)";
  for (const std::wstring& ident :
       {std::wstring(L"FormVersion"), std::wstring(L"Flags"), std::wstring(L"ShowCmd"),
        std::wstring(L"PixelsPerInch"), L"MinMaxPos" + suffix, std::wstring(L"MinMaxPos"),
        L"NormPos" + suffix, std::wstring(L"NormPos"), std::wstring(L"ActiveControl")}) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0:
        break;  // missing
      case 1:
        store.PutOther(ident);
        break;
      default:
        store.Put(ident, WideText(in));
        break;
    }
  }
  TestEngine engine{store, &window};
  engine.SetOptions(fpState | fpPosition | fpActiveControl);
  engine.SetVersion(in.ConsumeIntegralInRange(-2, 2));
  SetErrorHandler([](TObject*) {});  // a wrong type is reported; that is all it may do
  engine.HandleFormShow(nullptr);
  if (!OnAScreen(window.record.normal, window.screens)) __builtin_trap();
  bool can_close = true;
  engine.HandleFormCloseQuery(nullptr, can_close);
  if (store.open) __builtin_trap();  // every store is closed again
  return 0;
}
