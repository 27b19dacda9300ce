// Rewriting a start-up file from its backup when things go wrong: the file is
// emptied only behind a complete backup, and put back when writing fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "startup_file_doubles.h"
#include "startup_files/rewrite_from_backup.h"
#include "startup_files/rewrite_rules.h"
#include "startup_files/update_startup_files.h"

namespace {

using vx::RewriteOutcome;
using vxtest::FakeStartupSystem;
using vxtest::FileOp;
using vxtest::MemoryFiles;

const std::string kAutoexec = "@ECHO OFF\r\nSET MOUSE=C:\\MOUSE\r\nLH C:\\MOUSE\\MOUSE.COM\r\nPROMPT $P$G\r\n";
const std::string kAutoexecRewritten =
    "@ECHO OFF\r\nrem SET MOUSE=C:\\MOUSE\r\nrem LH C:\\MOUSE\\MOUSE.COM\r\nPROMPT $P$G\r\n";

RewriteOutcome RewriteAutoexec(MemoryFiles& files) {
  vx::AutoexecRule rule;
  return vx::RewriteFromBackup(files, {"auto", "backup", "aside"}, rule);
}

TEST(RewriteFromBackup, LeavesTheFileAloneUnlessTheBackupHoldsExactlyItsBytes) {
  struct Case {
    const char* name;
    bool backupExists;
    std::string backup;
  } cases[] = {
      {"no backup", false, ""},
      {"empty backup", true, ""},
      {"backup one byte short", true, kAutoexec.substr(0, kAutoexec.size() - 1)},
      {"backup one byte longer", true, kAutoexec + "\x1a"},
      {"backup with one byte changed", true, "@echo OFF" + kAutoexec.substr(9)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFiles files;
    files.contents["auto"] = kAutoexec;
    if (c.backupExists) files.contents["backup"] = c.backup;
    files.readChunk = 5;
    EXPECT_EQ(RewriteAutoexec(files), RewriteOutcome::kLeftAlone);
    EXPECT_EQ(files.contents["auto"], kAutoexec);
    EXPECT_EQ(std::count(files.log.begin(), files.log.end(), FileOp::kOpenWrite), 0);
    EXPECT_EQ(files.OpenHandles(), 0u);
  }
}

TEST(RewriteFromBackup, AnEmptyFileWithAnEmptyBackupIsRewrittenEmpty) {
  MemoryFiles files;
  files.contents["auto"] = "";
  files.contents["backup"] = "";
  EXPECT_EQ(RewriteAutoexec(files), RewriteOutcome::kRewritten);
  EXPECT_EQ(files.contents["auto"], "");
}

// Every operation of one rewrite made to fail in turn, alone or with all that
// follow: the start-up file ends up rewritten or as it was, never cut short; and
// at every moment its original bytes are in it or in the backup.
TEST(RewriteFromBackup, NoSingleFailureLeavesTheFileShortOrDifferent) {
  const std::string original = kAutoexec + std::string(700, 'x') + " mouse\r\n" + kAutoexec;
  const std::string rewritten = kAutoexecRewritten + "rem " + std::string(700, 'x') + " mouse\r\n" + kAutoexecRewritten;
  MemoryFiles clean;
  clean.contents["auto"] = original;
  clean.contents["backup"] = original;
  clean.readChunk = 64;
  ASSERT_EQ(RewriteAutoexec(clean), RewriteOutcome::kRewritten);
  ASSERT_EQ(clean.contents["auto"], rewritten);
  ASSERT_NE(std::count(clean.log.begin(), clean.log.end(), FileOp::kWrite), 0);

  for (bool fromThenOn : {false, true}) {
    for (size_t failAt = 0; failAt < clean.log.size(); ++failAt) {
      SCOPED_TRACE(std::string(fromThenOn ? "every operation from " : "operation ") + std::to_string(failAt));
      MemoryFiles files;
      files.contents["auto"] = original;
      files.contents["backup"] = original;
      files.readChunk = 64;
      files.failAt = failAt;
      files.failFromThenOn = fromThenOn;
      bool originalAlwaysKept = true;
      files.afterEachOperation = [&] {
        originalAlwaysKept =
            originalAlwaysKept && (files.contents["auto"] == original || files.contents["backup"] == original);
      };
      const RewriteOutcome outcome = RewriteAutoexec(files);
      EXPECT_TRUE(originalAlwaysKept);
      EXPECT_EQ(files.OpenHandles(), 0u);
      EXPECT_EQ(files.contents["backup"], original);
      switch (outcome) {
        case RewriteOutcome::kRewritten:
          EXPECT_EQ(files.contents["auto"], rewritten);
          break;
        case RewriteOutcome::kLeftAlone:
        case RewriteOutcome::kNotUpdated:
          EXPECT_EQ(files.contents["auto"], original);
          // Unless its removal failed too: then it marks the step for the next run.
          EXPECT_TRUE(fromThenOn || files.contents.count("aside") == 0);
          break;
        case RewriteOutcome::kRewriteBeside:
        case RewriteOutcome::kUnsettled:
          ADD_FAILURE() << "a system that replaces in one step never leaves the file missing";
          break;
      }
    }
  }
}

// The whole pass in memory: win.ini (with a line longer than a block, so that
// it is read twice), system.ini, and autoexec.bat.
struct PassFile {
  const char* path;
  const char* backup;
  const char* aside;
  std::string original;
};

const PassFile kPassFiles[] = {
    {"C:\\WINDOWS\\win.ini", "C:\\WINDOWS\\win.ulv", "C:\\WINDOWS\\vxwin.tmp",
     "[windows]\r\nload=point32.exe\r\nrun=\r\n" + std::string(17000, 'w') + "\r\n[fonts]\r\n"},
    {"c:\\autoexec.bat", "c:\\autoexec.ulv", "c:\\vxauto.tmp", kAutoexec + std::string(300, ' ') + "rem mouse\r\n"},
};
const std::string kPassSystemIni = "[boot]\r\nmouse.drv=lmouse.drv\r\n";
const char kSystemIniPath[] = "C:\\WINDOWS\\system.ini";
const char kSystemUlvPath[] = "C:\\WINDOWS\\system.ulv";

// The systems the pass meets. Windows 95, 98 and Me delete and rename, and
// write folder changes out in any order.
struct PassSystem {
  const char* name;
  bool replacesInOneStep;
  bool roomBeside;
  size_t replaceRefusals;
  size_t renameRefusals;
  // Whether every run ends with a stop for each file: it is never updated.
  bool neverUpdated;
} const kPassSystems[] = {
    {"one-step replace", true, true, 0, 0, false},
    {"95: delete, then rename", false, true, 0, 0, false},
    {"no room beside the start-up files", true, false, 0, 0, true},
    {"the replace refused, the files held", true, true, MemoryFiles::kNever, 0, true},
    {"the replace refused twice, then let go", true, true, 2, 0, false},
    {"95: the rename refused once", false, true, 0, 1, false},
    {"95: the rename refused, so copied", false, true, 0, MemoryFiles::kNever, false},
};

MemoryFiles PassFiles(const PassSystem& kind) {
  MemoryFiles files;
  for (const PassFile& f : kPassFiles) {
    files.contents[f.path] = f.original;
    if (!kind.roomBeside) files.cannotCreate.insert(f.aside);
  }
  files.contents["C:\\WINDOWS\\system.ini"] = kPassSystemIni;
  files.attributes["c:\\autoexec.bat"] = 0x06;  // hidden and system
  files.replacesInOneStep = kind.replacesInOneStep;
  files.orderFreeFolders = !kind.replacesInOneStep;
  files.replaceRefusals = kind.replaceRefusals;
  files.renameRefusals = kind.renameRefusals;
  files.readChunk = 4000;
  return files;
}

// The complete rewrite of `text` by the rule of `f`.
std::string RewriteOf(const PassFile& f, const std::string& text) {
  MemoryFiles files;
  files.contents = {{"s", text}, {"b", text}};
  vx::WinIniRule winIni;
  vx::AutoexecRule autoexec;
  vx::LineRule& rule = f.path == kPassFiles[0].path ? static_cast<vx::LineRule&>(winIni) : autoexec;
  vx::RewriteFromBackup(files, {"s", "b", "a"}, rule);
  return files.contents["s"];
}

// On 95, 98 and Me, stopped between the delete and the rename, or while the
// rewrite was copied into place: the complete rewrite is beside the file.
bool RewriteBeside(const MemoryFiles& files, const PassFile& f, const std::string& rewritten) {
  const auto file = files.contents.find(f.path);
  return files.Holds(f.aside, rewritten) &&
         (file == files.contents.end() || rewritten.compare(0, file->second.size(), file->second) == 0);
}

bool Names(const std::vector<std::string>& stops, const PassFile& f) {
  return std::any_of(stops.begin(), stops.end(), [&](const std::string& stop) {
    return stop.rfind(f.path, 0) == 0 && stop.find(f.backup) != std::string::npos;
  });
}

// Each operation failing in turn, alone or with all that follow: win.ini and
// autoexec.bat end up rewritten or exactly as they were (or, on 95, 98 and Me,
// missing with their rewrite beside them), system.ini is never touched, and
// at no moment is a start-up file's original held nowhere. A file that is not
// updated, or left missing, is named to the user with its backup; one whose
// backup did not come out whole is left alone without a word.
TEST(UpdateStartupFilesInMemory, NoFailureAnywhereLosesAStartUpFile) {
  for (const PassSystem& kind : kPassSystems) {
    SCOPED_TRACE(kind.name);
    MemoryFiles clean = PassFiles(kind);
    // The new file gets autoexec.bat's attributes before it takes the name; a
    // copy made into place gets them only once it is made.
    bool attributesKept = true;
    clean.afterEachOperation = [&] {
      attributesKept = attributesKept &&
                       (clean.contents.count("c:\\autoexec.bat") == 0 || clean.attributes["c:\\autoexec.bat"] == 0x06);
    };
    FakeStartupSystem cleanSystem(clean, "C:\\WINDOWS");
    vx::UpdateStartupFiles(clean, cleanSystem);
    EXPECT_TRUE(attributesKept || kind.renameRefusals == MemoryFiles::kNever);
    const std::vector<std::string> notUpdated = {
        "C:\\WINDOWS\\win.ini was not updated.\nA copy of it is in C:\\WINDOWS\\win.ulv.",
        "c:\\autoexec.bat was not updated.\nA copy of it is in c:\\autoexec.ulv."};
    EXPECT_EQ(cleanSystem.stops, kind.neverUpdated ? notUpdated : std::vector<std::string>());
    for (const PassFile& f : kPassFiles) {
      ASSERT_EQ(clean.contents[f.path], kind.neverUpdated ? f.original : RewriteOf(f, f.original)) << f.path;
      EXPECT_EQ(clean.contents.count(f.aside), 0u) << f.aside;
    }
    EXPECT_EQ(clean.attributes["c:\\autoexec.bat"], 0x06u);

    for (bool fromThenOn : {false, true}) {
      for (size_t failAt = 0; failAt < clean.log.size(); ++failAt) {
        SCOPED_TRACE(std::string(fromThenOn ? "every operation from " : "operation ") + std::to_string(failAt));
        MemoryFiles files = PassFiles(kind);
        files.failAt = failAt;
        files.failFromThenOn = fromThenOn;
        bool originalsKept = true;
        files.afterEachOperation = [&] {
          for (const PassFile& f : kPassFiles) {
            originalsKept = originalsKept && (files.Holds(f.path, f.original) || files.Holds(f.backup, f.original));
          }
        };
        FakeStartupSystem system(files, "C:\\WINDOWS");
        vx::UpdateStartupFiles(files, system);
        EXPECT_TRUE(originalsKept);
        EXPECT_EQ(files.OpenHandles(), 0u);
        EXPECT_TRUE(files.Holds("C:\\WINDOWS\\system.ini", kPassSystemIni));
        for (const PassFile& f : kPassFiles) {
          SCOPED_TRACE(f.path);
          const std::string rewritten = RewriteOf(f, f.original);
          const bool named = Names(system.stops, f);
          if (files.Holds(f.path, f.original)) {
            // A failed removal leaves it to mark the step for the next run.
            EXPECT_TRUE(fromThenOn || named || files.contents.count(f.aside) == 0) << "left behind";
            continue;
          }
          EXPECT_TRUE(files.Holds(f.backup, f.original)) << "changed without a complete backup";
          if (files.Holds(f.path, rewritten)) continue;
          EXPECT_TRUE(RewriteBeside(files, f, rewritten) && (named || fromThenOn)) << "torn";
        }
        EXPECT_LE(system.stops.size(), 2u);
      }
    }
  }
}

// What Setup finds in a start-up file's step, and what must hold after a run.
struct StepState {
  bool exists = false;
  std::string file;
  std::string backup;
  bool asideLeft = false;
};

StepState StateOf(const MemoryFiles& disk, const PassFile& f) {
  const auto get = [&](const char* path) {
    const auto it = disk.contents.find(path);
    return it == disk.contents.end() ? std::string() : it->second;
  };
  return {disk.contents.count(f.path) != 0, get(f.path), get(f.backup), disk.contents.count(f.aside) != 0};
}

// What happens to the files between the stopped run and the next.
enum class Between {
  kNothing,
  // Windows started and, finding no win.ini, wrote a fresh one.
  kFreshWinIni,
  // Another program changed the start-up files.
  kAnotherProgram,
};

// False when the event cannot happen to this disk: Windows writes a fresh
// win.ini only where there is none.
bool ApplyBetween(Between between, MemoryFiles& disk) {
  const std::string& winIni = kPassFiles[0].path;
  if (between == Between::kFreshWinIni) {
    return disk.contents.emplace(winIni, "[windows]\r\nload=\r\nrun=\r\nNullPort=None\r\n").second;
  }
  if (between == Between::kNothing) return true;
  for (const PassFile& f : kPassFiles) {
    if (disk.contents.count(f.path) != 0) disk.contents[f.path] += "rem changed\r\n";
  }
  return true;
}

// One full run after a stopped one: what the start-up file held at its start
// is kept (in the file or the backup, or, a copy cut short, at the start of
// the complete rewrite); so is the backup that an aside file marks as the
// original's. Unless the user is told, the file is whole: untouched, or the
// complete rewrite of its backup, with no aside file left.
void ExpectRunKeepsEverything(const PassSystem& kind, Between between, MemoryFiles& disk) {
  StepState before[2];
  for (size_t i = 0; i < 2; ++i) before[i] = StateOf(disk, kPassFiles[i]);
  const std::string systemIni = disk.contents[kSystemIniPath];
  FakeStartupSystem run(disk, "C:\\WINDOWS");
  run.profileWritesFile = true;
  vx::UpdateStartupFiles(disk, run);
  EXPECT_TRUE(disk.Holds(kSystemUlvPath, systemIni)) << "system.ini is lost";
  if (!kind.neverUpdated && between == Between::kNothing) {
    EXPECT_TRUE(run.stops.empty()) << run.stops[0];
  }
  for (size_t i = 0; i < 2; ++i) {
    const PassFile& f = kPassFiles[i];
    SCOPED_TRACE(f.path);
    const StepState after = StateOf(disk, f);
    const std::string rewrite = RewriteOf(f, after.backup);
    const auto kept = [&](const std::string& text) {
      return (after.exists && after.file == text) || after.backup == text ||
             (after.exists && after.file == rewrite && rewrite.compare(0, text.size(), text) == 0);
    };
    if (before[i].exists) {
      EXPECT_TRUE(kept(before[i].file)) << "what the file held is lost";
    }
    if (before[i].asideLeft || !before[i].exists) {
      EXPECT_TRUE(kept(before[i].backup)) << "the original is lost";
    }
    if (Names(run.stops, f)) continue;
    EXPECT_TRUE(after.exists && (after.file == before[i].file || after.file == rewrite)) << "torn";
    EXPECT_FALSE(after.asideLeft) << "left behind";
  }
}

// Setup stopped at every instant of the pass, either as a process (what it
// wrote is in the system's cache and reaches the disk) or by a power cut
// (only what was flushed, and on 95, 98 and Me any subset of the folder
// changes not yet written out). At the stop each start-up file is whole: its
// original, or its complete rewrite with the original in the backup, or on
// 95, 98 and Me missing, or a copy cut short, with the complete rewrite beside
// it. Then two full runs, with Windows or another program writing the files
// in between, keep what they must.
TEST(UpdateStartupFilesInMemory, AStopAtAnyInstantThenTwoMoreRunsLoseNothing) {
  size_t stops = 0;
  for (const PassSystem& kind : kPassSystems) {
    SCOPED_TRACE(kind.name);
    size_t disks = 0;
    MemoryFiles clean = PassFiles(kind);
    FakeStartupSystem cleanSystem(clean, "C:\\WINDOWS");
    cleanSystem.profileWritesFile = true;
    vx::UpdateStartupFiles(clean, cleanSystem);
    for (size_t cut = 0; cut <= clean.log.size(); ++cut) {
      MemoryFiles files = PassFiles(kind);
      files.stopAt = cut;
      FakeStartupSystem firstRun(files, "C:\\WINDOWS");
      firstRun.profileWritesFile = true;
      vx::UpdateStartupFiles(files, firstRun);
      std::vector<MemoryFiles> restarts = files.DisksAfterPowerCut();
      restarts.push_back(files.AfterProcessStop());
      for (size_t d = 0; d < restarts.size(); ++d, ++disks) {
        SCOPED_TRACE("stopped before operation " + std::to_string(cut) +
                     (d + 1 == restarts.size() ? ", the process" : ", power cut, disk " + std::to_string(d)));
        for (const PassFile& f : kPassFiles) {
          SCOPED_TRACE(f.path);
          const StepState at = StateOf(restarts[d], f);
          const std::string rewritten = RewriteOf(f, f.original);
          EXPECT_TRUE(
              (at.exists && at.file == f.original) ||
              (at.backup == f.original && ((at.exists && at.file == rewritten) ||
                                           (!kind.replacesInOneStep && RewriteBeside(restarts[d], f, rewritten)))))
              << "torn";
        }
        EXPECT_TRUE(restarts[d].Holds(kSystemIniPath, kPassSystemIni) ||
                    restarts[d].Holds(kSystemUlvPath, kPassSystemIni))
            << "system.ini is lost";
        for (Between between : {Between::kNothing, Between::kFreshWinIni, Between::kAnotherProgram}) {
          SCOPED_TRACE("between the runs: " + std::to_string(static_cast<int>(between)));
          MemoryFiles disk = restarts[d];
          if (!ApplyBetween(between, disk)) continue;
          for (int rerun = 2; rerun <= 3; ++rerun) {
            SCOPED_TRACE("run " + std::to_string(rerun));
            ExpectRunKeepsEverything(kind, between, disk);
            disk = disk.AfterProcessStop();
          }
        }
      }
    }
    stops += clean.log.size() + 1;
    std::printf("%s: stopped at %zu instants, %zu disks after them\n", kind.name, clean.log.size() + 1, disks);
  }
  EXPECT_GT(stops, 500u);
}

}  // namespace
