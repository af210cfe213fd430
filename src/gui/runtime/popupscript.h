// The seam of the modal pop-ups: while scripted answers are queued, MessagePopup, ConfirmPopup
// and FileSelectPopup take the next one instead of asking the operator. Tests answer through it.
#pragma once

#include <cstddef>
#include <string>

// Queues the result of the next pop-up; a file selection also returns `path`.
void QueuePopupAnswer(int result, const std::string &path = {});
std::size_t PendingPopupAnswers();
void ClearPopupAnswers();

// Without a person at the screen (command-line tools): every pop-up that no scripted answer
// takes is passed to `handler` and answered with its default (message: 0, question: no, file
// selection: nothing chosen). nullptr: ask the operator again.
using PopupTextHandler = void (*)(const char *title, const char *message);
void SetUnattendedPopups(PopupTextHandler handler);

// Title and message of the last pop-up asked, as "title: message".
std::string LastPopupText();
