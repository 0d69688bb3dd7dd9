#pragma once

#include <string>

namespace slimtag {

enum class MessageIcon { kInformation, kWarning };

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
  // (the chooser keeps both equal), and the file list's entries.
  virtual std::string FolderPath() const = 0;
  virtual std::string ListPath() const = 0;
  virtual int EntryCount() const = 0;
  virtual std::string EntryName(int index) const = 0;
  virtual bool EntrySelected(int index) const = 0;
  // Makes the file list read its folder again.
  virtual void RefreshList() = 0;

  // State of option box CheckN: 0 clear, 1 ticked, 2 greyed. Only 1 counts as ticked.
  virtual int CheckState(int box) const = 0;
  // Text of field TextN (1 to 6: the replacement pairs, 13 to 15: the removal texts).
  virtual std::string FieldText(int field) const = 0;

  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetBusyPointer(bool busy) = 0;
  // Modal, titled "Slimtag", one OK button; returns when it is dismissed.
  virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;

  virtual VersionNumbers Version() const = 0;
};

}  // namespace slimtag
