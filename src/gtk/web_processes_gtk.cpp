#include "gtk/web_processes_gtk.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

namespace reprisa {

namespace {

// What /proc/<pid>/stat tells of a process.
struct ProcessStat {
  pid_t pid = 0;
  pid_t parent = 0;
  std::string name;
  std::uint64_t start_ticks = 0;  // clock ticks after boot
};

std::optional<ProcessStat> ReadStat(const std::string& proc, pid_t pid) {
  std::ifstream in(proc + "/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return std::nullopt;
  // The name in brackets may hold blanks and brackets; the fields after the last ')' do not.
  const auto open = text.find('('), close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  ProcessStat stat;
  stat.pid = pid;
  stat.name = text.substr(open + 1, close - open - 1);
  std::istringstream fields(text.substr(close + 1));
  std::string state, skip;
  fields >> state >> stat.parent;
  for (int i = 0; i < 17 && fields; ++i) fields >> skip;  // fields 5 to 21
  fields >> stat.start_ticks;                             // field 22
  if (!fields) return std::nullopt;
  return stat;
}

// The web processes below `parent`, oldest first.
std::vector<ProcessStat> WebProcessStats(pid_t parent, const std::string& proc) {
  std::multimap<pid_t, ProcessStat> children;
  // Processes come and go while the folder is read: each step may fail, and the walk ends there
  // with what it found (the range-for's steps would throw).
  std::error_code error;
  for (std::filesystem::directory_iterator it(proc, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    pid_t pid = 0;
    const auto [rest, parse] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (name.empty() || parse != std::errc() || rest != name.data() + name.size() || pid <= 0) {
      continue;
    }
    if (auto stat = ReadStat(proc, pid)) children.emplace(stat->parent, std::move(*stat));
  }
  std::vector<ProcessStat> found;
  std::vector<pid_t> todo{parent};
  while (!todo.empty()) {
    const pid_t next = todo.back();
    todo.pop_back();
    auto [first, last] = children.equal_range(next);
    for (auto it = first; it != last; ++it) {
      todo.push_back(it->second.pid);
      // The kernel keeps the first 15 bytes of a name.
      if (it->second.name.rfind("WebKitWebProces", 0) == 0) found.push_back(it->second);
    }
  }
  std::sort(found.begin(), found.end(), [](const ProcessStat& a, const ProcessStat& b) {
    return a.start_ticks != b.start_ticks ? a.start_ticks < b.start_ticks : a.pid < b.pid;
  });
  return found;
}

// A process's anonymous memory in KiB, resident or swapped out (its heap, scripts, decoded
// media): what grows. Not its share of the libraries' pages, which moves whenever another program
// maps the same libraries. 0 when it cannot be read.
std::uint64_t AnonymousKiB(const std::string& proc, pid_t pid) {
  std::ifstream in(proc + "/" + std::to_string(pid) + "/smaps_rollup");
  std::string line;
  std::uint64_t kib = 0;
  while (std::getline(in, line)) {
    for (const char* key : {"Anonymous:", "Swap:"}) {
      if (line.rfind(key, 0) == 0) kib += std::strtoull(line.c_str() + strlen(key), nullptr, 10);
    }
  }
  return kib;
}

std::optional<EngineMemoryBudget::Reading> ReadWebProcessesOrThrow(pid_t parent,
                                                                   const std::string& proc) {
  const std::vector<ProcessStat> web = WebProcessStats(parent, proc);
  double uptime = 0;
  if (web.empty() || !(std::ifstream(proc + "/uptime") >> uptime)) return std::nullopt;
  const ProcessStat& youngest = web.back();
  const double started = static_cast<double>(youngest.start_ticks) /
                         static_cast<double>(sysconf(_SC_CLK_TCK));
  EngineMemoryBudget::Reading reading{};
  reading.identity = (youngest.start_ticks << 22) ^ static_cast<std::uint64_t>(youngest.pid);
  reading.age_seconds = uptime > started ? static_cast<std::uint64_t>(uptime - started) : 0;
  for (const ProcessStat& stat : web) reading.kib += AnonymousKiB(proc, stat.pid);
  return reading;
}

}  // namespace

std::vector<pid_t> WebProcessIds(pid_t parent, const std::string& proc) noexcept {
  std::vector<pid_t> ids;
  try {
    for (const ProcessStat& stat : WebProcessStats(parent, proc)) ids.push_back(stat.pid);
  } catch (...) {
    ids.clear();  // only a lack of memory throws here: none known
  }
  return ids;
}

std::optional<EngineMemoryBudget::Reading> ReadWebProcesses(pid_t parent,
                                                            const std::string& proc) noexcept {
  try {
    return ReadWebProcessesOrThrow(parent, proc);
  } catch (...) {
    return std::nullopt;  // only a lack of memory throws here: no reading this time
  }
}

}  // namespace reprisa
