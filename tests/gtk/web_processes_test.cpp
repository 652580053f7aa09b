// Which web processes the program has and how much memory they hold, read from a proc folder of
// the test's own.
#include <gtest/gtest.h>
#include <glib.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "gtk/web_processes_gtk.h"
#include "gtk_test_support.h"

namespace reprisa {
namespace {

using testing_gtk::ScratchDir;

TEST(ReadWebProcesses, FindsTheWebProcessesBelowTheProgramInTheProcFolder) {
  ScratchDir proc;
  struct {
    int pid, parent;
    const char* name;
    unsigned start_ticks, anon_kib;
  } processes[] = {
      {100, 1, "reprisa", 50, 90000},
      {210, 100, "WebKitWebProces", 600, 70000},
      {220, 100, "WebKitNetworkPr", 60, 20000},
      {230, 210, "Web (odd) ) name", 700, 5000},  // below it, but no web process
      {240, 230, "WebKitWebProces", 900, 30000},  // the youngest, two levels down
      {300, 1, "WebKitWebProces", 1000, 80000},   // another program's
  };
  for (const auto& p : processes) {
    const std::string folder = proc / std::to_string(p.pid);
    g_mkdir_with_parents(folder.c_str(), 0700);
    std::ofstream(folder + "/stat")
        << p.pid << " (" << p.name << ") S " << p.parent
        << " 1 1 0 -1 4194560 1 0 0 0 5 3 0 0 20 0 4 0 " << p.start_ticks << " 1000 50\n";
    std::ofstream(folder + "/smaps_rollup")
        << "00400000-7fff0000 ---p 00000000 00:00 0 [rollup]\nRss: 999999 kB\nPss: 88888 kB\n"
        << "Anonymous:  " << p.anon_kib - 100 << " kB\nShmem: 7777 kB\nSwap: 100 kB\n";
  }
  // An entry that is no process id, though all digits: skipped, never thrown over.
  const std::string odd = proc / "99999999999999999999";
  g_mkdir_with_parents(odd.c_str(), 0700);
  std::ofstream(odd + "/stat") << "7 (WebKitWebProces) S 100 1 1 0 -1 0 1 0 0 0 5 3 0 0 20 0 4 0 "
                                  "990 1000 50\n";
  const long hz = sysconf(_SC_CLK_TCK);
  std::ofstream(proc / "uptime") << (900.0 / hz + 42.5) << " 1.0\n";
  EXPECT_EQ(WebProcessIds(100, proc.path()), (std::vector<pid_t>{210, 240}));
  const auto reading = ReadWebProcesses(100, proc.path());
  ASSERT_TRUE(reading.has_value());
  EXPECT_EQ(reading->kib, 100000u);
  EXPECT_EQ(reading->age_seconds, 42u);
  EXPECT_FALSE(ReadWebProcesses(220, proc.path()).has_value());
  const auto other = ReadWebProcesses(1, proc.path());
  ASSERT_TRUE(other.has_value());
  EXPECT_NE(other->identity, reading->identity);  // its youngest is another process
  EXPECT_TRUE(WebProcessIds(100, proc / "missing").empty());
  EXPECT_FALSE(ReadWebProcesses(100, proc / "missing").has_value());
}

}  // namespace
}  // namespace reprisa
