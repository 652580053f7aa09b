#include "core/web_engine.h"

#include <algorithm>
#include <utility>

namespace reprisa {

EngineStep EngineLifecycle::StartAttempt() {
  recreating_ = state_ == EngineState::Lost;
  state_ = EngineState::Creating;
  ++attempt_;
  EngineStep step;
  step.start = true;
  return step;
}

EngineStep EngineLifecycle::Begin(bool runtime_found) {
  if (state_ != EngineState::Undecided) return {};
  if (runtime_found) return StartAttempt();
  state_ = EngineState::Control;
  EngineStep step;
  step.fallback = true;
  step.open = last_;
  return step;
}

EngineStep EngineLifecycle::Navigate(std::wstring address) {
  last_ = std::move(address);
  shown_.reset();
  load_failed_ = false;
  switch (state_) {
    case EngineState::WebView:
    case EngineState::Control: {
      EngineStep step;
      step.open = last_;
      return step;
    }
    case EngineState::Lost:
      return StartAttempt();  // the address is opened once the new web view is there
    case EngineState::Undecided:
    case EngineState::Creating:
    case EngineState::Closed:
      return {};
  }
  return {};
}

EngineStep EngineLifecycle::Reload() { return Again(false); }

EngineStep EngineLifecycle::Recover() { return Again(true); }

EngineStep EngineLifecycle::Again(bool recovering) {
  EngineStep step;
  switch (state_) {
    case EngineState::WebView:
    case EngineState::Control:
      if (load_failed_ && PageAddress())
        step.open = PageAddress();
      else
        step.reload = true;
      return step;
    case EngineState::Lost:
      return StartAttempt();
    case EngineState::Undecided:
    case EngineState::Creating:
    case EngineState::Closed:
      step.refuse = !recovering;
      return step;
  }
  return step;
}

EngineStep EngineLifecycle::Created(std::uint32_t attempt) {
  EngineStep step;
  if (state_ != EngineState::Creating || attempt != attempt_) {
    step.discard = true;
    return step;
  }
  state_ = EngineState::WebView;
  failed_recreations_ = 0;
  step.open = PageAddress();
  return step;
}

EngineStep EngineLifecycle::Failed(std::uint32_t attempt) {
  if (state_ != EngineState::Creating || attempt != attempt_) return {};
  EngineStep step;
  if (recreating_ && ++failed_recreations_ < kFailedRecreationsBeforeControl) {
    state_ = EngineState::Lost;
    step.lost = true;
    return step;
  }
  state_ = EngineState::Control;
  step.fallback = true;
  step.open = PageAddress();
  return step;
}

void EngineLifecycle::LoadFinished(std::wstring address, LoadOutcome outcome) {
  if (!address.empty()) shown_ = std::move(address);
  if (outcome != LoadOutcome::Other) load_failed_ = outcome == LoadOutcome::Failed;
}

bool HangWatch::Reported(std::uint32_t now) noexcept {
  const bool first = reports_ == 0 || now - last_ > kEpisodeGapMs;
  if (first) {
    first_ = now;
    reports_ = 0;
  }
  ++reports_;
  last_ = now;
  return first;
}

bool HangWatch::Hung(std::uint32_t now) const noexcept {
  return reports_ > 0 && now - first_ >= kHungMs && now - last_ <= kHungMs / 2;
}

namespace {

std::wstring Lower(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& c : lower)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return lower;
}

// The document part of an address (before its fragment) as the engine writes it.
std::wstring DocumentKey(std::wstring_view address) {
  const std::size_t colon = address.find(L':');
  if (colon == std::wstring_view::npos) return std::wstring(address);
  const std::wstring scheme = Lower(address.substr(0, colon));
  if (address.substr(colon, 3) != L"://") return scheme + std::wstring(address.substr(colon));
  const std::wstring_view rest = address.substr(colon + 3);
  const std::size_t end = std::min(rest.find_first_of(L"/?"), rest.size());
  std::wstring authority = Lower(rest.substr(0, end));
  std::wstring path(rest.substr(end));
  const std::wstring_view port = scheme == L"http" ? L":80" : scheme == L"https" ? L":443" : L"";
  if (!port.empty() && authority.ends_with(port)) authority.resize(authority.size() - port.size());
  if (path.empty() || path.front() == L'?') path.insert(0, 1, L'/');
  return scheme + L"://" + authority + path;
}

}  // namespace

SameDocument SameDocumentAs(std::wstring_view address, std::wstring_view shown) {
  const std::size_t hash = address.find(L'#');
  if (hash == std::wstring_view::npos) return SameDocument::No;  // without a fragment: a load
  const std::size_t shown_hash = std::min(shown.find(L'#'), shown.size());
  if (DocumentKey(address.substr(0, hash)) != DocumentKey(shown.substr(0, shown_hash)))
    return SameDocument::No;
  return address.substr(hash) == shown.substr(shown_hash) ? SameDocument::SameAddress
                                                          : SameDocument::OtherFragment;
}

LoadOutcome WebViewLoadOutcome(bool success, int web_error_status, int http_status) {
  if (http_status >= 500 && http_status <= 599) return LoadOutcome::Failed;
  if (success) return LoadOutcome::Loaded;
  // The web view's error statuses worth another try: the server unreachable (6), a time-out (7),
  // an invalid answer (8), the connection aborted (9) or reset (10), the network gone (11), no
  // connection made (12), the host name not resolved (13, also while the network is down).
  return web_error_status >= 6 && web_error_status <= 13 ? LoadOutcome::Failed
                                                        : LoadOutcome::Other;
}

LoadOutcome ControlErrorOutcome(long status) {
  if (status >= 500 && status <= 599) return LoadOutcome::Failed;
  switch (static_cast<unsigned long>(status)) {
    case 0x800C0003:  // no session
    case 0x800C0004:  // cannot connect
    case 0x800C0005:  // the server not found
    case 0x800C0007:  // no data
    case 0x800C0008:  // the download failed
    case 0x800C000B:  // a time-out
      return LoadOutcome::Failed;
    default:
      return LoadOutcome::Other;
  }
}

EngineStep EngineLifecycle::BrowserProcessEnded() {
  if (state_ == EngineState::WebView) state_ = EngineState::Lost;
  return {};
}

MenuKeyStep MenuKeys::Key(KeyEventKind kind, unsigned key, bool shift_or_ctrl,
                          std::wstring_view mnemonics) {
  const bool down = kind == KeyEventKind::KeyDown || kind == KeyEventKind::SystemKeyDown;
  const bool alt = key == kKeyAlt || key == kKeyLeftAlt || key == kKeyRightAlt;
  MenuKeyStep step;
  if (alt) {
    if (down) {
      // Alt's own repeats keep it alone; Alt pressed with Shift or Ctrl is a shortcut's part.
      alt_alone_ = !shift_or_ctrl;
    } else if (alt_alone_) {
      alt_alone_ = false;
      step.handled = true;
      step.open_menu = true;
    }
    return step;
  }
  if (!down) return step;
  alt_alone_ = false;
  if (key == kKeyF10 && !shift_or_ctrl) {
    step.handled = true;
    step.open_menu = true;
    return step;
  }
  if (kind == KeyEventKind::SystemKeyDown && !shift_or_ctrl && key != 0 && key < 0x80 &&
      mnemonics.find(static_cast<wchar_t>(key)) != std::wstring_view::npos) {
    step.handled = true;
    step.open_menu = true;
    wchar_t c = static_cast<wchar_t>(key);
    step.mnemonic = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
  }
  return step;
}

wchar_t MenuMnemonic(std::wstring_view caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != L'&') continue;
    wchar_t c = caption[i + 1];
    if (c == L'&') {
      ++i;
      continue;
    }
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  }
  return 0;
}

}  // namespace reprisa
