#include "batch_report.h"

#include <nlohmann/json.hpp>

#include "name_quoting.h"
#include "run/file_operations.h"
#include "run/messages.h"

namespace slimtag {

std::string_view OperationName(FileError::Operation operation) {
  return FileOperationOf(operation).name;
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

using Json = nlohmann::ordered_json;

Json TextOrNull(const std::string& text) {
  return text.empty() ? Json(nullptr) : Json(text);
}

// With a name, the object of a failed page: its name first.
Json FailureObject(const ReportFailure& f, const std::string* name = nullptr) {
  Json object = Json::object();
  if (name != nullptr) object["name"] = *name;
  object["operation"] = f.operation;
  object["path"] = f.path;
  object["other"] = TextOrNull(f.other);
  object["errno"] = f.error;
  object["reason"] = f.error == 0 ? Json(nullptr) : Json(ReasonText(f.error));
  object["message"] = f.message;
  return object;
}

Json PageObject(const PageFigures& page) {
  Json object = Json::object();
  object["name"] = page.name;
  object["size_before"] = page.size_before;
  object["size_after"] = page.size_after;
  return object;
}

Json LeftAloneObject(const LeftAlonePage& page) {
  Json object = Json::object();
  object["name"] = page.name;
  object["reason"] = page.reason == LeftAlone::kNotText ? "not_text" : "unreadable_encoding";
  return object;
}

Json FailedPageObject(const FailedPageReport& page) {
  return FailureObject(page.failure, &page.name);
}

// The list of the document: one object per item, in the order given.
template <typename Item>
Json ListOf(const std::vector<Item>& items, Json (*object)(const Item&)) {
  Json list = Json::array();
  for (const Item& item : items) list.push_back(object(item));
  return list;
}

}  // namespace

std::string JsonDocument(const RunReport& report) {
  const RunStats& stats = report.stats;
  Json document = Json::object();
  document["outcome"] = report.outcome;
  document["dry_run"] = report.dry_run;
  document["folder"] = report.folder ? Json(*report.folder) : Json(nullptr);
  document["files_done"] = stats.FilesDone;
  document["size_before"] = stats.SizeBefore;
  document["size_after"] = stats.SizeAfter;
  document["removed"] = stats.SizeBefore - stats.SizeAfter;
  document["removed_percent"] =
      stats.NothingSelected() ? Json(nullptr) : Json(RoundedPercent(stats.SavedPercent()));
  document["pages"] = ListOf(report.pages, &PageObject);
  document["left_alone"] = ListOf(report.left_alone, &LeftAloneObject);
  document["failure"] = report.failure ? FailureObject(*report.failure) : Json(nullptr);
  if (report.failed_pages)
    document["failed_pages"] = ListOf(*report.failed_pages, &FailedPageObject);
  document["message"] = report.message;
  // Names are the file system's bytes: those that are not UTF-8 are written as U+FFFD.
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
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
