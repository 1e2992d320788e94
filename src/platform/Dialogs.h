// The standard message dialog, behind a hook: the shell installs one that shows its modal
// dialogs; without it (tools, tests, a GUI that is not up yet) the text goes to standard error.
// Set the hook before other threads start; it is called on the GUI thread only.
#pragma once

#include <functional>
#include <string_view>

// mtCustom is the plain box: no icon.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

using TMessageBoxHook = std::function<void(TMsgDlgType type, std::string_view caption, std::string_view text)>;

// Installs the hook; an empty hook restores the standard-error fallback.
void SetMessageBoxHook(TMessageBoxHook hook);
// Shows a modal message with the single button "OK" and returns when it is closed.
void MessageDlg(TMsgDlgType type, std::string_view caption, std::string_view text);
