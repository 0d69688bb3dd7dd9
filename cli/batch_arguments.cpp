#include "batch_arguments.h"

#include <CLI/CLI.hpp>
#include <charconv>

#include "run/page_list.h"
#include "slimtag_version.h"
#include "text/text_compare.h"

namespace slimtag {

namespace {

struct BoxFlag {
  Box box;
  const char* name;
  const char* help;
};

// One flag per option box; 12 and 13 are ticked by --replace and --remove.
constexpr BoxFlag kBoxFlags[] = {
    {Box::kTrimStart, "--trim-start", "Удалить пробелы в начале строк (1)"},
    {Box::kTrimEnd, "--trim-end", "Удалить пробелы в конце строк (2)"},
    {Box::kDropEmptyLines, "--drop-empty-lines", "Удалить пустые строки (3)"},
    {Box::kEditorMeta, "--editor-meta", "Удалить Мета Тэги редакторов (4)"},
    {Box::kBackup, "--backup", "Создать резервную копию (6)"},
    {Box::kSpaceEntity, "--nbsp", "Удалить код пробела (7)"},
    {Box::kTagBlanks, "--tag-blanks", "Удалить лишние пробелы между тэгами (8)"},
    {Box::kEmptyTags, "--empty-tags", "Удалить пустые тэги (9)"},
    {Box::kLogicalTags, "--logical-tags", "Заменить логические тэги обычными (10)"},
    {Box::kColours, "--colours", "Заменить код цвета на более короткий (11)"},
    {Box::kJoinLines, "--join-lines", "Удалить перевод строки (14)"},
};

// The options that take values, and what a missing value is called in the error.
struct ValueOption {
  const char* name;
  const char* missing;
};

constexpr ValueOption kValueOptions[] = {
    {"--check", "параметру --check нужен список номеров флажков (например, 1,2,8)"},
    {"--replace", "параметру --replace нужны два значения: ЧТО и НА_ЧТО"},
    {"--remove", "параметру --remove нужен ТЕКСТ"},
    {"--report", "параметру --report нужен формат (json)"},
    {"--line-ends", "параметру --line-ends нужно значение auto, lf или crlf"},
};

constexpr const char* kHelpFooter =
    "Без ИМЁН обрабатываются все страницы ПАПКИ; ПАПКА «-» читает одну страницу со\n"
    "стандартного ввода и пишет результат на стандартный вывод. Если первый операнд\n"
    "не папка, все операнды — ФАЙЛЫ: каждый обрабатывается, каково бы ни было его\n"
    "расширение, в своей папке; итог один на все папки.\n"
    "\n"
    "Коды возврата:\n"
    "  0   страницы обработаны, напечатана статистика\n"
    "  1   файлы не выбраны: в папке нет страниц или все они пусты\n"
    "  2   не удалась операция с файлом или папкой (причина на стандартном выводе ошибок);\n"
    "      с -k: хотя бы одна страница не обработана\n"
    "  64  ошибка в аргументах\n"
    "\n"
    "Подробнее: man slimtag-batch. Сайт программы: http://www.slimtag.example/";

std::size_t CodePoints(std::string_view text) {
  std::size_t n = 0;
  for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) == 0x80 ? 0 : 1;
  return n;
}

// The help as the rest of the program speaks: Russian headings, the one synopsis first, options in
// GNU form ("-r, --recursive"), and columns counted in characters, not bytes, so that Cyrillic
// value names line up.
class BatchHelpFormatter : public CLI::Formatter {
 public:
  static constexpr std::size_t kColumn = 30;

  std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
    std::string out = "Использование: " + std::string(kSynopsis) + "\n" + app->get_description() +
                      "\n\nАргументы:\n";
    for (const CLI::Option* opt : app->get_options()) {
      if (!opt->nonpositional()) out += Row(opt->get_name(), opt->get_description());
    }
    out += "\nПараметры:\n";
    for (const CLI::Option* opt : app->get_options()) {
      if (!opt->nonpositional()) continue;
      std::string names = opt->get_name(false, true);
      for (std::size_t p; (p = names.find(",-")) != std::string::npos;) names.replace(p, 1, ", ");
      if (!opt->get_type_name().empty()) names += " " + opt->get_type_name();
      out += Row(names, opt->get_description());
    }
    return out + "\n" + app->get_footer() + "\n";
  }

 private:
  // "  NAMES   first line of the description", its further lines under the first.
  static std::string Row(const std::string& names, const std::string& description) {
    std::string out = "  " + names;
    const std::size_t width = 2 + CodePoints(names);
    out +=
        width + 1 > kColumn ? "\n" + std::string(kColumn, ' ') : std::string(kColumn - width, ' ');
    for (char c : description) {
      out += c;
      if (c == '\n') out += std::string(kColumn, ' ');
    }
    return out + "\n";
  }
};

std::string ProductLine() {
  return "Slimtag v" + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
         std::to_string(kVersionRevision);
}

// "1,2,8": each a box number from 1 to kBoxCount.
std::optional<std::string> ReadBoxList(const std::string& list, RunOptions& options) {
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    const std::string item = list.substr(start, comma - start);
    int box = 0;
    const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), box);
    if (item.empty() || ec == std::errc::invalid_argument || end != item.data() + item.size()) {
      return "--check: «" + item + "» не является числом";
    }
    if (ec == std::errc::result_out_of_range || box < 1 || box > kBoxCount) {
      return "--check: флажка с номером " + item + " нет (номера от 1 до " +
             std::to_string(kBoxCount) + ")";
    }
    options.box[std::size_t(box)] = 1;
    if (comma == list.size()) return std::nullopt;
    start = comma + 1;
  }
}

// Our own text for each kind of CLI11 parse error.
std::string ParseErrorText(const CLI::ParseError& e, const CLI::App& app) {
  const std::string what = e.what();
  if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
    std::string text;
    for (const std::string& arg : app.remaining()) {
      if (!text.empty()) text += ", ";
      text += "«" + arg + "»";
    }
    return "неизвестный параметр " + text;
  }
  if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) return "не указана ПАПКА";
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
    for (const ValueOption& option : kValueOptions) {
      if (what.starts_with(std::string(option.name) + ":")) return option.missing;
    }
    // A flag given a value, as in --nbsp=1: CLI11 names it without its dashes.
    for (const CLI::Option* opt : app.get_options()) {
      for (const std::string& name : opt->get_lnames()) {
        if (what.starts_with(name + " ") || what.starts_with("--" + name + " ")) {
          return "параметр --" + name + " не принимает значения";
        }
      }
    }
  }
  return "аргументы не разобраны";
}

}  // namespace

std::string VersionText() {
  return "slimtag-batch (Slimtag) " + std::to_string(kVersionMajor) + "." +
         std::to_string(kVersionMinor) + "." + std::to_string(kVersionRevision) + "\n" +
         ProductLine();
}

int UsageError(std::ostream& err, const std::string& reason) {
  err << "slimtag-batch: " << reason << "\n"
      << "Использование: " << kSynopsis << "\n"
      << "Подробнее: slimtag-batch --help\n";
  return kExitUsage;
}

namespace {

// What the options give as typed, before it is checked and turned into the run's arguments.
struct TypedOptions {
  std::vector<std::string> checks;   // each --check's list
  bool flags[kBoxCount + 1] = {};    // by box number
  std::vector<std::string> replace;  // pairs, one after the other
  std::vector<std::string> remove;
  std::string report = "text";
  std::string line_ends = "auto";
};

// Every option and operand, with its help line; flags and operands go straight to arguments.
void DescribeOptions(CLI::App& app, TypedOptions& typed, BatchArguments& arguments) {
  app.formatter(std::make_shared<BatchHelpFormatter>());
  app.option_defaults()->group("Параметры");
  app.footer(kHelpFooter);
  app.set_help_flag("-h,--help", "Показать эту справку и выйти");
  app.set_version_flag("-V,--version", VersionText(), "Показать версию и выйти");
  app.allow_extras(false);

  app.add_option("--check", typed.checks, "Отметить флажки с этими номерами (через запятую: 1,2,8)")
      ->type_name("СПИСОК")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  for (const BoxFlag& f : kBoxFlags) {
    app.add_flag(f.name, typed.flags[static_cast<int>(f.box)], f.help)->disable_flag_override();
  }
  app.add_option("--replace", typed.replace, "Заменить ЧТО на НА_ЧТО (до трёх пар, флажок 12)")
      ->type_name("ЧТО НА_ЧТО")
      ->type_size(2)  // a pair at each occurrence: both values or an error, never one
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--remove", typed.remove, "Удалить ТЕКСТ (до трёх раз, флажок 13)")
      ->type_name("ТЕКСТ")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_flag("-r,--recursive", arguments.recursive,
               "Обработать и все вложенные папки (кроме скрытых и резервных)")
      ->disable_flag_override();
  app.add_flag("-k,--keep-going", arguments.keep_going,
               "Пропускать страницы, которые не удалось обработать (они остаются\n"
               "как были), и перечислить их в конце; код возврата тогда 2")
      ->disable_flag_override();
  app.add_flag("-n,--dry-run", arguments.dry_run,
               "Только подсчитать, сколько байт удалится; ничего не записывать")
      ->disable_flag_override();
  app.add_flag("-v,--verbose", arguments.verbose,
               "Печатать по строке на каждую страницу:\nимя, размер до и после, процент")
      ->disable_flag_override();
  app.add_option("--report", typed.report, "Напечатать итог документом JSON вместо сообщения")
      ->type_name("json");
  app.add_option("--line-ends", typed.line_ends,
                 "auto (по умолчанию): страница без CR LF читается и пишется\n"
                 "с LF (как lf), любая другая — как в окне (как crlf);\n"
                 "crlf (правило окна): строка кончается на CR или CR LF\n"
                 "и пишется с CR LF; lf: ещё и на LF, и каждая строка пишется\n"
                 "с тем концом, что у неё был")
      ->type_name("auto|lf|crlf");
  app.add_option("ПАПКА", arguments.folder, "Папка со страницами, «-» или первый ФАЙЛ")->required();
  app.add_option("ИМЯ", arguments.names,
                 "Страницы ПАПКИ, которые обработать (по умолчанию все),\n"
                 "или остальные ФАЙЛЫ");
}

// The boxes and the user's texts; the reason when they are wrong.
std::optional<std::string> TakeBoxesAndTexts(const TypedOptions& typed, BatchArguments& arguments) {
  for (const std::string& list : typed.checks) {
    if (auto reason = ReadBoxList(list, arguments.options)) return reason;
  }
  for (const BoxFlag& f : kBoxFlags) {
    if (typed.flags[static_cast<int>(f.box)]) arguments.options.Tick(f.box);
  }
  if (typed.replace.size() > 6) return "--replace можно указать не более трёх раз";
  if (typed.remove.size() > 3) return "--remove можно указать не более трёх раз";
  for (const auto* list : {&typed.replace, &typed.remove}) {
    for (const std::string& text : *list) {
      if (!IsValidUtf8(text)) return "текст замены или удаления не в UTF-8";
    }
  }
  if (!typed.replace.empty()) arguments.options.Tick(Box::kReplace);
  for (std::size_t i = 0; i + 1 < typed.replace.size(); i += 2) {
    arguments.texts.find[i / 2] = typed.replace[i];
    arguments.texts.replace[i / 2] = typed.replace[i + 1];
  }
  if (!typed.remove.empty()) arguments.options.Tick(Box::kRemove);
  for (std::size_t i = 0; i < typed.remove.size(); ++i) arguments.texts.remove[i] = typed.remove[i];
  return std::nullopt;
}

// The report's and the line ends' forms; the reason when one is unknown.
std::optional<std::string> TakeForms(const TypedOptions& typed, BatchArguments& arguments) {
  if (typed.report == "json") {
    arguments.report = ReportForm::kJson;
  } else if (typed.report != "text") {
    return "--report: формата «" + typed.report + "» нет (есть json)";
  }
  if (typed.line_ends == "auto") {
    arguments.line_ends = LineEndRule::kByPage;
  } else if (typed.line_ends == "lf") {
    arguments.line_ends = LineEndRule::kAsRead;
  } else if (typed.line_ends == "crlf") {
    arguments.line_ends = LineEndRule::kCrLf;
  } else {
    return "--line-ends: значения «" + typed.line_ends + "» нет (есть auto, lf и crlf)";
  }
  return std::nullopt;
}

// What may not go together; the reason when something does.
std::optional<std::string> CheckCombinations(const BatchArguments& arguments) {
  if (!arguments.Filter()) return std::nullopt;
  // One page passes through: there is no folder to walk, name, back up or try.
  if (!arguments.names.empty()) return "с ПАПКОЙ «-» ИМЕНА не указываются";
  if (arguments.recursive) return "--recursive нельзя сочетать с ПАПКОЙ «-»";
  if (arguments.dry_run) return "--dry-run нельзя сочетать с ПАПКОЙ «-»";
  if (arguments.keep_going) return "--keep-going нельзя сочетать с ПАПКОЙ «-»";
  if (arguments.options.Ticked(Box::kBackup)) return "--backup нельзя сочетать с ПАПКОЙ «-»";
  if (arguments.report == ReportForm::kJson) return "--report json нельзя сочетать с ПАПКОЙ «-»";
  return std::nullopt;
}

}  // namespace

std::optional<int> ParseBatchArguments(int argc, const char* const* argv, std::ostream& out,
                                       std::ostream& err, BatchArguments& arguments) {
  CLI::App app{
      "Оптимизирует HTML-страницы папки так же, как кнопка «Оптимизировать» окна Slimtag.\n"
      "Страницы папки: " +
          std::string(kPagePattern) + ".",
      "slimtag-batch"};
  TypedOptions typed;
  DescribeOptions(app, typed, arguments);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return 0;
  } catch (const CLI::CallForVersion&) {
    out << VersionText() << "\n";
    return 0;
  } catch (const CLI::ParseError& e) {
    return UsageError(err, ParseErrorText(e, app));
  }
  for (const auto& reason : {TakeBoxesAndTexts(typed, arguments), TakeForms(typed, arguments)}) {
    if (reason) return UsageError(err, *reason);
  }
  if (auto reason = CheckCombinations(arguments)) return UsageError(err, *reason);
  return std::nullopt;
}

}  // namespace slimtag
