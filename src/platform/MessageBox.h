#pragma once
// The program's message dialog as the core sees it: show a text, with OK alone or with OK and
// Cancel, modal in the calling thread, and return the answer. Any thread may call it.
#include <functional>
#include <string>

namespace kmr {

enum MessageResult : unsigned char { MSG_OK = 0, MSG_CANCEL = 1 };

// Handler installed by the program: the desktop program shows its dialog on the GUI thread and
// blocks the calling worker until answered; the CLI prints; tests record and answer as told.
using MessageHandler = std::function<MessageResult(const std::string& text, bool showCancel)>;

// Shows text and returns the answer. Without an installed handler the text goes to standard
// error and the answer is OK for a plain message and Cancel for a question.
MessageResult ShowMessage(const std::string& text, bool showCancel = false);

// Installs handler (an empty one restores the default); returns the previous one. The handler
// is called outside any lock, so it may block for as long as the user takes to answer.
MessageHandler SetMessageHandler(MessageHandler handler);

} // namespace kmr
