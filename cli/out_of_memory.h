// Memory that runs out where the program cannot unwind to a step's end (a destructor, a
// library's code that may not throw) ends the program with one sentence naming what it was doing,
// after removing the temporary files of writes in progress, instead of an abort.
#pragma once

#include <string_view>

namespace pigmora::cli {

// What the program is doing, for that sentence ("job.json, step 3 (stroke)"). Copied into a
// buffer of its own, so that saying it later needs no memory.
void setActivity(std::string_view what);

// Installs the ending; other uncaught failures end the program as before. Safe to call again.
void endOnOutOfMemory();

}  // namespace pigmora::cli
