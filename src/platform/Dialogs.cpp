#include "platform/Dialogs.h"

#include <cstdio>
#include <string>
#include <utility>

namespace {

TMessageBoxHook& Hook() {
  static TMessageBoxHook hook;
  return hook;
}

}  // namespace

void SetMessageBoxHook(TMessageBoxHook hook) { Hook() = std::move(hook); }

void MessageDlg(TMsgDlgType type, std::string_view caption, std::string_view text) {
  if (Hook()) {
    Hook()(type, caption, text);
    return;
  }
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(), static_cast<int>(text.size()),
               text.data());
}
