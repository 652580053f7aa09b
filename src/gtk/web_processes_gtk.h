// The web processes of the program's web view, read from the proc folder: which there are below
// the program, and how much memory they hold (what decides when the web process is replaced).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "core/engine_memory.h"

namespace reprisa {

// The web processes below the process `parent` (the program's own), read from the proc folder:
// the youngest's identity and age, and the anonymous memory of all of them together (resident or
// swapped out); nothing when there is none. Their ids, oldest first. Neither throws: what cannot
// be read (a process that ended while it was read) is left out.
std::optional<EngineMemoryBudget::Reading> ReadWebProcesses(
    pid_t parent, const std::string& proc = "/proc") noexcept;
std::vector<pid_t> WebProcessIds(pid_t parent, const std::string& proc = "/proc") noexcept;

}  // namespace reprisa
