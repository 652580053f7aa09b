// Timing marks for the start-up benchmark (bench/startup_steps.sh). Only a build configured with
// -DREPRISA_STARTUP_TRACE=ON records them: each mark keeps the performance counter beside its
// step's name, and the program writes them when it ends to reprisa-startup.txt beside itself.
// In every other build the calls are empty and vanish.
#pragma once

namespace reprisa {

#ifdef REPRISA_STARTUP_TRACE
// Records that `step` (a string literal) has just ended.
void StartupMark(const char* step) noexcept;
// Appends the marks to the file beside the executable, one "ticks step" line each, after a line
// with the counter's frequency.
void WriteStartupMarks() noexcept;
#else
inline void StartupMark(const char*) noexcept {}
inline void WriteStartupMarks() noexcept {}
#endif

}  // namespace reprisa
