// Line rewriting throughput and memory: Setup's RewriteFromBackup over real
// POSIX files against GNU sed doing the nearest equivalent edit, side by side.
//
//   rewrite_bench run WORKDIR SEDDIR [SIZE_MB...]   the benchmark (default 5 and 50 MB)
//   rewrite_bench once KIND ROOT                    one rewrite, as a child process
//
// For each kind of file (autoexec.bat, win.ini) and size, a file of typical
// lines is generated; then, three times in turn, Setup's rewrite and sed each
// run in a child process of their own, timed from fork to exit, with the
// child's peak resident memory as GNU time reports it. Both must give the same
// bytes.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "startup_file_doubles.h"
#include "startup_files/replace_whole.h"
#include "startup_files/rewrite_rules.h"

namespace {

struct Kind {
  const char* name;
  bool winIni;          // which of Setup's two rules the file has
  const char* startup;  // as Setup names them; PosixFiles maps c:\ to ROOT/c/
  const char* backup;
  const char* aside;
  const char* sedScript;
};

const Kind kKinds[] = {
    {"autoexec.bat", false, "c:\\autoexec.bat", "c:\\autoexec.ulv", "c:\\VXAUTO.TMP", "autoexec.sed"},
    {"win.ini", true, "c:\\windows\\win.ini", "c:\\windows\\win.ulv", "c:\\windows\\VXWIN.TMP", "winini.sed"},
};
constexpr int kRounds = 3;

const Kind* FindKind(const std::string& name) {
  for (const Kind& kind : kKinds) {
    if (name == kind.name) return &kind;
  }
  return nullptr;
}

// A fixed pseudo-random sequence, so every run rewrites the same bytes.
struct Random {
  uint64_t state = 0x9E3779B97F4A7C15u;
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint32_t>(state >> 11);
  }
  template <size_t N>
  const char* Pick(const char* const (&items)[N]) {
    return items[Next() % N];
  }
};

const char* const kAutoexecLines[] = {
    "@ECHO OFF",
    "PROMPT $P$G",
    "SET TEMP=C:\\WINDOWS\\TEMP",
    "SET PATH=C:\\WINDOWS;C:\\WINDOWS\\COMMAND;C:\\MOUSE",
    "LH C:\\MOUSE\\MOUSE.COM /Y",
    "REM LH C:\\MOUSE\\MOUSE.COM",
    "   rem c:\\ctmouse\\ctmouse.exe /3",
    "C:\\LOGITECH\\LOGIMOUS.COM",
    "SET MOUSE=C:\\MOUSE",
    "LH C:\\DOS\\SMARTDRV.EXE 2048",
    "C:\\DOS\\MSCDEX.EXE /D:MSCD001 /M:10",
    "PATH C:\\MOUSE;%PATH%",
    "CALL C:\\NWCLIENT\\STARTNET.BAT",
    "ECHO Loading the drivers ...",
    "C:\\GENIUS\\GMOUSE.COM",
    "ctms /s1",
    "IF EXIST C:\\MOUSE\\MOUSE.INI GOTO MOUSEDONE",
    ":MOUSEDONE",
    "@rem mouse driver above",
    "SET BLASTER=A220 I5 D1 H5 P330 T6",
    "C:\\SB16\\DIAGNOSE /S",
    "",
};

const char* const kProgramLines[] = {
    "load=C:\\MSMOUSE\\POINT32.EXE",
    "run=c:\\progra~1\\logitech\\mouseware\\system\\em_exec.exe",
    "load=C:\\WINDOWS\\SYSTEM\\SYSTRAY.EXE",
    "run=C:\\KMW\\KMW_RUN.EXE C:\\Ipoint\\ipoint.exe",
    "NullPort=None",
    "device=HP LaserJet 4L,HPPCL5MS,LPT1:",
    "Beep=yes",
    "run=",
    "Documents=[none]",
};

const char* const kOtherSections[] = {"[Desktop]", "[intl]", "[fonts]", "[ports]", "[Mail]", "[MCI Extensions]"};
const char* const kOtherLines[] = {
    "Wallpaper=(None)",           "TileWallpaper=0",    "sCountry=United States",
    "Arial (TrueType)=ARIAL.TTF", "COM1:=9600,n,8,1,x", "MAPI=1",
    "wav=mplayer.exe ^.wav",      "Recent=point32.exe", "Note=[draft] in the value",
};

// One line of autoexec.bat; now and then one longer than a read of 254
// characters, with its match at its end, so its prefix needs the whole line.
[[noreturn]] void Die(const std::string& message) {
  std::fprintf(stderr, "rewrite_bench: %s\n", message.c_str());
  std::exit(2);
}

std::string AutoexecLine(Random& random, unsigned number) {
  if (random.Next() % 997 == 0) {
    std::string line = "ECHO ";
    while (line.size() < 300 + random.Next() % 300) line += "long line of text ";
    return line + "C:\\MOUSE\\MOUSE.COM";
  }
  if (random.Next() % 5 == 0) return "SET VAR" + std::to_string(number) + "=C:\\TOOLS\\BIN" + std::to_string(number);
  return random.Pick(kAutoexecLines);
}

// Writes about `bytes` bytes of typical lines to `path`, line by line, so that
// this process stays small: its children start as copies of it.
size_t Generate(const Kind& kind, size_t bytes, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  Random random;
  size_t written = 0;
  unsigned number = 0;
  auto put = [&](const std::string& line) {
    out << line << "\r\n";
    written += line.size() + 2;
  };
  while (written < bytes) {
    if (!kind.winIni) {
      put(AutoexecLine(random, number++));
      continue;
    }
    const bool windows = random.Next() % 3 == 0;
    put(windows ? (random.Next() % 2 ? "[windows]" : "[Windows]") : random.Pick(kOtherSections));
    const unsigned lines = 5 + random.Next() % 40;
    for (unsigned i = 0; i < lines; ++i) put(windows ? random.Pick(kProgramLines) : random.Pick(kOtherLines));
  }
  if (!out) Die("cannot write " + path);
  return written;
}

void CopyFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  if (!out) Die("cannot write " + to);
}

bool SameFiles(const std::string& first, const std::string& second) {
  std::ifstream a(first, std::ios::binary);
  std::ifstream b(second, std::ios::binary);
  std::vector<char> blockA(1 << 16);
  std::vector<char> blockB(1 << 16);
  for (;;) {
    a.read(blockA.data(), static_cast<std::streamsize>(blockA.size()));
    b.read(blockB.data(), static_cast<std::streamsize>(blockB.size()));
    if (a.gcount() != b.gcount()) return false;
    if (a.gcount() == 0) return true;
    if (!std::equal(blockA.begin(), blockA.begin() + a.gcount(), blockB.begin())) return false;
  }
}

double Seconds(const timespec& from, const timespec& to) {
  return static_cast<double>(to.tv_sec - from.tv_sec) + static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e9;
}

struct ChildRun {
  double wallSeconds;
  double cpuSeconds;
  long peakKilobytes;
};

// Runs `argv` in a child process with its output to `outputPath` (if given)
// and measures it. Peak memory comes from GNU time between the two: a forked
// child's peak starts at its parent's size, and GNU time is smaller than any
// program measured here. Exits when the child fails.
ChildRun RunChild(const std::vector<std::string>& command, const std::string& outputPath, const std::string& peakPath) {
  std::vector<std::string> argv = {"/usr/bin/time", "-f", "%M", "-o", peakPath};
  argv.insert(argv.end(), command.begin(), command.end());
  std::vector<char*> args;
  args.reserve(argv.size());
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  timespec start{};
  timespec end{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t child = fork();
  if (child == 0) {
    if (!outputPath.empty()) {
      const int fd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
      close(fd);
    }
    setenv("LC_ALL", "C", 1);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  clock_gettime(CLOCK_MONOTONIC, &end);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Die(command[0] + " failed");
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::ifstream peak(peakPath);
  long kilobytes = -1;
  peak >> kilobytes;
  if (kilobytes <= 0) Die("no peak memory from /usr/bin/time");
  return {Seconds(start, end), cpu, kilobytes};
}

ChildRun Best(const std::vector<ChildRun>& runs) {
  ChildRun best = runs.front();
  for (const ChildRun& run : runs) {
    if (run.wallSeconds < best.wallSeconds) best = run;
  }
  // Peak memory is the largest seen, not the one of the fastest round.
  for (const ChildRun& run : runs) best.peakKilobytes = std::max(best.peakKilobytes, run.peakKilobytes);
  return best;
}

int RunOnce(const std::string& kindName, const std::string& root) {
  const Kind* kind = FindKind(kindName);
  if (kind == nullptr) return 2;
  vxtest::PosixFiles files(root);
  vx::WinIniRule winIni;
  vx::AutoexecRule autoexec;
  vx::LineRule& rule = kind->winIni ? static_cast<vx::LineRule&>(winIni) : autoexec;
  return vx::RewriteFromBackup(files, kind->startup, kind->backup, kind->aside, rule) == vx::StepOutcome::kUpdated ? 0
                                                                                                                   : 1;
}

int RunBenchmark(const std::string& self, const std::string& work, const std::string& sedDir,
                 std::vector<size_t> sizes) {
  if (sizes.empty()) sizes = {5, 50};
  std::sort(sizes.begin(), sizes.end());
  const std::string root = work + "/root";
  mkdir(work.c_str(), 0755);
  mkdir(root.c_str(), 0755);
  mkdir((root + "/c").c_str(), 0755);
  mkdir((root + "/c/windows").c_str(), 0755);
  vxtest::PosixFiles files(root);

  std::printf("| file | size | Setup MB/s | sed MB/s | sed time / Setup time | Setup peak KB | sed peak KB |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  bool same = true;
  std::string details;
  std::string verdicts;
  for (const Kind& kind : kKinds) {
    double ratio = 0;
    long smallestPeak = 0;
    long largestPeak = 0;
    for (size_t megabytes : sizes) {
      const std::string input = work + "/input-" + kind.name;
      const std::string sedOutput = work + "/sed-" + kind.name;
      const std::string peak = work + "/peak";
      const size_t bytes = Generate(kind, megabytes * 1000 * 1000, input);
      std::vector<ChildRun> setupRuns;
      std::vector<ChildRun> sedRuns;
      for (int round = 0; round < kRounds; ++round) {
        // The backup step is not timed: the rewrite starts from the start-up
        // file and its backup, as it does in the pass.
        CopyFile(input, files.HostPath(kind.startup));
        CopyFile(input, files.HostPath(kind.backup));
        setupRuns.push_back(RunChild({self, "once", kind.name, root}, "", peak));
        sedRuns.push_back(RunChild({"sed", "-E", "-f", sedDir + "/" + kind.sedScript, input}, sedOutput, peak));
      }
      const bool identical = SameFiles(files.HostPath(kind.startup), sedOutput);
      same = same && identical;
      const ChildRun setup = Best(setupRuns);
      const ChildRun sed = Best(sedRuns);
      const double size = static_cast<double>(bytes) / 1e6;
      std::printf("| %s | %.1f MB | %.1f | %.1f | %.2f | %ld | %ld |%s\n", kind.name, size, size / setup.wallSeconds,
                  size / sed.wallSeconds, sed.wallSeconds / setup.wallSeconds, setup.peakKilobytes, sed.peakKilobytes,
                  identical ? "" : " OUTPUTS DIFFER");
      std::fflush(stdout);
      char detail[256];
      std::snprintf(detail, sizeof detail,
                    "rewrite_bench: %s %zu MB: Setup %.3f s wall %.3f s cpu, sed %.3f s wall %.3f s cpu\n", kind.name,
                    megabytes, setup.wallSeconds, setup.cpuSeconds, sed.wallSeconds, sed.cpuSeconds);
      details += detail;
      // The sizes come in increasing order: the last is the largest.
      ratio = sed.wallSeconds / setup.wallSeconds;
      if (smallestPeak == 0) smallestPeak = setup.peakKilobytes;
      largestPeak = setup.peakKilobytes;
    }
    char line[256];
    std::snprintf(line, sizeof line,
                  "target: %s at least as fast as sed: %s (sed takes %.2f times as long)\n"
                  "target: %s peak memory at %zu MB within 1024 KB of that at %zu MB: %s (%+ld KB)\n",
                  kind.name, ratio >= 1.0 ? "met" : "MISSED", ratio, kind.name, sizes.back(), sizes.front(),
                  largestPeak - smallestPeak <= 1024 ? "met" : "MISSED", largestPeak - smallestPeak);
    verdicts += line;
  }
  std::printf("\n%s%s", details.c_str(), verdicts.c_str());
  std::printf("rewrite_bench: Setup's output and sed's are %s\n", same ? "identical" : "NOT identical");
  return same ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "once") return RunOnce(args[1], args[2]);
  if (args.size() >= 3 && args[0] == "run") {
    std::vector<size_t> sizes;
    for (size_t i = 3; i < args.size(); ++i) sizes.push_back(std::strtoul(args[i].c_str(), nullptr, 10));
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return 2;
    self[length] = '\0';
    return RunBenchmark(self, args[1], args[2], sizes);
  }
  std::fprintf(stderr, "usage: rewrite_bench run WORKDIR SEDDIR [SIZE_MB...] | once KIND ROOT\n");
  return 2;
}
