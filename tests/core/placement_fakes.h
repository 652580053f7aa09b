// Test doubles for the placement rules: an in-memory typed store that can be made to fail on any
// call, and a window whose placement, screens and form properties the test sets.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/placement.h"

namespace reprisa::testing_support {

class MemoryStore final : public PlacementStore {
 public:
  using Section = std::map<std::wstring, StoredValue>;
  std::map<std::wstring, Section> sections;
  std::vector<std::wstring> log;  // "open <path> ro|rw", "close", "read <ident>", "write <ident>"
  // The call (counted from 1 over reads and writes together) that fails; 0: none.
  std::size_t fail_at = 0;
  bool fail_open = false;  // the key path cannot be opened: reads give nothing, writes fail
  std::size_t calls = 0;
  bool open = false;
  bool opened_path = false;

  void Open(const std::wstring& key_path, bool read_only) noexcept override {
    log.push_back(L"open " + key_path + (read_only ? L" ro" : L" rw"));
    open = true;
    opened_path = !fail_open;
  }
  void Close() noexcept override {
    log.push_back(L"close");
    open = false;
  }
  std::optional<StoredValue> Read(const std::wstring& section, const std::wstring& ident) override {
    log.push_back(L"read " + ident);
    if (++calls == fail_at) throw StoreGetDataFailure(ident);
    const StoredValue* v = opened_path ? Find(section, ident) : nullptr;
    return v ? std::optional(*v) : std::nullopt;
  }
  void Write(const std::wstring& section, const std::wstring& ident,
             const std::wstring& value) override {
    log.push_back(L"write " + ident);
    if (!opened_path) throw StoreCreateKeyFailure(section);
    if (++calls == fail_at) throw StoreSetDataFailure(ident);
    sections[section][ident] = StoredValue{StoredType::String, value};
  }
  std::vector<std::wstring> SectionNames() override {
    std::vector<std::wstring> names;
    for (const auto& s : sections) names.push_back(s.first);
    return names;
  }
  void EraseSection(const std::wstring& name) override { sections.erase(name); }

  // Test helpers.
  void Put(const std::wstring& ident, const std::wstring& text,
           const std::wstring& section = L"TMainForm") {
    sections[section][ident] = StoredValue{StoredType::String, text};
  }
  void PutOther(const std::wstring& ident, const std::wstring& section = L"TMainForm") {
    sections[section][ident] = StoredValue{StoredType::Other, std::wstring()};
  }
  std::optional<std::wstring> Get(const std::wstring& ident,
                                  const std::wstring& section = L"TMainForm") const {
    const StoredValue* v = Find(section, ident);
    return v ? std::optional(v->text) : std::nullopt;
  }
  const StoredValue* Find(const std::wstring& section, const std::wstring& ident) const {
    auto s = sections.find(section);
    if (s == sections.end()) return nullptr;
    auto v = s->second.find(ident);
    return v == s->second.end() ? nullptr : &v->second;
  }
};

class FakeWindow final : public PlacementWindow {
 public:
  bool handle = true;
  bool visible = false;
  bool refuse_placement = false;  // GetPlacement throws
  PlacementRecord record{0, 1, {-1, -1}, {-4, -4}, {100, 100, 500, 400}};
  std::vector<PlacementRecord> set;  // every SetPlacement
  Point screen{1920, 1080};
  int dpi = 96;
  std::vector<PlacementScreen> screens{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}}};
  Rect bounds{100, 100, 500, 400};
  PlacementBorderStyle border = PlacementBorderStyle::bsSizeable;
  PlacementFormStyle style = PlacementFormStyle::fsNormal;
  PlacementPosition position = PlacementPosition::poScreenCenter;
  StoredWindowState state = StoredWindowState::Normal;
  std::vector<StoredWindowState> states_set;
  bool main_form = true;
  bool has_main_form = true;
  bool app_minimized = false;
  int minimize_requests = 0;
  int repaints = 0;
  std::wstring active_control;
  std::vector<std::wstring> focusable{L"Edit1", L"Button1"};

  bool HandleAllocated() override { return handle; }
  PlacementRecord GetPlacement() override {
    if (refuse_placement) throw Exception(L"placement refused");
    return record;
  }
  void SetPlacement(const PlacementRecord& r) override {
    set.push_back(r);
    const std::int32_t shown = record.show_cmd;
    record = r;
    if (r.show_cmd == 0) record.show_cmd = shown;  // the form shows itself after its show event
  }
  bool Visible() override { return visible; }
  Point ScreenSize() override { return screen; }
  int Dpi() override { return dpi; }
  std::vector<PlacementScreen> Screens() override { return screens; }
  Point FrameSize(FrameMetric metric) override {
    switch (metric) {
      case FrameMetric::Border: return {1, 1};
      case FrameMetric::Frame: return {4, 4};
      case FrameMetric::DialogFrame: return {3, 3};
    }
    return {};
  }
  Rect Bounds() override { return bounds; }
  PlacementBorderStyle BorderStyle() override { return border; }
  PlacementFormStyle FormStyle() override { return style; }
  PlacementPosition Position() override { return position; }
  void SetPosition(PlacementPosition p) override { position = p; }
  StoredWindowState WindowState() override { return state; }
  void SetWindowState(StoredWindowState s) override {
    states_set.push_back(s);
    state = s;
  }
  void Repaint() override { ++repaints; }
  bool IsMainForm() override { return main_form; }
  bool HasMainForm() override { return has_main_form; }
  bool ApplicationMinimized() override { return app_minimized; }
  void MinimizeApplication() override { ++minimize_requests; }
  std::wstring ActiveControlName() override { return active_control; }
  void FocusControl(const std::wstring& name) override {
    for (const auto& f : focusable)
      if (f == name) active_control = name;
  }
};

// An engine bound to a store and a window, with the defaults of the main window's component.
class TestEngine : public PlacementEngine {
 public:
  TestEngine(MemoryStore& store, FakeWindow* window) : PlacementEngine(nullptr) {
    Bind(&store, window);
    SetOptions(fpState | fpPosition);
  }
  ~TestEngine() override { Unbind(); }

 protected:
  std::wstring DefaultIniFileName() const override { return L"Software\\reprisa"; }
  std::wstring DefaultIniSection() const override { return L"TMainForm"; }
};

}  // namespace reprisa::testing_support
