#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform.h"

namespace slimtag {

enum class MessageIcon { kInformation, kWarning };

// Where lines end. kCrLf, the window's rule: a CR or a CR LF ends a line, a LF alone stays inside
// it, and every line is written with CR LF. kAsRead: a LF, CR LF or CR ends a line, and each line
// is written back with the terminator it had (a last line without one gets none), so that pages
// written on Unix are edited line by line and keep every byte no pass changes.
enum class LineEndRule { kCrLf, kAsRead };

struct VersionNumbers {
  int major = 0;
  int minor = 0;
  int revision = 0;
};

// What the optimisation run needs of its owner: the main window, or the batch front end. The run
// reads everything at the moment it needs it and reports only through the title, the pointer and
// one modal message. Texts are UTF-8; entry names and paths are the file system's bytes.
class RunHost {
 public:
  virtual ~RunHost() = default;

  // The file chooser: the folder of the folder list, the folder whose files the file list shows
  // (the chooser keeps both equal), and the file list's entries. An entry may be a path below
  // the folder ("sub/page.htm"); its backup then goes to a backup folder of its own folder.
  virtual std::string FolderPath() const = 0;
  virtual std::string ListPath() const = 0;
  virtual int EntryCount() const = 0;
  virtual std::string EntryName(int index) const = 0;
  virtual bool EntrySelected(int index) const = 0;
  // Makes the file list read its folder again.
  virtual void RefreshList() = 0;
  // Where the listing found the folder of the entries below sub_folder ("" for the folder
  // itself), when it knows: the run works only in that very folder.
  virtual std::optional<FileIdentity> ListedFolder(const std::string& /*sub_folder*/) const {
    return std::nullopt;
  }

  // State of option box CheckN: 0 clear, 1 ticked, 2 greyed. Only 1 counts as ticked.
  virtual int CheckState(int box) const = 0;
  // Text of field TextN (1 to 6: the replacement pairs, 13 to 15: the removal texts).
  virtual std::string FieldText(int field) const = 0;

  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetBusyPointer(bool busy) = 0;
  // Modal, titled "Slimtag", one OK button; returns when it is dismissed.
  virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;

  virtual VersionNumbers Version() const = 0;

  // The line-end rule of the run; the window's unless the host says otherwise.
  virtual LineEndRule LineEnds() const { return LineEndRule::kCrLf; }
  // How the messages show file names; null: as they are.
  virtual NameStyle Names() const { return nullptr; }
  // Told after each page is replaced, in list order, with its entry name and its sizes before
  // and after.
  virtual void PageDone(const std::string& /*name*/, std::int64_t /*size_before*/,
                        std::int64_t /*size_after*/) {}
};

}  // namespace slimtag
