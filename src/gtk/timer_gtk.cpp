#include "gtk/timer_gtk.h"

namespace reprisa {

GTimeoutBackend::~GTimeoutBackend() { Stop(); }

bool GTimeoutBackend::Start(std::uint32_t interval_ms) {
  // g_timeout_add keeps the period from the previous expiry, not from the end of the handler.
  source_ = g_timeout_add(interval_ms, &GTimeoutBackend::OnTimeout, this);
  return source_ != 0;
}

void GTimeoutBackend::Stop() noexcept {
  if (source_ != 0) {
    g_source_remove(source_);
    source_ = 0;
  }
}

gboolean GTimeoutBackend::OnTimeout(gpointer self) {
  auto* backend = static_cast<GTimeoutBackend*>(self);
  // The handler may stop or re-arm this very timer; the source id then changes or clears, and
  // the old source is removed by Stop(), so this callback must not remove it a second time.
  const guint source = backend->source_;
  if (backend->timer_) backend->timer_->DeliverTick();  // catches at this boundary
  return source == backend->source_ && source != 0 ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

std::uint32_t MonotonicTickSource::Now() {
  return static_cast<std::uint32_t>(g_get_monotonic_time() / 1000);
}

}  // namespace reprisa
