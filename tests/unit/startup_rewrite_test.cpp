// Replacing the start-up files when things go wrong: a file is replaced only
// behind a complete backup, and Setup stopped at any instant loses nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "startup_file_doubles.h"
#include "startup_files/replace_whole.h"
#include "startup_files/rewrite_rules.h"
#include "startup_files/update_startup_files.h"

namespace {

using vx::StepOutcome;
using vxtest::FakeStartupSystem;
using vxtest::FileOp;
using vxtest::MemoryFiles;

const std::string kAutoexec = "@ECHO OFF\r\nSET MOUSE=C:\\MOUSE\r\nLH C:\\MOUSE\\MOUSE.COM\r\nPROMPT $P$G\r\n";
const std::string kAutoexecRewritten =
    "@ECHO OFF\r\nrem SET MOUSE=C:\\MOUSE\r\nrem LH C:\\MOUSE\\MOUSE.COM\r\nPROMPT $P$G\r\n";

StepOutcome RewriteAutoexec(MemoryFiles& files) {
  vx::AutoexecRule rule;
  return vx::RewriteFromBackup(files, "auto", "backup", "aside", rule);
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
    EXPECT_EQ(RewriteAutoexec(files), StepOutcome::kCopyNotWhole);
    EXPECT_EQ(files.contents["auto"], kAutoexec);
    EXPECT_EQ(std::count(files.log.begin(), files.log.end(), FileOp::kOpenWrite), 0);
    EXPECT_EQ(files.OpenHandles(), 0u);
  }
}

TEST(RewriteFromBackup, AnEmptyFileWithAnEmptyBackupIsRewrittenEmpty) {
  MemoryFiles files;
  files.contents["auto"] = "";
  files.contents["backup"] = "";
  EXPECT_EQ(RewriteAutoexec(files), StepOutcome::kUpdated);
  EXPECT_EQ(files.contents["auto"], "");
}

// The whole pass in memory: win.ini (with a line longer than a block, so that
// it is read twice), system.ini, and autoexec.bat, with the program's own
// names beside each.
struct PassFile {
  const char* path;
  const char* backup;
  const char* aside;
  const char* renamed;
  const char* keepStem;
  std::string original;
};

const PassFile kPassFiles[] = {
    {"C:\\WINDOWS\\win.ini", "C:\\WINDOWS\\win.ulv", "C:\\WINDOWS\\VXWIN.TMP", "C:\\WINDOWS\\VXWIN.NEW",
     "C:\\WINDOWS\\WIN.UL", "[windows]\r\nload=point32.exe\r\nrun=\r\n" + std::string(17000, 'w') + "\r\n[fonts]\r\n"},
    {"C:\\WINDOWS\\system.ini", "C:\\WINDOWS\\system.ulv", "C:\\WINDOWS\\VXSYS.TMP", "C:\\WINDOWS\\VXSYS.NEW",
     "C:\\WINDOWS\\SYSTEM.UL", "[boot]\r\nmouse.drv=lmouse.drv\r\n"},
    {"c:\\autoexec.bat", "c:\\autoexec.ulv", "c:\\VXAUTO.TMP", "c:\\VXAUTO.NEW", "c:\\AUTOEXEC.UL",
     kAutoexec + std::string(300, ' ') + "rem mouse\r\n"},
};
const PassFile& kSystemIni = kPassFiles[1];
const PassFile& kAutoexecBat = kPassFiles[2];

// The systems the pass meets. Windows 95, 98 and Me delete and rename, and
// write folder changes out in any order.
struct PassSystem {
  const char* name;
  bool replacesInOneStep;
  bool roomBeside;
  size_t replaceRefusals;
  // Whether 95, 98 and Me refuse to rename onto the start-up file, or to delete it.
  bool renameRefused;
  bool deleteRefused;
  // A second Setup runs the autoexec.bat step inside the first, right after
  // the first deleted autoexec.bat.
  bool secondSetup;
  // The stop that every run shows for each file, between its path and its
  // backup's, where the file is never updated.
  const char* notUpdated;
} const kPassSystems[] = {
    {"one-step replace", true, true, 0, false, false, false, nullptr},
    {"95: delete, then rename", false, true, 0, false, false, false, nullptr},
    {"no room beside the start-up files", true, false, 0, false, false, false,
     " was not updated: Setup could not write its new text beside it. The disk may be full.\nA copy of it is in "},
    {"the replace refused, the files held", true, true, MemoryFiles::kNever, false, false, false,
     " was not updated: another program has it open. Close other programs, then run Setup again.\n"
     "A copy of it is in "},
    {"the replace refused twice, then let go", true, true, 2, false, false, false, nullptr},
    {"95: the rename refused, so copied", false, true, 0, true, false, false, nullptr},
    {"95: the delete refused", false, true, 0, false, true, false,
     " was not updated: Windows did not let Setup replace it.\nA copy of it is in "},
    {"95: a second Setup right after the delete", false, true, 0, false, false, true, nullptr},
};

MemoryFiles PassFiles(const PassSystem& kind) {
  MemoryFiles files;
  for (const PassFile& f : kPassFiles) {
    files.contents[f.path] = f.original;
    if (!kind.roomBeside) files.cannotCreate.insert(f.aside);
    if (kind.deleteRefused) files.cannotRemove.insert(f.path);
    if (kind.renameRefused) files.cannotRenameTo.insert(f.path);
  }
  files.attributes["c:\\autoexec.bat"] = 0x06;  // hidden and system
  files.replacesInOneStep = kind.replacesInOneStep;
  files.orderFreeFolders = !kind.replacesInOneStep;
  files.replaceRefusals = kind.replaceRefusals;
  files.readChunk = 4000;
  return files;
}

// The complete new text of `text` for `f`: the lines of win.ini and
// autoexec.bat rewritten by their rules, system.ini with the entries as the
// test system's profile functions write them.
std::string RewriteOf(const PassFile& f, const std::string& text) {
  if (f.path == kSystemIni.path) return text + "mouse.drv=mouse.drv\r\nmouse=*vmouse\r\nkeyboard=*vkd\r\n";
  // The crash table asks for the same few texts hundreds of thousands of times.
  static std::map<std::pair<const char*, std::string>, std::string> made;
  const auto known = made.find({f.path, text});
  if (known != made.end()) return known->second;
  MemoryFiles files;
  files.contents = {{"s", text}, {"b", text}};
  vx::WinIniRule winIni;
  vx::AutoexecRule autoexec;
  vx::LineRule& rule = f.path == kPassFiles[0].path ? static_cast<vx::LineRule&>(winIni) : autoexec;
  vx::RewriteFromBackup(files, "s", "b", "a", rule);
  return made[{f.path, text}] = files.contents["s"];
}

// One run of the pass, with the row's second Setup inside it unless it is a
// later run; the stops shown.
std::vector<std::string> RunPass(const PassSystem& kind, MemoryFiles& files, bool later = false) {
  FakeStartupSystem system(files, "C:\\WINDOWS");
  system.profileWritesFile = true;
  FakeStartupSystem second(files, "C:\\WINDOWS");
  second.windowsDirectoryFails = true;  // so it meets only autoexec.bat
  const std::function<void()> check = files.afterEachOperation;
  bool secondRan = !kind.secondSetup || later;
  files.afterEachOperation = [&] {
    if (check) check();
    if (secondRan || files.log.back() != FileOp::kRemove || files.contents.count(kAutoexecBat.path) != 0) return;
    secondRan = true;
    vx::UpdateStartupFiles(files, second);
  };
  vx::UpdateStartupFiles(files, system);
  files.afterEachOperation = check;
  system.stops.insert(system.stops.end(), second.stops.begin(), second.stops.end());
  return system.stops;
}

// On 95, 98 and Me, stopped between the delete and the rename, or while the
// new text was copied into place: the complete new text is beside the file.
bool RewriteBeside(const MemoryFiles& files, const PassFile& f, const std::string& rewritten) {
  const auto file = files.contents.find(f.path);
  return files.Holds(f.renamed, rewritten) &&
         (file == files.contents.end() || rewritten.compare(0, file->second.size(), file->second) == 0);
}

bool NothingLeftBeside(const MemoryFiles& files, const PassFile& f) {
  return files.contents.count(f.aside) == 0 && files.contents.count(f.renamed) == 0;
}

bool Names(const std::vector<std::string>& stops, const PassFile& f) {
  return std::any_of(stops.begin(), stops.end(), [&](const std::string& stop) { return stop.rfind(f.path, 0) == 0; });
}

// Each operation failing in turn: every start-up file ends up updated or
// exactly as it was (or, on 95, 98 and Me, missing with its new text beside
// it), and at no moment is its original held nowhere. A file that Setup read
// (its backup is there) and did not update is named to the user, and none
// keeps a file of Setup's beside it unless named.
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
    const std::vector<std::string> cleanStops = RunPass(kind, clean);
    EXPECT_TRUE(attributesKept || kind.renameRefused);
    std::vector<std::string> notUpdated;
    for (const PassFile& f : kPassFiles) {
      if (kind.notUpdated != nullptr) notUpdated.push_back(f.path + std::string(kind.notUpdated) + f.backup + ".");
      ASSERT_TRUE(clean.Holds(f.path, kind.notUpdated != nullptr ? f.original : RewriteOf(f, f.original))) << f.path;
      EXPECT_TRUE(NothingLeftBeside(clean, f)) << f.path;
    }
    EXPECT_EQ(cleanStops, notUpdated);
    EXPECT_EQ(clean.attributes["c:\\autoexec.bat"], 0x06u);

    for (size_t failAt = 0; failAt < clean.log.size(); ++failAt) {
      SCOPED_TRACE("operation " + std::to_string(failAt));
      MemoryFiles files = PassFiles(kind);
      files.failAt = failAt;
      bool originalsKept = true;
      files.afterEachOperation = [&] {
        for (const PassFile& f : kPassFiles) {
          originalsKept = originalsKept && (files.Holds(f.path, f.original) || files.Holds(f.backup, f.original));
        }
      };
      const std::vector<std::string> stops = RunPass(kind, files);
      EXPECT_TRUE(originalsKept);
      EXPECT_EQ(files.OpenHandles(), 0u);
      for (const PassFile& f : kPassFiles) {
        SCOPED_TRACE(f.path);
        const std::string rewritten = RewriteOf(f, f.original);
        const bool named = Names(stops, f);
        // A draft under the first name is harmless: the next run removes it.
        EXPECT_TRUE(named || files.contents.count(f.renamed) == 0) << "left behind";
        EXPECT_TRUE(named || files.Holds(f.path, rewritten) || files.contents.count(f.backup) == 0)
            << "not updated without a word";
        if (files.Holds(f.path, f.original) || files.Holds(f.path, rewritten)) continue;
        EXPECT_TRUE(files.Holds(f.backup, f.original) && RewriteBeside(files, f, rewritten)) << "torn";
      }
    }
  }
}

// What is on the disk for a start-up file's step.
struct StepState {
  bool exists = false;
  std::string file;
  std::string backup;
  bool renamedLeft = false;
};

StepState StateOf(const MemoryFiles& disk, const PassFile& f) {
  const auto get = [&](const char* path) {
    const auto it = disk.contents.find(path);
    return it == disk.contents.end() ? std::string() : it->second;
  };
  return {disk.contents.count(f.path) != 0, get(f.path), get(f.backup), disk.contents.count(f.renamed) != 0};
}

// What happens to the files between the stopped run and the next.
enum class Between {
  kNothing,
  // Windows started and, finding no win.ini, wrote a fresh one.
  kFreshWinIni,
  // Another program changed the start-up files.
  kAnotherProgram,
  // The new text under its second name cut short, or with bytes behind it (a
  // power cut while FAT wrote the file's size and its clusters out); the
  // start-up files cut short.
  kNewTextCutShort,
  kNewTextGrown,
  kStartupFilesCutShort,
};

// False when the event cannot happen to this disk.
bool ApplyBetween(Between between, MemoryFiles& disk) {
  const auto cut = [&](const char* path) {
    const auto it = disk.contents.find(path);
    if (it == disk.contents.end() || it->second.size() < 2) return false;
    it->second.resize(it->second.size() / 2);
    return true;
  };
  bool changed = between == Between::kNothing;
  for (const PassFile& f : kPassFiles) {
    const bool exists = disk.contents.count(f.path) != 0;
    switch (between) {
      case Between::kNothing:
        break;
      case Between::kFreshWinIni:
        if (&f == &kPassFiles[0] && !exists) changed = disk.contents.emplace(f.path, "[windows]\r\nrun=\r\n").second;
        break;
      case Between::kAnotherProgram:
        if (exists) disk.contents[f.path] += "rem changed\r\n";
        changed = changed || exists;
        break;
      case Between::kNewTextCutShort:
        changed = cut(f.renamed) || changed;
        break;
      case Between::kNewTextGrown:
        if (disk.contents.count(f.renamed) != 0) disk.contents[f.renamed] += std::string(4, '\0');
        changed = changed || disk.contents.count(f.renamed) != 0;
        break;
      case Between::kStartupFilesCutShort:
        changed = cut(f.path) || changed;
        break;
    }
  }
  return changed;
}

// True when `text` is in the start-up file, its backup, a file an original was
// kept under, or, a copy of the new text cut short, at the start of the file.
bool KeptOn(const MemoryFiles& disk, const PassFile& f, const std::string& text) {
  const StepState at = StateOf(disk, f);
  const std::string rewrite = RewriteOf(f, at.backup);
  if ((at.exists && (at.file == text || (at.file == rewrite && rewrite.compare(0, text.size(), text) == 0))) ||
      at.backup == text) {
    return true;
  }
  for (char digit = '1'; digit <= '9'; ++digit) {
    if (disk.Holds(f.keepStem + std::string(1, digit), text)) return true;
  }
  return false;
}

// One full run after a stopped one: every text of `mustKeep` is kept. Unless
// the user is told, the file is whole (untouched, or the complete new text of
// its backup) with no file of Setup's beside it; an ordinary run tells nothing.
// Returns, for each file, whether the run named it.
std::vector<bool> ExpectRunKeepsEverything(const PassSystem& kind, MemoryFiles& disk,
                                           const std::vector<std::string> (&mustKeep)[3], bool ordinary) {
  StepState before[3];
  for (size_t i = 0; i < 3; ++i) before[i] = StateOf(disk, kPassFiles[i]);
  const std::vector<std::string> stops = RunPass(kind, disk, true);
  if (ordinary && kind.notUpdated == nullptr) EXPECT_TRUE(stops.empty()) << stops[0];
  std::vector<bool> named;
  for (size_t i = 0; i < 3; ++i) {
    const PassFile& f = kPassFiles[i];
    SCOPED_TRACE(f.path);
    for (const std::string& text : mustKeep[i]) EXPECT_TRUE(KeptOn(disk, f, text)) << "lost: " << text.substr(0, 40);
    named.push_back(Names(stops, f));
    if (named.back()) continue;
    const StepState after = StateOf(disk, f);
    EXPECT_TRUE(after.file == before[i].file || after.file == RewriteOf(f, after.backup)) << "torn";
    EXPECT_TRUE(after.exists == before[i].exists || after.exists) << "removed";
    EXPECT_TRUE(NothingLeftBeside(disk, f)) << "left behind";
  }
  return named;
}

// Setup stopped at every instant of the pass, either as a process (what it
// wrote is in the system's cache and reaches the disk) or by a power cut
// (only what was flushed, and on 95, 98 and Me any subset of the folder
// changes not yet written out). At the stop each start-up file is whole: its
// original, or its complete new text with the original in the backup, or on
// 95, 98 and Me missing, or a copy cut short, with the complete new text
// beside it. Then, after an event between the runs, two full runs keep the
// original wherever the stopped run may have deleted the file, and whatever
// the file held when each starts; the second of them is an ordinary run.
TEST(UpdateStartupFilesInMemory, AStopAtAnyInstantThenTwoMoreRunsLoseNothing) {
  size_t stops = 0;
  for (const PassSystem& kind : kPassSystems) {
    SCOPED_TRACE(kind.name);
    size_t disks = 0;
    MemoryFiles clean = PassFiles(kind);
    RunPass(kind, clean);
    for (size_t cut = 0; cut <= clean.log.size(); ++cut) {
      MemoryFiles files = PassFiles(kind);
      files.stopAt = cut;
      RunPass(kind, files);
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
        for (Between between : {Between::kNothing, Between::kFreshWinIni, Between::kAnotherProgram,
                                Between::kNewTextCutShort, Between::kNewTextGrown, Between::kStartupFilesCutShort}) {
          SCOPED_TRACE("between the runs: " + std::to_string(static_cast<int>(between)));
          // Files cut short are tried after the process stops, where every
          // state of the step is reached once, not again on each power-cut disk.
          const bool cutting = between > Between::kAnotherProgram;
          if (cutting && d + 1 != restarts.size()) continue;
          MemoryFiles disk = restarts[d];
          if (!ApplyBetween(between, disk)) continue;
          std::vector<std::string> mustKeep[3];
          for (size_t i = 0; i < 3; ++i) {
            const StepState at = StateOf(restarts[d], kPassFiles[i]);
            if (!at.exists || at.renamedLeft) mustKeep[i].push_back(kPassFiles[i].original);
            if (disk.contents.count(kPassFiles[i].path) != 0) mustKeep[i].push_back(disk.contents[kPassFiles[i].path]);
          }
          SCOPED_TRACE("run 2");
          const std::vector<bool> named = ExpectRunKeepsEverything(kind, disk, mustKeep, between == Between::kNothing);
          disk = disk.AfterProcessStop();
          // Where the run said nothing, it completed: the next is an ordinary run.
          for (size_t i = 0; i < 3; ++i) {
            const bool original = named[i] && !mustKeep[i].empty() && mustKeep[i][0] == kPassFiles[i].original;
            mustKeep[i].resize(original ? 1 : 0);
            if (disk.contents.count(kPassFiles[i].path) != 0) mustKeep[i].push_back(disk.contents[kPassFiles[i].path]);
          }
          SCOPED_TRACE("run 3");
          ExpectRunKeepsEverything(kind, disk, mustKeep, true);
        }
      }
    }
    stops += clean.log.size() + 1;
    std::printf("%s: stopped at %zu instants, %zu disks after them\n", kind.name, clean.log.size() + 1, disks);
  }
  EXPECT_GT(stops, 500u);
}

}  // namespace
