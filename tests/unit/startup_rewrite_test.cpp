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
        case RewriteOutcome::kRestored:
          EXPECT_EQ(files.contents["auto"], original);
          break;
        case RewriteOutcome::kRestoreFailed:
          EXPECT_TRUE(fromThenOn) << "a single failure must not stop the restore";
          break;
      }
    }
  }
}

TEST(RewriteFromBackup, PutsTheOriginalBackWhenWritingFails) {
  struct Case {
    const char* name;
    FileOp op;
    // Which of the operations of that kind fails, counted from the first after
    // the start-up file was opened for writing.
    size_t occurrence;
  } cases[] = {
      {"the first write", FileOp::kWrite, 0},
      {"closing the written file", FileOp::kClose, 0},
      {"reading the backup part way", FileOp::kRead, 40},
      {"going back over a long line", FileOp::kSeek, 0},
  };
  // Longer than two blocks, with a line that crosses a block border, so that
  // there are several writes and a seek.
  std::string original;
  while (original.size() < 40000) original += kAutoexec + std::string(900, 'y') + "\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFiles files;
    files.contents["auto"] = original;
    files.contents["backup"] = original;
    files.readChunk = 512;
    // No room for the new file beside it: the start-up file is written in place.
    files.cannotCreate = {"aside"};
    MemoryFiles probe = files;
    ASSERT_EQ(RewriteAutoexec(probe), RewriteOutcome::kRewritten);
    size_t seen = 0;
    const size_t opened =
        probe.log.size() - 1 -
        static_cast<size_t>(std::find(probe.log.rbegin(), probe.log.rend(), FileOp::kOpenWrite) - probe.log.rbegin());
    for (size_t i = opened; i < probe.log.size() && files.failAt == MemoryFiles::kNever; ++i) {
      if (probe.log[i] == c.op && seen++ == c.occurrence) files.failAt = i;
    }
    ASSERT_NE(files.failAt, MemoryFiles::kNever);
    EXPECT_EQ(RewriteAutoexec(files), RewriteOutcome::kRestored);
    EXPECT_EQ(files.contents["auto"], original);
  }
}

TEST(RewriteFromBackup, KeepsTheBackupWhenTheOriginalCannotBePutBack) {
  MemoryFiles files;
  files.contents["auto"] = kAutoexec;
  files.contents["backup"] = kAutoexec;
  files.cannotCreate = {"aside"};
  MemoryFiles probe = files;
  RewriteAutoexec(probe);
  files.failAt = static_cast<size_t>(std::find(probe.log.begin(), probe.log.end(), FileOp::kWrite) - probe.log.begin());
  files.failFromThenOn = true;
  EXPECT_EQ(RewriteAutoexec(files), RewriteOutcome::kRestoreFailed);
  EXPECT_EQ(files.contents["backup"], kAutoexec);
}

// The whole pass in memory: win.ini (with a line longer than a block, so that
// it is read twice), system.ini, and autoexec.bat.
struct PassFile {
  const char* path;
  const char* backup;
  const char* aside;
  std::string original;
  const char* stop;
};

const PassFile kPassFiles[] = {
    {"C:\\WINDOWS\\win.ini", "C:\\WINDOWS\\win.ulv", "C:\\WINDOWS\\vxwin.tmp",
     "[windows]\r\nload=point32.exe\r\nrun=\r\n" + std::string(17000, 'w') + "\r\n[fonts]\r\n",
     "C:\\WINDOWS\\win.ini could not be updated or restored.\nIts original content is in C:\\WINDOWS\\win.ulv."},
    {"c:\\autoexec.bat", "c:\\autoexec.ulv", "c:\\vxauto.tmp", kAutoexec + std::string(300, ' ') + "rem mouse\r\n",
     "c:\\autoexec.bat could not be updated or restored.\nIts original content is in c:\\autoexec.ulv."},
};
const std::string kPassSystemIni = "[boot]\r\nmouse.drv=lmouse.drv\r\n";

// The systems the pass meets: one that replaces a file in one step, Windows 95
// that deletes and renames, and one with no room for a new file beside the
// start-up files, where they are written in place.
struct PassSystem {
  const char* name;
  bool replacesInOneStep;
  bool roomBeside;
} const kPassSystems[] = {
    {"one-step replace", true, true},
    {"Windows 95: delete, then rename", false, true},
    {"no room beside the start-up files", true, false},
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
  files.readChunk = 4000;
  return files;
}

// Each operation failing in turn, alone or with all that follow: win.ini and
// autoexec.bat end up rewritten or as they were (or, on Windows 95 after a
// failed rename, missing with their rewrite beside them), system.ini is never
// touched, and at no moment is a start-up file's original held nowhere. A file
// left damaged, only when the putting back fails too, is named to the user
// once, with the backup that holds its original.
TEST(UpdateStartupFilesInMemory, NoFailureAnywhereLosesAStartUpFile) {
  int stopsSeen[2] = {};
  for (const PassSystem& kind : kPassSystems) {
    SCOPED_TRACE(kind.name);
    MemoryFiles clean = PassFiles(kind);
    FakeStartupSystem cleanSystem(clean, "C:\\WINDOWS");
    vx::UpdateStartupFiles(clean, cleanSystem);
    for (const PassFile& f : kPassFiles) {
      ASSERT_NE(clean.contents[f.path], f.original) << f.path;
      EXPECT_EQ(clean.contents.count(f.aside), 0u) << f.aside;
    }
    EXPECT_EQ(clean.attributes["c:\\autoexec.bat"], 0x06u);
    ASSERT_NE(std::count(clean.log.begin(), clean.log.end(), FileOp::kSeek), 0);

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
        // A single failure is always mended; from then on every later step
        // fails before it could damage a second file.
        EXPECT_LE(system.stops.size(), fromThenOn ? 1u : 0u);
        for (size_t i = 0; i < 2; ++i) {
          const PassFile& f = kPassFiles[i];
          SCOPED_TRACE(f.path);
          const bool stopped = std::count(system.stops.begin(), system.stops.end(), f.stop) != 0;
          stopsSeen[i] += stopped;
          const std::string& rewritten = clean.contents[f.path];
          if (files.Holds(f.path, f.original)) continue;
          EXPECT_TRUE(files.Holds(f.backup, f.original)) << "changed without a complete backup";
          const bool whole =
              files.Holds(f.path, rewritten) || (files.contents.count(f.path) == 0 && files.Holds(f.aside, rewritten));
          if (!whole) EXPECT_TRUE(stopped) << "damaged without a word";
          if (!fromThenOn) EXPECT_TRUE(files.Holds(f.path, rewritten)) << "cut short or changed";
        }
        for (const std::string& stop : system.stops) {
          EXPECT_TRUE(std::any_of(std::begin(kPassFiles), std::end(kPassFiles), [&](const PassFile& f) {
            return stop == f.stop;
          })) << stop;
        }
      }
    }
  }
  for (int seen : stopsSeen) EXPECT_GT(seen, 0);
}

// Setup stopped at every instant of the pass (a crash, a power cut, a reset),
// then run again to the end, as a user does after a setup that died. At the
// stop each start-up file is whole: its original, or its complete rewrite with
// the original in the backup, or on Windows 95, between two calls, missing with
// the complete rewrite beside it. After the second run, what the first left in
// a start-up file is in it or its backup: the original, unless the first run
// had already finished that file.
TEST(UpdateStartupFilesInMemory, AStopAtAnyInstantThenASecondRunLosesNoStartUpFile) {
  size_t crashPoints = 0;
  for (const PassSystem& kind : kPassSystems) {
    if (!kind.roomBeside) continue;  // written in place, as before: no such promise
    SCOPED_TRACE(kind.name);
    MemoryFiles clean = PassFiles(kind);
    FakeStartupSystem cleanSystem(clean, "C:\\WINDOWS");
    vx::UpdateStartupFiles(clean, cleanSystem);
    for (size_t cut = 0; cut <= clean.log.size(); ++cut, ++crashPoints) {
      SCOPED_TRACE("stopped before operation " + std::to_string(cut));
      MemoryFiles files = PassFiles(kind);
      files.powerCutAt = cut;
      FakeStartupSystem firstRun(files, "C:\\WINDOWS");
      vx::UpdateStartupFiles(files, firstRun);

      MemoryFiles disk = PassFiles(kind);
      disk.contents = files.contents;
      disk.attributes = files.attributes;
      std::string leftInFile[2];
      bool missing[2] = {};
      for (size_t i = 0; i < 2; ++i) {
        const PassFile& f = kPassFiles[i];
        SCOPED_TRACE(f.path);
        const std::string& rewritten = clean.contents[f.path];
        missing[i] = disk.contents.count(f.path) == 0;
        if (!missing[i]) leftInFile[i] = disk.contents[f.path];
        const bool whole = disk.Holds(f.path, f.original) ||
                           (disk.Holds(f.backup, f.original) &&
                            (disk.Holds(f.path, rewritten) ||
                             (missing[i] && !kind.replacesInOneStep && disk.Holds(f.aside, rewritten))));
        EXPECT_TRUE(whole) << "torn";
      }
      EXPECT_TRUE(disk.Holds("C:\\WINDOWS\\system.ini", kPassSystemIni));

      FakeStartupSystem secondRun(disk, "C:\\WINDOWS");
      vx::UpdateStartupFiles(disk, secondRun);
      EXPECT_TRUE(secondRun.stops.empty());
      for (size_t i = 0; i < 2; ++i) {
        const PassFile& f = kPassFiles[i];
        SCOPED_TRACE(f.path);
        // A missing start-up file is left alone, its backup keeping the original.
        const std::string& kept = missing[i] || leftInFile[i] != clean.contents[f.path] ? f.original : leftInFile[i];
        EXPECT_TRUE(disk.Holds(f.path, kept) || disk.Holds(f.backup, kept)) << "lost";
        if (!missing[i]) EXPECT_EQ(disk.contents.count(f.aside), 0u) << "left behind";
      }
    }
  }
  std::printf("crash points tried: %zu\n", crashPoints);
  EXPECT_GT(crashPoints, 100u);
}

}  // namespace
