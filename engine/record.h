// The installation's record: its entry in Apps & Features, and the journal
// that lets any later run finish or take back a run that was cut short. It
// is written before the run changes anything (the files it will put into
// the install folder, the files it will move aside, the values it will
// replace, exactly), and its state moves only after the steps it names:
//
//   Installing  the run may have changed anything the record names; the
//               next install finishes it, an uninstall (or a run that
//               cannot finish it) takes it back from the record;
//   Installed   complete; DisplayName, written last, makes the entry show
//               in Apps & Features and is the detection rule;
//   Removing    DisplayName is gone and the removal may have taken anything
//               away; every later run finishes the removal first. The
//               record itself goes last, when everything else has gone.
//
// What it holds is data, never instructions: file names must be plain
// names of files in the install folder, replaced values must name one of
// the 48 places of the file types; anything else is ignored, left alone and
// reported.
#pragma once

#include "base/error.h"
#include "base/list.h"
#include "base/name_list.h"
#include "engine/file_types.h"
#include "engine/product.h"
#include "platform/platform.h"

namespace glyphary::engine {

enum class RecordState { kNone, kInstalling, kInstalled, kRemoving };

struct InstallRecord {
  bool exists = false;     // the record's key is there
  bool complete = false;   // installed: DisplayName, and no unfinished state
  RecordState state = RecordState::kNone;  // kNone: not written, or by an earlier build
  NameList files;          // put into the install folder by the installation
  NameList set_aside;      // of those, the ones whose earlier file waits in kSetAsideFolderName
  // The same two lists for the install folder's twin that 32-bit programs
  // reach (Wow64Folder): the icons put there, and those whose earlier file
  // waits in the twin's kSetAsideFolderName. Empty in a record of an
  // earlier build, which put nothing there.
  NameList wow64_files;
  NameList wow64_set_aside;
  List<SavedValue> saved;  // what the installation's values replaced
  NameList keys_before;    // of the 36 keys, those that existed before the installation
  NameList ignored;        // entries that are not data the record may hold
  // A part of the record is missing or of another type than the record
  // writes (a list of names that is no text, no list of the files put in,
  // a state no build writes): what it would name is not known, so the
  // record is kept for whoever can tell; the part is named in `ignored`.
  bool damaged = false;
};

// Whether `name` is the plain name of a file in a folder: not empty, no
// folder, drive or stream in it ("..\x", "C:x", "a:b"), no wildcard, no
// control character, not "." or "..", no trailing dot or space, at most
// 255 characters.
bool IsPlainFileName(std::wstring_view name);

// Reads the record of `target`; `record.exists` false when there is none.
// Entries that are not data it may hold go into `ignored`, as
// "InstalledFiles: ..\..\x" or "ReplacedValues: txtfile\shell|".
[[nodiscard]] Error ReadRecord(platform::Registry& registry, const InstallTarget& target,
                               InstallRecord& record);

// Writes what the run will do before it does any of it: each value of
// `new_saved` (exactly) below ReplacedValues, the files to move aside, the
// files to put in (the install folder's, then its twin's), then the state
// Installing. Whatever was saved before
// stays as it is.
[[nodiscard]] Error WritePlan(platform::Registry& registry, const InstallTarget& target,
                              const InstallRecord& record, const List<SavedValue>& new_saved);

// Completes the record once everything else is in place: the entry
// Settings shows (version, publisher, icon, location, `bytes` as its size,
// no Modify or Repair buttons, the uninstall command lines), the state
// Installed and, last, DisplayName.
[[nodiscard]] Error CompleteRecord(const platform::Platform& platform, const InstallTarget& target,
                                   unsigned long long bytes);

// Before a removal takes anything away: DisplayName deleted (the entry
// leaves Apps & Features, the detection rule turns false), then the state
// Removing.
[[nodiscard]] Error MarkRemoving(platform::Registry& registry, const InstallTarget& target);

// After a removal that could not take everything: the files still there,
// in the install folder and in its twin.
[[nodiscard]] Error WriteFilesLeft(platform::Registry& registry, const InstallTarget& target,
                                   const NameList& files, const NameList& wow64_files);

// Deletes the record, the last step of a removal.
[[nodiscard]] Error DeleteRecord(platform::Registry& registry, const InstallTarget& target);

}  // namespace glyphary::engine
