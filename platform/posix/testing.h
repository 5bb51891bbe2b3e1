// Test hooks of the portable platform layer. Only the posix build has them: on Windows the language
// and the code page are the system's, and the moments inside an opening cannot be reached.
#pragma once

namespace glimmerfen::platform {

// Switches the language of LoadText (Japanese or English) and the ANSI code page (932, 936, 949, 950 or
// 1252; any other number throws std::invalid_argument) for the whole process. Texts converted before the call
// keep their bytes.
void SetLanguageAndCodePageForTesting(bool japanese, unsigned codePage);

// The language in force: true for Japanese.
bool JapaneseTextsForTesting();

// Calls hook(context) inside every ExclusiveFile::Open, after the file is opened and before it is
// locked, so a test can replace the file at that moment; nullptr removes the hook. Set it only while
// no opening runs.
void SetBetweenOpenAndLockHookForTesting(void (*hook)(void*), void* context);

// With true, ShowMessage (without a sink) waits after printing its text like a box that nobody
// answers, until DismissMessagesOf ends it.
void SetMessagesWaitForAnswerForTesting(bool wait);

} // namespace glimmerfen::platform
