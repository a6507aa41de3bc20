#pragma once
// Which thread runs what. The process's first thread is the UI thread: it builds the
// windows, runs the message loop and every command, and is the only one that may touch
// a widget or the conversion run's state outside the hand-overs the run makes. Threads
// the program starts carry a name (seen by ps, top and a debugger) saying what runs on
// them.
//
// TALVERN_ASSERT_UI_THREAD() stops a debug build (and the sanitizer build, which
// defines TALVERN_THREAD_CHECKS) when called from any other thread; it is nothing in
// a release build.

// Names the calling thread; the system keeps the first 15 characters.
void NameThisThread(const char* name);
// Whether the caller runs on the UI thread.
bool IsUiThread();
// Stops the program with the function's name when the caller is not on the UI thread.
void FailOffUiThread(const char* function);

#if !defined(NDEBUG) || defined(TALVERN_THREAD_CHECKS)
#define TALVERN_ASSERT_UI_THREAD() (IsUiThread() ? (void)0 : FailOffUiThread(__func__))
#else
#define TALVERN_ASSERT_UI_THREAD() ((void)0)
#endif
