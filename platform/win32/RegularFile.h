#pragma once
// Opening files named by the user or by a file without waiting on them. A FIFO or a
// device opened the ordinary way can block until another process appears, and reading
// one never ends; every reader and settings file takes regular files only.
#include <sys/types.h>

// open() of a UTF-8 (or raw byte) path that never blocks in the call and keeps the
// descriptor only when it names a regular file; O_CLOEXEC is added, and the descriptor
// returned blocks as usual. -1 when the file cannot be opened or is not a regular file.
int OpenRegularFile(const char* path, int flags, mode_t mode = 0666);

// True when path names a regular file (links followed).
bool IsRegularFile(const char* path);
