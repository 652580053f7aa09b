// Components: objects with an owner that destroys them, a name, and the loading and destroying
// states of a form that is being built (by its constructor, control by control) or torn down.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/error_handler.h"

namespace reprisa {

class TComponent : public TObject {
 public:
  // A component created while its owner is loading is loading too, until Loaded().
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const noexcept { return owner_; }
  const std::wstring& Name() const noexcept { return name_; }
  void SetName(std::wstring name) { name_ = std::move(name); }
  virtual std::wstring ClassName() const { return L"TComponent"; }

  std::size_t ComponentCount() const noexcept { return components_.size(); }
  TComponent* Components(std::size_t index) const { return components_.at(index); }
  TComponent* FindComponent(std::wstring_view name) const;

  bool Loading() const noexcept { return loading_; }
  bool Destroying() const noexcept { return destroying_; }
  // Marks the component (and everything it owns) as being built.
  void BeginLoading();
  // Called once the whole form has been built; clears the loading state. Overrides call the base.
  virtual void Loaded();
  // Calls Loaded() on every owned component in creation order, then on the owner itself.
  void EndLoading();

  // Runs just before the owner deletes the component, while every part of it still exists
  // (a form's destroy event runs here).
  virtual void BeforeDestruction() {}

 protected:
  // Marks this component and everything it owns as being destroyed; destructors of derived
  // classes call it first so that owned components see the state while they go.
  void BeginDestroy() noexcept;
  // Frees the owned components, newest first.
  void DestroyComponents() noexcept;

 private:
  void Insert(TComponent* child);
  void Remove(TComponent* child) noexcept;

  TComponent* owner_;
  std::wstring name_;
  std::vector<TComponent*> components_;
  bool loading_ = false;
  bool destroying_ = false;
};

}  // namespace reprisa
