// Steps of the destination and copy dialogs that their tests share: choosing a
// custom directory, the drive list, catching the copy dialog the moment it opens,
// and the six files an installation leaves behind.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "harness/bench.h"

namespace e2e {

// Control ids of INSTOPTION, COPYDIALOG and SUCCESSDLG.
constexpr int kExpressButton = 1002;
constexpr int kCustomButton = 1003;
constexpr int kPathEdit = 1004;
constexpr int kInstallToLabel = 1005;
constexpr int kOptionContinue = 1006;
constexpr int kDriveList = 1015;
constexpr int kExampleLabel = 1020;
constexpr int kCopyCancel = 1011;
constexpr int kCopyFrom = 1024;
constexpr int kCopyTo = 1025;
constexpr int kSuccessContinue = 1013;

// One package file as installed: its name and where it lands.
struct InstalledFile {
  std::string name;
  std::string path;
};
// The six files in copy order, the first three in `installDir` (with its
// trailing backslash).
std::vector<InstalledFile> InstalledFiles(const std::string& installDir);
// The six names as they lie on the disk, compressed ones ending in "_".
std::vector<std::string> DiskNames();

// The folder of the package files before compression, written by the bench build
// beside the driver, with a trailing backslash.
std::string StandinDir();

// Each installed file holds exactly the bytes of the package file before it was
// compressed for the disk (GoogleTest expectations).
void ExpectOriginalBytes(const std::vector<InstalledFile>& files);

// Waits until every one of the files exists.
bool WaitForFiles(const std::vector<InstalledFile>& files, DWORD timeoutMs = kWaitMs);

// Puts a copy of the installation disk into `folder` (created with every level
// above it), the program as `programName`, leaving out the disk files named in
// `omit`.
bool CopyDisk(const std::string& folder, const std::string& programName, const std::vector<std::string>& omit = {});

// The drive list's entries in order, its selected index (LB_ERR for none), and
// selecting one.
std::vector<std::string> ListEntries(HWND list);
int SelectedIndex(HWND list);
void SelectIndex(HWND list, int index);
// Selects the entry "[-d-]" of drive `letter`; false when it is not listed.
bool SelectDrive(HWND options, char letter);

// Replaces the text of a control of another process.
void SetItemText(HWND dialog, int id, const std::string& text);

// Presses the custom button and waits until its controls are shown and filled.
bool ChooseCustom(HWND options);

// Polls without the usual pause, so that the copy dialog is caught before its
// first file (100 ms after it opens).
HWND CatchCopyDialog(SetupProcess& setup);

// Waits for SUCCESSDLG while answering any other box the system shows meanwhile
// (a prompt for a missing file) with Cancel; their captions go to `answered`.
HWND WaitForSuccessCancellingPrompts(SetupProcess& setup, std::vector<std::string>* answered);

// Continue in SUCCESSDLG, OK in the reminder; true when Setup then ends.
bool FinishFromSuccess(SetupProcess& setup, HWND success);

// Compares the first `width` x `height` pixels of the window's client area on the
// screen with icon `iconId` of A:\SETUP.EXE drawn at (0, 0); returns how many
// differ, or -1 when the icon cannot be loaded.
int IconDifferences(HWND window, int iconId, int width, int height);

}  // namespace e2e
