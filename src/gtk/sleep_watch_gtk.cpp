#include "gtk/sleep_watch_gtk.h"

#include <utility>

namespace reprisa {

SleepWatch::SleepWatch(std::function<void()> woke)
    : woke_(std::move(woke)), cancel_(g_cancellable_new()) {
  g_bus_get(G_BUS_TYPE_SYSTEM, cancel_.get(), &SleepWatch::OnBus, this);
}

SleepWatch::~SleepWatch() {
  // A connection still being made answers "cancelled" and no longer touches this object.
  g_cancellable_cancel(cancel_.get());
  if (subscription_ != 0) g_dbus_connection_signal_unsubscribe(bus_.get(), subscription_);
}

void SleepWatch::OnBus(GObject*, GAsyncResult* result, gpointer self) {
  GErrorBox error;
  GDBusConnection* bus = g_bus_get_finish(result, error.out());
  if (!bus) return;  // no system bus (or cancelled: self is gone): no wake is told
  auto* watch = static_cast<SleepWatch*>(self);
  watch->bus_.Reset(bus);
  watch->subscription_ = g_dbus_connection_signal_subscribe(
      bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
      "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &SleepWatch::OnSignal, self,
      nullptr);
}

void SleepWatch::OnSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                          const gchar*, GVariant* parameters, gpointer self) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
  gboolean going_to_sleep = TRUE;
  g_variant_get(parameters, "(b)", &going_to_sleep);
  auto* watch = static_cast<SleepWatch*>(self);
  if (!going_to_sleep && watch->woke_) watch->woke_();
}

}  // namespace reprisa
