#pragma once

namespace tidemark::bench {

/// `tidemark-bench run [options] SOURCE DESTINATION`: one Synchronize Now! press, headless.
/// Exits 0 after a run and 2 on bad arguments.
int RunCommand(int argc, char** argv);

}  // namespace tidemark::bench
