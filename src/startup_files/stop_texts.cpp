#include "startup_files/stop_texts.h"

#include "shell/bounded_text.h"
#include "startup_files/file_steps.h"

namespace vx {
namespace {

// A sentence about one file: the text before its path and after it.
struct FileSentence {
  const char* before;
  const char* after;
};

// The start-up file's path comes first, then `lead`, then the sentence about
// the backup and the one about the outcome's own file, each where it exists.
struct StopText {
  StepOutcome outcome;
  const char* lead;
  FileSentence backup;
  FileSentence named;
};

constexpr FileSentence kNone = {nullptr, nullptr};
constexpr FileSentence kCopyIn = {"\nA copy of it is in ", "."};
constexpr FileSentence kOriginalIn = {"\nIts original content is in ", "."};
constexpr FileSentence kUpdateIn = {"\nIts complete update is in ", "; run Setup again to put it in place."};
constexpr FileSentence kCannotDelete = {"\nSetup could not delete ",
                                        ", left by an earlier Setup. Delete it, then run Setup again."};

// clang-format off
constexpr StopText kStopTexts[] = {
    {StepOutcome::kCopyNotWhole,         " was not updated: Setup could not make a whole copy of it.",                           kNone,       kNone},
    {StepOutcome::kCopyNotOnDisk,        " was not updated: its copy could not be written to the disk.",                         kNone,       kNone},
    {StepOutcome::kHeld,                 " was not updated: it is read-only, or another program has it open. "
                                         "Close other programs, then run Setup again.",                                          kNone,       kNone},
    {StepOutcome::kNoRoom,               " was not updated: Setup could not write its new text beside it. The disk may be full.", kCopyIn,    kNone},
    {StepOutcome::kReplaceRefused,       " was not updated: another program has it open. Close other programs, then run Setup again.",
                                                                                                                                 kCopyIn,     kNone},
    {StepOutcome::kNotReplaced,          " was not updated: Windows did not let Setup replace it.",                              kCopyIn,     kNone},
    {StepOutcome::kLeftBeside,           " is missing: Setup could not put its update in place.",                                kOriginalIn, kUpdateIn},
    {StepOutcome::kCutCopyLeft,          " holds only the beginning of its update: Setup could not put it in place whole.",      kOriginalIn, kUpdateIn},
    {StepOutcome::kMissing,              " is missing: Setup could not make its update.",                                        kOriginalIn, kNone},
    {StepOutcome::kWrittenMeanwhile,     " was not updated: another program wrote it while Setup was updating it.",              kOriginalIn,
                                                                                                       {"\nSetup's update of the original is in ", "."}},
    {StepOutcome::kLeftoverStays,        " was not updated.",                                                                    kNone,       kCannotDelete},
    {StepOutcome::kLeftoverAfterUpdate,  " was updated.",                                                                        kNone,
                                                                                       {"\nSetup could not delete ", ", which it no longer needs. You can delete it."}},
    {StepOutcome::kOriginalKept,         " changed after an earlier Setup stopped while updating it.",                           kNone,
                                                                                       {"\nIts original content is kept in ", ", which no later Setup replaces."}},
    {StepOutcome::kOriginalNotKept,      " was not updated: it changed after an earlier Setup stopped while updating it.",       
                                                                     {"\nIts original content is in ", ". Move that file elsewhere, then run Setup again."}, kNone},
    {StepOutcome::kUpdateKept,           " is missing, and Setup could not make it again from its copy.",                        kOriginalIn,
                                                                           {"\nWhat an earlier Setup made of its update, maybe cut short, is in ", "."}},
    {StepOutcome::kOverwritten,          " was changed again after Setup updated it: Windows wrote back its own copy.",          kOriginalIn, kNone},
};
// clang-format on

constexpr size_t LiteralLength(const char* text) {
  size_t length = 0;
  while (text != nullptr && text[length] != '\0') ++length;
  return length;
}

constexpr size_t SentenceLength(const FileSentence& sentence) {
  return sentence.before == nullptr
             ? 0
             : LiteralLength(sentence.before) + kOpenPathCapacity + LiteralLength(sentence.after);
}

constexpr size_t LongestStopText() {
  size_t longest = 0;
  for (const StopText& text : kStopTexts) {
    const size_t length =
        kOpenPathCapacity + LiteralLength(text.lead) + SentenceLength(text.backup) + SentenceLength(text.named);
    if (length > longest) longest = length;
  }
  return longest;
}

// Each path is shorter than kOpenPathCapacity.
constexpr size_t kStopTextCapacity = LongestStopText();

void AppendSentence(FileSystem& files, char* message, size_t capacity, const FileSentence& sentence, const char* path) {
  if (sentence.before == nullptr || path == nullptr || !Exists(files, path)) return;
  AppendText(message, capacity, sentence.before);
  AppendText(message, capacity, path);
  AppendText(message, capacity, sentence.after);
}

}  // namespace

void ReportStep(FileSystem& files, StartupSystem& system, const StepPaths& paths, StepResult result) {
  for (const StopText& text : kStopTexts) {
    if (text.outcome != result.outcome) continue;
    char message[kStopTextCapacity];
    CopyText(message, sizeof message, paths.startup);
    AppendText(message, sizeof message, text.lead);
    AppendSentence(files, message, sizeof message, text.backup, paths.backup);
    AppendSentence(files, message, sizeof message, text.named, result.named);
    system.ShowStop(message);
  }
}

}  // namespace vx
