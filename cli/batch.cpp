#include "batch.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "messages.h"
#include "optimisation_run.h"
#include "page_list.h"
#include "slimtag_version.h"
#include "text_compare.h"

namespace slimtag {

namespace {

struct BoxFlag {
  int box;
  const char* name;
  const char* help;
};

// One flag per option box; 12 and 13 are ticked by --replace and --remove.
constexpr BoxFlag kBoxFlags[] = {
    {1, "--trim-start", "Удалить пробелы в начале строк (1)"},
    {2, "--trim-end", "Удалить пробелы в конце строк (2)"},
    {3, "--drop-empty-lines", "Удалить пустые строки (3)"},
    {4, "--editor-meta", "Удалить Мета Тэги редакторов (4)"},
    {6, "--backup", "Создать резервную копию (6)"},
    {7, "--nbsp", "Удалить код пробела (7)"},
    {8, "--tag-blanks", "Удалить лишние пробелы между тэгами (8)"},
    {9, "--empty-tags", "Удалить пустые тэги (9)"},
    {10, "--logical-tags", "Заменить логические тэги обычными (10)"},
    {11, "--colours", "Заменить код цвета на более короткий (11)"},
    {14, "--join-lines", "Удалить перевод строки (14)"},
};

std::string Newlines(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

class BatchHost : public RunHost {
 public:
  BatchHost(std::string folder, std::vector<std::string> entries, std::vector<bool> selected,
            RunOptions options, std::array<std::string, 16> fields, std::ostream& err,
            bool progress)
      : folder_(std::move(folder)),
        entries_(std::move(entries)),
        selected_(std::move(selected)),
        options_(options),
        fields_(std::move(fields)),
        err_(err),
        progress_(progress) {}

  std::string FolderPath() const override { return folder_; }
  std::string ListPath() const override { return folder_; }
  int EntryCount() const override { return static_cast<int>(entries_.size()); }
  std::string EntryName(int i) const override { return entries_.at(std::size_t(i)); }
  bool EntrySelected(int i) const override { return selected_.at(std::size_t(i)); }
  void RefreshList() override {}
  int CheckState(int box) const override { return options_.box.at(std::size_t(box)); }
  std::string FieldText(int field) const override { return fields_.at(std::size_t(field)); }
  void SetTitle(const std::string& title) override {
    if (progress_) err_ << "\r\033[K" << title << std::flush;
  }
  void SetBusyPointer(bool) override {}
  void ShowMessage(const std::string& text, MessageIcon icon) override {
    message_ = text;
    icon_ = icon;
  }
  VersionNumbers Version() const override {
    return {kVersionMajor, kVersionMinor, kVersionRevision};
  }

  const std::string& Message() const { return message_; }
  void EndProgress() {
    if (progress_) err_ << "\r\033[K" << std::flush;
  }

 private:
  std::string folder_;
  std::vector<std::string> entries_;
  std::vector<bool> selected_;
  RunOptions options_;
  std::array<std::string, 16> fields_;
  std::ostream& err_;
  bool progress_;
  std::string message_;
  MessageIcon icon_ = MessageIcon::kInformation;
};

std::string ProductLine() {
  return "Slimtag v" + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
         std::to_string(kVersionRevision);
}

int UsageError(std::ostream& err, const std::string& what) {
  err << "slimtag-batch: " << what << "\n"
      << "Использование: slimtag-batch [ПАРАМЕТР]... ПАПКА [ИМЯ]...\n"
      << "Подробнее: slimtag-batch --help\n";
  return kExitUsage;
}

}  // namespace

int RunBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
             Platform& platform, bool progress_to_terminal) {
  CLI::App app{
      "Оптимизирует HTML-страницы папки так же, как кнопка «Оптимизировать» окна Slimtag.\n"
      "Без ИМЁН обрабатываются все страницы папки (" +
          std::string(kPagePattern) + ").",
      "slimtag-batch"};
  app.set_version_flag("--version", ProductLine(), "Показать версию и выйти");
  app.set_help_flag("-h,--help", "Показать эту справку и выйти");

  std::vector<int> checks;
  app.add_option("--check", checks, "Отметить флажки с этими номерами (через запятую: 1,2,8)")
      ->delimiter(',')
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(CLI::Range(1, 14));
  bool flags[15] = {};
  for (const BoxFlag& f : kBoxFlags) app.add_flag(f.name, flags[f.box], f.help);
  std::vector<std::string> replace;
  app.add_option("--replace", replace, "Заменить FIND на REPL (до трёх пар, флажок 12)")
      ->type_name("FIND REPL")
      ->expected(2)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  std::vector<std::string> remove;
  app.add_option("--remove", remove, "Удалить TEXT (до трёх раз, флажок 13)")
      ->type_name("TEXT")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  std::string folder;
  app.add_option("FOLDER", folder, "Папка со страницами")->required();
  std::vector<std::string> names;
  app.add_option("NAME", names, "Страницы папки, которые обработать (по умолчанию все)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    return UsageError(err, e.what());
  }

  if (replace.size() > 6) return UsageError(err, "--replace можно указать не более трёх раз");
  if (remove.size() > 3) return UsageError(err, "--remove можно указать не более трёх раз");
  for (const auto* list : {&replace, &remove}) {
    for (const std::string& text : *list) {
      if (!IsValidUtf8(text)) return UsageError(err, "текст замены или удаления не в UTF-8");
    }
  }

  RunOptions options;
  for (int box : checks) options.box[std::size_t(box)] = 1;
  for (int box = 1; box <= 14; ++box) {
    if (flags[box]) options.box[std::size_t(box)] = 1;
  }
  std::array<std::string, 16> fields;
  if (!replace.empty()) options.box[12] = 1;
  for (std::size_t i = 0; i + 1 < replace.size(); i += 2) {
    fields[1 + i] = replace[i];
    fields[2 + i] = replace[i + 1];
  }
  if (!remove.empty()) options.box[13] = 1;
  for (std::size_t i = 0; i < remove.size(); ++i) fields[13 + i] = remove[i];

  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    return UsageError(err, "«" + folder + "» не является папкой");
  }
  std::vector<std::string> entries = ListPages(folder);
  std::vector<bool> selected(entries.size(), names.empty());
  for (const std::string& name : names) {
    const auto it = std::find(entries.begin(), entries.end(), name);
    if (it == entries.end()) {
      return UsageError(err, "«" + name + "» не является страницей папки «" + folder + "»");
    }
    selected[std::size_t(it - entries.begin())] = true;
  }

  BatchHost host(folder, std::move(entries), std::move(selected), options, std::move(fields), err,
                 progress_to_terminal);
  Optimiser optimiser(platform);
  const RunOutcome outcome = optimiser.RunOptimisation(host);
  host.EndProgress();
  switch (outcome) {
    case RunOutcome::kStatistics:
      out << Newlines(host.Message()) << "\n";
      return kExitStatistics;
    case RunOutcome::kNothingSelected:
      out << Newlines(host.Message()) << "\n";
      return kExitNothingSelected;
    case RunOutcome::kFailed:
      err << Newlines(host.Message()) << "\n";
      return kExitFailed;
  }
  return kExitFailed;
}

}  // namespace slimtag
