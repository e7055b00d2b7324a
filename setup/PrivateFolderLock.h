#pragma once

#include <QDeadlineTimer>
#include <atomic>

// One run at a time in the user's private folder: a run holds an exclusive
// lock on the folder itself from its first use until its clean-up is done.
// The folder is removed only by the run that holds it, so a run that got the
// lock on a folder removed meanwhile notices it and takes the new one.
namespace PrivateFolderLock {

enum class Result { Held, Busy, Unsafe, Stopped };

// Takes the folder for this process, making it (mode 0700) when it is missing.
// Busy while another run has it; Unsafe when what stands there is not a real
// folder of the user's own closed to others.
Result tryLock();

// Tries again every tenth of a second until the folder is ours, the
// deadline passes (Busy) or `stop` is raised (Stopped).
Result lockWithin(const QDeadlineTimer& deadline, const std::atomic<bool>& stop);

// True while this process holds the folder.
bool held();

// Removes the folder when it is empty, and only while no other run has it.
void removeIfEmpty();

// Removes the folder when it is empty, then lets the next run in.
void release();

}  // namespace PrivateFolderLock
