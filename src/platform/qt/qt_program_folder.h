#pragma once

#include <string>

namespace tidemark {

/// The program folder of this installation: the executable's folder when it is writable,
/// otherwise the user's data folder for the application, created when missing. Needs a
/// QCoreApplication with the application name set.
std::string LocateProgramFolder();

}  // namespace tidemark
