// What one installation run has created or changed so far, in order, so
// that a run that fails can undo it all and leave the machine as it was.
#pragma once

#include "base/list.h"

#include "base/error.h"
#include "base/text.h"
#include "platform/platform.h"

namespace glyphary::engine {

class Journal {
 public:
  void FolderCreated(std::wstring_view path);
  void FileCreated(std::wstring_view path);
  void KeyCreated(platform::RegistryRoot root, std::wstring_view path);
  // A file or folder taken off the deletions at the next restart.
  void KeptAtRestart(std::wstring_view path);
  // A value written where `before` held something (`existed`) or nothing.
  void ValueWritten(platform::RegistryRoot root, std::wstring_view path, std::wstring_view name,
                    bool existed, const platform::RegistryValue& before);

  // Undoes every step, the last first: values put back as they were (or
  // deleted), keys deleted, files deleted, folders removed, deletions at the
  // restart scheduled again. Every step is
  // tried; the steps undone leave the journal, so that a second call tries
  // only what the first could not undo. A file or folder already gone counts
  // as undone. The first failure is returned.
  [[nodiscard]] Error Undo(const platform::Platform& platform);

  // Whether every step has been undone (or none was made).
  bool empty() const { return steps_.empty(); }

  // What is still to undo, for a message: "the file C:\...\89mat.ico; the
  // folder C:\...\TI-89".
  WideText Remaining() const;

 private:
  enum class Kind { kFolder, kFile, kKey, kValue, kKeptAtRestart };
  struct Step {
    Kind kind;
    platform::RegistryRoot root;
    WideText path;
    WideText name;
    bool existed;
    platform::RegistryValue before;
  };
  List<Step> steps_;
};

// Writes `value` (text or number) as the value `name` of the key `path`.
[[nodiscard]] Error WriteValue(platform::Registry& registry, platform::RegistryRoot root,
                               std::wstring_view path, std::wstring_view name,
                               const platform::RegistryValue& value);

// Makes sure the key `path` exists, noting in `journal` each level this
// call creates (none when it was there).
[[nodiscard]] Error CreateKeyNoted(platform::Registry& registry, platform::RegistryRoot root,
                                   std::wstring_view path, Journal& journal);

// Writes a value, noting in `journal` what it held before (into `before`
// too, with `existed`). A value that cannot be read first is still written.
[[nodiscard]] Error WriteValueNoted(platform::Registry& registry, platform::RegistryRoot root,
                                    std::wstring_view path, std::wstring_view name,
                                    const platform::RegistryValue& value, Journal& journal,
                                    platform::RegistryValue& before, bool& existed);

// A text or a number as a value to write.
platform::RegistryValue TextValue(std::wstring_view text);
platform::RegistryValue NumberValue(std::uint32_t number);

}  // namespace glyphary::engine
