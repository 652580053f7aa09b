#include "core/component.h"

#include <algorithm>

namespace reprisa {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_ != nullptr) {
    owner_->Insert(this);
    loading_ = owner_->loading_;
  }
}

TComponent::~TComponent() {
  BeginDestroy();
  DestroyComponents();
  if (owner_ != nullptr) owner_->Remove(this);
}

TComponent* TComponent::FindComponent(std::wstring_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_) {
    const std::wstring& n = c->Name();
    if (n.size() == name.size() &&
        std::equal(n.begin(), n.end(), name.begin(), [](wchar_t a, wchar_t b) {
          auto lower = [](wchar_t ch) { return (ch >= L'A' && ch <= L'Z') ? ch + 32 : ch; };
          return lower(a) == lower(b);
        }))
      return c;
  }
  return nullptr;
}

void TComponent::BeginLoading() {
  loading_ = true;
  for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::Loaded() { loading_ = false; }

void TComponent::EndLoading() {
  // Copy: a Loaded() may create or free components.
  std::vector<TComponent*> snapshot = components_;
  for (TComponent* c : snapshot) {
    if (std::find(components_.begin(), components_.end(), c) != components_.end() && c->loading_)
      c->Loaded();
  }
  if (loading_) Loaded();
}

void TComponent::BeginDestroy() noexcept {
  if (destroying_) return;
  destroying_ = true;
  for (TComponent* c : components_) c->BeginDestroy();
}

void TComponent::DestroyComponents() noexcept {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    components_.pop_back();
    last->BeforeDestruction();
    last->owner_ = nullptr;
    delete last;
  }
}

void TComponent::Insert(TComponent* child) { components_.push_back(child); }

void TComponent::Remove(TComponent* child) noexcept {
  auto it = std::find(components_.begin(), components_.end(), child);
  if (it != components_.end()) components_.erase(it);
}

}  // namespace reprisa
