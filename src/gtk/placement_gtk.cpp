#include "gtk/placement_gtk.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <cmath>

#include "core/exceptions.h"
#include "core/layout.h"
#include "core/utf8.h"

namespace reprisa {

namespace {

constexpr GdkWindowState kNotNormal =
    GdkWindowState(GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_ICONIFIED |
                   GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_TILED);

Rect CurrentRect(GtkWindow* window) {
  int x = 0, y = 0, w = 0, h = 0;
  gtk_window_get_position(window, &x, &y);
  gtk_window_get_size(window, &w, &h);
  return {x, y, x + w, y + h};
}

// The primary monitor, or the first when the display names none; null without monitors.
GdkMonitor* PrimaryMonitor(GtkWindow* window) {
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor && gdk_display_get_n_monitors(display) > 0) {
    monitor = gdk_display_get_monitor(display, 0);
  }
  return monitor;
}

Rect ToRect(const GdkRectangle& r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

GtkWidget* FindNamed(GtkWidget* widget, const std::string& name) {
  if (name == gtk_widget_get_name(widget)) return widget;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  GtkWidget* found = nullptr;
  for (GList* c = children; c && !found; c = c->next) {
    found = FindNamed(GTK_WIDGET(c->data), name);
  }
  g_list_free(children);
  return found;
}

}  // namespace

GtkPlacementWindow::GtkPlacementWindow(GtkWindow* window) : window_(window) {
  // Until it is shown, the window is where GTK will centre it (in the primary monitor's work
  // area, kept inside it): the defaults of a stored rectangle's missing or broken parts.
  normal_ = CurrentRect(window_);
  if (GdkMonitor* monitor = PrimaryMonitor(window_)) {
    GdkRectangle work;
    gdk_monitor_get_workarea(monitor, &work);
    const int w = normal_.Width(), h = normal_.Height();
    const Point at = CenterOnWorkArea(ToRect(work), w, h);
    normal_ = {at.x, at.y, at.x + w, at.y + h};
  }
  previous_normal_ = normal_;
  g_signal_connect(window_, "configure-event", G_CALLBACK(&GtkPlacementWindow::OnConfigure),
                   this);
  g_signal_connect(window_, "window-state-event",
                   G_CALLBACK(&GtkPlacementWindow::OnWindowState), this);
}

GtkPlacementWindow::~GtkPlacementWindow() { g_signal_handlers_disconnect_by_data(window_, this); }

bool GtkPlacementWindow::CanMove() const {
#ifdef GDK_WINDOWING_X11
  return GDK_IS_X11_DISPLAY(gtk_widget_get_display(GTK_WIDGET(window_)));
#else
  return false;
#endif
}

void GtkPlacementWindow::NoteGeometry() {
  if ((state_ & kNotNormal) != 0 || !gtk_widget_get_visible(GTK_WIDGET(window_))) return;
  Rect now = CurrentRect(window_);
  if (!CanMove()) {
    // Where the window is cannot be known here: keep the position last set, take the size.
    now = {normal_.left, normal_.top, normal_.left + now.Width(), normal_.top + now.Height()};
  }
  if (now == normal_) return;
  previous_normal_ = normal_;
  normal_ = now;
  normal_seen_ = true;
}

gboolean GtkPlacementWindow::OnConfigure(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<GtkPlacementWindow*>(self)->NoteGeometry();
  return FALSE;
}

gboolean GtkPlacementWindow::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self) {
  auto* adapter = static_cast<GtkPlacementWindow*>(self);
  const GdkWindowState before = adapter->state_;
  adapter->state_before_ = before;
  adapter->state_ = event->new_window_state;
  if (adapter->Iconified() && !(before & GDK_WINDOW_STATE_ICONIFIED)) {
    adapter->iconified_at_ = g_get_monotonic_time();
  }
  if (adapter->Maximized() && !(before & GDK_WINDOW_STATE_MAXIMIZED)) {
    // The maximised size may have been seen before the state: that was no normal rectangle.
    // A rectangle that was restored was not seen (under Wayland a window restored maximised
    // reports the state while it still has the restored size).
    Rect now = CurrentRect(adapter->window_);
    if (adapter->normal_seen_ && now.Width() == adapter->normal_.Width() &&
        now.Height() == adapter->normal_.Height() && !(adapter->previous_normal_ == Rect{})) {
      adapter->normal_ = adapter->previous_normal_;
    }
  }
  if (!adapter->Iconified()) adapter->was_maximized_ = adapter->Maximized();
  return FALSE;
}

void GtkPlacementWindow::WindowDestroyedOutside() {
  constexpr gint64 kSameMoment = G_USEC_PER_SEC / 2;
  if (Iconified() && !(state_before_ & GDK_WINDOW_STATE_ICONIFIED) &&
      g_get_monotonic_time() - iconified_at_ < kSameMoment) {
    state_ = state_before_;
  }
}

PlacementRecord GtkPlacementWindow::GetPlacement() {
  PlacementRecord record;
  if (Iconified()) {
    record.show_cmd = 2;
    if (was_maximized_) record.flags |= 2;  // comes back maximised
  } else {
    record.show_cmd = Maximized() ? 3 : 1;
  }
  record.min_position = min_position_;
  record.max_position = max_position_;
  record.normal = normal_;
  return record;
}

void GtkPlacementWindow::SetPlacement(const PlacementRecord& record) {
  min_position_ = record.min_position;
  max_position_ = record.max_position;
  const Rect& r = record.normal;
  if (r.Width() > 0 && r.Height() > 0) {
    if (CanMove()) gtk_window_move(window_, r.left, r.top);
    gtk_window_resize(window_, r.Width(), r.Height());
    if (!(r == normal_)) {
      previous_normal_ = normal_;
      normal_ = r;
      normal_seen_ = false;
    }
  }
  switch (record.show_cmd) {
    case 0:
      break;  // a hidden window stays hidden; its state comes separately
    case 3:
      gtk_window_maximize(window_);
      break;
    case 2:
    case 6:
    case 7:
      gtk_window_iconify(window_);
      break;
    default:
      gtk_window_unmaximize(window_);
      gtk_window_deiconify(window_);
      break;
  }
}

bool GtkPlacementWindow::Visible() { return gtk_widget_get_visible(GTK_WIDGET(window_)); }

Point GtkPlacementWindow::ScreenSize() {
  GdkMonitor* monitor = PrimaryMonitor(window_);
  if (!monitor) return {0, 0};
  GdkRectangle area;
  gdk_monitor_get_geometry(monitor, &area);
  const int scale = gdk_monitor_get_scale_factor(monitor);
  return {area.width * scale, area.height * scale};
}

int GtkPlacementWindow::Dpi() {
  GdkScreen* screen = gtk_widget_get_screen(GTK_WIDGET(window_));
  double resolution = screen ? gdk_screen_get_resolution(screen) : -1.0;
  if (resolution <= 0) resolution = 96.0;
  return static_cast<int>(std::lround(resolution));
}

std::vector<PlacementScreen> GtkPlacementWindow::Screens() {
  // Also where the window cannot be placed (Wayland): a stored size larger than the screens
  // shrinks to fit them.
  std::vector<PlacementScreen> screens;
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window_));
  for (int i = 0, n = gdk_display_get_n_monitors(display); i < n; ++i) {
    GdkMonitor* monitor = gdk_display_get_monitor(display, i);
    GdkRectangle b, w;
    gdk_monitor_get_geometry(monitor, &b);
    gdk_monitor_get_workarea(monitor, &w);
    screens.push_back({ToRect(b), ToRect(w)});
  }
  return screens;
}

Rect GtkPlacementWindow::Bounds() {
  if ((state_ & kNotNormal) != 0 || !Visible()) return normal_;
  Rect now = CurrentRect(window_);
  if (!CanMove()) now = {normal_.left, normal_.top, normal_.left + now.Width(),
                         normal_.top + now.Height()};
  return now;
}

StoredWindowState GtkPlacementWindow::WindowState() {
  if (Iconified()) return StoredWindowState::Minimized;
  return Maximized() ? StoredWindowState::Maximized : StoredWindowState::Normal;
}

void GtkPlacementWindow::SetWindowState(StoredWindowState state) {
  switch (state) {
    case StoredWindowState::Maximized:
      gtk_window_deiconify(window_);
      gtk_window_maximize(window_);
      break;
    case StoredWindowState::Minimized:
      gtk_window_iconify(window_);
      break;
    case StoredWindowState::Normal:
      gtk_window_deiconify(window_);
      gtk_window_unmaximize(window_);
      break;
  }
}

void GtkPlacementWindow::Repaint() { gtk_widget_queue_draw(GTK_WIDGET(window_)); }

bool GtkPlacementWindow::ApplicationMinimized() { return Iconified(); }

void GtkPlacementWindow::MinimizeApplication() { gtk_window_iconify(window_); }

std::wstring GtkPlacementWindow::ActiveControlName() {
  GtkWidget* focus = gtk_window_get_focus(window_);
  return focus ? WidenUtf8(gtk_widget_get_name(focus)) : std::wstring();
}

void GtkPlacementWindow::FocusControl(const std::wstring& name) {
  GtkWidget* widget = FindNamed(GTK_WIDGET(window_), NarrowUtf8(name));
  if (widget && gtk_widget_get_can_focus(widget)) gtk_widget_grab_focus(widget);
}

GtkFormPlacement::GtkFormPlacement(GtkWindow* window, std::string file_path,
                                   std::wstring program_name)
    : PlacementEngine(this),
      store_(std::move(file_path)),
      window_(window),
      program_name_(std::move(program_name)) {
  SetOptions(fpState | fpPosition);
  Bind(&store_, &window_);
}

GtkFormPlacement::~GtkFormPlacement() { Unbind(); }

}  // namespace reprisa
