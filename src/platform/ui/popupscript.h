// The seam of the modal pop-ups: while scripted answers are queued, MessagePopup, ConfirmPopup
// and FileSelectPopup take the next one instead of asking the operator. Tests answer through it.
#pragma once

#include <cstddef>
#include <string>

// Queues the result of the next pop-up; a file selection also returns `path`.
void QueuePopupAnswer(int result, const std::string &path = {});
std::size_t PendingPopupAnswers();
void ClearPopupAnswers();

// Title and message of the last pop-up asked, as "title: message".
std::string LastPopupText();
