// Small owners for GLib and GTK resources, and the guard every GTK callback runs its work in.
// Plain C API plus these few helpers instead of gtkmm: gtkmm's headers more than double the
// compile time of each file on a two-core machine, and the program needs only a dozen widgets.
#pragma once

#include <glib-object.h>
#include <glib.h>

#include <string>
#include <type_traits>
#include <utility>

#include "core/error_handler.h"

namespace reprisa {

// One reference to a GObject, dropped at the end of its life.
template <class T>
class GRef {
 public:
  GRef() = default;
  // Takes over a reference the caller owns (a *_new() result or a floating ref already sunk).
  explicit GRef(T* owned) noexcept : p_(owned) {}
  // Adds a reference of our own to an object someone else owns.
  static GRef Share(T* borrowed) noexcept {
    if (borrowed) g_object_ref(borrowed);
    return GRef(borrowed);
  }
  GRef(GRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  GRef& operator=(GRef&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  GRef(const GRef&) = delete;
  GRef& operator=(const GRef&) = delete;
  ~GRef() { Reset(); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void Reset(T* owned = nullptr) noexcept {
    if (p_) g_object_unref(p_);
    p_ = owned;
  }

 private:
  T* p_ = nullptr;
};

// A g_malloc'ed C string, freed with g_free.
class GString0 {
 public:
  GString0() = default;
  explicit GString0(gchar* owned) noexcept : p_(owned) {}
  GString0(GString0&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  GString0& operator=(GString0&& other) noexcept {
    if (this != &other) {
      g_free(p_);
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  GString0(const GString0&) = delete;
  GString0& operator=(const GString0&) = delete;
  ~GString0() { g_free(p_); }
  const gchar* get() const noexcept { return p_; }
  std::string str() const { return p_ ? std::string(p_) : std::string(); }

 private:
  gchar* p_ = nullptr;
};

// A GError out-parameter that frees what it caught: `GErrorBox e; f(..., e.out());`
class GErrorBox {
 public:
  GErrorBox() = default;
  GErrorBox(const GErrorBox&) = delete;
  GErrorBox& operator=(const GErrorBox&) = delete;
  ~GErrorBox() { Clear(); }
  GError** out() noexcept {
    Clear();
    return &e_;
  }
  explicit operator bool() const noexcept { return e_ != nullptr; }
  const GError* get() const noexcept { return e_; }
  std::string message() const { return e_ && e_->message ? e_->message : ""; }
  void Clear() noexcept { g_clear_error(&e_); }

 private:
  GError* e_ = nullptr;
};

// A GKeyFile, freed with g_key_file_free.
class KeyFileRef {
 public:
  KeyFileRef() : p_(g_key_file_new()) {}
  KeyFileRef(const KeyFileRef&) = delete;
  KeyFileRef& operator=(const KeyFileRef&) = delete;
  ~KeyFileRef() { g_key_file_free(p_); }
  GKeyFile* get() const noexcept { return p_; }

 private:
  GKeyFile* p_;
};

// Runs f at a GTK callback boundary: no exception gets past it, every one goes to the
// application's error handler with `sender` (which may be null) as the sender.
template <class F>
auto Guarded(TObject* sender, F&& f) noexcept -> decltype(f()) {
  using R = decltype(f());
  try {
    return f();
  } catch (...) {
    HandleException(sender);
    if constexpr (!std::is_void_v<R>) return R{};
  }
}

}  // namespace reprisa
