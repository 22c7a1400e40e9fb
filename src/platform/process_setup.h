#pragma once

namespace tidemark {

/// Settings of the whole process that a run relies on, made once at the start of main():
/// a write past the file-size limit fails that file instead of ending the program, and the
/// soft limit on open descriptors is raised as far as the system allows, for the folders and
/// copies the look-ahead holds open.
void PrepareProcess();

}  // namespace tidemark
