// The form placement store's rules: carries a window's placement (normal rectangle, minimised and
// maximised positions, show state, and the screen size and dpi they were taken at) from one run
// to the next as string values of one section of a store. It restores the placement every time
// the window is shown and saves it when the window is asked whether it may close (or, failing
// that, when it is destroyed, or when the session ends).
//
// The rules run over two small interfaces that each platform binds:
//   PlacementStore   a typed string store (the registry on Windows, a key file on Linux);
//   PlacementWindow  the window it serves (its placement record, the screens, the form's
//                    properties the rules read and change).
// PlacementEngine holds the rules and the state between the window's events; a platform's
// placement component derives from it, binds the two interfaces and routes the window's show,
// close-query and destroy events (and the end of the session) to the Handle... methods.
//
// Stored values (all strings): "FormVersion", "Flags", "ShowCmd", "PixelsPerInch",
// "MinMaxPos" and "NormPos" (each first under the name with the screen size appended, e.g.
// "NormPos(1920x1080)", then under the plain name), "Visible" and, with fpActiveControl,
// "ActiveControl". Texts of numbers are read with the rules of core/placement_values.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/error_handler.h"
#include "core/exceptions.h"
#include "core/layout.h"
#include "core/placement_values.h"

namespace reprisa {

// ---- The typed string store --------------------------------------------------------------------

// The type a value was stored with. Only strings are placement values; a value of any other type
// fails the read with "Invalid data type for '<name>'" (the engine raises it).
enum class StoredType { String, Other };

struct StoredValue {
  StoredType type = StoredType::String;
  std::wstring text;  // the string's text (up to its first NUL); empty for other types
};

// One key path of a store, open for the length of one save, restore, read or write. All calls
// come from the user-interface thread. Failures are ERegistryException (or another Exception);
// make them with the Store...Failure helpers below so that every platform reports the same texts.
class PlacementStore {
 public:
  virtual ~PlacementStore() = default;

  // Opens the key path (for example "Software\Reprisa"; no leading backslash), creating it when
  // it is missing, also when read_only is set: a write from a restore's event must work on a
  // first run. read_only only narrows how sections are opened for reading. Never throws: when
  // the path cannot be opened or created, reads give nothing and writes fail as below.
  virtual void Open(const std::wstring& key_path, bool read_only) noexcept = 0;
  // Closes what Open opened (no explicit flush is needed). Called once after every Open, also
  // when the operation in between failed.
  virtual void Close() noexcept = 0;

  // The value `ident` of the section `section` (a subkey or key-file group of the key path);
  // nullopt when the section or the value is missing, or when no key path is open. Throws
  // StoreGetDataFailure(ident) when a value that exists cannot be read.
  virtual std::optional<StoredValue> Read(const std::wstring& section,
                                          const std::wstring& ident) = 0;
  // Sets `ident` of `section` as a string, creating the section when missing. Throws
  // StoreCreateKeyFailure(section) when the section cannot be made (or no key path is open) and
  // StoreSetDataFailure(ident) when the value cannot be set. Values written before a failure stay.
  virtual void Write(const std::wstring& section, const std::wstring& ident,
                     const std::wstring& value) = 0;

  // The names of the sections of the key path; empty when none or when nothing is open.
  virtual std::vector<std::wstring> SectionNames() = 0;
  // Deletes a section with everything below it; a missing one is no failure. Other failures
  // throw StoreDeleteKeyFailure(name).
  virtual void EraseSection(const std::wstring& name) = 0;
};

// The failures a store reports, with the texts the program shows for them.
ERegistryException StoreCreateKeyFailure(std::wstring_view section);  // "Failed to create key %s"
ERegistryException StoreSetDataFailure(std::wstring_view ident);   // "Failed to set data for '%s'"
ERegistryException StoreGetDataFailure(std::wstring_view ident);   // "Failed to get data for '%s'"
ERegistryException StoreDataTypeFailure(std::wstring_view ident);  // "Invalid data type for '%s'"
ERegistryException StoreDeleteKeyFailure(std::wstring_view name);  // "Failed to delete key %s"

// ---- The window it serves ----------------------------------------------------------------------

// A window's placement as the platform keeps it. Coordinates are those the platform's placement
// calls use (on Windows the workspace coordinates of GetWindowPlacement, whose origin is the
// primary screen's work area); Screens() must use the same coordinates.
struct PlacementRecord {
  std::uint32_t flags = 0;    // bit 0: set the minimised position; bit 1: restore to maximised
  std::int32_t show_cmd = 0;  // 0 hidden, 1 normal, 2 minimised, 3 maximised (other values as the
                              // platform numbers them; read back with StateFromShowCmd)
  Point min_position;         // where the minimised window sits
  Point max_position;         // where the maximised window's frame starts
  Rect normal;                // the normal (restored) rectangle
};

// One screen (monitor): its whole rectangle and its work area (without task bars and docks), in
// the coordinates of PlacementRecord.
struct PlacementScreen {
  Rect bounds;
  Rect work_area;
};

// The frame thicknesses the platform reports for a window's border kind, used to place a
// maximised window's frame just outside the screen's edges.
enum class FrameMetric { Border, Frame, DialogFrame };

// The form properties the rules read. The enumerations follow the form's own order of values.
enum class PlacementBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow,
                                  bsSizeToolWin };
enum class PlacementFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class PlacementPosition { poDesigned, poDefault, poScreenCenter, poDesktopCenter,
                               poMainFormCenter };

// The window a placement engine serves. Calls come from the user-interface thread inside the
// window's events; none of them may throw except where said.
class PlacementWindow {
 public:
  virtual ~PlacementWindow() = default;

  // -- the window system's placement record --
  // Whether the window exists (on Windows: its handle has been made).
  virtual bool HandleAllocated() = 0;
  // The window's current placement; throws the program's Exception, with the system's reason,
  // when the system refuses to tell it. A save then writes nothing at all, and a restore stops.
  virtual PlacementRecord GetPlacement() = 0;
  // Sets the placement; a show_cmd of 0 keeps a hidden window hidden.
  virtual void SetPlacement(const PlacementRecord& record) = 0;
  virtual bool Visible() = 0;

  // -- the screen --
  // The primary screen's size in pixels (it names the suffixed values).
  virtual Point ScreenSize() = 0;
  // The screen's logical dots per inch.
  virtual int Dpi() = 0;
  // Every screen of the desktop; may be empty when the platform cannot tell.
  virtual std::vector<PlacementScreen> Screens() = 0;
  // The platform's frame thickness (x, y) of the given kind.
  virtual Point FrameSize(FrameMetric metric) = 0;

  // -- the form --
  // The form's Left, Top, Width and Height as a rectangle (left, top, left + width,
  // top + height).
  virtual Rect Bounds() = 0;
  virtual PlacementBorderStyle BorderStyle() = 0;
  virtual PlacementFormStyle FormStyle() = 0;
  virtual PlacementPosition Position() = 0;
  // Changes how the form positions itself when shown, without re-making its window.
  virtual void SetPosition(PlacementPosition position) = 0;
  virtual StoredWindowState WindowState() = 0;
  virtual void SetWindowState(StoredWindowState state) = 0;
  // Paints the form at once.
  virtual void Repaint() = 0;

  // -- the application --
  // Whether the form is the application's main form, and whether the application has one yet.
  virtual bool IsMainForm() = 0;
  virtual bool HasMainForm() = 0;
  // Whether the application as a whole is minimised (on Windows: its own window is iconic).
  virtual bool ApplicationMinimized() = 0;
  // Asks the application to minimise itself once its message loop gets there (on Windows:
  // posts WM_SYSCOMMAND SC_MINIMIZE to the application's window).
  virtual void MinimizeApplication() = 0;

  // -- the focused control (only with fpActiveControl) --
  // The name of the form's focused control; empty when none or when it has no name.
  virtual std::wstring ActiveControlName() = 0;
  // Focuses the control of that name owned by the form, when there is one that can take the
  // focus; otherwise nothing.
  virtual void FocusControl(const std::wstring& name) = 0;
};

// ---- The rules ---------------------------------------------------------------------------------

enum TPlacementOption : unsigned { fpState = 1, fpPosition = 2, fpActiveControl = 4 };
using TPlacementOptions = unsigned;

using PlacementNotifyEvent = std::function<void(TObject* sender)>;
using PlacementCloseQueryEvent = std::function<void(TObject* sender, bool& can_close)>;

class PlacementEngine;

// Another storage object that saves and loads with the placement: told to save after a save's
// placement values are written and to load after a restore's values are read, in the order the
// links were added. Its destruction removes it from its engine.
class TPlacementLink {
 public:
  TPlacementLink() = default;
  TPlacementLink(const TPlacementLink&) = delete;
  TPlacementLink& operator=(const TPlacementLink&) = delete;
  virtual ~TPlacementLink();
  virtual void SaveLink() {}
  virtual void LoadLink() {}
  PlacementEngine* Placement() const noexcept { return placement_; }

 private:
  friend class PlacementEngine;
  PlacementEngine* placement_ = nullptr;
};

class PlacementEngine {
 public:
  // `sender` is the component the events name as their sender.
  explicit PlacementEngine(TObject* sender);
  virtual ~PlacementEngine();
  PlacementEngine(const PlacementEngine&) = delete;
  PlacementEngine& operator=(const PlacementEngine&) = delete;

  // The store and the window; window is null when the owner is not a form (then only the
  // version, the links and the events are saved and restored).
  void Bind(PlacementStore* store, PlacementWindow* window) noexcept;

  bool Active() const noexcept { return active_; }
  void SetActive(bool value) noexcept { active_ = value; }
  // The key path; when set empty it reads as DefaultIniFileName().
  std::wstring IniFileName() const;
  void SetIniFileName(std::wstring value) { ini_file_name_ = std::move(value); }
  // The section; when set empty it reads as DefaultIniSection().
  std::wstring IniSection() const;
  void SetIniSection(std::wstring value) { ini_section_ = std::move(value); }
  TPlacementOptions Options() const noexcept { return options_; }
  void SetOptions(TPlacementOptions value) noexcept { options_ = value; }
  std::int32_t Version() const noexcept { return version_; }
  void SetVersion(std::int32_t value) noexcept { version_ = value; }
  PlacementNotifyEvent OnSavePlacement, OnRestorePlacement;

  void SaveFormPlacement();
  void RestoreFormPlacement();
  // Single values of the section; they use the open store (inside OnSavePlacement and
  // OnRestorePlacement) or open one for the call.
  std::int32_t ReadInteger(const std::wstring& ident, std::int32_t default_value);
  void WriteInteger(const std::wstring& ident, std::int32_t value);
  std::wstring ReadString(const std::wstring& ident, const std::wstring& default_value);
  void WriteString(const std::wstring& ident, const std::wstring& value);
  // Deletes the section and the sections named section.* and section\* (only when no store is
  // open).
  void EraseSections();
  void AddLink(TPlacementLink* link);
  void RemoveLink(TPlacementLink* link) noexcept;

  bool Saved() const noexcept { return saved_; }
  bool Restored() const noexcept { return restored_; }

  // Sets the maximised position to just outside the screen's edges for the form's border style
  // (nothing when MayResetMaximizedPosition() says no or the window does not exist).
  void ResetMaximizedPosition();

  // The window's events. The kept handlers are the form's own, called as described at each.
  // Show: restores (when Active; failures go to HandleException), then the kept OnShow.
  void HandleFormShow(TObject* sender);
  // Close query: the kept OnCloseQuery first; when it lets the form close, saves (when Active
  // and the window exists). Never changes can_close.
  void HandleFormCloseQuery(TObject* sender, bool& can_close);
  // Destroy: saves with "Visible" "1" when Active and nothing was saved since the last restore,
  // then the kept OnDestroy.
  void HandleFormDestroy(TObject* sender);
  // The session ends (log-off, shut-down): saves as at a close, once; a later destroy does not
  // save again.
  void HandleEndSession();
  PlacementNotifyEvent KeptShow, KeptDestroy;
  PlacementCloseQueryEvent KeptCloseQuery;

 protected:
  virtual void StorePlacementValues();
  virtual void LoadPlacementValues();
  virtual std::wstring ReadStringValue(const std::wstring& section, const std::wstring& ident,
                                       const std::wstring& default_value);
  virtual void WriteStringValue(const std::wstring& section, const std::wstring& ident,
                                const std::wstring& value);
  virtual void DoSavePlacement();
  virtual void DoRestorePlacement();
  // The key path and section used when none is set.
  virtual std::wstring DefaultIniFileName() const { return std::wstring(); }
  virtual std::wstring DefaultIniSection() const { return std::wstring(); }
  // False while the component is loading or while size limits of its own are in force.
  virtual bool MayResetMaximizedPosition() const { return true; }

  PlacementWindow* Window() const noexcept { return window_; }
  // Closes a store left open and forgets the store and the window; a platform component calls
  // it in its destructor, before the store and the window it bound go.
  void Unbind() noexcept;

 private:
  class StoreScope;
  void OpenStore(bool read_only);
  void CloseStore() noexcept;
  void WritePlacement(const PlacementRecord& record);
  void ReadPlacement(bool load_state, bool load_position);
  // The stored position and size, applied when there are any and they fit this screen's dpi.
  void ReadPosition(PlacementWindow& w);
  // The stored state, applied; false when the application minimises itself instead.
  bool ReadState(PlacementWindow& w);
  std::optional<Point> ResetMaximizedPoint();
  void SaveGuarded() noexcept;

  TObject* sender_;
  PlacementStore* store_ = nullptr;
  PlacementWindow* window_ = nullptr;
  bool store_open_ = false;
  bool active_ = true;
  std::wstring ini_file_name_;
  std::wstring ini_section_;
  std::vector<TPlacementLink*> links_;
  TPlacementOptions options_ = 0;
  std::int32_t version_ = 0;
  bool saved_ = false;
  bool restored_ = false;
  bool destroying_ = false;
  bool session_saved_ = false;
  std::optional<PlacementRecord> pending_record_;  // queried before a save writes anything
};

// A stored normal rectangle (of positive width and height) made reachable: a rectangle that meets
// none of the screens, or is wider or taller than the whole desktop, is moved onto the work area
// of the screen nearest to it (the one it overlaps most when it overlaps any) and shrunk to fit
// it. The arithmetic is 64-bit, so any edges work; the result has a positive size. Screens with
// an empty work area are ignored; with none left the rectangle is only moved into the 32-bit
// range. (A restore applies a stored rectangle only when it has a positive width and height.)
struct Rect64 {
  std::int64_t left = 0, top = 0, right = 0, bottom = 0;
};
Rect KeepOnScreen(const Rect64& r, const std::vector<PlacementScreen>& screens);

}  // namespace reprisa
