#include "batch_report.h"

#include "messages.h"
#include "name_quoting.h"
#include "text_compare.h"

namespace slimtag {

std::string_view OperationName(FileError::Operation operation) {
  using Op = FileError::Operation;
  switch (operation) {
    case Op::kCreateFolder:
      return "create_folder";
    case Op::kBackup:
      return "backup";
    case Op::kOpen:
      return "open";
    case Op::kRead:
      return "read";
    case Op::kSize:
      return "size";
    case Op::kCreateTemp:
      return "create_temp";
    case Op::kTempLocked:
      return "temp_locked";
    case Op::kWriteTemp:
      return "write_temp";
    case Op::kReplace:
      return "replace";
    case Op::kDeleteTemp:
      return "delete_temp";
    case Op::kUntrustedLink:
      return "untrusted_link";
    case Op::kTempUnsafe:
      return "temp_unsafe";
    case Op::kWriteProtected:
      return "write_protected";
    case Op::kNotRegular:
      return "not_regular";
    case Op::kChanged:
      return "changed";
    case Op::kOutOfMemory:
      return "out_of_memory";
    case Op::kSetIdBits:
      return "set_id_bits";
    case Op::kOverwrite:
      return "overwrite";
    case Op::kRecover:
      return "recover";
    case Op::kOpenFolder:
      return "open_folder";
    case Op::kFolderChanged:
      return "folder_changed";
    case Op::kFolderBusy:
      return "folder_busy";
    case Op::kSyncFolder:
      return "sync_folder";
    case Op::kRunFailed:
      return "run_failed";
    case Op::kOverlayLinks:
      return "overlay_links";
  }
  return "unknown";
}

std::string WithLineFeeds(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

ReportFailure FailureOf(const FileError& error) {
  return {std::string(OperationName(error.operation)), error.path, error.other, error.error,
          WithLineFeeds(FailureText(error))};
}

namespace {

std::string Field(std::string_view name, const std::string& value) {
  return "  " + JsonString(name) + ": " + value;
}

std::string Number(std::int64_t value) {
  return std::to_string(value);
}

// With a name, the object of a failed page: its name first.
std::string FailureObject(const ReportFailure& f, const std::string* name = nullptr) {
  return "{" + (name != nullptr ? "\"name\": " + JsonString(*name) + ", " : std::string()) +
         "\"operation\": " + JsonString(f.operation) + ", \"path\": " + JsonString(f.path) +
         ", \"other\": " + (f.other.empty() ? std::string("null") : JsonString(f.other)) +
         ", \"errno\": " + Number(f.error) +
         ", \"reason\": " + (f.error == 0 ? std::string("null") : JsonString(ReasonText(f.error))) +
         ", \"message\": " + JsonString(f.message) + "}";
}

}  // namespace

std::string JsonString(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t pos = 0; pos < text.size();) {
    const char c = text[pos];
    const std::size_t length = Utf8Length(text, pos);
    if (length == 0) {
      out += "\\ufffd";
      ++pos;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += "\\u00";
      out += kHex[(c >> 4) & 0xF];
      out += kHex[c & 0xF];
    } else {
      out.append(text.substr(pos, length));
    }
    pos += length;
  }
  return out + "\"";
}

std::string JsonDocument(const RunReport& report) {
  const std::int64_t before = report.stats.SizeBefore;
  const std::int64_t after = report.stats.SizeAfter;
  std::string pages = "[";
  for (std::size_t i = 0; i < report.pages.size(); ++i) {
    const PageFigures& p = report.pages[i];
    pages += (i == 0 ? "\n    " : ",\n    ");
    pages += "{\"name\": " + JsonString(p.name) + ", \"size_before\": " + Number(p.size_before) +
             ", \"size_after\": " + Number(p.size_after) + "}";
  }
  pages += report.pages.empty() ? "]" : "\n  ]";
  std::string failed = "[";
  if (report.failed_pages) {
    const auto& list = *report.failed_pages;
    for (std::size_t i = 0; i < list.size(); ++i) {
      failed += (i == 0 ? "\n    " : ",\n    ") + FailureObject(list[i].failure, &list[i].name);
    }
    failed += list.empty() ? "]" : "\n  ]";
  }
  std::string left_alone = "[";
  for (std::size_t i = 0; i < report.left_alone.size(); ++i) {
    const LeftAlonePage& p = report.left_alone[i];
    const char* reason = p.reason == LeftAlone::kNotText ? "not_text" : "unreadable_encoding";
    left_alone += (i == 0 ? "\n    " : ",\n    ");
    left_alone += "{\"name\": " + JsonString(p.name) + ", \"reason\": " + JsonString(reason) + "}";
  }
  left_alone += report.left_alone.empty() ? "]" : "\n  ]";
  const std::string percent =
      report.stats.NothingSelected() ? "null" : Number(RoundedPercent(report.stats.SavedPercent()));
  std::vector<std::string> fields = {
      Field("outcome", JsonString(report.outcome)),
      Field("dry_run", report.dry_run ? "true" : "false"),
      Field("folder", report.folder ? JsonString(*report.folder) : "null"),
      Field("files_done", Number(report.stats.FilesDone)),
      Field("size_before", Number(before)),
      Field("size_after", Number(after)),
      Field("removed", Number(before - after)),
      Field("removed_percent", percent),
      Field("pages", pages),
      Field("left_alone", left_alone),
      Field("failure", report.failure ? FailureObject(*report.failure) : "null"),
  };
  if (report.failed_pages) fields.push_back(Field("failed_pages", failed));
  fields.push_back(Field("message", JsonString(report.message)));
  std::string out = "{\n";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    out += fields[i];
    out += i + 1 == fields.size() ? "\n" : ",\n";
  }
  return out + "}\n";
}

std::string VerboseLine(const PageFigures& page) {
  std::string line = QuotedForTerminal(page.name) + ": " + std::to_string(page.size_before) +
                     " → " + std::to_string(page.size_after) + " байт";
  if (page.size_before > 0) {
    line += ", удалено " +
            std::to_string(RoundedPercent(PercentRemoved(page.size_before, page.size_after))) + "%";
  }
  return line;
}

}  // namespace slimtag
