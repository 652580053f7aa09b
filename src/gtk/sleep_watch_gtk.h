// Tells when the computer woke from sleep: logind's PrepareForSleep(false) on the system bus.
// Without a system bus or without logind nothing is told and nothing fails; the bus is reached
// in the background, so the start does not wait for it.
#pragma once

#include <gio/gio.h>

#include <functional>

#include "gtk/gtk_ptr.h"

namespace reprisa {

class SleepWatch {
 public:
  // `woke` runs on the main loop after each wake; it must not throw.
  explicit SleepWatch(std::function<void()> woke);
  ~SleepWatch();
  SleepWatch(const SleepWatch&) = delete;
  SleepWatch& operator=(const SleepWatch&) = delete;

  // Whether the watch is listening on a bus (for tests).
  bool Listening() const noexcept { return subscription_ != 0; }

 private:
  static void OnBus(GObject* source, GAsyncResult* result, gpointer self);
  static void OnSignal(GDBusConnection* bus, const gchar* sender, const gchar* path,
                       const gchar* interface, const gchar* signal, GVariant* parameters,
                       gpointer self);

  std::function<void()> woke_;
  GRef<GCancellable> cancel_;
  GRef<GDBusConnection> bus_;
  guint subscription_ = 0;
};

}  // namespace reprisa
