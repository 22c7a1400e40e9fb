#pragma once

namespace tidemark {

/// Marks the calling thread as background work: it no longer preempts the threads it wakes
/// or shares a core with, the window's among them, and gets the processor when they leave it.
/// For the threads that prepare files and list folders ahead of the walk.
void MarkThreadAsBackground();

}  // namespace tidemark
