// Rewriting a start-up file from its backup when things go wrong: the file is
// emptied only behind a complete backup, and put back when writing fails.
#include <gtest/gtest.h>

#include <algorithm>
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
  return vx::RewriteFromBackup(files, "auto", "backup", rule);
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
    MemoryFiles probe = files;
    ASSERT_EQ(RewriteAutoexec(probe), RewriteOutcome::kRewritten);
    size_t seen = 0;
    const size_t opened =
        static_cast<size_t>(std::find(probe.log.begin(), probe.log.end(), FileOp::kOpenWrite) - probe.log.begin());
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
  MemoryFiles probe = files;
  RewriteAutoexec(probe);
  files.failAt = static_cast<size_t>(std::find(probe.log.begin(), probe.log.end(), FileOp::kWrite) - probe.log.begin());
  files.failFromThenOn = true;
  EXPECT_EQ(RewriteAutoexec(files), RewriteOutcome::kRestoreFailed);
  EXPECT_EQ(files.contents["backup"], kAutoexec);
}

// The whole pass in memory, each operation failing in turn: win.ini and
// autoexec.bat end up rewritten or as they were, system.ini is never touched,
// and at no moment is a start-up file's original held nowhere. A file left
// damaged, only when the putting back fails too, is named to the user once,
// with the backup that holds its original.
TEST(UpdateStartupFilesInMemory, NoFailureAnywhereLosesAStartUpFile) {
  const std::string win = "[windows]\r\nload=point32.exe\r\nrun=\r\n" + std::string(17000, 'w') + "\r\n[fonts]\r\n";
  const std::string systemIni = "[boot]\r\nmouse.drv=lmouse.drv\r\n";
  const std::string autoexec = kAutoexec + std::string(300, ' ') + "rem mouse\r\n";
  struct StartupFile {
    const char* path;
    const char* backup;
    const std::string* original;
    const char* stop;
    int stopsSeen;
  } startupFiles[] = {
      {"C:\\WINDOWS\\win.ini", "C:\\WINDOWS\\win.ulv", &win,
       "C:\\WINDOWS\\win.ini could not be updated or restored.\nIts original content is in C:\\WINDOWS\\win.ulv.", 0},
      {"c:\\autoexec.bat", "c:\\autoexec.ulv", &autoexec,
       "c:\\autoexec.bat could not be updated or restored.\nIts original content is in c:\\autoexec.ulv.", 0},
  };
  auto fresh = [&] {
    MemoryFiles files;
    files.contents["C:\\WINDOWS\\win.ini"] = win;
    files.contents["C:\\WINDOWS\\system.ini"] = systemIni;
    files.contents["c:\\autoexec.bat"] = autoexec;
    files.readChunk = 4000;
    return files;
  };
  MemoryFiles clean = fresh();
  FakeStartupSystem cleanSystem(clean, "C:\\WINDOWS");
  vx::UpdateStartupFiles(clean, cleanSystem);
  for (const StartupFile& f : startupFiles) ASSERT_NE(clean.contents[f.path], *f.original) << f.path;
  ASSERT_NE(std::count(clean.log.begin(), clean.log.end(), FileOp::kSeek), 0);

  for (bool fromThenOn : {false, true}) {
    for (size_t failAt = 0; failAt < clean.log.size(); ++failAt) {
      SCOPED_TRACE(std::string(fromThenOn ? "every operation from " : "operation ") + std::to_string(failAt));
      MemoryFiles files = fresh();
      files.failAt = failAt;
      files.failFromThenOn = fromThenOn;
      bool originalsKept = true;
      files.afterEachOperation = [&] {
        for (const StartupFile& f : startupFiles) {
          originalsKept =
              originalsKept && (files.contents[f.path] == *f.original || files.contents[f.backup] == *f.original);
        }
      };
      FakeStartupSystem system(files, "C:\\WINDOWS");
      vx::UpdateStartupFiles(files, system);
      EXPECT_TRUE(originalsKept);
      EXPECT_EQ(files.OpenHandles(), 0u);
      EXPECT_EQ(files.contents["C:\\WINDOWS\\system.ini"], systemIni);
      // A single failure is always mended; from then on every later step
      // fails before it could damage a second file.
      EXPECT_LE(system.stops.size(), fromThenOn ? 1u : 0u);
      for (StartupFile& f : startupFiles) {
        SCOPED_TRACE(f.path);
        const bool stopped = std::count(system.stops.begin(), system.stops.end(), f.stop) != 0;
        f.stopsSeen += stopped;
        const std::string& now = files.contents[f.path];
        if (now != *f.original && now != clean.contents[f.path]) {
          EXPECT_TRUE(stopped) << "damaged without a word";
        }
        if (now == *f.original) continue;
        if (!fromThenOn) {
          EXPECT_EQ(now, clean.contents[f.path]) << "cut short or changed";
        }
        EXPECT_EQ(files.contents[f.backup], *f.original) << "changed without a complete backup";
      }
      for (const std::string& stop : system.stops) {
        EXPECT_TRUE(std::any_of(std::begin(startupFiles), std::end(startupFiles), [&](const StartupFile& f) {
          return stop == f.stop;
        })) << stop;
      }
    }
  }
  for (const StartupFile& f : startupFiles) EXPECT_GT(f.stopsSeen, 0) << f.path;
}

}  // namespace
