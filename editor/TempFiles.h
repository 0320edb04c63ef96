// Temporary files that must not outlive the program: a save writes beside its target and
// renames at the end, and when the program is stopped by a signal half way, the half-written
// file is removed instead of being left in the user's folder.
#pragma once

namespace kvx {

// From now on SIGINT, SIGTERM and SIGHUP first remove every registered file and then end
// the program as they would have. Programs that write files call it once at the start.
void RemoveTemporariesOnSignals();

// Registers a file to remove on those signals; the path must stay valid until it is
// forgotten. Answers a slot for ForgetTemporary, or -1 when every slot is in use (the file
// is then merely not removed on a signal).
int RegisterTemporary(const char* path);
void ForgetTemporary(int slot);

} // namespace kvx
