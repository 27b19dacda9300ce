// The win.ini and autoexec.bat rules, each case as a whole file rewritten from
// its backup.
#include <gtest/gtest.h>

#include <string>

#include "startup_file_doubles.h"
#include "startup_files/replace_whole.h"
#include "startup_files/rewrite_rules.h"

namespace {

using vxtest::MemoryFiles;

template <typename Rule>
std::string Rewrite(const std::string& original) {
  MemoryFiles files;
  files.contents["start"] = original;
  files.contents["backup"] = original;
  Rule rule;
  EXPECT_EQ(vx::RewriteFromBackup(files, "start", "backup", "aside", rule), vx::StepOutcome::kUpdated);
  EXPECT_EQ(files.contents["backup"], original);
  return files.contents["start"];
}

struct Case {
  const char* name;
  std::string original;
  std::string rewritten;
};

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

const std::string k250(250, '-');

TEST(WinIniRule, CommentsOutMouseProgramsInWindowsSectionsOnly) {
  // clang-format off
  const Case cases[] = {
      {"header in mixed case, program in capitals with a path",
       "[boot]\r\nshell=C:\\VP\\POINT32.EXE\r\n[Windows]\r\nload=C:\\MOUSE\\POINT32.EXE nc.exe\r\nrun=\r\n"
       "[Desktop]\r\nWallpaper=point32.exe\r\n",
       "[boot]\r\nshell=C:\\VP\\POINT32.EXE\r\n[Windows]\r\n;load=C:\\MOUSE\\POINT32.EXE nc.exe\r\nrun=\r\n"
       "[Desktop]\r\nWallpaper=point32.exe\r\n"},
      {"header in capitals", "[WINDOWS]\r\nRUN=EM_EXEC.EXE\r\n", "[WINDOWS]\r\n;RUN=EM_EXEC.EXE\r\n"},
      {"a [ inside a value ends the section up to the next [windows]",
       "[windows]\r\nload=a[1].exe point32.exe\r\nrun=em_exec.exe\r\n[windows]\r\nrun=em_exec.exe\r\n",
       "[windows]\r\nload=a[1].exe point32.exe\r\nrun=em_exec.exe\r\n[windows]\r\n;run=em_exec.exe\r\n"},
      {"two [windows] sections",
       "[windows]\r\nload=apoint.exe\r\n[fonts]\r\nx=apoint.exe\r\n[windows]\r\nrun=kmw_run.exe\r\n",
       "[windows]\r\n;load=apoint.exe\r\n[fonts]\r\nx=apoint.exe\r\n[windows]\r\n;run=kmw_run.exe\r\n"},
      {"an already commented line gets a second ;", "[windows]\r\n;load=point32.exe\r\n",
       "[windows]\r\n;;load=point32.exe\r\n"},
      {"an entry inside a longer name", "[windows]\r\nload=c:\\x\\mypoint32.exe2\r\n",
       "[windows]\r\n;load=c:\\x\\mypoint32.exe2\r\n"},
      {"the header line is itself tested", "[windows] load=point32.exe\r\nrun=x\r\n",
       ";[windows] load=point32.exe\r\nrun=x\r\n"},
      {"[windows] in a comment starts the section", "[boot]\r\n; see [windows]\r\nload=mswheel.exe\r\n",
       "[boot]\r\n; see [windows]\r\n;load=mswheel.exe\r\n"},
      {"a lone CR does not end the line", "[windows]\rload=point32.exe\r\nrun=x\r\n",
       ";[windows]\rload=point32.exe\r\nrun=x\r\n"},
      {"LF line ends come out as CR LF", "[windows]\nload=syntpenh.exe\nrun=\n", "[windows]\r\n;load=syntpenh.exe\r\nrun=\r\n"},
      {"Ctrl-Z ends the rewritten file", "[windows]\r\nload=point32.exe\r\n\x1a junk\r\nload=point32.exe\r\n",
       "[windows]\r\n;load=point32.exe\r\n"},
      {"last line without line end", "[windows]\nload=point32.exe", "[windows]\r\n;load=point32.exe"},
      {"empty file", "", ""},
      {"bytes above 127 are kept and never lowered",
       "[windows]\r\nload=C:\\\xc9T\xc9\\POINT32.EXE\r\nrun=POINT32.EX\xc9\r\n",
       "[windows]\r\n;load=C:\\\xc9T\xc9\\POINT32.EXE\r\nrun=POINT32.EX\xc9\r\n"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Rewrite<vx::WinIniRule>(c.original), c.rewritten);
  }
}

TEST(WinIniRule, MatchesEveryProgramOfItsTableInAnyCase) {
  for (const vx::NameEntry& entry : vx::MouseProgramNames) {
    SCOPED_TRACE(entry.name);
    const std::string name = entry.name;
    EXPECT_EQ(Rewrite<vx::WinIniRule>("[Windows]\r\nload=C:\\UTIL\\" + Upper(name) + "\r\nrun=" + name + " x\r\n"),
              "[Windows]\r\n;load=C:\\UTIL\\" + Upper(name) + "\r\n;run=" + name + " x\r\n");
  }
}

// A line longer than one read is still one line: its prefix goes at its start,
// its text comes through whole, and the section tests see it once.
TEST(WinIniRule, TreatsLongLinesAsOneLine) {
  const std::string x254(254, 'x');
  const std::string x600(600, 'x');
  // Behind "run=", "point32.exe" takes characters 249 to 259.
  const std::string straddling = std::string(245, 'p') + "point32.exe" + std::string(340, 'q');
  const Case cases[] = {
      {"254 characters, program at the end", "[windows]\r\nload=" + x254.substr(16) + "point32.exe\r\n",
       "[windows]\r\n;load=" + x254.substr(16) + "point32.exe\r\n"},
      {"255 characters, program only in the second piece", "[windows]\r\nload=" + x254 + "point32.exe\r\nrun=\r\n",
       "[windows]\r\n;load=" + x254 + "point32.exe\r\nrun=\r\n"},
      {"600 characters, program straddling the 254th character", "[windows]\r\nrun=" + straddling + "\r\n",
       "[windows]\r\n;run=" + straddling + "\r\n"},
      {"a [ late in a long line ends the section before the line is tested",
       "[windows]\r\nload=point32.exe " + x600 + "[x]\r\nrun=point32.exe\r\n",
       "[windows]\r\nload=point32.exe " + x600 + "[x]\r\nrun=point32.exe\r\n"},
      {"[windows] straddling the border starts the section",
       "[boot]\r\n" + std::string(250, ';') + "[windows]\r\nload=point32.exe\r\n",
       "[boot]\r\n" + std::string(250, ';') + "[windows]\r\n;load=point32.exe\r\n"},
      {"a long line without a name keeps the section", "[windows]\r\nx=" + x600 + "\r\nload=point32.exe\r\n",
       "[windows]\r\nx=" + x600 + "\r\n;load=point32.exe\r\n"},
      {"a long last line without line end", "[windows]\r\nload=" + x600 + "point32.exe",
       "[windows]\r\n;load=" + x600 + "point32.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Rewrite<vx::WinIniRule>(c.original), c.rewritten);
  }
}

TEST(AutoexecRule, TurnsDriverLinesIntoRemarks) {
  // clang-format off
  const Case cases[] = {
      {"a driver from C:\\MOUSE in capitals", "C:\\MOUSE\\MOUSE.COM /Q\r\n", "rem C:\\MOUSE\\MOUSE.COM /Q\r\n"},
      {"REM in capitals", "REM C:\\MOUSE\\MOUSE.COM\r\n", "REM C:\\MOUSE\\MOUSE.COM\r\n"},
      {"rem after leading spaces", "   rem lh c:\\mouse\\mouse.com\r\n", "   rem lh c:\\mouse\\mouse.com\r\n"},
      {"Rem in mixed case", "Rem MOUSE\r\n", "Rem MOUSE\r\n"},
      {"rem and a tab", "rem\tc:\\mouse\\mouse.com\r\n", "rem rem\tc:\\mouse\\mouse.com\r\n"},
      {"@rem", "@rem c:\\mouse\\mouse.com\r\n", "rem @rem c:\\mouse\\mouse.com\r\n"},
      {"double colon", ":: c:\\mouse\\mouse.com\r\n", "rem :: c:\\mouse\\mouse.com\r\n"},
      {"a tab before rem belongs to the word", "\trem mouse\r\n", "rem \trem mouse\r\n"},
      {"a first word that only begins with rem", "remark mouse\r\n", "rem remark mouse\r\n"},
      {"SET PATH naming a MOUSE directory", "SET PATH=C:\\DOS;C:\\MOUSE\r\n", "SET PATH=C:\\DOS;C:\\MOUSE\r\n"},
      {"PATH without SET", "PATH C:\\DOS;C:\\MOUSE\r\n", "rem PATH C:\\DOS;C:\\MOUSE\r\n"},
      {"set with two spaces before path", "set  path=c:\\mouse\r\n", "rem set  path=c:\\mouse\r\n"},
      {"a SET whose variable name contains MOUSE", "SET MOUSE=C:\\MOUSE\r\nSET LMOUSE=C:\\L\r\n",
       "rem SET MOUSE=C:\\MOUSE\r\nrem SET LMOUSE=C:\\L\r\n"},
      {"lines without a driver, an empty line among them", "@ECHO OFF\r\n\r\nPROMPT $P$G\r\n",
       "@ECHO OFF\r\n\r\nPROMPT $P$G\r\n"},
      {"LF line ends and a last line without one", "lh ctmouse\nver\ngmouse", "rem lh ctmouse\r\nver\r\nrem gmouse"},
      {"Ctrl-Z ends the rewritten file", "mouse\r\n\x1amouse\r\n", "rem mouse\r\n"},
      {"a lone CR keeps the line whole", "echo x\rmouse\r\n", "rem echo x\rmouse\r\n"},
      {"bytes above 127 come through", "rem \x8e\xa0\r\n\xc9 mouse\r\n", "rem \x8e\xa0\r\nrem \xc9 mouse\r\n"},
      {"a second run leaves the remarks as they are", "rem C:\\MOUSE\\MOUSE.COM\r\n",
       "rem C:\\MOUSE\\MOUSE.COM\r\n"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Rewrite<vx::AutoexecRule>(c.original), c.rewritten);
  }
}

TEST(AutoexecRule, MatchesEveryDriverOfItsTableInAnyCase) {
  for (const vx::NameEntry& entry : vx::DosMouseDriverNames) {
    SCOPED_TRACE(entry.name);
    const std::string line = "LH C:\\DRV\\" + Upper(entry.name) + ".COM /Y";
    EXPECT_EQ(Rewrite<vx::AutoexecRule>(line + "\r\n"), "rem " + line + "\r\n");
  }
}

TEST(AutoexecRule, TreatsLongLinesAsOneLine) {
  const std::string spaces300(300, ' ');
  const std::string x600(600, 'x');
  // clang-format off
  const Case cases[] = {
      {"rem after 300 leading spaces", spaces300 + "rem mouse\r\n", spaces300 + "rem mouse\r\n"},
      {"a driver only after the 254th character", "echo " + x600 + " mouse\r\n",
       "rem echo " + x600 + " mouse\r\n"},
      {"a driver straddling the 254th character", "echo " + std::string(246, 'x') + "ctmouse\r\n",
       "rem echo " + std::string(246, 'x') + "ctmouse\r\n"},
      {"set path straddling the 254th character", k250 + "set path=c:\\mouse\r\n",
       k250 + "set path=c:\\mouse\r\n"},
      {"a first word longer than a piece", x600 + "rem mouse\r\n", "rem " + x600 + "rem mouse\r\n"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Rewrite<vx::AutoexecRule>(c.original), c.rewritten);
  }
}

TEST(PatternFinder, FindsPatternsAcrossAnyCutOfTheText) {
  const std::string text = "lh c:\\drivers\\ctmouse\\ctmouse.exe /r2 [windows]";
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    SCOPED_TRACE(cut);
    vx::PatternFinder finder;
    const uint32_t ctmouse = finder.Add("ctmouse.exe");
    const uint32_t windows = finder.Add("[windows]");
    const uint32_t absent = finder.Add("gmouse");
    finder.StartLine();
    finder.Scan(text.data(), cut);
    finder.Scan(text.data() + cut, text.size() - cut);
    EXPECT_EQ(finder.Found(), ctmouse | windows);
    EXPECT_EQ(finder.Found() & absent, 0u);
    finder.StartLine();
    EXPECT_EQ(finder.Found(), 0u);
  }
}

}  // namespace
