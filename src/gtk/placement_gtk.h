// The main window's placement through the core's rules: a GTK window seen as the window the rules
// serve, and the component that binds it and the key-file store to the rules.
//
// On X11 the window comes back where, as large as, and in the state it was. On Wayland, where a
// program cannot place its window, only the size and the state come back.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "core/placement.h"
#include "gtk/key_file_store.h"

namespace reprisa {

class GtkPlacementWindow final : public PlacementWindow {
 public:
  // Follows the window's moves, sizes and states from here on.
  explicit GtkPlacementWindow(GtkWindow* window);
  ~GtkPlacementWindow() override;
  GtkPlacementWindow(const GtkPlacementWindow&) = delete;
  GtkPlacementWindow& operator=(const GtkPlacementWindow&) = delete;

  bool HandleAllocated() override { return true; }
  PlacementRecord GetPlacement() override;
  void SetPlacement(const PlacementRecord& record) override;
  bool Visible() override;
  Point ScreenSize() override;
  int Dpi() override;
  std::vector<PlacementScreen> Screens() override;
  Point FrameSize(FrameMetric) override { return {0, 0}; }
  Rect Bounds() override;
  PlacementBorderStyle BorderStyle() override { return PlacementBorderStyle::bsSizeable; }
  PlacementFormStyle FormStyle() override { return PlacementFormStyle::fsNormal; }
  PlacementPosition Position() override { return position_; }
  void SetPosition(PlacementPosition position) override { position_ = position; }
  StoredWindowState WindowState() override;
  void SetWindowState(StoredWindowState state) override;
  void Repaint() override;
  bool IsMainForm() override { return true; }
  bool HasMainForm() override { return true; }
  bool ApplicationMinimized() override;
  void MinimizeApplication() override;
  std::wstring ActiveControlName() override;
  void FocusControl(const std::wstring& name) override;

  // The normal (not maximised, not minimised) rectangle the window has or would come back to.
  const Rect& NormalRect() const noexcept { return normal_; }
  // Whether windows can be placed (X11) or only sized (Wayland and others).
  bool CanMove() const;
  // The window was destroyed by another client: GDK took the unmapping that came with it for a
  // minimise, which the user did not ask for. Forgets a minimise seen just before.
  void WindowDestroyedOutside();

 private:
  static gboolean OnConfigure(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer self);
  void NoteGeometry();
  bool Maximized() const { return (state_ & GDK_WINDOW_STATE_MAXIMIZED) != 0; }
  bool Iconified() const { return (state_ & GDK_WINDOW_STATE_ICONIFIED) != 0; }

  GtkWindow* window_;
  PlacementPosition position_ = PlacementPosition::poScreenCenter;
  GdkWindowState state_ = GdkWindowState(0);
  GdkWindowState state_before_ = GdkWindowState(0);  // before the last change
  gint64 iconified_at_ = 0;                          // monotonic time of the last minimise
  bool was_maximized_ = false;  // the state a minimised window comes back to
  Rect normal_;                 // last normal rectangle seen (or set)
  Rect previous_normal_;        // the one before it (a maximise may be seen size first)
  bool normal_seen_ = false;    // normal_ came from the window's size, not from a restore
  Point max_position_{-1, -1};
  Point min_position_{-1, -1};
};

// The placement component of the main window: restores at every showing, saves at the close
// request (or at destruction when nothing was saved since the last restore).
class GtkFormPlacement final : public TObject, public PlacementEngine {
 public:
  GtkFormPlacement(GtkWindow* window, std::string file_path, std::wstring program_name);
  ~GtkFormPlacement() override;

  GtkPlacementWindow& PlacementWindowAdapter() noexcept { return window_; }
  KeyFileStore& Store() noexcept { return store_; }

 protected:
  std::wstring DefaultIniFileName() const override { return program_name_; }
  std::wstring DefaultIniSection() const override { return L"TMainForm"; }

 private:
  KeyFileStore store_;
  GtkPlacementWindow window_;
  std::wstring program_name_;
};

}  // namespace reprisa
